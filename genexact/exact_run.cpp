#include "genexact/exact_run.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <system_error>
#include <thread>

#include "genexact/progress_line.hpp"
#include "genexact/sample_estimate.hpp"
#include "genexact/share_line.hpp"
#include "genexact/table_memory.hpp"
#include "genexact/unit_list.hpp"
#include "genexact/unit_runner.hpp"
#include "lattice/partition_lattice.hpp"
#include "lattice/product.hpp"
#include "lattice/table_reader.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/atomic_file.hpp"
#include "runframe/checked.hpp"
#include "runframe/report.hpp"
#include "runframe/run_frame.hpp"
#include "runframe/stop_signals.hpp"

namespace genexact::inline GENEXACT_WIDTH {

namespace {

// " (reason)" for an errno value, empty for 0.
std::string Reason(int errnoValue) {
  return errnoValue == 0 ? std::string() : " (" + std::generic_category().message(errnoValue) + ")";
}

// The number of elements of one table: chosen, read off the file, or B(k).
std::int32_t TableSize(const SizeChoice& choice, std::int32_t k, const std::string& fileName, const char* ordinal) {
  if (choice.value > 0) return choice.value;
  if (!choice.automatic) return lattice::BellNumbers[static_cast<std::size_t>(k)];
  runframe::InputFile file(std::string("the ") + ordinal + " input file");
  if (!file.Open(fileName)) {
    runframe::FatalStop(fileName + " cannot be read to find its size (" + file.FailureReason() + ")");
  }
  std::int64_t lines = 0;
  std::string line;
  while (!file.AtEnd()) {
    file.ReadLine(line, lattice::MaxLineLength);
    ++lines;
  }
  file.Close();
  std::int64_t size = 0;
  while ((size + 1) * (size + 1) <= lines) ++size;
  if (size * size != lines || size < 1 || size > MaxFactorElements) {
    runframe::FatalStop("The size of the " + std::string(ordinal) + " table, " + fileName +
                        ", cannot be inferred: " + std::to_string(lines) + " lines is not the square of 1 to " +
                        std::to_string(MaxFactorElements) + " (a table of s elements has s*s lines; --sizes gives s)");
  }
  return static_cast<std::int32_t>(size);
}

// The lattice check, the same for tables read and tables built.
FactorLattice CheckedFactor(const lattice::OperationTables& tables, const std::string& name) {
  FactorLattice factor = MakeFactor(tables);
  const lattice::LatticeCheck check = CheckFactor(factor);
  if (!check.bounds) runframe::FatalStop(name + " is not a lattice: " + check.fault);
  return factor;
}

using ShowProgress = std::function<void(const std::string&)>;

FactorLattice ReadFactor(runframe::InputFile& file, std::int32_t size, const lattice::TableFileMessages& messages,
                         const char* ordinal, const ShowProgress& show) {
  if (size < 1 || size > MaxFactorElements) {
    runframe::FatalStop(std::string("The ") + ordinal + " table has " + std::to_string(size) +
                        " elements; genexact takes 1 to " + std::to_string(MaxFactorElements));
  }
  lattice::OperationTables tables;
  const std::string name = messages.fileName != nullptr ? messages.fileName : ordinal;
  const auto lines = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
  lattice::ReadTableFile(file, size, messages, tables, [&](std::size_t read) {
    show("reading " + name + ", " + std::to_string(read * 100 / lines) + "% of " + std::to_string(lines) + " lines");
  });
  show("checking the lattice laws of " + name);
  return CheckedFactor(tables, name);
}

// The tables of Equ(k) from the table maker's code, checked like read ones.
FactorLattice BuildFactor(std::int32_t k, const ShowProgress& show) {
  const std::string name = "Equ(" + std::to_string(k) + ")";
  show("building the tables of " + name);
  const lattice::OperationTables tables = lattice::BuildEquTables(k);
  show("checking the lattice laws of " + name);
  return CheckedFactor(tables, name);
}

void LoadCheckpoint(ExactRun& state) {
  // One writer per file: a second run on the same checkpoint would overwrite
  // the first one's saves with its own.
  const int lockError = state.checkpointLock.Acquire(state.checkpointFile);
  if (lockError == EWOULDBLOCK) {
    runframe::FatalStop("Checkpoint file " + state.checkpointFile + " is in use by another run");
  }
  if (lockError != 0) {
    runframe::FatalStop("Checkpoint file " + state.checkpointFile + " cannot be locked" + Reason(lockError));
  }
  PartialResult loaded;
  int readError = 0;
  switch (LoadPartialResult(state.checkpointFile, loaded, readError)) {
    case LoadStatus::Missing:
      if (readError != ENOENT && readError != 0) {
        runframe::FatalStop("Checkpoint file " + state.checkpointFile + " cannot be read" + Reason(readError));
      }
      break;
    case LoadStatus::Damaged:
      runframe::FatalStop("Checkpoint file " + state.checkpointFile + " is damaged");
    case LoadStatus::Loaded:
      if (loaded.fingerprint != state.saved.fingerprint || loaded.unitCount != state.saved.unitCount ||
          loaded.shardIndex != state.saved.shardIndex || loaded.shardCount != state.saved.shardCount) {
        runframe::FatalStop("Checkpoint file " + state.checkpointFile + " belongs to another problem or shard");
      }
      state.saved.done = std::move(loaded.done);
      break;
  }
  for (const auto& entry : state.saved.done) {
    if (entry.first % static_cast<std::uint64_t>(state.saved.shardCount) !=
        static_cast<std::uint64_t>(state.saved.shardIndex - 1)) {
      runframe::FatalStop("Checkpoint file " + state.checkpointFile + " holds a unit of another shard");
    }
  }
  // Saving at once shows now, not after hours, that the file can be written.
  if (const int error = SavePartialResult(state.checkpointFile, state.saved); error != 0) {
    runframe::FatalStop("Checkpoint file " + state.checkpointFile + " cannot be written" + Reason(error));
  }
}

// The plan file as it is on disk; a fatal stop when it cannot be read or is damaged.
OrbitFileContent ReadPlanFile(const std::string& file) {
  OrbitFileContent content;
  int readError = 0;
  switch (LoadOrbitFile(file, content, readError)) {
    case LoadStatus::Missing:
      if (readError != ENOENT && readError != 0) {
        runframe::FatalStop("Plan file " + file + " cannot be read" + Reason(readError));
      }
      break;
    case LoadStatus::Damaged:
      runframe::FatalStop("Plan file " + file + " is damaged");
    case LoadStatus::Loaded:
      break;
  }
  return content;
}

// Writes the plan file (one writer: the lock is taken at the first write and
// kept; what another run completed meanwhile is taken in first).  A failure
// is remembered, not fatal: the search in memory is worth more than the file.
void WritePlanFile(ExactRun& state) {
  const std::string& file = state.options.planFile;
  if (state.planInUse) return;
  if (!state.planLocked) {
    const int lockError = state.planLock.Acquire(file);
    if (lockError == EWOULDBLOCK) {
      state.planInUse = true;
      return;
    }
    if (lockError != 0) {
      state.planSaveError = lockError;
      return;
    }
    state.planLocked = true;
    OrbitFileContent disk;
    int readError = 0;
    if (LoadOrbitFile(file, disk, readError) == LoadStatus::Loaded) {
      for (auto& [id, saved] : disk) {
        const auto mine = state.kept.find(id);
        if (saved.complete && (mine == state.kept.end() || !mine->second.complete)) {
          state.kept[id] = std::move(saved);
        }
      }
    }
  }
  state.planSaveError = runframe::ReplaceFileAtomically(file, OrbitFileText(state.kept));
}

void LoadMergeFiles(ExactRun& state) {
  for (const std::string& name : state.options.merge) {
    PartialResult part;
    int readError = 0;
    switch (LoadPartialResult(name, part, readError)) {
      case LoadStatus::Missing:
        runframe::FatalStop("Partial-result file " + name + " is missing" + Reason(readError));
      case LoadStatus::Damaged:
        runframe::FatalStop("Partial-result file " + name + " is damaged");
      case LoadStatus::Loaded:
        break;
    }
    if (part.fingerprint != state.saved.fingerprint || part.unitCount != state.saved.unitCount) {
      runframe::FatalStop("Partial-result file " + name + " belongs to another problem");
    }
    for (const auto& [u, count] : part.done) {
      if (!state.saved.done.emplace(u, count).second) {
        runframe::FatalStop("Partial-result files overlap at unit " + std::to_string(u));
      }
    }
    ++state.mergedFiles;
  }
  if (state.saved.done.size() != state.saved.unitCount) {
    runframe::FatalStop("Partial-result files cover " + std::to_string(state.saved.done.size()) + " of " +
                        std::to_string(state.saved.unitCount) + " units");
  }
}

std::uint64_t Sum(const std::map<std::uint64_t, std::uint64_t>& counts, std::uint64_t start = 0) {
  std::uint64_t sum = start;
  for (const auto& entry : counts) sum = runframe::CheckedAdd(sum, entry.second, "the exact count");
  return sum;
}

std::uint64_t ProductSize(const CountPlan& plan) {
  return static_cast<std::uint64_t>(plan.a.size) * static_cast<std::uint64_t>(plan.b.size);
}

// genexact's own lines fit an 80-column terminal: a longer one is wrapped at
// words, its later lines indented.
std::vector<std::string> Wrapped(const std::vector<std::string>& lines) {
  std::vector<std::string> wrapped;
  for (const std::string& text : lines) {
    for (std::string& line : runframe::WrapAtWords(text, runframe::ConsoleLineWidth, "  ")) {
      wrapped.push_back(std::move(line));
    }
  }
  return wrapped;
}

void BothLines(runframe::RunContext& run, const std::string& text) {
  for (const std::string& line : Wrapped({text})) {
    run.console.Line(line);
    run.result.Line(line);
  }
}

// The report, wrapped like every other line of genexact's.
void WriteWrappedReport(runframe::RunContext& run, const std::vector<std::string>& lines) {
  runframe::WriteReport(run, Wrapped(lines), runframe::ResultFileEnd::EmptyLine);
}

std::string FactorLine(const char* ordinal, const FactorLattice& f, const AutomorphismGroup& g,
                       const std::vector<GeneratingSet>& sets, bool searched, std::size_t forced) {
  const std::string head = std::string(ordinal) + " factor: " + std::to_string(f.size) + " elements, ";
  if (!searched) {
    return head + std::to_string(forced) + " of them both join- and meet-irreducible" +
           (forced > static_cast<std::size_t>(SubsetSize) ? ", so no generating set of at most 4 elements"
                                                          : "; not searched, as the other factor has too many");
  }
  return head + (g.complete ? "" : "a subgroup of ") + std::to_string(g.Order()) + " automorphisms, " +
         std::to_string(sets.size()) + " orbits of generating sets of at most 4 elements";
}

// Tells on the console what the plan is doing, once it has taken more than
// two seconds; short plans stay silent and nothing goes to the result file.
class PlanProgress {
 public:
  explicit PlanProgress(runframe::RunContext& run) : run_(run), start_(Clock::now()), last_(start_) {}
  PlanProgress(const PlanProgress&) = delete;
  PlanProgress& operator=(const PlanProgress&) = delete;

