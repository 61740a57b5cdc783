#pragma once
// Finished work units in a file: the checkpoint of an interrupted run, and the
// partial result of a shard.  One format for both, so a checkpoint can be
// merged and a shard resumed.
//
//   genexact partial result 1
//   fingerprint <16 hex digits>      the problem, see PlanFingerprint
//   units <U>                        number of work units of the problem
//   shard <i> <K>                    the units u with u mod K = i-1 (1 1: all)
//   unit <u> <count>                 one line per finished unit
//   end <lines>                      number of unit lines, so a cut file is seen
//
// Lines end with CR LF like every file of the programs; the reader also takes LF.
#include <cstdint>
#include <map>
#include <string>

namespace genexact {

struct PartialResult {
  std::uint64_t fingerprint = 0;
  std::uint64_t unitCount = 0;
  std::int32_t shardIndex = 1;
  std::int32_t shardCount = 1;
  std::map<std::uint64_t, std::uint64_t> done;  // done[u]: the count of finished unit u
};

enum class LoadStatus { Missing, Loaded, Damaged };

// Reads file into result; Missing when it cannot be opened, Damaged when it
// is not a complete file of this format.
LoadStatus LoadPartialResult(const std::string& file, PartialResult& result);

// Writes file.tmp, then renames it over file, so a crash leaves the old or the
// new file, never a cut one.  False when any step fails.
bool SavePartialResult(const std::string& file, const PartialResult& result);

}  // namespace genexact
