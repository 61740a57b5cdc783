#pragma once
// The progress display.  On a terminal: one console line rewritten in place
// with a carriage return, at most a few times per second, cut to the
// terminal's width so that no rewrite wraps and leaves a copy behind.
// Elsewhere (a file, a pipe): a plain line now and then, since carriage
// returns would only pile up there.
#include <cstddef>
#include <cstdint>
#include <string>

namespace genexact {

// Seconds between two rewrites of the progress line on a terminal.
inline constexpr double ProgressInterval = 0.25;
// Seconds between two plain progress lines when the console is no terminal,
// unless --progress-every says otherwise.
inline constexpr double PlainProgressInterval = 60;

// "units 30/61, 48.2% of 89304 tests, 152345 tests/s, about 0:00:05 left";
// rate 0 shows the time left as unknown.
std::string ProgressText(std::uint64_t unitsDone, std::uint64_t unitCount, std::uint64_t testsDone,
                         std::uint64_t testCount, double testsPerSecond);

// h:mm:ss, or "d day(s) h:mm:ss" beyond a day.
std::string Duration(double seconds);

// What standard output is: a terminal of some width, or not a terminal.
struct ConsoleKind {
  bool terminal = false;
  std::size_t columns = 0;  // terminals only
};

// Asks the system about standard output: the window size of the terminal,
// else $COLUMNS, else 80.
ConsoleKind StandardOutputKind();

class ProgressDisplay {
 public:
  explicit ProgressDisplay(bool terminal, double plainInterval = PlainProgressInterval)
      : terminal_(terminal), plainInterval_(plainInterval), nextPlainLine_(plainInterval) {}

  // What to write to show text (then status, e.g. ", stopping", which is
  // kept when the text has to be cut) at `seconds` since the start, on a
  // console of `columns` columns; empty when nothing is to be written now.
  std::string Show(const std::string& text, const std::string& status, double seconds, std::size_t columns);

  // What to write to take the rewritten line off the terminal, leaving the
  // cursor at the start of an empty line; empty when no line is showing.
  std::string Erase(std::size_t columns);

  // Whether a rewritten line is on the terminal now.
  bool Showing() const { return shown_ > 0; }

 private:
  bool terminal_;
  double plainInterval_;   // seconds between plain lines
  std::size_t shown_ = 0;  // length of the line on the terminal
  double nextPlainLine_;
};

}  // namespace genexact