  void Show(const std::string& text) {
    // Rewrites in place suit a terminal only; elsewhere the plan stays silent.
    if (!terminal_ || !run_.console.ReadyForShortWrite()) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(2) ||
        (display_.Showing() && now - last_ < std::chrono::duration<double>(ProgressInterval))) {
      return;
    }
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    run_.console.Write(display_.Show("Plan, " + std::to_string(static_cast<long long>(seconds)) + " s: " + text, "",
                                     seconds, StandardOutputKind().columns));
    run_.progressLineShowing = true;
  }

  // Takes the progress line off the terminal, if one was shown.
  void Clear() {
    if (!display_.Showing()) return;
    run_.console.Write(display_.Erase(StandardOutputKind().columns));
    run_.progressLineShowing = false;
  }

 private:
  using Clock = std::chrono::steady_clock;
  runframe::RunContext& run_;
  bool terminal_ = StandardOutputKind().terminal;
  ProgressDisplay display_{true};
  Clock::time_point start_;
  Clock::time_point last_;
};

int Threads(const Options& options) {
  const unsigned cores = std::thread::hardware_concurrency();
  return options.threads > 0 ? options.threads : static_cast<int>(cores > 0 ? cores : 1);
}

// The units this run counts: the shard's, less those already saved, the
// costliest first so that no long unit is left for the end.
std::vector<std::size_t> UnitsToCount(const ExactRun& state) {
  std::vector<std::size_t> units;
  const auto shards = static_cast<std::size_t>(state.saved.shardCount);
  for (std::size_t u = static_cast<std::size_t>(state.saved.shardIndex - 1); u < state.plan.UnitCount(); u += shards) {
    if (state.saved.done.count(u) == 0) units.push_back(u);
  }
  std::stable_sort(units.begin(), units.end(),
                   [&](std::size_t x, std::size_t y) { return state.plan.UnitTests(x) > state.plan.UnitTests(y); });
  return units;
}

}  // namespace

