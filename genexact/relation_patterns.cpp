#include "genexact/relation_patterns.hpp"

#include <algorithm>
#include <map>
#include <numeric>

namespace genexact {

std::vector<RelationPattern> RelationPatterns(int p, int q) {
  std::vector<RelationPattern> result;
  const int cells = p * q;
  // Cells c0 < c1 < c2 < c3 of the p x q grid, cell c = (c / q, c % q).
  for (int c0 = 0; c0 < cells; ++c0) {
    for (int c1 = c0 + 1; c1 < cells; ++c1) {
      for (int c2 = c1 + 1; c2 < cells; ++c2) {
        for (int c3 = c2 + 1; c3 < cells; ++c3) {
          RelationPattern r{};
          unsigned rows = 0;
          unsigned columns = 0;
          const int cell[4] = {c0, c1, c2, c3};
          for (int k = 0; k < 4; ++k) {
            r.first[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(cell[k] / q);
            r.second[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(cell[k] % q);
            rows |= 1u << (cell[k] / q);
            columns |= 1u << (cell[k] % q);
          }
          if (rows != (1u << p) - 1 || columns != (1u << q) - 1) continue;
          r.splits = lattice::MakeCornerSplits(r.first, r.second);
          for (unsigned set = 0; set < 16; ++set) {
            unsigned toSecond = 0;
            unsigned toFirst = 0;
            for (std::size_t k = 0; k < 4; ++k) {
              if ((set >> r.first[k] & 1U) != 0) toSecond |= 1U << r.second[k];
              if ((set >> r.second[k] & 1U) != 0) toFirst |= 1U << r.first[k];
            }
            r.firstToSecond[set] = static_cast<std::uint8_t>(toSecond);
            r.secondToFirst[set] = static_cast<std::uint8_t>(toFirst);
          }
          result.push_back(r);
        }
      }
    }
  }
  return result;
}

std::vector<std::array<std::uint8_t, 4>> PositionPermutations(int k) {
  std::vector<std::array<std::uint8_t, 4>> result;
  std::array<std::uint8_t, 4> perm{0, 1, 2, 3};
  // Lexicographic order from the identity; positions k..3 stay in place.
  do {
    result.push_back(perm);
  } while (std::next_permutation(perm.begin(), perm.begin() + k));
  return result;
}

namespace {

// A pattern as the set of its cells in a 4x4 grid, one bit per cell.
unsigned CellMask(const RelationPattern& r) {
  unsigned mask = 0;
  for (std::size_t k = 0; k < 4; ++k) mask |= 1U << (r.first[k] * 4U + r.second[k]);
  return mask;
}

}  // namespace

PatternSymmetry::PatternSymmetry() {
  for (int p = 1; p <= 4; ++p) {
    for (int q = 1; q <= 4; ++q) {
      const std::vector<RelationPattern> patterns = RelationPatterns(p, q);
      std::map<unsigned, std::uint8_t> index;
      for (std::size_t i = 0; i < patterns.size(); ++i) index[CellMask(patterns[i])] = static_cast<std::uint8_t>(i);
      const auto sigmas = PositionPermutations(p);
      const auto taus = PositionPermutations(q);
      Table& t = tables_[static_cast<std::size_t>(p)][static_cast<std::size_t>(q)];
      t.sigmas = sigmas.size();
      t.taus = taus.size();
      t.image.reserve(patterns.size() * t.sigmas * t.taus);
      for (const RelationPattern& r : patterns) {
        for (const auto& sigma : sigmas) {
          for (const auto& tau : taus) {
            RelationPattern moved = r;
            for (std::size_t k = 0; k < 4; ++k) {
              moved.first[k] = sigma[r.first[k]];
              moved.second[k] = tau[r.second[k]];
            }
            t.image.push_back(index.at(CellMask(moved)));
          }
        }
      }
    }
  }
}

}  // namespace genexact
