#include "runframe/run_frame.hpp"

#include <cstdio>

#include "runframe/int_conversion.hpp"

namespace runframe {
namespace {

constexpr std::size_t MaxFatalMessageLength = 255;

std::string CutName(std::string name) {
  if (name.size() > MaxFileNameLength) name.resize(MaxFileNameLength);
  return name;
}

}  // namespace

RunContext::RunContext(const ProgramDescription& description, std::vector<std::string> commandParameters,
                       std::FILE* consoleStream)
    : program(description),
      parameters(std::move(commandParameters)),
      console(consoleStream, "the console", true),
      waitForEnter(WaitForEnterOnStdin) {}

void FatalStop(std::string_view message) {
  throw FatalStopRequest{std::string(message.substr(0, MaxFatalMessageLength))};
}

std::int32_t ParseSizeParameter(const RunContext& run, std::int32_t k) {
  if (k != 1 && k != 2) FatalStop("xZtwRts3Z");
  // The count is tested before any conversion, so one parameter always gets
  // this message whatever it holds.
  if (run.parameters.size() < 2) FatalStop("At least two parameters are required!");
  const std::int32_t v = ConvertInteger(run.parameters[static_cast<std::size_t>(k - 1)]);
  if (k == 1 && (v < 1 || v > run.program.maxN)) FatalStop("1st parameter is illegal or too large!");
  if (k == 2 && (v < 1 || v > run.program.maxM)) FatalStop("2nd parameter is illegal or too large!");
  return v;
}

std::string MakeResultFileName(std::int32_t n, std::int32_t m, const std::string& tag,
                               const ClockReading& t) {
  return CutName("r-" + std::to_string(n) + "&" + std::to_string(m) + tag + std::to_string(t.day) +
                 "-" + std::to_string(t.hour) + "-" + std::to_string(t.minute) + "-" +
                 std::to_string(t.second) + "-" + std::to_string(t.millisecond) + "--" +
                 std::to_string(t.month) + "-" + std::to_string(t.year) + ".txt");
}

void OpenRunFiles(RunContext& run) {
  run.n = ParseSizeParameter(run, 1);
  run.m = ParseSizeParameter(run, 2);
  // The typed text names the files, not the converted value: 05 opens 05-optablea.txt.
  run.firstInputName = CutName(run.parameters[0] + "-optablea.txt");
  run.secondInputName = CutName(run.parameters[1] + "-optableb.txt");
  if (!run.firstInput.Open(run.firstInputName)) {
    FatalStop(run.firstInputName + " (1) is missing from this folder");
  }
  if (!run.secondInput.Open(run.secondInputName)) {
    FatalStop(run.secondInputName + " (2) is missing from this folder");
  }
  RecordTime(run, 1);
  run.resultFileName = MakeResultFileName(run.n, run.m, run.program.runKindTag, run.runTimes[1]);
  if (!run.result.Create(run.resultFileName)) {
    FatalStop("Fatal error. Is there enough room on your drive?");
  }
}

void RecordTime(RunContext& run, std::int32_t slot) {
  if (slot != 1 && slot != 2) FatalStop("Program error in time recording");
  run.runTimes[static_cast<std::size_t>(slot)] = run.clock();
}

void WriteTimeStamp(RunContext& run, std::int32_t slot, const std::string& label) {
  const std::string line = TimeStampLine(run.runTimes[static_cast<std::size_t>(slot)], label);
  run.result.Line(line);
  run.console.Line(line);
}

void ReportElapsedTime(RunContext& run) {
  const std::string line = ElapsedTimeLine(run.runTimes[1], run.runTimes[2]);
  run.console.Line(ElapsedHeader);
  run.result.Line(ElapsedHeader);
  run.console.Line(line);
  run.result.Line(line);
}

void CloseRunFiles(RunContext& run) {
  run.firstInput.Close();
  run.secondInput.Close();
  run.result.Close();
}

void CompleteFatalStop(RunContext& run, const std::string& message) {
  static constexpr const char* Header = "Error in data; possibly/appeared at: ";
  run.console.Line("\a");
  run.console.Line(Header);
  run.console.Line(message);
  run.console.Line("  Press <enter> to quit");
  run.waitForEnter();
  if (run.result.IsOpen()) {
    run.result.Line(Header);
    run.result.Line(message);
  }
  CloseRunFiles(run);
}

void WaitForEnterOnStdin() {
  for (;;) {
    const int c = std::getchar();
    // A read error is treated like the end of input: there is nothing more to
    // wait for, and the run has already done its work.
    if (c == EOF || c == '\n') return;
  }
}

}  // namespace runframe
