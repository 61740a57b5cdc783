#include "lattice/lattice_check.hpp"

#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace lattice {
namespace {

// Reads the tables; the witnesses are shown in the file's numbers (Witness).
template <class Element>
class Tables {
 public:
  explicit Tables(const CheckedTables<Element>& t) : t_(t) {}

  std::int32_t Size() const { return t_.size; }
  // op 0 is the first operation, op 1 the second.
  std::int32_t At(int op, std::int32_t x, std::int32_t y) const {
    const Element* table = op == 0 ? t_.first : t_.second;
    return table[static_cast<std::ptrdiff_t>(x) * t_.size + y];
  }
  std::int32_t First(std::int32_t x, std::int32_t y) const { return At(0, x, y); }
  std::int32_t Second(std::int32_t x, std::int32_t y) const { return At(1, x, y); }

 private:
  CheckedTables<Element> t_;
};

std::string Witness(std::initializer_list<std::int32_t> elements) {
  std::string text;
  for (const std::int32_t e : elements) {
    if (!text.empty()) text += ",";
    text += std::to_string(e + 1);
  }
  return text;
}

const char* const OperationNames[2] = {"first", "second"};

// The first cell whose value is no element, as a fault; empty when all are in range.
template <class Element>
std::string RangeFault(const Tables<Element>& t) {
  const std::int32_t s = t.Size();
  for (int op = 0; op < 2; ++op) {
    for (std::int32_t x = 0; x < s; ++x) {
      for (std::int32_t y = 0; y < s; ++y) {
        const std::int32_t v = t.At(op, x, y);
        if (v < 0 || v >= s) {
          return std::string("the ") + OperationNames[op] + " operation gives no element at " + Witness({x, y});
        }
      }
    }
  }
  return {};
}

// Whether x <= y :<=> second(x, y) = x is a partial order in which second
// gives the greatest lower bound and first the least upper bound, which holds
// exactly when the tables satisfy the lattice laws.  Works on bit sets of the
// elements below and above each element, so it costs O(size^3 / 64).
template <class Element>
bool IsLatticeOrder(const Tables<Element>& t) {
  const std::int32_t s = t.Size();
  const std::size_t words = static_cast<std::size_t>((s + 63) / 64);
  // down[x*words..]: {z : z <= x}; up[x*words..]: {z : x <= z}; x in 0..s-1.
  std::vector<std::uint64_t> down(static_cast<std::size_t>(s) * words, 0);
  std::vector<std::uint64_t> up(static_cast<std::size_t>(s) * words, 0);
  auto row = [&](std::vector<std::uint64_t>& sets, std::int32_t x) {
    return &sets[static_cast<std::size_t>(x) * words];
  };
  auto add = [](std::uint64_t* set, std::int32_t x) {
    set[static_cast<std::size_t>(x) >> 6] |= std::uint64_t{1} << (static_cast<std::uint32_t>(x) & 63);
  };
  auto has = [](const std::uint64_t* set, std::int32_t x) {
    return ((set[static_cast<std::size_t>(x) >> 6] >> (static_cast<std::uint32_t>(x) & 63)) & 1U) != 0;
  };
  // The elements in both a and b lie in c.
  auto within = [&](const std::uint64_t* a, const std::uint64_t* b, const std::uint64_t* c) {
    for (std::size_t w = 0; w < words; ++w) {
      if ((a[w] & b[w] & ~c[w]) != 0) return false;
    }
    return true;
  };
  for (std::int32_t x = 0; x < s; ++x) {
    for (std::int32_t y = 0; y < s; ++y) {
      if (t.Second(x, y) == x) {
        add(row(down, y), x);
        add(row(up, x), y);
      }
    }
  }
  for (std::int32_t x = 0; x < s; ++x) {
    if (t.Second(x, x) != x || t.First(x, x) != x) return false;
    for (std::int32_t y = x + 1; y < s; ++y) {
      if (has(row(down, y), x) && has(row(down, x), y)) return false;  // antisymmetry
    }
    for (std::int32_t y = 0; y < s; ++y) {
      // Transitivity: z <= y <= x gives z <= x.
      if (has(row(down, x), y) && !within(row(down, y), row(down, y), row(down, x))) return false;
    }
  }
  for (std::int32_t x = 0; x < s; ++x) {
    for (std::int32_t y = 0; y < s; ++y) {
      const std::int32_t meet = t.Second(x, y);
      const std::int32_t join = t.First(x, y);
      if (!has(row(down, x), meet) || !has(row(down, y), meet)) return false;
      if (!within(row(down, x), row(down, y), row(down, meet))) return false;
      if (!has(row(up, x), join) || !has(row(up, y), join)) return false;
      if (!within(row(up, x), row(up, y), row(up, join))) return false;
    }
  }
  return true;
}

// The first broken law, law by law in the order LatticeCheck states; empty
// when all hold.  O(size^3) plain lookups, so only run on tables that failed
// IsLatticeOrder.
template <class Element>
std::string LawFault(const Tables<Element>& t) {
  const std::int32_t s = t.Size();
  for (int op = 0; op < 2; ++op) {
    const std::string name = std::string("the ") + OperationNames[op] + " operation";
    for (std::int32_t x = 0; x < s; ++x) {
      if (t.At(op, x, x) != x) return name + " is not idempotent at " + Witness({x});
      for (std::int32_t y = x + 1; y < s; ++y) {
        if (t.At(op, x, y) != t.At(op, y, x)) return name + " is not commutative at " + Witness({x, y});
      }
    }
    for (std::int32_t x = 0; x < s; ++x) {
      for (std::int32_t y = 0; y < s; ++y) {
        const std::int32_t xy = t.At(op, x, y);
        for (std::int32_t z = 0; z < s; ++z) {
          if (t.At(op, xy, z) != t.At(op, x, t.At(op, y, z))) {
            return name + " is not associative at " + Witness({x, y, z});
          }
        }
      }
    }
  }
  for (std::int32_t x = 0; x < s; ++x) {
    for (std::int32_t y = 0; y < s; ++y) {
      if (t.First(x, t.Second(x, y)) != x || t.Second(x, t.First(x, y)) != x) {
        return "the absorption law fails at " + Witness({x, y});
      }
    }
  }
  return {};
}

template <class Element>
LatticeCheck Check(const CheckedTables<Element>& given) {
  if (given.size < 1) throw std::logic_error("CheckLattice: a factor has at least one element");
  const Tables<Element> t(given);
  LatticeCheck check;
  check.fault = RangeFault(t);
  if (!check.fault.empty()) return check;
  if (IsLatticeOrder(t)) {
    // A finite lattice has both bounds: the fold of all elements.
    std::int32_t top = 0, bottom = 0;
    for (std::int32_t x = 1; x < t.Size(); ++x) {
      top = t.First(top, x);
      bottom = t.Second(bottom, x);
    }
    check.bounds = FactorBounds{top, bottom};
    return check;
  }
  check.fault = LawFault(t);
  // The order test and the laws say the same of any tables: a lattice in the
  // algebraic sense is exactly a lattice order with these two operations.
  if (check.fault.empty()) throw std::logic_error("CheckLattice: the order test and the lattice laws disagree");
  return check;
}

}  // namespace

LatticeCheck CheckLattice(const CheckedTables<std::uint8_t>& t) { return Check(t); }
LatticeCheck CheckLattice(const CheckedTables<std::uint16_t>& t) { return Check(t); }

}  // namespace lattice
