#pragma once
// genexact is compiled twice, once with element numbers in one byte and once
// in two, and runs the narrow build whenever both tables have at most 255
// elements: with two-byte tables Equ(5)xEqu(6) and Equ(4)xEqu(6) ran 10 to
// 20 per cent slower (the corner test's tables fit the caches less well).
// GENEXACT_WIDE_ELEMENTS picks the build; each puts its names into an inline
// namespace of its own, so both can be linked into one program.
#include <cstdint>

#include "lattice/flat_factor.hpp"

#ifndef GENEXACT_WIDE_ELEMENTS
#define GENEXACT_WIDE_ELEMENTS 1
#endif

#if GENEXACT_WIDE_ELEMENTS
#define GENEXACT_WIDTH wide
#else
#define GENEXACT_WIDTH narrow
#endif

namespace genexact {

// Largest factor genexact takes, in either build, and of the one-byte build.
inline constexpr int MaxFactorElements = lattice::MaxFlatElements<std::uint16_t>;
inline constexpr int NarrowMaxElements = lattice::MaxFlatElements<std::uint8_t>;

}  // namespace genexact
