#pragma once
// The shapes a 4-element subset of the product can take over given
// projections: with X and Y the two projections, the subset is a 4-element
// relation between X and Y that covers every element of both.
#include <array>
#include <cassert>
#include <cstdint>
#include <vector>

#include "lattice/corner_certificates.hpp"

namespace genexact {

struct RelationPattern {
  std::array<std::uint8_t, 4> first;   // first[k]: position in X of the k-th pair
  std::array<std::uint8_t, 4> second;  // second[k]: position in Y of the k-th pair
  lattice::CornerSplits splits;        // MakeCornerSplits(first, second), for CornerRefuted
  // firstToSecond[q], q < 16: the positions in Y of the pairs whose position
  // in X is in q; secondToFirst the other way (RelationTest::GeneratesAt).
  std::array<std::uint8_t, 16> firstToSecond;
  std::array<std::uint8_t, 16> secondToFirst;
};

// Every 4-element subset of {0..p-1} x {0..q-1} whose projections are onto,
// each once, for 1 <= p, q <= 4; empty when p*q < 4.  At most
// MaxRelationPatterns of them (45, for p = q = 3).
std::vector<RelationPattern> RelationPatterns(int p, int q);
inline constexpr int MaxRelationPatterns = 64;

// A permutation of the positions 0..k-1 of a set, as its index in
// PositionPermutations(k) (at most 4! = 24 of them, identity first).
using PositionPermutation = std::uint8_t;
std::vector<std::array<std::uint8_t, 4>> PositionPermutations(int k);

// How pairs of position permutations move the patterns of RelationPatterns.
//
// An automorphism g of the first factor that fixes the set X permutes X's
// positions, and one h of the second factor fixing Y permutes Y's; the
// automorphism (g, h) of the product maps a relation between X and Y onto
// another one, which generates exactly when the first does.  So of the
// patterns of one orbit under these pairs only one needs a corner test, and
// it counts for the whole orbit.  On Equ(5)xEqu(6) this spares about a third
// of the tests, on Equ(6)xEqu(6) about a tenth.
class PatternSymmetry {
 public:
  PatternSymmetry();

  // Contract: 1 <= p, q <= 4; pattern < RelationPatterns(p, q).size();
  // sigma < p!, tau < q!.  The index of the pattern moved by (sigma, tau).
  std::uint8_t Image(int p, int q, int pattern, PositionPermutation sigma, PositionPermutation tau) const {
    const Table& t = tables_[static_cast<std::size_t>(p)][static_cast<std::size_t>(q)];
    assert(sigma < t.sigmas && tau < t.taus &&
           (static_cast<std::size_t>(pattern) + 1) * t.sigmas * t.taus <= t.image.size());
    return t.image[(static_cast<std::size_t>(pattern) * t.sigmas + sigma) * t.taus + tau];
  }

 private:
  struct Table {
    std::size_t sigmas = 0;           // p!
    std::size_t taus = 0;             // q!
    std::vector<std::uint8_t> image;  // image[(pattern * sigmas + sigma) * taus + tau]
  };
  std::array<std::array<Table, 5>, 5> tables_;  // tables_[p][q], 1 <= p, q <= 4
};

}  // namespace genexact
