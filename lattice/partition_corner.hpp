#pragma once
// The cover fixpoint of cover_corner.hpp for a domain whose irreducibles and
// covers are those of a partition lattice Equ(k): the atoms are the pairs xy
// of k points and the covers are exactly xz <= xy join yz.  It decides the
// same corner as CoverCorner, which stays beside it as the plain version
// (and the only one for every other domain).
//
// Values are kept per pair of points, f(xy) = f(yx), and lowered along the
// triangles as before.  The new step is contraction: once f(xy) is bottom,
// the fixpoint f* (the greatest map below the current one that satisfies
// the covers) has f*(xw) <= f*(xy) join f*(yw) = f*(yw) and likewise
// f*(yw) <= f*(xw), so f*(xw) = f*(yw) for every other point w.  Lowering
// both to f(xw) meet f(yw) keeps f above f*, so y can be merged into x: the
// problem goes on over k - 1 points, with k - 2 covers fewer per pair.  The
// pairs at bottom are then those inside the merged groups (the closure of
// the bottom atoms under the covers is their connected components), and the
// corner is reached as soon as one point is left: all points connected,
// every atom bottom.  Domains that are not recognised from their covers
// (FindAtomPoints) never take this path.
//
// Work is pulled, not swept: a pair is looked at again only when a pair it
// is bounded by (one sharing a point with it) has fallen since, and a
// triangle with a side at top is skipped (its bound is top).  Pairs are
// taken in slot order, pass after pass.  When the pairs at bottom from the
// start already connect all points (one corner in seventy on
// Equ(7)xEqu(7)) the corner is reached before any merge: one word holds
// every point's row of bottom pairs.  On Equ(7)xEqu(7) relations a
// generating corner takes about 18 cover evaluations (6 pairs looked at, 6
// merges) instead of about 90, a failing one about 130 instead of 250.
// The value lattice is numbered by height above the bottom (bottom 0, then
// the atoms, ...) behind the caller's numbering, which is mapped once per
// call.  A relation's starting values come from parts made once for each of
// its two sets and shared by every relation between them (which positions
// of the domain's set lie above each atom; the meets of every part of the
// values' set): the meets no longer take eleven look-ups at scattered rows
// per corner, 4 to 7 % of a test on 6x7 and 7x7 units.
//
// Tried and dropped, on Equ(7)xEqu(7) relations, against the plain sweep:
// - the sweep stopped by a 2^21-bit table of connected atom sets, looked up
//   when a value falls to bottom: 1.35x, as it still visits every cover;
// - that sweep without its per-cover branch (stores always): 0.7x, each
//   store forwarded to the next cover's load;
// - covers reordered so that neighbours lower different atoms: no change;
// - one atom's covers folded in a register before one store: fewer
//   instructions, no faster (a chain of dependent meets);
// - here, every third point looked at without value-dependent branches
//   (0.65x: longer chains of look-ups) and a pair's bounds met as a tree in
//   an array (slower); pairs queued again only when the triangle through
//   the fallen pair has no top side (fewer pairs, a little slower); two or
//   four relations' fixpoints run interleaved, one pair of each in turn, to
//   overlap their look-ups (1.4x and 1.5x slower: each turn still ends on
//   a branch the processor cannot predict).  Skipping top triangles saves a
//   quarter of the evaluations but no measurable time; it stays as it costs
//   none either.
// - Later, each against this version, least of three or four alternating
//   runs: meets as ANDs of the values' sets of join-irreducibles, with a
//   hash back to the element when a value falls (183 against 182 ns a test
//   on 7x7, 142 against 141 on 6x7: the meet chains are not the cost);
//   every point a third point and stores always, with no branch on values
//   (1.45x slower: twice the look-ups); the next pair's join cells
//   prefetched (1.1x slower); the join read with the smaller value as row,
//   or from a triangular table (1.45x slower); pairs taken lowest value
//   first (1.96x the evaluations) or highest first (1.19x).  Where a 7x7
//   test's 190 ns go: 19 for the refutation and the unit loop, about 18 for
//   each corner's starting values, the rest in evaluations; failing
//   corners are one in seven but take half the evaluations (36 each), and
//   two thirds of them end without a single merge.
// - Later still, on the 5.7 million 7x7 relations of those units taken out
//   of the unit loop, least of alternating runs: starting values spread by
//   an AVX-512 permute of the sixteen meets (the start alone 71 -> 24 ns a
//   relation, the whole test 1 to 6 % faster: it overlaps the tail of the
//   test before); rows padded to 1024 so that a shift replaces the
//   multiply (no change); pairs in colex order (the same evaluations);
//   merge kept out of line (slower).  No starting values repeat (5.70
//   million distinct), so nothing is cached.
// - Point maps as refutations.  A map s of the domain's k points to the
//   value's points, not constant, with s(x) and s(y) in one block of the
//   starting f(xy) for every pair, proves failure: d -> the partition made
//   by the images of d's pairs preserves joins and lies below each
//   generator's value, so {(d, v) : image(d) <= v} is a sublattice with the
//   relation and without the corner (a split is such a map onto two
//   points).  On 7x7 70 % of the failing corners that no split refutes have
//   one, 61 % one onto three points.  The three-point maps checked per
//   relation, minimal signatures of the inner set against a down-closed
//   table of the unit's set, cost 51 ns a relation and saved 234 ns on each
//   of the 18 % refuted: 5 % on 7x7, 1 % on 6x7.  A search for any map after
//   ten evaluations found as many but cost more than it saved.  Restrictions
//   of the values to three points (triple_refutation.hpp) take in the maps
//   onto three points and more: about four failing corners in five no
//   longer reach this test.
// - Values packed as partitions in a word (byte p the block of point p):
//   the meet an AND, the join a Warshall closure of the two words' OR, run
//   for every third point of a pair at once in the eight lanes of an
//   AVX-512 register (seven pivots of gf2p8affine, vpshufb, vpternlog; 60
//   to 80 cycles from load to bound), no tables at all.  On relations taken out
//   of the unit loop in stride order 1.1x faster than the tables; in the
//   unit loop itself no faster (least of alternating runs, packed against
//   tables: 218 and 242 against 211 and 232 ns a test on 7x7, 189 and 190
//   against 167 to 208 on 6x7), as consecutive relations find the rows
//   they read in cache; with Equ(6) values 0.92x.  It stays the way to
//   Equ(8), whose tables no cache holds.
// - Also on relations out of the loop, each against this version: starting
//   values spread by vpermb and vpermw from a table of slots made once per
//   set (-4 to +8 %); the pairs of one round of a round-robin schedule (no two
//   share a point, so none reads another's slot) evaluated together to
//   overlap them (no faster at 2.45 pairs a round), or that schedule without
//   the worklist (2.85x the evaluations); only the third points whose bound
//   moved since the pair was last looked at (a quarter fewer joins on
//   failing corners, yet 5 to 17 % slower: the loop's length is harder to
//   predict); every live point a third point, no top skipped (6 to 16 %
//   faster on 7x7, 7 to 10 % slower on 6x7); a failing corner's fixpoint
//   kept as the certificate for the next relation (f* below its start
//   proves failure: 2 hits in 369 000 failing corners).  On 7x7 a failing
//   corner looks at 18 pairs (53 joins, 6.6 lowered) in the first pass and
//   17 (69 joins, 3.2 lowered) after it: proving failure means checking
//   every triangle after its last change.  A test runs about 2950
//   instructions at about three a cycle: fewer joins bought with more
//   bookkeeping or less predictable loops did not pay.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "lattice/cover_corner.hpp"
#include "lattice/flat_factor.hpp"