bool ReadExactTables(runframe::RunContext& run, ExactRun& state) {
  // Both sizes first: the build is chosen before either file is read.
  const std::int32_t sizeA = TableSize(state.options.sizeA, run.n, run.firstInputName, "1st");
  const std::int32_t sizeB = TableSize(state.options.sizeB, run.m, run.secondInputName, "2nd");
  if (sizeA <= MaxFactorElements && sizeB <= MaxFactorElements &&
      (sizeA > MaxWidthElements || sizeB > MaxWidthElements)) {
    return false;
  }
  // Said before anything is allocated, and refused when the machine has not
  // got it: being killed half way through a read tells nothing.
  const std::uint64_t tableBytes = TableMemoryBytes(sizeA, sizeB, sizeof(Element));
  BothLines(run, TableMemoryLine(tableBytes, state.usableMemory));
  RefuseTablesBeyondMemory(tableBytes, state.usableMemory);
  const std::uint64_t planBytes = PlanMemoryBytes(sizeA, sizeB, sizeof(Element));
  BothLines(run, PlanMemoryLine(planBytes));
  RefusePlanBeyondMemory(tableBytes + planBytes, state.usableMemory);
  // A stop signal while the tables are read or the plan is made (the caller
  // holds runframe::StopSignals over this step) ends the run in order, as one
  // during the count does, instead of killing it with a result file cut after
  // its first lines: nothing is counted yet, so the same command simply starts
  // again.  It is acted on between the two tables, at the plan's progress
  // reports and after the plan.
  struct StoppedBeforeCounting {};
  const auto stopIfAsked = [] {
    if (runframe::StopRequested()) throw StoppedBeforeCounting{};
  };
  PlanProgress progress(run);
  try {
    // Reading a large table takes seconds: the plan's progress line tells of
    // it, and a stop is acted on while it goes.
    const ShowProgress show = [&](const std::string& text) {
      stopIfAsked();
      progress.Show(text);
    };
    // Built in memory, or read with messages that name the file, the line
    // and what was expected.
    const auto factor = [&](std::int32_t k, runframe::InputFile& input, std::int32_t size,
                            const lattice::TableFileMessages& messages, const std::string& name, const char* ordinal) {
      if (!run.builtTables.empty()) return BuildFactor(k, show);
      return ReadFactor(input, size, lattice::DetailedMessages(messages, name.c_str()), ordinal, show);
    };
    const FactorLattice a = factor(run.n, run.firstInput, sizeA, lattice::FirstFileMessages, run.firstInputName, "1st");
    stopIfAsked();
    const FactorLattice b =
        factor(run.m, run.secondInput, sizeB, lattice::SecondFileMessages, run.secondInputName, "2nd");
    stopIfAsked();
    PlanSettings settings;
    settings.threads = Threads(state.options);
    settings.progress = [&](const std::string& text) {
      stopIfAsked();
      progress.Show(text);
    };
    settings.method = state.cornerMethod;
    if (!state.options.planFile.empty()) {
      state.kept = ReadPlanFile(state.options.planFile);
      settings.kept = &state.kept;
      settings.keep = [&state] { WritePlanFile(state); };
      settings.saveEverySeconds = state.options.saveEverySeconds;
    }
    state.plan = MakeCountPlan(a, b, settings);
    progress.Clear();
    stopIfAsked();
  } catch (const StoppedBeforeCounting&) {
    progress.Clear();
    state.stoppedBeforeCounting = true;
    return true;
  }
  state.fingerprint = PlanFingerprint(state.plan);
  state.saved.fingerprint = state.fingerprint;
  state.saved.unitCount = state.plan.UnitCount();
  if (!state.options.merge.empty()) {
    LoadMergeFiles(state);
    return true;
  }
  state.saved.shardIndex = state.options.shardIndex;
  state.saved.shardCount = state.options.shardCount;
  state.checkpointFile = state.options.checkpoint;
  if (state.checkpointFile.empty() && state.options.shardCount > 1) {
    state.checkpointFile = DefaultShardFile(run, state.options.shardIndex, state.options.shardCount);
  }
  if (!state.checkpointFile.empty()) LoadCheckpoint(state);
  return true;
}

