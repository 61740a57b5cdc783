#include "runframe/run_sequence.hpp"

#include <cstdio>
#include <exception>
#include <new>
#include <system_error>

#include "runframe/abrupt_end.hpp"
#include "runframe/information_request.hpp"
#include "runframe/run_frame.hpp"
#include "runframe/stop_signals.hpp"

namespace runframe {
namespace {

// An abrupt end says what happened on the console; when the console itself is
// what failed, standard error is the place left to say it.
void ReportAbruptEnd(RunContext& run, const std::string& report, bool consoleFailed) {
  if (!consoleFailed) {
    try {
      // Not at the end of a progress line that is still showing.
      if (run.progressLineShowing) run.console.Line();
      run.progressLineShowing = false;
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

// Returns false after a fatal stop.
bool RunSteps(RunContext& run, const RunStep& readTables, const RunStep& compute, const RunStep& checkOptions) {
  for (const std::string& line : run.program.banner) run.console.Line(line);
  try {
    if (checkOptions) checkOptions(run);
    OpenRunFiles(run);
    WriteTimeStamp(run, 1, "     Started");
    const std::string inputLine = run.builtTables.empty()
                                      ? "Input files opened: " + run.firstInputName + ",  " + run.secondInputName
                                      : "Tables built in memory: " + run.builtTables;
    const std::string outputLine = "Output file opened: " + run.resultFileName;
    run.console.Line(inputLine);
    run.console.Line(outputLine);
    run.result.Line(inputLine);
    run.result.Line(outputLine);
    readTables(run);
  } catch (const FatalStopRequest& stop) {
    CompleteFatalStop(run, stop.message);
    return false;
  }
  compute(run);
  RecordTime(run, 2);
  WriteTimeStamp(run, 2, "     Terminated");
  ReportElapsedTime(run);
  CloseRunFiles(run);
  run.waitForEnter();
  return true;
}

// A fatal stop raised outside the steps that expect one (an internal guard).
int FinishFatalStop(RunContext& run, const std::string& message) {
  try {
    if (run.progressLineShowing) run.console.Line();
    run.progressLineShowing = false;
    CompleteFatalStop(run, message);
    return ExitFatalStop;
  } catch (const AbruptEnd& e) {
    ReportAbruptEnd(run, e.what(), IsConsoleFailure(e));
    return e.Status();
  }
}

}  // namespace

int RunSequence(RunContext& run, const RunStep& readTables, const RunStep& compute, const RunStep& checkOptions) {
  try {
    return RunSteps(run, readTables, compute, checkOptions) ? run.exitStatus : ExitFatalStop;
  } catch (const AbruptEnd& e) {
    ReportAbruptEnd(run, e.what(), IsConsoleFailure(e));
    return e.Status();
  } catch (const FatalStopRequest& stop) {
    return FinishFatalStop(run, stop.message);
  } catch (const std::bad_alloc&) {
    ReportAbruptEnd(run, "Out of memory", false);
    return ExitInternalError;
  } catch (const std::system_error& e) {
    // A thread or another resource the system could not give.
    if (e.code() == std::errc::resource_unavailable_try_again || e.code() == std::errc::not_enough_memory) {
      ReportAbruptEnd(run, "Out of memory", false);
      return ExitInternalError;
    }
    return FinishFatalStop(run, std::string("Program error: ") + e.what());
  } catch (const std::exception& e) {
    // A broken internal check ends like any other fatal stop, not in
    // std::terminate.
    return FinishFatalStop(run, std::string("Program error: ") + e.what());
  }
}

int RunProgram(const ProgramDescription& program, int argc, char** argv, const RunStep& readTables,
               const RunStep& compute, const RunStep& checkOptions) {
  // A console whose reader has gone, or a file at its size limit, must give a
  // write error, not kill the run.
  IgnoreWriteSignals();
  if (const std::string text = InformationRequest(argc, argv, program.name, program.usage); !text.empty()) {
    return AnswerInformationRequest(text);
  }
  UseBinaryConsole();
  try {
    std::vector<std::string> parameters;
    for (int i = 1; i < argc; ++i) parameters.emplace_back(argv[i]);
    RunContext run(program, std::move(parameters));
    return RunSequence(run, readTables, compute, checkOptions);
  } catch (const std::bad_alloc&) {
    // Not even the run could be set up; say so without allocating.
    (void)std::fputs("Out of memory\r\n", stdout);
    (void)std::fflush(stdout);
    return ExitInternalError;
  }
}

}  // namespace runframe