namespace lattice {

// Points are numbered 0..k-1 and pair xy has slot x * 8 + y in 64-bit masks,
// so k is at most 8 (Equ(8) has more elements than any table anyway).
inline constexpr int MaxPartitionPoints = 8;
inline constexpr int MaxPartitionAtoms = MaxPartitionPoints * (MaxPartitionPoints - 1) / 2;

// The two points of each irreducible when the irreducibles and covers are
// exactly those of Equ(k), 2 <= k <= MaxPartitionPoints: irreducible J[i] is
// the pair ends[i] = {x, y}, x < y < k, each pair is one irreducible, and
// the covers are exactly "the third side of a triangle lies below the join
// of the other two".
struct AtomPoints {
  int points = 0;                                 // k
  std::vector<std::array<std::uint8_t, 2>> ends;  // ends[i]: the two points of J[i], i < |J|
};
// nullopt for covers of any other shape.
template <class Element>
std::optional<AtomPoints> FindAtomPoints(const JoinCovers<Element>& covers);

// The numbering of f by height above the bottom (the length of the longest
// chain down to it), ties in f's order: number[x] for x in 0..size-1.
template <class Element>
std::vector<Element> HeightNumbering(const FlatFactor<Element>& f);

// f with each element x renamed number[x]; number is a permutation of 0..size-1.
template <class Element>
FlatFactor<Element> Renumbered(const FlatFactor<Element>& f, const std::vector<Element>& number);

// What PartitionCorner shares between workers, made once per plan.
template <class Element>
struct PartitionCornerTables {
  AtomPoints atoms;             // of the domain
  FlatFactor<Element> values;   // the value lattice in height numbering: bottom 0
  std::vector<Element> number;  // number[v]: v's number in `values`, v in 0..size-1 as given
  std::array<std::uint64_t, MaxPartitionPoints> pairsOf{};  // pairsOf[x]: slots of the pairs xw and wx, w < k
  std::uint64_t pairs = 0;                                  // slots x * 8 + y of all pairs x < y < k
  std::array<std::uint64_t, MaxPartitionAtoms> slotsOf{};   // slotsOf[i]: slots x * 8 + y and y * 8 + x of J[i]
};

// Contract: covers == FindJoinCovers(domain) for the domain of the corner;
// values satisfies the lattice laws with bounds set.  nullopt when the
// covers are not those of a partition lattice.
template <class Element>
std::optional<PartitionCornerTables<Element>> MakePartitionCornerTables(const JoinCovers<Element>& covers,
                                                                        const FlatFactor<Element>& values);

// One corner for one worker; shares the tables, holds nothing else.
// Element is std::uint8_t or std::uint16_t (the instantiations partition_corner.cpp provides).
template <class Element>
class PartitionCorner {
 public:
  // Contract: tables == MakePartitionCornerTables(covers, values); both outlive this object.
  PartitionCorner(const JoinCovers<Element>& covers, const PartitionCornerTables<Element>& tables);

