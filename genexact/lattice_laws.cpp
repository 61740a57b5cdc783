#include "genexact/lattice_laws.hpp"

namespace genexact::inline GENEXACT_WIDTH {
namespace {

std::string Witness(std::initializer_list<int> elements) {
  std::string text;
  for (const int e : elements) {
    if (!text.empty()) text += ",";
    text += std::to_string(e + 1);
  }
  return text;
}

}  // namespace

std::optional<std::string> LatticeLawFault(FactorLattice& f) {
  const int s = f.size;
  // "first"/"second" name the operations as the file orders them: which one
  // is the join is not known to the reader.
  const struct {
    const char* name;
    const std::vector<Element>* op;
  } ops[] = {{"first", &f.join}, {"second", &f.meet}};
  auto at = [s](const std::vector<Element>& op, int x, int y) { return op[CellIndex(x, y, s)]; };
  for (const auto& [name, op] : ops) {
    for (int x = 0; x < s; ++x) {
      if (at(*op, x, x) != x) return std::string("the ") + name + " operation is not idempotent at " + Witness({x});
      for (int y = x + 1; y < s; ++y) {
        if (at(*op, x, y) != at(*op, y, x)) {
          return std::string("the ") + name + " operation is not commutative at " + Witness({x, y});
        }
      }
    }
    for (int x = 0; x < s; ++x) {
      for (int y = 0; y < s; ++y) {
        const int xy = at(*op, x, y);
        for (int z = 0; z < s; ++z) {
          if (at(*op, xy, z) != at(*op, x, at(*op, y, z))) {
            return std::string("the ") + name + " operation is not associative at " + Witness({x, y, z});
          }
        }
      }
    }
  }
  for (int x = 0; x < s; ++x) {
    for (int y = 0; y < s; ++y) {
      if (f.Join(x, f.Meet(x, y)) != x || f.Meet(x, f.Join(x, y)) != x) {
        return "the absorption law fails at " + Witness({x, y});
      }
    }
  }
  if (!FindBounds(f)) return std::string("there is no greatest or no least element");
  return std::nullopt;
}

}  // namespace genexact
