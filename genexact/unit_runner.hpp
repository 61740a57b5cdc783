#pragma once
// Runs work units on worker threads.  Each unit is counted by one thread with
// its own corner test and stored under its number, so the sum does not depend
// on the number of threads or on the order in which units finish.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "genexact/count_plan.hpp"

namespace genexact::inline GENEXACT_WIDTH {

struct RunnerProgress {
  std::uint64_t unitsDone = 0;  // units finished in this run
  std::uint64_t testsDone = 0;  // their corner tests
  double seconds = 0;           // since the workers started
};

struct RunnerRequest {
  std::vector<std::size_t> units;  // to count, handed out in this order
  int threads = 1;
  std::uint64_t stopAfterUnits = 0;  // > 0: hand out no more than this many units
  double saveEverySeconds = 30;
  bool timeUnits = false;  // keep each unit's time in RunnerOutcome::unitSeconds
  // Called on the calling thread, every ProgressInterval and once at the end.
  std::function<void(const RunnerProgress&)> progress;
  // Called on the calling thread every saveEverySeconds with all units
  // finished so far in this run; not called when empty.
  std::function<void(const std::map<std::uint64_t, std::uint64_t>&)> save;
};

struct RunnerOutcome {
  std::map<std::uint64_t, std::uint64_t> done;  // done[u]: count of unit u, finished in this run
  bool interrupted = false;                     // stopped by a signal or by stopAfterUnits
  double seconds = 0;
  std::map<std::uint64_t, double> unitSeconds;  // with timeUnits: unitSeconds[u], unit u's time on its thread
};

// Contract: every unit number is below plan.UnitCount().  Runs until all
// units are counted or a stop is asked for (runframe::StopRequested: the
// workers finish their current unit, and what is finished is saved at once; a
// second stop signal saves and ends the process).  An exception in a worker
// (an overflow) or a callback is rethrown here after what is finished has
// been saved and every worker has ended; a thread that cannot be started
// ends the run as std::bad_alloc.
RunnerOutcome RunUnits(const CountPlan& plan, const RunnerRequest& request);

}  // namespace genexact::inline GENEXACT_WIDTH