  // Contract as CoverCorner::Reaches, generators in the caller's numbering.
  // True when (top of the domain, bottom of the values) is generated.
  bool Reaches(const Element* d, const Element* v) const;

  // What a relation's starting values need from each of its two sets, made
  // once per set and read by every relation between the same two sets.
  // For a set of 1..4 domain elements: positions[i] holds bit p when
  // J[i] <= set[p], i < |J|.
  void DomainPositions(const Element* set, int size, std::uint8_t* positions) const;
  // For a set of 1..4 values (caller's numbering): meets[q], q < 16, is the
  // meet of set[p] over the bits p of q in the height numbering; top for
  // q = 0, and positions p >= size count as top.
  void SubsetMeets(const Element* set, int size, Element* meets) const;

  // Contract: positions from DomainPositions of a domain set S, meets from
  // SubsetMeets of a value set T, and spread[q] (q < 16) the positions in T
  // of the generators whose position in S is in q.  As Reaches for those
  // generators: J[i]'s starting value is meets[spread[positions[i]]].
  bool ReachesSpread(const std::uint8_t* positions, const Element* meets, const std::uint8_t* spread) const;

  // The fixpoint from start[i] as the value of atom J[i] (height numbering,
  // i < |J|) instead of the generators' meets: true when it is bottom on
  // every atom.  For tests of the contraction.
  bool ReachesFrom(const Element* start) const;

 private:
  // The fixpoint from value[x * 8 + y] = value[y * 8 + x] for the pairs;
  // open holds the slots of the values that are not top, zero those of the
  // values at bottom.
  bool Run(Element* value, std::uint64_t open, std::uint64_t zero) const;

  const JoinCovers<Element>& covers_;
  const PartitionCornerTables<Element>& tables_;
};

}  // namespace lattice
