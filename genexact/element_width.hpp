#pragma once
// genexact is compiled twice, once with element numbers in one byte and once
// in two, and runs the narrow build whenever both tables have at most 255
// elements: with two-byte tables Equ(5)xEqu(6) and Equ(4)xEqu(6) ran 10 to
// 20 per cent slower (the corner test's tables fit the caches less well).
// GENEXACT_WIDE_ELEMENTS picks the build; each puts its names into an inline
// namespace of its own, so both can be linked into one program.
#ifndef GENEXACT_WIDE_ELEMENTS
#define GENEXACT_WIDE_ELEMENTS 1
#endif

#if GENEXACT_WIDE_ELEMENTS
#define GENEXACT_WIDTH wide
#else
#define GENEXACT_WIDTH narrow
#endif

namespace genexact {

// Largest factor genexact takes, in either build.  The lattice check takes
// size^3 / 64 steps and the tables take 4 size^2 bytes, so this is a
// practical bound, well above B(7) = 877.
inline constexpr int MaxFactorElements = 4095;

// Largest factor of the one-byte build: 255 stays free as "no element".
inline constexpr int NarrowMaxElements = 255;

}  // namespace genexact
