#pragma once
// genexact's two steps inside the shared run sequence: reading (options,
// tables, lattice laws, the plan, a checkpoint or the files to merge) and
// counting (worker threads, progress line, checkpoints, result lines).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "genexact/count_plan.hpp"
#include "genexact/options.hpp"
#include "genexact/partial_result.hpp"
#include "genexact/width_run.hpp"
#include "runframe/atomic_file.hpp"
#include "runframe/machine_memory.hpp"
#include "runframe/run_context.hpp"

namespace genexact::inline GENEXACT_WIDTH {

struct ExactRun {
  Options options;
  CountPlan plan;
  std::uint64_t fingerprint = 0;
  std::string checkpointFile;         // empty: finished units are not saved
  PartialResult saved;                // units finished before this run (checkpoint), or all merged units
  std::size_t mergedFiles = 0;        // merge mode: number of partial files read
  runframe::FileLock checkpointLock;  // held on the checkpoint file for the whole run
  OrbitFileContent kept;              // the plan file's orbit lists, as read and as this run adds to them
  runframe::FileLock planLock;        // held on the plan file from this run's first write on
  bool planLocked = false;
  bool planInUse = false;  // another run holds the plan file: this one does not write it
  int planSaveError = 0;   // errno value of the last failed write of the plan file
  CornerMethod cornerMethod = CornerMethod::Covers;
  bool stoppedBeforeCounting = false;  // a stop signal came while the tables were read or the plan made
  // The memory the run may use, which the tables must fit (empty: unknown,
  // not checked): the machine's, or less under a batch system's limit.
  std::optional<std::uint64_t> usableMemory = runframe::UsableMemoryBytes();
};

// Step 6 of the run sequence, as WidthRun::Read.
bool ReadExactTables(runframe::RunContext& run, ExactRun& state);

// Step 7: counts, shows progress and writes the report.
void ExactCount(runframe::RunContext& run, ExactRun& state);

}  // namespace genexact::inline GENEXACT_WIDTH
