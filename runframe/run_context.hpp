#pragma once
// The state of one run of either program: its command line, its three files,
// its start and end times.  RunSequence owns the one instance of a run; tests
// make their own.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runframe/input_file.hpp"
#include "runframe/text_output.hpp"
#include "runframe/time_recording.hpp"

namespace runframe {

// Longest stored file name; a longer text is cut to this many characters.
inline constexpr std::size_t MaxFileNameLength = 60;

// What tells the two programs apart in the run frame.
struct ProgramDescription {
  std::vector<std::string> banner;  // console lines shown first
  std::int32_t maxN = 0;            // largest accepted first parameter
  std::int32_t maxM = 0;            // largest accepted second parameter
  std::string runKindTag;           // piece of the result file name
  std::string name;                 // the program's name, for --version
  std::string usage;                // the text of --help and -h
  bool wrapsLines = false;          // its messages are wrapped at words to fit 80 columns (genexact)
};

struct RunContext {
  // consoleStream: standard output in the programs; tests may pass a file.
  RunContext(const ProgramDescription& description, std::vector<std::string> commandParameters,
             std::FILE* consoleStream = stdout);

  const ProgramDescription& program;
  std::vector<std::string> parameters;  // command-line parameters 1.., as typed

  std::int32_t n = 0;  // the n of Equ(n), after its range test
  std::int32_t m = 0;  // the m of Equ(m), after its range test

  std::string firstInputName;
  std::string secondInputName;
  std::string resultFileName;

  // Table files named on the command line (genexact --tables) instead of
  // n-optablea.txt and m-optableb.txt: set before OpenRunFiles, which then
  // reads no n and m and names the factors after the files.
  struct NamedTables {
    std::string first, second;            // the paths as given
    std::string firstLabel, secondLabel;  // safe short names of the factors, from the paths
  };
  std::optional<NamedTables> namedTables;
  // What the tables are when the program builds them in memory instead of
  // reading them (genexact --equ-tables), e.g. "Equ(1) and Equ(8)": set before
  // OpenRunFiles, which then opens no input file.  Empty: they are read.
  std::string builtTables;

  InputFile firstInput{"the 1st input file"};
  InputFile secondInput{"the 2nd input file"};
  TextOutput console;
  TextOutput result{nullptr, "the result file", false};

  // Slot 1: start of the run; slot 2: end of the computation.  Index 0 unused.
  std::array<ClockReading, 3> runTimes{};
  // Source of the local time; tests replace it to get fixed readings.
  std::function<ClockReading()> clock = ReadLocalClock;
  // Reads and discards one line of standard input; tests may replace it.
  std::function<void()> waitForEnter;

  // The exit status of a run that went through to its end; a step sets it
  // when the run ended early but in order (ExitTryAgain).
  int exitStatus = 0;
  // True while a progress line without its line end is on the console; an
  // abrupt end then starts its report on a new line.
  bool progressLineShowing = false;
};

}  // namespace runframe
