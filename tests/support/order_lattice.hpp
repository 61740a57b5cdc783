#pragma once
// Lattices given by their order, as the tables a file would give them: the
// tests' lattices that are not partition lattices.
#include <functional>
#include <utility>
#include <vector>

#include "lattice/operation_tables.hpp"

namespace testsupport {

// The tables of the lattice on 1..size ordered by leq (0-based arguments),
// join first and meet second, found as least upper and greatest lower bounds.
// Contract: leq is a lattice order.
inline lattice::OperationTables FromOrder(int size, const std::function<bool(int, int)>& leq) {
  lattice::OperationTables t;
  t.size = size;
  t.first.assign(static_cast<std::size_t>(size * size), 0);
  t.second.assign(static_cast<std::size_t>(size * size), 0);
  for (int x = 0; x < size; ++x) {
    for (int y = 0; y < size; ++y) {
      int join = -1;
      int meet = -1;
      for (int z = 0; z < size; ++z) {
        if (leq(x, z) && leq(y, z) && (join < 0 || leq(z, join))) join = z;
        if (leq(z, x) && leq(z, y) && (meet < 0 || leq(meet, z))) meet = z;
      }
      t.first[lattice::CellIndex(x + 1, y + 1, size)] = join + 1;
      t.second[lattice::CellIndex(x + 1, y + 1, size)] = meet + 1;
    }
  }
  return t;
}

// The lattice whose order is the reflexive transitive closure of covers,
// pairs (lower, upper) of 0-based elements.
inline lattice::OperationTables FromCovers(int size, const std::vector<std::pair<int, int>>& covers) {
  const auto n = static_cast<std::size_t>(size);
  std::vector<std::vector<bool>> below(n, std::vector<bool>(n, false));
  for (std::size_t x = 0; x < n; ++x) below[x][x] = true;
  for (const auto& [lo, hi] : covers) below[static_cast<std::size_t>(lo)][static_cast<std::size_t>(hi)] = true;
  for (std::size_t z = 0; z < n; ++z) {
    for (std::size_t x = 0; x < n; ++x) {
      for (std::size_t y = 0; y < n; ++y) {
        if (below[x][z] && below[z][y]) below[x][y] = true;
      }
    }
  }
  return FromOrder(size,
                   [&below](int x, int y) { return below[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]; });
}

// The chain 0 < 1 < ... < k-1.
inline lattice::OperationTables Chain(int k) {
  return FromOrder(k, [](int x, int y) { return x <= y; });
}

// M_k: bottom 0, atoms 1..k, top k+1.
inline lattice::OperationTables M(int k) {
  return FromOrder(k + 2, [k](int x, int y) { return x == y || x == 0 || y == k + 1; });
}

// N5: 0 < a < b < 1 and 0 < c < 1, numbered 0, 1 (a), 2 (b), 3 (c), 4.
inline lattice::OperationTables N5() {
  return FromOrder(5, [](int x, int y) { return x == y || x == 0 || y == 4 || (x == 1 && y == 2); });
}

// The subsets of a k-element set, ordered by inclusion.
inline lattice::OperationTables Boolean(int k) {
  return FromOrder(1 << k, [](int x, int y) { return (x & ~y) == 0; });
}

}  // namespace testsupport
