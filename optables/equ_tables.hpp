// The text form of the tables of Equ(k) (lattice/partition_lattice.hpp) and other lattices:
// renumbering, shuffles and line ends for the table maker and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lattice/operation_tables.hpp"
#include "lattice/partition_lattice.hpp"
#include "runframe/random_draws.hpp"

namespace optables {

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

// The size in bytes of RenderTableFile(tables, options), found without rendering.
std::uint64_t TableFileBytes(const lattice::OperationTables& tables, const RenderOptions& options);

// The same text as RenderTableFile, handed to take in order in pieces of at most
// chunkBytes (at least one line each), so that Equ(8)'s 340 MB never stand whole in
// memory.  take returns false to stop early (a failed write); the result is false then.
bool RenderTableChunks(const lattice::OperationTables& tables, const RenderOptions& options, std::size_t chunkBytes,
                       const std::function<bool(std::string_view)>& take);

// What optables writes: k-optablea.txt and/or k-optableb.txt in dir, the same text in both.
struct WriteRequest {
  int k = 0;
  std::string dir;  // empty: the current folder
  bool writeA = true;
  bool writeB = true;
  RenderOptions render;
};

// The free bytes of a folder's file system, or an errno value (runframe::AvailableBytes).
using FreeSpaceProbe = std::function<int(const std::string& folder, std::uintmax_t& bytes)>;

// Writes the requested files, each replaced as a whole through runframe's atomic
// writer.  Files that would not fit in the free space the probe reports are refused
// before anything is written (a probe that fails lets the writes find out).  Returns
// an empty text, or what went wrong.
std::string WriteTableFiles(const lattice::OperationTables& tables, const WriteRequest& request,
                            const FreeSpaceProbe& probe);

}  // namespace optables
