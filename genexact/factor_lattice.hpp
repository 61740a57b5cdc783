#pragma once
// genexact's names for lattice's flat model, automorphism and orbit searches
// and corner tests in this build's width: element numbers in one byte or two
// (element_width.hpp).
#include <cstdint>
#include <limits>
#include <vector>

#include "genexact/element_width.hpp"
#include "lattice/automorphisms.hpp"
#include "lattice/corner_certificates.hpp"
#include "lattice/corner_fixpoint.hpp"
#include "lattice/cover_corner.hpp"
#include "lattice/flat_factor.hpp"
#include "lattice/generating_sets.hpp"
#include "lattice/relation_test.hpp"

namespace genexact::inline GENEXACT_WIDTH {

// A factor element, 0..size-1: two bytes in the wide build, one in the
// narrow one (see element_width.hpp).
#if GENEXACT_WIDE_ELEMENTS
using Element = std::uint16_t;
inline constexpr int MaxWidthElements = MaxFactorElements;
#else
using Element = std::uint8_t;
inline constexpr int MaxWidthElements = NarrowMaxElements;
#endif

static_assert(MaxWidthElements - 1 <= std::numeric_limits<Element>::max(), "every element number fits Element");

using FactorLattice = lattice::FlatFactor<Element>;
using lattice::CheckFactor;
using lattice::Dual;
using lattice::FlatCell;
using lattice::JoinIrreducibles;

using Permutation = lattice::Permutation<Element>;
using AutomorphismGroup = lattice::AutomorphismGroup<Element>;
using GeneratingSet = lattice::GeneratingSet<Element>;
using lattice::DoublyIrreducibles;
using lattice::FindAutomorphisms;
using lattice::GeneratingSetOrbits;
using lattice::GeneratingSetOrbitsByImages;
using lattice::MaxListedAutomorphisms;
using lattice::SearchProgress;
// The size of the subsets counted, and the most elements of a listed generating set.
inline constexpr int SubsetSize = lattice::MaxGeneratingSetSize;

using CornerFixpoint = lattice::CornerFixpoint<Element>;
using JoinCovers = lattice::JoinCovers<Element>;
using CoverCorner = lattice::CoverCorner<Element>;
using CornerShortcut = lattice::CornerShortcut<Element>;
using CornerShortcuts = lattice::CornerShortcuts<Element>;
using RelationTest = lattice::RelationTest<Element>;
using lattice::CornerRefuted;
using lattice::FindCornerShortcuts;
using lattice::FindJoinCovers;
using lattice::FindSubsetBounds;
using lattice::JoinCover;
using lattice::MaxCoverIrreducibles;
using lattice::SubsetBounds;

// The factor of a file's tables in this build's width.
inline FactorLattice MakeFactor(const lattice::OperationTables& tables) {
  return lattice::MakeFlatFactor<Element>(tables);
}

}  // namespace genexact::inline GENEXACT_WIDTH