namespace {

// A plan file that could not be written, or was left to another run.
void WritePlanWarning(const ExactRun& state, std::vector<std::string>& report) {
  const std::string file = runframe::Printable(state.options.planFile);
  if (state.planInUse) {
    report.push_back("Warning: the plan file " + file + " is in use by another run; this run's searches are not kept");
  } else if (state.planSaveError != 0) {
    report.push_back("Warning: the plan file " + file + " could not be saved" + Reason(state.planSaveError));
  }
}

}  // namespace

void ExactCount(runframe::RunContext& run, ExactRun& state) {
  if (state.stoppedBeforeCounting) {
    run.exitStatus = runframe::ExitTryAgain;
    std::vector<std::string> report{"Stopped before the count began: nothing was counted; run again to start over"};
    if (state.planLocked && state.planSaveError == 0) {
      report[0] = "Stopped before the count began: nothing was counted; the plan's finished part is saved in " +
                  runframe::Printable(state.options.planFile) + "; run again to resume";
    }
    WritePlanWarning(state, report);
    WriteWrappedReport(run, report);
    return;
  }
  const CountPlan& plan = state.plan;
  BothLines(run, FactorLine("1st", plan.a, plan.groupA, plan.setsA, plan.searchedA, plan.forcedA));
  BothLines(run, FactorLine("2nd", plan.b, plan.groupB, plan.setsB, plan.searchedB, plan.forcedB));
  if (!state.options.planFile.empty()) {
    BothLines(run, "Plan file: " + runframe::Printable(state.options.planFile) + ", orbit lists of " +
                       std::to_string(state.kept.size()) + " factor(s)");
  }
  const bool merging = !state.options.merge.empty();
  if (merging) {
    BothLines(run, "Merged " + std::to_string(state.mergedFiles) + " partial-result file(s) covering all " +
                       std::to_string(plan.UnitCount()) + " units");
  }
  if (!state.options.unitList.empty()) {
    const std::string& file = state.options.unitList;
    const std::string text =
        UnitListText(plan, state.fingerprint, runframe::FactorsName(run), merging ? &state.saved.done : nullptr);
    if (const int error = runframe::ReplaceFileAtomically(file, text); error != 0) {
      runframe::FatalStop("Unit list " + file + " cannot be written" + Reason(error));
    }
    BothLines(run, "Unit list: " + std::to_string(plan.UnitCount()) + " units" + (merging ? " with their counts" : "") +
                       " written to " + runframe::Printable(file));
    if (!merging) {
      WriteWrappedReport(run, {"Nothing was counted: --units lists the work units only"});
      return;
    }
  }
  if (merging) {
    const std::uint64_t count = Sum(state.saved.done);
    const auto share = ShareLines(ProductSize(plan), count);
    WriteWrappedReport(run, {runframe::ResultLine(runframe::FactorsName(run), count), share[0], share[1]});
    return;
  }

  const bool sampling = state.options.sampleUnits > 0;
  RunnerRequest request;
  request.threads = Threads(state.options);
  request.units =
      sampling ? SampleUnits(plan.UnitCount(), static_cast<std::size_t>(state.options.sampleUnits), request.threads)
               : UnitsToCount(state);
  request.timeUnits = sampling;
  std::uint64_t testsToDo = 0;
  for (const std::size_t u : request.units) testsToDo += plan.UnitTests(u);
  request.stopAfterUnits = static_cast<std::uint64_t>(state.options.stopAfterUnits);
  request.saveEverySeconds = state.options.saveEverySeconds;

  BothLines(run, "Work: " + std::to_string(plan.UnitCount()) + " units, " + std::to_string(plan.TotalTests()) +
                     " corner tests");
  BothLines(run, "This run: " + std::to_string(request.units.size()) + " units, " + std::to_string(testsToDo) +
                     " tests on " + std::to_string(request.threads) + " thread(s)");
  if (state.saved.shardCount > 1) {
    BothLines(run, "Shard " + std::to_string(state.saved.shardIndex) + "/" + std::to_string(state.saved.shardCount));
  }
  if (!state.checkpointFile.empty()) {
    BothLines(run, "Checkpoint file: " + runframe::Printable(state.checkpointFile) + ", " +
                       std::to_string(state.saved.done.size()) + " units done before");
  }

  ProgressDisplay display(StandardOutputKind().terminal, state.options.progressEverySeconds);
  request.progress = [&](const RunnerProgress& p) {
    // Progress waits for a console that is not taking output; saves and
    // stops never do.
    if (!run.console.ReadyForShortWrite()) return;
    const double rate = p.seconds > 0 ? static_cast<double>(p.testsDone) / p.seconds : 0;
    // The width is asked every time: the window may have been resized.
    const std::string shown =
        display.Show(ProgressText(p.unitsDone, request.units.size(), p.testsDone, testsToDo, rate),
                     runframe::StopRequested() ? ", stopping" : "", p.seconds, StandardOutputKind().columns);
    if (!shown.empty()) {
      run.console.Write(shown);
      // A rewritten line stays open; plain lines end with their line end.
      run.progressLineShowing = shown.back() != '\n';
    }
  };
  // A failed save never ends the run: the count in memory is worth more than
  // the file.  The last failure is reported with the result.
  int saveError = 0;
  auto save = [&](const std::map<std::uint64_t, std::uint64_t>& finished) {
    PartialResult all = state.saved;
    for (const auto& entry : finished) all.done.insert(entry);
    saveError = SavePartialResult(state.checkpointFile, all);
  };
  if (!state.checkpointFile.empty()) request.save = save;

  RunnerOutcome outcome;
  {
    // The handlers stay until the last save is on disk: a second Ctrl+C that
    // arrives while the workers wind down or while it is written must not
    // kill the process before the finished units are kept.
    const runframe::StopSignals signals(!state.checkpointFile.empty());
    outcome = RunUnits(plan, request);
    // The last progress line goes: it would stand cut off above the report.
    if (display.Showing()) {
      run.console.Write(display.Erase(StandardOutputKind().columns));
      run.progressLineShowing = false;
    }
    if (!state.checkpointFile.empty()) save(outcome.done);
    if (const int sig = runframe::SecondStopSignal(); sig != 0) runframe::EndBySignal(sig);
  }

  std::vector<std::string> report;
  if (sampling) {
    std::uint64_t sampled = 0;
    std::vector<SampledUnit> timed;
    for (const auto& [u, seconds] : outcome.unitSeconds) {
      sampled += plan.UnitTests(u);
      timed.push_back({u, plan.UnitTests(u), seconds});
    }
    const double perTest = SampleSecondsPerTest(timed, request.threads);
    char rate[64];
    (void)std::snprintf(rate, sizeof rate, "%.3f", perTest * 1e6);
    report.push_back("Sample: " + std::to_string(outcome.done.size()) + " units, " + std::to_string(sampled) +
                     " tests in " + Duration(outcome.seconds) + ", " + rate + " microseconds per test");
    report.push_back("Estimated time for all " + std::to_string(plan.UnitCount()) + " units on " +
                     std::to_string(request.threads) +
                     " thread(s): " + Duration(perTest * static_cast<double>(plan.TotalTests())));
  } else if (outcome.interrupted) {
    // Stopped early but in order: a batch system may start it again.
    run.exitStatus = runframe::ExitTryAgain;
    report.push_back("Interrupted after " + std::to_string(outcome.done.size()) + " of " +
                     std::to_string(request.units.size()) + " units of this run");
    if (state.checkpointFile.empty()) {
      report.push_back("No checkpoint file was given: the finished units are not kept");
    } else if (saveError == 0) {
      report.push_back("Finished units are saved in " + runframe::Printable(state.checkpointFile) +
                       "; run again to resume");
    }
  } else {
    const std::uint64_t count = Sum(outcome.done, Sum(state.saved.done));
    if (state.saved.shardCount > 1) {
      report.push_back("Shard " + std::to_string(state.saved.shardIndex) + "/" +
                       std::to_string(state.saved.shardCount) + " of " + runframe::FactorsName(run) +
                       ": partial count " + std::to_string(count) +
                       (saveError == 0 ? ", saved in " + runframe::Printable(state.checkpointFile) : std::string()));
      report.push_back("Add up the shards with: " + CommandHead(run) + " --merge <the partial-result files>");
    } else {
      report.push_back(runframe::ResultLine(runframe::FactorsName(run), count));
      for (const std::string& line : ShareLines(ProductSize(plan), count)) report.push_back(line);
    }
  }
  if (!state.checkpointFile.empty() && saveError != 0) {
    report.push_back("Warning: the checkpoint file " + runframe::Printable(state.checkpointFile) +
                     " could not be saved" + Reason(saveError));
  }
  WritePlanWarning(state, report);
  WriteWrappedReport(run, report);
}

}  // namespace genexact::inline GENEXACT_WIDTH

namespace genexact {
namespace {

class ThisWidthRun final : public WidthRun {
 public:
  bool Read(runframe::RunContext& run, const Options& options, CornerMethod method) override {
    state_.options = options;
    state_.cornerMethod = method;
    return GENEXACT_WIDTH::ReadExactTables(run, state_);
  }
  void Count(runframe::RunContext& run) override { GENEXACT_WIDTH::ExactCount(run, state_); }

 private:
  GENEXACT_WIDTH::ExactRun state_;
};

}  // namespace

#if GENEXACT_WIDE_ELEMENTS
std::unique_ptr<WidthRun> MakeWideRun() { return std::make_unique<ThisWidthRun>(); }
#else
std::unique_ptr<WidthRun> MakeNarrowRun() { return std::make_unique<ThisWidthRun>(); }
#endif

}  // namespace genexact
