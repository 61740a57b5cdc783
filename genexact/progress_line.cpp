#include "genexact/progress_line.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "runframe/text_output.hpp"

namespace genexact {

std::string Duration(double seconds) {
  if (!(seconds >= 0) || seconds > 1e9) return "?";
  const auto total = static_cast<std::uint64_t>(std::llround(seconds));
  const std::uint64_t days = total / 86400;
  char buf[64];
  (void)std::snprintf(buf, sizeof buf, "%llu:%02llu:%02llu", static_cast<unsigned long long>(total % 86400 / 3600),
                      static_cast<unsigned long long>(total % 3600 / 60), static_cast<unsigned long long>(total % 60));
  return days > 0 ? std::to_string(days) + " day(s) " + buf : std::string(buf);
}

std::string ProgressText(std::uint64_t unitsDone, std::uint64_t unitCount, std::uint64_t testsDone,
                         std::uint64_t testCount, double testsPerSecond) {
  char percent[32];
  (void)std::snprintf(percent, sizeof percent, "%.1f%%",
                      testCount == 0 ? 100.0 : 100.0 * static_cast<double>(testsDone) / static_cast<double>(testCount));
  std::string text = "  units " + std::to_string(unitsDone) + "/" + std::to_string(unitCount) + ", " + percent +
                     " of " + std::to_string(testCount) + " tests, ";
  if (testsPerSecond > 0) {
    text += std::to_string(static_cast<std::uint64_t>(testsPerSecond)) + " tests/s, about " +
            Duration(static_cast<double>(testCount - testsDone) / testsPerSecond) + " left";
  } else {
    text += "rate not known yet";
  }
  return text;
}

namespace {

constexpr std::size_t DefaultColumns = 80;

std::size_t ColumnsFromEnvironment() {
  // Nothing in the program changes its environment, so reading it while
  // the workers run is safe.
  const char* text = std::getenv("COLUMNS");  // NOLINT(concurrency-mt-unsafe)
  if (text == nullptr) return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  return end != text && *end == '\0' && value > 0 && value < 100000 ? static_cast<std::size_t>(value) : 0;
}

}  // namespace

ConsoleKind StandardOutputKind() {
  ConsoleKind kind;
#if defined(_WIN32)
  kind.terminal = _isatty(_fileno(stdout)) != 0;
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (kind.terminal && GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) != 0) {
    kind.columns = static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
  }
#else
  kind.terminal = isatty(STDOUT_FILENO) != 0;
  winsize size{};
  if (kind.terminal && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) kind.columns = size.ws_col;
#endif
  if (kind.terminal && kind.columns == 0) kind.columns = ColumnsFromEnvironment();
  if (kind.terminal && kind.columns == 0) kind.columns = DefaultColumns;
  return kind;
}

std::string ProgressDisplay::Show(const std::string& text, const std::string& status, double seconds,
                                  std::size_t columns) {
  if (!terminal_) {
    if (seconds < nextPlainLine_) return {};
    while (nextPlainLine_ <= seconds) nextPlainLine_ += plainInterval_;
    return text + status + std::string(runframe::LineEnd);
  }
  // The last column stays free: a character there makes some terminals wrap
  // at once, and the carriage return would then go to the new line.
  const std::size_t room = columns > 1 ? columns - 1 : 1;
  std::string line = text + status;
  if (line.size() > room) {
    line = status.size() < room ? text.substr(0, room - status.size()) + status : line.substr(0, room);
  }
  const std::size_t length = line.size();
  // Blanks cover what is left of a longer earlier line (as far as it can
  // still be on the screen after a narrowing of the window).
  if (length < shown_) line.append(std::min(shown_, room) - length, ' ');
  shown_ = length;
  return "\r" + line;
}

std::string ProgressDisplay::Erase(std::size_t columns) {
  if (!terminal_ || shown_ == 0) return {};
  const std::size_t room = columns > 1 ? columns - 1 : 1;
  // The whole width: the terminal's echo of Ctrl+C ("^C") stands right
  // after the line.  Built by appending: GCC 12 warns falsely on
  // "\r" + string + "\r".
  std::string blank(1, '\r');
  blank.append(room, ' ');
  blank.push_back('\r');
  shown_ = 0;
  return blank;
}

}  // namespace genexact
