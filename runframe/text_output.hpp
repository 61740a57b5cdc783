#pragma once
// The one writer of all output: the console and the result file.  Every line
// ends with CR LF; every write, flush and close is checked and a failure ends
// the run with the I/O error stop.
#include <cstdio>
#include <string>
#include <string_view>

namespace runframe {

inline constexpr std::string_view LineEnd = "\r\n";

class TextOutput {
 public:
  // what names the destination in an error report, e.g. "the console".
  // Every call is flushed at once: progress without a line end must be
  // visible immediately, and a failed write must stop the run before anything
  // else is written.  Both destinations receive only a few lines per run.
  // isConsole: a failure here cannot be reported on the same stream.
  TextOutput(std::FILE* stream, std::string what, bool isConsole);
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;
  ~TextOutput();

  // Creates a new file for writing.  Returns 0, or the errno value of the
  // failure: EEXIST when anything (a file, a link) already has the name, which
  // is never opened, emptied or followed.
  int CreateNew(const std::string& name);
  bool IsOpen() const { return stream_ != nullptr; }

  void Write(std::string_view text);
  void Line(std::string_view text = {});
  // Whether a short write (a progress line) would go out without waiting: a
  // pipe nobody reads or a stopped terminal must not hold back a save or the
  // answer to a stop signal for the sake of progress output.  True for files
  // and where the platform cannot tell.
  bool ReadyForShortWrite() const;
  // Closes the stream and reports a failed close; a no-op when not open.
  void Close();

 private:
  void Put(std::string_view text);
  void Flush();

  std::FILE* stream_;
  std::string what_;
  bool isConsole_;
  bool owned_ = false;
};

// Puts standard output into binary mode where the platform translates line
// ends, so that CR LF is written as given.
void UseBinaryConsole();

}  // namespace runframe
