#pragma once
// The memory the two factors' tables take, stated before they are allocated
// and refused when the machine does not have it: Equ(8)'s tables are 69 MB
// in two-byte numbers, and a lattice of 65535 elements would need 17 GB.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace genexact {

// Bytes at the peak of reading (or building) and checking the tables of
// factors of sizeA and sizeB elements with element numbers of elementBytes:
// both factors' join and meet tables, the 32-bit tables of the larger factor
// that a file or the table maker fills before they are narrowed, and the
// lattice check's order sets (two bits per pair of the larger factor).
std::uint64_t TableMemoryBytes(std::int64_t sizeA, std::int64_t sizeB, std::size_t elementBytes);

// "Memory for the tables: 345 MB at most (this machine has 24105 MB)", the
// machine's part left out when it is not known.
std::string TableMemoryLine(std::uint64_t bytes, std::optional<std::uint64_t> usable);

// Ends the run through FatalStop when bytes exceed the memory the run may
// use (runframe::UsableMemoryBytes); an unknown figure lets the run try.
void RefuseTablesBeyondMemory(std::uint64_t bytes, std::optional<std::uint64_t> usable);

// Bytes the plan takes at most besides its orbit lists: the automorphism
// maps of both factors, as many as the group search lists at most (a symmetric
// product's second factor gets a copy of the first's), and the copy of one
// factor's maps that its orbit search reads.  Equ(8)'s whole group takes 334 MB.  The orbit lists are not known before
// the search; each orbit takes about PlanBytesPerOrbit.
std::uint64_t PlanMemoryBytes(std::int64_t sizeA, std::int64_t sizeB, std::size_t elementBytes);
// Measured on Equ(1) x Equ(8) and Equ(2) x Equ(8) (4995061 orbits; peaks of
// 1342 and 1479 MB against 878 MB for the rest): the search's list and its
// copy in the plan, the sets' position stabilizers, the plan file's copy.
inline constexpr std::uint64_t PlanBytesPerOrbit = 120;

// "Memory for the plan: 668 MB at most and 120 bytes for each orbit" (of the
// generating sets, in both factors' lists).
std::string PlanMemoryLine(std::uint64_t bytes);

// As RefuseTablesBeyondMemory, for the tables and the plan together.
void RefusePlanBeyondMemory(std::uint64_t tableAndPlanBytes, std::optional<std::uint64_t> usable);

}  // namespace genexact
