// The partition lattices Equ(k): their elements as partitions of {1..k}, in
// the one numbering every program and table file of the project uses, and
// their join and meet tables.  The table maker writes these tables; genexact
// builds them in memory (--equ-tables) and names the elements of a factor that
// is exactly one of them by its blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lattice/operation_tables.hpp"

namespace lattice {

// Equ(8) has 4140 elements, within genexact's two-byte element numbers;
// Equ(9)'s 21147 would need 3.6 GB of tables.
inline constexpr int MaxEquPoints = 8;

// A partition of {1..k} as a restricted growth string: entry i is the 0-based block of point
// i+1, and blocks are numbered in order of their first point, so each partition has one form.
using Partition = std::vector<int>;

// All partitions of {1..k} in lexicographic order of their restricted growth strings; element
// number x of Equ(k) is entry x-1. Throws std::invalid_argument unless 1 <= k <= MaxEquPoints.
std::vector<Partition> EquPartitions(int k);

// Common refinement and transitive closure of the union, both in canonical form.
Partition MeetPartitions(const Partition& a, const Partition& b);
Partition JoinPartitions(const Partition& a, const Partition& b);

// Tables of Equ(k) in the numbering of EquPartitions(k), the join first and the meet second.
// Throws std::invalid_argument unless 1 <= k <= MaxEquPoints.  Equ(8)'s 17139600 pairs
// take about a second: partitions as label arrays, no allocation per pair, an element's
// number computed from its labels (EquRank).
OperationTables BuildEquTables(int k);

// The same tables pair by pair through JoinPartitions and MeetPartitions and a
// search for each result: the plain construction that BuildEquTables is checked
// against.  Minutes for Equ(8).
OperationTables BuildEquTablesPlain(int k);

// The 0-based position of a partition of {1..k} in EquPartitions(k), computed
// from its labels alone.  Throws std::invalid_argument for a k out of range or a
// text that is not a restricted growth string.
std::int32_t EquRank(const Partition& p);

// The blocks of a partition of {1..k}, k <= 9, points as digits and blocks
// in order of their first point, separated by "|": {1,2}{3}{4,5} is "12|3|45".
std::string BlocksText(const Partition& p);

}  // namespace lattice
