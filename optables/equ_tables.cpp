#include "optables/equ_tables.hpp"

#include <algorithm>
#include <cstddef>
#include <map>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>

namespace optables {
namespace {

void CheckPoints(int k) {
  if (k < 1 || k > MaxEquPoints) {
    throw std::invalid_argument("Equ(k) is only built for k = 1.." + std::to_string(MaxEquPoints) + ", not " +
                                std::to_string(k));
  }
}

// Relabels arbitrary block labels so blocks are numbered by first point.
Partition Canonical(const std::vector<int>& labels) {
  std::map<int, int> renamed;
  Partition out(labels.size());
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const int next = static_cast<int>(renamed.size());
    out[i] = renamed.try_emplace(labels[i], next).first->second;
  }
  return out;
}

// Block labels index per-point arrays below, so out-of-range input must not get through.
void CheckPair(const Partition& a, const Partition& b) {
  if (a.size() != b.size()) {
    throw std::invalid_argument("partitions of sets of different sizes");
  }
  const int n = static_cast<int>(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] < 0 || a[i] >= n || b[i] < 0 || b[i] >= n) {
      throw std::invalid_argument("block label out of range");
    }
  }
}

int Find(std::vector<int>& parent, int i) {
  while (parent[static_cast<std::size_t>(i)] != i) {
    int& p = parent[static_cast<std::size_t>(i)];
    p = parent[static_cast<std::size_t>(p)];  // path halving keeps later finds short
    i = p;
  }
  return i;
}

}  // namespace

std::vector<Partition> EquPartitions(int k) {
  CheckPoints(k);
  std::vector<Partition> all;
  // Depth-first over restricted growth strings: point i may join any block seen so far or
  // open the next one. Trying labels in increasing order yields lexicographic order.
  Partition current(static_cast<std::size_t>(k), 0);
  auto extend = [&](auto&& self, std::size_t i, int blocks) -> void {
    if (i == current.size()) {
      all.push_back(current);
      return;
    }
    for (int label = 0; label <= blocks; ++label) {
      current[i] = label;
      self(self, i + 1, label == blocks ? blocks + 1 : blocks);
    }
  };
  extend(extend, 1, 1);
  return all;
}

Partition MeetPartitions(const Partition& a, const Partition& b) {
  CheckPair(a, b);
  // Two points share a block of the meet exactly when they share a block in both.
  std::vector<int> labels(a.size());
  const int width = static_cast<int>(a.size()) + 1;
  for (std::size_t i = 0; i < a.size(); ++i) labels[i] = a[i] * width + b[i];
  return Canonical(labels);
}

Partition JoinPartitions(const Partition& a, const Partition& b) {
  CheckPair(a, b);
  const int n = static_cast<int>(a.size());
  std::vector<int> parent(a.size());
  std::iota(parent.begin(), parent.end(), 0);
  // Linking every point to the first point of its block, in a and in b, generates the
  // transitive closure of the union.
  auto link_blocks = [&](const Partition& p) {
    std::vector<int> first(p.size(), -1);
    for (int i = 0; i < n; ++i) {
      int& head = first[static_cast<std::size_t>(p[static_cast<std::size_t>(i)])];
      if (head < 0) {
        head = i;
      } else {
        parent[static_cast<std::size_t>(Find(parent, i))] = Find(parent, head);
      }
    }
  };
  link_blocks(a);
  link_blocks(b);
  std::vector<int> roots(a.size());
  for (int i = 0; i < n; ++i) roots[static_cast<std::size_t>(i)] = Find(parent, i);
  return Canonical(roots);
}

