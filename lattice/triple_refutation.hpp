#pragma once
// A proof that a corner (top of the domain, bottom of the values) is not
// generated, read from three points of the value lattice: cheap enough, with
// tables made once per generating set, to try on every relation before the
// cover fixpoint of partition_corner.hpp.
//
// Domain Equ(k), values Equ(m), m >= 3.  Restricting a partition of the m
// value points to three of them, A = {a, b, c}, maps Equ(m) onto Equ(3) =
// M3 (bottom, the atoms ab, ac, bc, top); it keeps meets and never raises a
// join.  So the cover fixpoint run in M3 from the restricted starting values
// stays below the restriction of the real one, step by step: where it ends
// above bottom, so does the real fixpoint, and the corner is not generated.
//
// That fixpoint is decided without values.  A map of the atoms xy of Equ(k)
// into M3 that satisfies the covers (what a fixpoint is) is the same as
// three equivalences E1, E2, E3 on the k points that pairwise meet in one
// equivalence Z: xy goes to bottom in Z, to atom i in Ei outside Z, to top
// elsewhere.  It lies below each generator's restricted value exactly when
// the generator's domain element d is below Z (value restricted to bottom),
// below Ei (to atom i), or has a value restricted to top.  A least such family
// exists: Z from the join of the d labelled bottom, each Ei = Z join the d
// labelled i, Z raised by the pairwise meets of the Ei until it holds still.
// The corner fails when that Z is below top.  So what a domain set refutes
// depends only on the labels of its four positions: one bit for each of 150
// labellings up to renaming the atoms, made once per set.
//
// With one atom or none the least Z is the join of the d labelled bottom: a
// split, as CornerRefuted finds them.  Every split it finds is one of these
// (the other generators' values share a pair ab of points, so under any
// three points with a and b they are labelled ab or top), so where both
// corners have triple tables the split refutation is not tried as well.
//
// The relation's labelling under A comes from the value set: each position's
// restriction to A, then for each domain position the meet of those of the
// value positions it is paired with.
//
// Measured on the relations that reach the cover fixpoint: Equ(7)xEqu(7)
// and Equ(6)xEqu(7), three points refute about four in five failing corners
// (three in five of the rare failing second corners of Equ(7)xEqu(7)), and
// all of those that fail end with no pair at bottom, the costliest kind.
// Four points (Equ(4) values) would refute nine in ten, but the labellings
// are then 15^4 and have no short least-family form.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "lattice/cover_corner.hpp"
#include "lattice/flat_factor.hpp"
#include "lattice/partition_corner.hpp"

namespace lattice {

// Labellings of four positions: position p's label is 0 (bottom), 1 (top)
// or an atom 2, 3, 4, atoms renamed in order of first appearance.
inline constexpr int TripleShapeCount = 150;
// A labelling as a code: the label of position p times 5^p, p < 4.
inline constexpr int TripleCodeCount = 625;

// Bit s of word s / 64: labelling s refutes, s < TripleShapeCount.
using TripleShapes = std::array<std::uint64_t, 3>;

inline bool Overlap(const TripleShapes& a, const TripleShapes& b) {
  return ((a[0] & b[0]) | (a[1] & b[1]) | (a[2] & b[2])) != 0;
}

// Element is std::uint8_t or std::uint16_t (the instantiations triple_refutation.cpp provides).
template <class Element>
class TripleRefutation {
 public:
  // Contract: valueCovers == FindJoinCovers(values) of the corner's value
  // lattice.  nullopt unless they are the covers of a partition lattice of
  // 3 or more points.
  static std::optional<TripleRefutation> Make(const JoinCovers<Element>& valueCovers);

  // Contract: domain is the corner's domain, a partition lattice with
  // bounds set; 1 <= size <= 4, elements of it.  The labellings under which
  // a relation with this domain set misses the corner.
  static TripleShapes RefutingShapes(const FlatFactor<Element>& domain, const Element* set, int size);

  // Contract: 1 <= size <= 4, elements of the values.  The code of the
  // set's labels (positions >= size are top) under every three value
  // points, each code once, but for all bottom (never refuted: the domain
  // set generates).
  std::vector<std::uint16_t> ValueCodes(const Element* set, int size) const;

  // Contract: code < TripleCodeCount; spread[q] (q < 16) holds the value
  // positions paired with the domain positions in q.  The labelling of the
  // domain positions, as an index below TripleShapeCount.
  static int ShapeOf(std::uint16_t code, const std::uint8_t* spread);

 private:
  TripleRefutation() = default;

  std::vector<std::uint64_t> valuePairs_;    // valuePairs_[v]: bit a * 8 + b when a ~ b in v, a < b < m
  std::vector<std::array<int, 3>> triples_;  // every a < b < c < m
};

}  // namespace lattice
