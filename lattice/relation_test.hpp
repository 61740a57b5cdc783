#pragma once
// The generation test for one relation between generating sets: both
// corners, each by its cover fixpoint where a factor allows one, by the row
// minima over all elements otherwise.
//
// Either corner can be read in two orientations.  (top D, bottom V) is, in
// the dual product, (bottom of dual V, top of dual D) with the factors
// exchanged, so it may be decided on the join-irreducibles of D or on those
// of the dual of V (the meet-irreducibles of V); likewise (bottom D, top V)
// on J(V) or on J(dual D).  Tables given meet first are the dual of a
// partition lattice, whose meet-irreducibles are then the atoms.
#include <array>
#include <cstdint>
#include <optional>

#include "lattice/corner_fixpoint.hpp"
#include "lattice/cover_corner.hpp"
#include "lattice/flat_factor.hpp"
#include "lattice/partition_corner.hpp"

namespace lattice {

template <class Element>
struct CornerShortcut {
  JoinCovers<Element> covers;                               // of the domain in this orientation
  FlatFactor<Element> values;                               // the value lattice in this orientation
  bool exchanged;                                           // the generators enter as (v, d) instead of (d, v)
  bool dual;                                                // read on the dual of the other factor
  std::optional<PartitionCornerTables<Element>> partition;  // for PartitionCorner; empty: CoverCorner decides
};

template <class Element>
struct CornerShortcuts {
  std::optional<CornerShortcut<Element>> lower;  // decides (top D, bottom V)
  std::optional<CornerShortcut<Element>> upper;  // decides (bottom D, top V)
};

// Contract: both satisfy the lattice laws with bounds set.  The cheaper
// orientation for each corner, where one has the cover property, decided by
// PartitionCorner where its domain's covers are those of a partition
// lattice, by CoverCorner otherwise or when plain is set (the baseline that
// PartitionCorner is measured against).
template <class Element>
CornerShortcuts<Element> FindCornerShortcuts(const FlatFactor<Element>& domain, const FlatFactor<Element>& values,
                                             bool plain = false);

// Element is std::uint8_t or std::uint16_t (the instantiations relation_test.cpp provides).
template <class Element>
class RelationTest {
 public:
  // Contract: shortcuts from FindCornerShortcuts(domain, values), or empty
  // for the row minima alone; it outlives this object.
  RelationTest(const FlatFactor<Element>& domain, const FlatFactor<Element>& values,
               const CornerShortcuts<Element>& shortcuts);

  // Contract as CornerFixpoint::Generates.
  bool Generates(const Element* d, const Element* v) { return Lower(d, v) && Upper(d, v); }

  // True when both corners are read by PartitionCorner, whose starting
  // values can come from parts made once per set: then GeneratesAt serves.
  bool ReadsSetParts() const { return lowerPartition_.has_value() && upperPartition_.has_value(); }
  // For relations between two sets that many relations share: the domain's
  // set and the values' set (1..4 elements each, generating their lattices)
  // are given once, each relation by positions in them.
  // Contract for all three: ReadsSetParts().
  void SetDomainSet(const Element* set, int size);
  void SetValueSet(const Element* set, int size);
  // Contract: both sets given; the generators are (domain set[dPos[k]],
  // value set[vPos[k]]); dToV[q] (q < 16) holds the value-set positions of
  // the generators whose domain-set position is in q, vToD[q] the reverse.
  // As Generates for those generators.
  bool GeneratesAt(const std::uint8_t* dToV, const std::uint8_t* vToD) const;

 private:
  // Where a partition corner's starting values come from: its own domain's
  // positions and its values' subset meets, for the sets given last.
  struct SetParts {
    std::array<std::uint8_t, MaxPartitionAtoms> positions{};  // DomainPositions of the corner's domain set
    std::array<Element, 16> meets{};                          // SubsetMeets of the corner's value set
  };
  // The parts of one corner that a set on the given side fills.
  static void Fill(const PartitionCorner<Element>& corner, bool domainSide, const Element* set, int size,
                   SetParts& parts) {
    if (domainSide) {
      corner.DomainPositions(set, size, parts.positions.data());
    } else {
      corner.SubsetMeets(set, size, parts.meets.data());
    }
  }

  bool Lower(const Element* d, const Element* v) {
    if (lowerPartition_) return lowerExchanged_ ? lowerPartition_->Reaches(v, d) : lowerPartition_->Reaches(d, v);
    if (!lower_) return rowMinima_.ReachesLowerCorner(d, v);
    return lowerExchanged_ ? lower_->Reaches(v, d) : lower_->Reaches(d, v);
  }
  bool Upper(const Element* d, const Element* v) {
    if (upperPartition_) return upperExchanged_ ? upperPartition_->Reaches(v, d) : upperPartition_->Reaches(d, v);
    if (!upper_) return rowMinima_.ReachesUpperCorner(d, v);
    return upperExchanged_ ? upper_->Reaches(v, d) : upper_->Reaches(d, v);
  }

  CornerFixpoint<Element> rowMinima_;
  std::optional<PartitionCorner<Element>> lowerPartition_;  // one of the two for each corner
  std::optional<PartitionCorner<Element>> upperPartition_;
  std::optional<CoverCorner<Element>> lower_;
  std::optional<CoverCorner<Element>> upper_;
  bool lowerExchanged_ = false;
  bool upperExchanged_ = false;
  SetParts lowerParts_;  // from the sets given last, for GeneratesAt
  SetParts upperParts_;
};

}  // namespace lattice
