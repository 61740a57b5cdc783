#pragma once
// Finished work units in a file: the checkpoint of an interrupted run, and the
// partial result of a shard.  One format for both, so a checkpoint can be
// merged and a shard resumed.
//
//   genexact partial result 2
//   fingerprint <16 hex digits>      the problem, see PlanFingerprint
//   units <U>                        number of work units of the problem
//   shard <i> <K>                    the units u with u mod K = i-1 (1 1: all)
//   unit <u> <count>                 one line per finished unit
//   end <lines>                      number of unit lines, so a cut file is seen
//   checksum <16 hex digits>         FNV-1a 64 of every byte before this line but CR
//
// Lines end with CR LF like every file of the programs; the reader also takes
// LF.  The checksum catches accidents (a flipped digit, an edited or lost
// line), not forgery: anyone can compute it.
#include <cstdint>
#include <map>
#include <string>

#include "genexact/checked_text.hpp"

namespace genexact {

struct PartialResult {
  std::uint64_t fingerprint = 0;
  std::uint64_t unitCount = 0;
  std::int32_t shardIndex = 1;
  std::int32_t shardCount = 1;
  std::map<std::uint64_t, std::uint64_t> done;  // done[u]: the count of finished unit u
};

// Longest line of a valid file; a longer line is damage, found without
// reading further.
inline constexpr std::size_t MaxPartialLine = 80;

// Reads file into result; Missing when it is not there (errnoValue says why
// when it exists but cannot be opened), Damaged when it is not a complete,
// intact file of this format, or not a regular file.  Takes bounded time and
// memory whatever the file is.
LoadStatus LoadPartialResult(const std::string& file, PartialResult& result, int& errnoValue);
LoadStatus LoadPartialResult(const std::string& file, PartialResult& result);

// The text of the file for result.
std::string PartialResultText(const PartialResult& result);

// Replaces file atomically with the text of result (see
// runframe::ReplaceFileAtomically).  Returns 0 or the errno value of the failure.
int SavePartialResult(const std::string& file, const PartialResult& result);

}  // namespace genexact
