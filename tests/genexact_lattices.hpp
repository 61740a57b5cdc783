#pragma once
// Small lattices and plain brute force for genexact's tests: everything here
// is the slow, obvious way, so that it checks the fast way independently.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "genexact/factor_lattice.hpp"
#include "lattice/operation_tables.hpp"
#include "optables/equ_tables.hpp"
#include "tests/support/order_lattice.hpp"

namespace genexact_test {

using genexact::Element;
using genexact::FactorLattice;

using testsupport::Boolean;
using testsupport::Chain;
using testsupport::FromOrder;
using testsupport::M;
using testsupport::N5;

inline lattice::OperationTables Renumbered(const lattice::OperationTables& t, std::uint64_t seed) {
  return optables::Renumber(t, optables::ShuffledNumbering(t.size, seed));
}

// As the reader would build it from a file giving the join first, or the meet
// first.
inline FactorLattice Factor(const lattice::OperationTables& t, bool meetFirst = false) {
  FactorLattice f;
  if (meetFirst) {
    lattice::OperationTables swapped = t;
    swapped.first.swap(swapped.second);
    f = genexact::MakeFactor(swapped);
  } else {
    f = genexact::MakeFactor(t);
  }
  genexact::CheckFactor(f);
  return f;
}

// Which elements of A x B the closure of `seeds` under the componentwise
// first and second operations holds, grown as gencount grows it:
// member[x * |B| + y].
inline std::vector<char> ProductClosureMembers(const FactorLattice& a, const FactorLattice& b,
                                               const std::vector<int>& seeds) {
  const int sb = b.size;
  std::vector<char> member(static_cast<std::size_t>(a.size * b.size), 0);
  std::vector<int> list;
  for (const int s : seeds) {
    if (!member[static_cast<std::size_t>(s)]) {
      member[static_cast<std::size_t>(s)] = 1;
      list.push_back(s);
    }
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      const int x = list[i];
      const int y = list[j];
      const int join = a.Join(x / sb, y / sb) * sb + b.Join(x % sb, y % sb);
      const int meet = a.Meet(x / sb, y / sb) * sb + b.Meet(x % sb, y % sb);
      for (const int z : {join, meet}) {
        if (!member[static_cast<std::size_t>(z)]) {
          member[static_cast<std::size_t>(z)] = 1;
          list.push_back(z);
        }
      }
    }
  }
  return member;
}

// The size of that closure.
inline int ProductClosureSize(const FactorLattice& a, const FactorLattice& b, const std::vector<int>& seeds) {
  const std::vector<char> member = ProductClosureMembers(a, b, seeds);
  return static_cast<int>(std::count(member.begin(), member.end(), 1));
}

// The number of 4-element subsets of A x B that generate it, one by one.
inline std::uint64_t BruteForceCount(const FactorLattice& a, const FactorLattice& b) {
  const int n = a.size * b.size;
  std::uint64_t count = 0;
  for (int p = 0; p < n; ++p) {
    for (int q = p + 1; q < n; ++q) {
      for (int r = q + 1; r < n; ++r) {
        for (int s = r + 1; s < n; ++s) {
          if (ProductClosureSize(a, b, {p, q, r, s}) == n) ++count;
        }
      }
    }
  }
  return count;
}

// Every permutation of the elements that keeps both operations, by trying all.
inline std::uint64_t BruteForceAutomorphismCount(const FactorLattice& f) {
  std::vector<int> p(static_cast<std::size_t>(f.size));
  for (int x = 0; x < f.size; ++x) p[static_cast<std::size_t>(x)] = x;
  std::uint64_t count = 0;
  do {
    bool keeps = true;
    for (int x = 0; x < f.size && keeps; ++x) {
      for (int y = 0; y < f.size && keeps; ++y) {
        const auto px = p[static_cast<std::size_t>(x)];
        const auto py = p[static_cast<std::size_t>(y)];
        keeps = p[f.Join(x, y)] == f.Join(px, py) && p[f.Meet(x, y)] == f.Meet(px, py);
      }
    }
    if (keeps) ++count;
  } while (std::next_permutation(p.begin(), p.end()));
  return count;
}

// The subsets of 1 to 4 elements that generate f, each as a sorted vector.
inline std::vector<std::vector<Element>> BruteForceGeneratingSets(const FactorLattice& f) {
  std::vector<std::vector<Element>> result;
  const FactorLattice one = Factor(Chain(1));
  std::vector<Element> set;
  std::function<void(int)> grow = [&](int from) {
    for (int x = from; x < f.size; ++x) {
      set.push_back(static_cast<Element>(x));
      std::vector<int> seeds(set.begin(), set.end());
      // The product with a one-element lattice is f itself.
      if (ProductClosureSize(f, one, seeds) == f.size) result.push_back(set);
      if (set.size() < 4) grow(x + 1);
      set.pop_back();
    }
  };
  grow(0);
  return result;
}

}  // namespace genexact_test
