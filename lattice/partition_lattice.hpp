// The partition lattices Equ(k): their elements as partitions of {1..k}, in
// the one numbering every program and table file of the project uses, and
// their join and meet tables.  The table maker writes these tables; genexact
// names the elements of a factor that is exactly one of them by its blocks.
#pragma once

#include <string>
#include <vector>

#include "lattice/operation_tables.hpp"

namespace lattice {

inline constexpr int MaxEquPoints = 7;

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
// Throws std::invalid_argument unless 1 <= k <= MaxEquPoints.
OperationTables BuildEquTables(int k);

// The blocks of a partition of {1..k}, k <= 9, points as digits and blocks
// in order of their first point, separated by "|": {1,2}{3}{4,5} is "12|3|45".
std::string BlocksText(const Partition& p);

}  // namespace lattice
