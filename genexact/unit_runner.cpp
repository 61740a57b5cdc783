#include "genexact/unit_runner.hpp"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "genexact/progress_line.hpp"
#include "runframe/stop_signals.hpp"

namespace genexact::inline GENEXACT_WIDTH {

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

RunnerOutcome RunUnits(const CountPlan& plan, const RunnerRequest& request) {
  RunnerOutcome outcome;
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  RunnerProgress progress;  // guarded by mutex
  int running = request.threads;
  std::size_t limit = request.units.size();
  if (request.stopAfterUnits > 0 && request.stopAfterUnits < limit) limit = request.stopAfterUnits;
  const Clock::time_point start = Clock::now();

  auto worker = [&] {
    try {
      const std::unique_ptr<RelationTest> test = MakeRelationTest(plan);
      for (;;) {
        if (runframe::StopRequested() || failed.load()) break;
        const std::size_t k = next.fetch_add(1);
        if (k >= limit) break;
        const std::size_t u = request.units[k];
        const Clock::time_point unitStart = Clock::now();
        const std::uint64_t count = CountUnit(plan, u, *test);
        const double unitSeconds = Since(unitStart);
        const std::lock_guard<std::mutex> lock(mutex);
        outcome.done[u] = count;
        if (request.timeUnits) outcome.unitSeconds[u] = unitSeconds;
        ++progress.unitsDone;
        progress.testsDone += plan.UnitTests(u);
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(mutex);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    --running;
    changed.notify_all();
  };

  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(request.threads));
  for (int t = 0; t < request.threads; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (const std::system_error&) {
      // The system has no room for another thread: the run ends as out of
      // memory once the threads already started have stopped.
      const std::lock_guard<std::mutex> lock(mutex);
      running -= request.threads - t;
      if (!failure) failure = std::make_exception_ptr(std::bad_alloc());
      failed = true;
      break;
    }
  }

  // Saves what is finished now; a failed save is the callback's to report.
  auto saveFinished = [&] {
    if (!request.save) return;
    std::map<std::uint64_t, std::uint64_t> finishedUnits;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      finishedUnits = outcome.done;
    }
    if (finishedUnits.empty()) return;
    try {
      request.save(finishedUnits);
    } catch (...) {
      // Already on the way out with the first failure.
    }
  };

  Clock::time_point lastSave = start;
  bool savedOnStop = false;
  for (;;) {
    RunnerProgress shown;
    std::map<std::uint64_t, std::uint64_t> toSave;
    bool finished = false;
    int secondSignal = 0;
    bool stopSaveDue = false;  // this pass makes (or needs no) the save of the first stop
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait_for(lock, std::chrono::duration<double>(ProgressInterval), [&] { return running == 0; });
      finished = running == 0;
      shown = progress;
      shown.seconds = Since(start);
      secondSignal = runframe::SecondStopSignal();
      // A stop saves at once, before the units in progress end; a second
      // signal saves once more and then ends the process.
      const bool stopSave = runframe::StopRequested() && !savedOnStop;
      if (!finished && request.save && !outcome.done.empty() &&
          (stopSave || secondSignal != 0 || Since(lastSave) >= request.saveEverySeconds)) {
        toSave = outcome.done;
      }
      stopSaveDue = stopSave && !finished;  // when finished, the caller's last save follows
      if (runframe::StopRequested()) savedOnStop = true;
    }
    // The callbacks write to the console and to files; a failure there must
    // still stop and join the workers before it leaves this function.  The
    // save comes first: a console that blocks must not hold it back.
    try {
      if (!toSave.empty()) {
        request.save(toSave);
        lastSave = Clock::now();
      }
      if (stopSaveDue) runframe::StopSaveDone();
      if (!failed && request.progress) request.progress(shown);
    } catch (...) {
      {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = std::current_exception();
      }
      failed = true;
      // The run ends with this failure: keep what is finished before waiting
      // for the units in progress.
      saveFinished();
      runframe::StopSaveDone();
    }
    if (secondSignal != 0) {
      if (toSave.empty()) saveFinished();
      runframe::EndBySignal(secondSignal);
    }
    if (finished) break;
  }
  for (std::thread& t : pool) t.join();
  if (failure) {
    saveFinished();
    std::rethrow_exception(failure);
  }
  outcome.seconds = Since(start);
  outcome.interrupted = outcome.done.size() < request.units.size();
  return outcome;
}

}  // namespace genexact::inline GENEXACT_WIDTH
