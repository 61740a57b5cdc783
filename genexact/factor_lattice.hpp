#pragma once
// genexact's factor lattice: lattice's flat model (lattice/flat_factor.hpp)
// with element numbers in one or two bytes, as this build takes them.
#include <cstdint>
#include <vector>

#include "genexact/element_width.hpp"
#include "lattice/flat_factor.hpp"

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

// The largest value is kept free as a mark for "no element" in the corner test.
inline constexpr Element NoElement = static_cast<Element>(~Element{0});
static_assert(MaxWidthElements <= NoElement, "NoElement must not be an element number");

using FactorLattice = lattice::FlatFactor<Element>;
using lattice::CheckFactor;
using lattice::Dual;
using lattice::FlatCell;

// The factor of the reader's flat tables in this build's width.
inline FactorLattice MakeFactor(int size, const std::vector<std::int32_t>& firstOp,
                                const std::vector<std::int32_t>& secondOp) {
  return lattice::MakeFlatFactor<Element>(size, firstOp, secondOp);
}

}  // namespace genexact
