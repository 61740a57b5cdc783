#pragma once
// genexact's options, the command-line parameters after n and m.
#include <cstdint>
#include <string>
#include <vector>

#include "runframe/run_context.hpp"

namespace genexact {

// A table size given on the command line, or to be read off the file.
struct SizeChoice {
  bool automatic = false;  // size = square root of the file's line count
  std::int32_t value = 0;  // 0: the Bell number of n (or m)
};

struct Options {
  std::int32_t threads = 0;  // 0: all cores
  std::string checkpoint;    // empty: no checkpoint (shards get a default)
  std::int32_t saveEverySeconds = 30;
  std::int32_t progressEverySeconds = 60;  // plain progress lines when the console is no terminal
  std::int32_t shardIndex = 1;             // 1..shardCount
  std::int32_t shardCount = 1;
  std::vector<std::string> merge;  // non-empty: sum these partial files only
  SizeChoice sizeA, sizeB;
  std::int32_t stopAfterUnits = 0;  // > 0: stop after this many units, as if interrupted
  std::int32_t sampleUnits = 0;     // > 0: time this many units and estimate the whole run
  std::string tableA, tableB;       // --tables: the two factors' table files (non-empty: in place of n and m)
  std::string planFile;             // non-empty: orbit searches kept here between runs
  bool equTables = false;           // build the tables of Equ(n) and Equ(m) in memory instead of reading files
  std::string unitList;             // non-empty: write the units to this file instead of counting (or after a merge)
};

// Contract: parameters are the command-line parameters after n and m.  A bad
// option, also a value that is no number, ends the run through FatalStop with
// a message that names the option.
Options ParseOptions(const std::vector<std::string>& parameters);

// Checked before any file is opened or created: n, m and every option.
Options CheckExactOptions(runframe::RunContext& run);

// The partial-result file of shard i of K when no checkpoint name is given:
// genexact-<n>-<m>-shard-i-of-K.part, with the tables' labels for n and m when
// they are named by --tables.
std::string DefaultShardFile(const runframe::RunContext& run, std::int32_t shardIndex, std::int32_t shardCount);

// How to run this run again with other options: "genexact n m" or
// "genexact --tables A B".
std::string CommandHead(const runframe::RunContext& run);

}  // namespace genexact