lattice::OperationTables BuildEquTables(int k) {
  const std::vector<Partition> parts = EquPartitions(k);
  // Read as base-8 numbers of fixed length, restricted growth strings keep their
  // lexicographic order, so an element's number is found by binary search. Equ(7)
  // has 769129 pairs; a map keyed by vectors took most of the run there.
  static_assert(MaxEquPoints <= 8, "block labels must fit an octal digit");
  auto code = [](const Partition& p) {
    std::uint32_t c = 0;
    for (int block : p) c = c * 8 + static_cast<std::uint32_t>(block);
    return c;
  };
  std::vector<std::uint32_t> codes;
  codes.reserve(parts.size());
  for (const Partition& p : parts) codes.push_back(code(p));
  auto number = [&](const Partition& p) {
    return static_cast<int>(std::lower_bound(codes.begin(), codes.end(), code(p)) - codes.begin()) + 1;
  };

  lattice::OperationTables t;
  t.size = static_cast<std::int32_t>(parts.size());
  t.first.reserve(parts.size() * parts.size());
  t.second.reserve(parts.size() * parts.size());
  for (const Partition& x : parts) {
    for (const Partition& y : parts) {
      t.first.push_back(number(JoinPartitions(x, y)));
      t.second.push_back(number(MeetPartitions(x, y)));
    }
  }
  return t;
}

lattice::OperationTables Renumber(const lattice::OperationTables& tables, const std::vector<int>& perm) {
  const std::size_t n = static_cast<std::size_t>(tables.size);
  if (perm.size() != n) throw std::invalid_argument("renumbering has the wrong length");
  std::vector<bool> seen(n, false);
  for (int v : perm) {
    if (v < 1 || v > tables.size || seen[static_cast<std::size_t>(v - 1)]) {
      throw std::invalid_argument("renumbering is not a permutation of 1.." + std::to_string(tables.size));
    }
    seen[static_cast<std::size_t>(v - 1)] = true;
  }

  lattice::OperationTables out;
  out.size = tables.size;
  out.first.assign(n * n, 0);
  out.second.assign(n * n, 0);
  auto to = [&](int x) { return perm[static_cast<std::size_t>(x - 1)]; };
  for (int x = 1; x <= tables.size; ++x) {
    for (int y = 1; y <= tables.size; ++y) {
      const std::size_t at = lattice::CellIndex(to(x), to(y), out.size);
      out.first[at] = to(tables.First(x, y));
      out.second[at] = to(tables.Second(x, y));
    }
  }
  return out;
}

std::vector<int> ShuffledOrder(int count, std::uint64_t seed) {
  if (count < 0) throw std::invalid_argument("cannot shuffle a negative count");
  std::vector<int> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  SplitMix64 rng(seed);
  for (std::size_t i = order.size(); i > 1; --i) {
    const std::size_t j = static_cast<std::size_t>(rng.Below(i));
    std::swap(order[i - 1], order[j]);
  }
  return order;
}

std::vector<int> ShuffledNumbering(int size, std::uint64_t seed) {
  std::vector<int> perm = ShuffledOrder(size, seed);
  for (int& v : perm) ++v;
  return perm;
}

std::string_view LineEndText(LineEnd end) {
  switch (end) {
    case LineEnd::Lf:
      return "\n";
    case LineEnd::Cr:
      return "\r";
    case LineEnd::CrLf:
      break;
  }
  return "\r\n";
}

std::string RenderTableFile(const lattice::OperationTables& tables, const RenderOptions& options) {
  const int n = tables.size;
  const int pairs = n * n;
  std::vector<int> order;
  if (options.lineSeed) {
    order = ShuffledOrder(pairs, *options.lineSeed);
  } else {
    order.resize(static_cast<std::size_t>(pairs));
    std::iota(order.begin(), order.end(), 0);
  }

  const std::string_view eol = LineEndText(options.lineEnd);
  std::string text;
  text.reserve(static_cast<std::size_t>(pairs) * (16 + eol.size()));
  for (int pair : order) {
    const int x = pair / n + 1;
    const int y = pair % n + 1;
    int first = tables.First(x, y);
    int second = tables.Second(x, y);
    if (options.meetFirst) std::swap(first, second);
    text += std::to_string(x);
    text += '&';
    text += std::to_string(y);
    text += '=';
    text += std::to_string(first);
    text += ',';
    text += std::to_string(second);
    text += eol;
  }
  return text;
}

}  // namespace optables
