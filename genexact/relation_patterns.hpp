#pragma once
// The shapes a 4-element subset of the product can take over given
// projections: with X and Y the two projections, the subset is a 4-element
// relation between X and Y that covers every element of both.
#include <array>
#include <cstdint>
#include <vector>

namespace genexact {

struct RelationPattern {
  std::array<std::uint8_t, 4> first;   // first[k]: position in X of the k-th pair
  std::array<std::uint8_t, 4> second;  // second[k]: position in Y of the k-th pair
};

// Every 4-element subset of {0..p-1} x {0..q-1} whose projections are onto,
// each once, for 1 <= p, q <= 4; empty when p*q < 4.
std::vector<RelationPattern> RelationPatterns(int p, int q);

}  // namespace genexact
