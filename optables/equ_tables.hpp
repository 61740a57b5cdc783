// Join/meet tables of the partition lattices Equ(k), k = 1..7, and their text form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lattice/operation_tables.hpp"
#include "runframe/random_draws.hpp"

namespace optables {

inline constexpr int MaxEquPoints = 7;

// A partition of {1..k} as a restricted growth string: entry i is the 0-based block of point
// i+1, and blocks are numbered in order of their first point, so each partition has one form.
using Partition = std::vector<int>;

// All partitions of {1..k} in lexicographic order of their restricted growth strings; element
// number x of Equ(k) is entry x-1. Throws std::invalid_argument unless 1 <= k <= 7.
std::vector<Partition> EquPartitions(int k);

// Common refinement and transitive closure of the union, both in canonical form.
Partition MeetPartitions(const Partition& a, const Partition& b);
Partition JoinPartitions(const Partition& a, const Partition& b);

// Tables of Equ(k) in the numbering of EquPartitions(k), the join first and the meet second.
// Throws std::invalid_argument unless 1 <= k <= 7.
lattice::OperationTables BuildEquTables(int k);

// The same lattice with element x renamed to perm[x-1]. perm must hold each of 1..size once;
// otherwise std::invalid_argument is thrown.
lattice::OperationTables Renumber(const lattice::OperationTables& tables, const std::vector<int>& perm);

// The shuffle's source: runframe's SplitMix64 with its skipping draw below a bound.
using SplitMix64 = runframe::SplitMix64;

// Fisher-Yates shuffle of 0..count-1 driven by SplitMix64(seed).
std::vector<int> ShuffledOrder(int count, std::uint64_t seed);
// A permutation of 1..size for Renumber, from the same shuffle.
std::vector<int> ShuffledNumbering(int size, std::uint64_t seed);

enum class LineEnd { CrLf, Lf, Cr };
std::string_view LineEndText(LineEnd end);

struct RenderOptions {
  bool meetFirst = false;                 // lines read x&y=meet,join instead of x&y=join,meet
  std::optional<std::uint64_t> lineSeed;  // shuffle the line order; canonical when absent
  LineEnd lineEnd = LineEnd::CrLf;
};

// One line "x&y=r1,r2" per ordered pair (x, y), each line ended by the chosen line end.
// Canonical order runs x over 1..size and, for each x, y over 1..size.
std::string RenderTableFile(const lattice::OperationTables& tables, const RenderOptions& options);

}  // namespace optables
