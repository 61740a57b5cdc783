#include "runframe/run_frame.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "runframe/abrupt_end.hpp"
#include "runframe/int_conversion.hpp"
#include "runframe/report.hpp"

namespace runframe {
namespace {

constexpr std::size_t MaxFatalMessageLength = 255;

// How often a run tries a new start time when its result file name is taken.
constexpr int MaxNameAttempts = 50;
constexpr int MaxClockReadsPerAttempt = 100;

bool SameReading(const ClockReading& a, const ClockReading& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
         a.second == b.second && a.millisecond == b.millisecond;
}

bool IsLink(const std::string& name) {
#if defined(_WIN32)
  (void)name;
  return false;
#else
  struct stat info {};
  return lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
#endif
}

// A new start time, once the clock has moved on from the one whose name was
// taken (by a run started in the same millisecond).
void TakeNewStartTime(RunContext& run) {
  const ClockReading taken = run.runTimes[1];
  for (int k = 0; k < MaxClockReadsPerAttempt; ++k) {
    RecordTime(run, 1);
    if (!SameReading(run.runTimes[1], taken)) return;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

std::string CutName(std::string name) {
  if (name.size() > MaxFileNameLength) name.resize(MaxFileNameLength);
  return name;
}

std::string StampPart(const ClockReading& t) {
  return std::to_string(t.day) + "-" + std::to_string(t.hour) + "-" + std::to_string(t.minute) + "-" +
         std::to_string(t.second) + "-" + std::to_string(t.millisecond) + "--" + std::to_string(t.month) + "-" +
         std::to_string(t.year);
}

// r-<label>&<label><tag><time>.txt: the labels are short and safe, so the
// name is never cut.
std::string NamedResultFileName(const RunContext::NamedTables& t, const std::string& tag, const ClockReading& start) {
  return "r-" + t.firstLabel + "&" + t.secondLabel + tag + StampPart(start) + ".txt";
}

}  // namespace

RunContext::RunContext(const ProgramDescription& description, std::vector<std::string> commandParameters,
                       std::FILE* consoleStream)
    : program(description),
      parameters(std::move(commandParameters)),
      console(consoleStream, "the console", true),
      waitForEnter(WaitForEnterOnStdin) {}

void FatalStop(std::string_view message) {
  // Messages carry names and options from outside: shown escaped.
  throw FatalStopRequest{Printable(message).substr(0, MaxFatalMessageLength)};
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

std::string MakeResultFileName(std::int32_t n, std::int32_t m, const std::string& tag, const ClockReading& t) {
  return CutName("r-" + std::to_string(n) + "&" + std::to_string(m) + tag + StampPart(t) + ".txt");
}

std::string TableLabel(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  std::string label;
  for (const char c : name) {
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '_';
    if (label.size() < 20) label.push_back(plain ? c : '_');
  }
  return label.empty() ? "table" : label;
}

std::string FactorsName(const RunContext& run) {
  if (run.namedTables) return run.namedTables->firstLabel + "*" + run.namedTables->secondLabel;
  return "Part(" + std::to_string(run.n) + ")*Part(" + std::to_string(run.m) + ")";
}

void OpenRunFiles(RunContext& run) {
  if (run.namedTables) {
    run.firstInputName = run.namedTables->first;
    run.secondInputName = run.namedTables->second;
  } else {
    run.n = ParseSizeParameter(run, 1);
    run.m = ParseSizeParameter(run, 2);
    // The typed text names the files, not the converted value: 05 opens 05-optablea.txt.
    run.firstInputName = CutName(run.parameters[0] + "-optablea.txt");
    run.secondInputName = CutName(run.parameters[1] + "-optableb.txt");
  }
  if (run.builtTables.empty() && !run.firstInput.Open(run.firstInputName)) {
    FatalStop(run.firstInputName + " (1) is missing from this folder");
  }
  if (run.builtTables.empty() && !run.secondInput.Open(run.secondInputName)) {
    FatalStop(run.secondInputName + " (2) is missing from this folder");
  }
  RecordTime(run, 1);
  for (int attempt = 1;; ++attempt) {
    run.resultFileName = run.namedTables
                             ? NamedResultFileName(*run.namedTables, run.program.runKindTag, run.runTimes[1])
                             : MakeResultFileName(run.n, run.m, run.program.runKindTag, run.runTimes[1]);
    const int error = run.result.CreateNew(run.resultFileName);
    if (error == 0) break;
    // A link at the name is refused, never followed or replaced; a file there
    // belongs to another run of the same millisecond, so this run takes the
    // next free start time.
    if (error != EEXIST || IsLink(run.resultFileName) || attempt == MaxNameAttempts) {
      FatalStop("Fatal error. Is there enough room on your drive?");
    }
    TakeNewStartTime(run);
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
  // gencount's and gensample's messages stand as they are; genexact's fit
  // an 80-column terminal.
  const std::vector<std::string> lines =
      run.program.wrapsLines ? WrapAtWords(message, ConsoleLineWidth, "  ") : std::vector<std::string>{message};
  run.console.Line("\a");
  run.console.Line(Header);
  for (const std::string& line : lines) run.console.Line(line);
  run.console.Line("  Press <enter> to quit");
  run.waitForEnter();
  if (run.result.IsOpen()) {
    run.result.Line(Header);
    for (const std::string& line : lines) run.result.Line(line);
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
