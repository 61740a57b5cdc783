#include "runframe/run_sequence.hpp"

#include <csignal>
#include <cstdio>
#include <exception>
#include <new>

#include "runframe/abrupt_end.hpp"
#include "runframe/run_frame.hpp"

namespace runframe {
namespace {

// An abrupt end says what happened on the console; when the console itself is
// what failed, standard error is the place left to say it.
void ReportAbruptEnd(RunContext& run, const std::string& report, bool consoleFailed) {
  if (!consoleFailed) {
    try {
      run.console.Line(report);
      return;
    } catch (const IoError&) {
    }
  }
  // Standard error is the last place left to report to; its failure has
  // nowhere to go.
  (void)std::fprintf(stderr, "%s\n", report.c_str());
  (void)std::fflush(stderr);
}

bool IsConsoleFailure(const AbruptEnd& e) {
  const auto* io = dynamic_cast<const IoError*>(&e);
  return io != nullptr && io->OnConsole();
}

void RunSteps(RunContext& run, const RunStep& readTables, const RunStep& compute) {
  for (const std::string& line : run.program.banner) run.console.Line(line);
  try {
    OpenRunFiles(run);
    WriteTimeStamp(run, 1, "     Started");
    const std::string inputLine = "Input files opened: " + run.firstInputName + ",  " + run.secondInputName;
    const std::string outputLine = "Output file opened: " + run.resultFileName;
    run.console.Line(inputLine);
    run.console.Line(outputLine);
    run.result.Line(inputLine);
    run.result.Line(outputLine);
    readTables(run);
  } catch (const FatalStopRequest& stop) {
    CompleteFatalStop(run, stop.message);
    return;
  }
  compute(run);
  RecordTime(run, 2);
  WriteTimeStamp(run, 2, "     Terminated");
  ReportElapsedTime(run);
  CloseRunFiles(run);
  run.waitForEnter();
}

}  // namespace

int RunSequence(RunContext& run, const RunStep& readTables, const RunStep& compute) {
  try {
    RunSteps(run, readTables, compute);
    return ExitOk;
  } catch (const AbruptEnd& e) {
    ReportAbruptEnd(run, e.what(), IsConsoleFailure(e));
    return e.Status();
  } catch (const FatalStopRequest& stop) {
    // Only the internal guards can raise a fatal stop outside the steps that
    // expect one; finish it the same way.
    try {
      CompleteFatalStop(run, stop.message);
      return ExitOk;
    } catch (const AbruptEnd& e) {
      ReportAbruptEnd(run, e.what(), IsConsoleFailure(e));
      return e.Status();
    }
  } catch (const std::bad_alloc&) {
    ReportAbruptEnd(run, "Out of memory", false);
    return ExitInternalError;
  }
}

int RunProgram(const ProgramDescription& program, int argc, char** argv,
               const RunStep& readTables, const RunStep& compute) {
#if !defined(_WIN32)
  // A console whose reader has gone must give a write error, not kill the run.
  (void)std::signal(SIGPIPE, SIG_IGN);
#endif
  UseBinaryConsole();
  try {
    std::vector<std::string> parameters;
    for (int i = 1; i < argc; ++i) parameters.emplace_back(argv[i]);
    RunContext run(program, std::move(parameters));
    return RunSequence(run, readTables, compute);
  } catch (const std::bad_alloc&) {
    // Not even the run could be set up; say so without allocating.
    (void)std::fputs("Out of memory\r\n", stdout);
    (void)std::fflush(stdout);
    return ExitInternalError;
  }
}

}  // namespace runframe
