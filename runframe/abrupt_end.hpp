#pragma once
// The three ways a run ends at once, bypassing FatalStop: a text that is not an
// integer, an arithmetic overflow, and a failed read, write or close.  They are
// thrown where they happen and reported by the run sequence, so library code
// never ends the process itself.
#include <stdexcept>
#include <string>
#include <string_view>

namespace runframe {

// Exit statuses of the programs.  A fatal stop is a failure too, so that a
// script can tell a missing table from a good count.
enum ExitStatus : int {
  ExitOk = 0,
  ExitFatalStop = 1,
  ExitInvalidInteger = 2,
  ExitOverflow = 3,
  ExitIoError = 4,
  ExitInternalError = 5,
  // A run that saved its work and stopped before the end (EX_TEMPFAIL): a
  // batch system may start it again to resume.
  ExitTryAgain = 75,
};

// A text from outside (a command line, a file name, a table field) as it may
// be shown: control characters, C1 controls (0x80-0x9F) and DEL become \xNN,
// so that a hostile text cannot drive the terminal.
std::string Printable(std::string_view text);

class AbruptEnd : public std::runtime_error {
 public:
  AbruptEnd(ExitStatus status, const std::string& report) : std::runtime_error(report), status_(status) {}
  ExitStatus Status() const { return status_; }

 private:
  ExitStatus status_;
};

// A text given where an integer was expected.  The report is the text in
// double quotes followed by " is an invalid integer".
class InvalidInteger : public AbruptEnd {
 public:
  explicit InvalidInteger(const std::string& text);
};

class ArithmeticOverflow : public AbruptEnd {
 public:
  explicit ArithmeticOverflow(const std::string& where) : AbruptEnd(ExitOverflow, "Arithmetic overflow in " + where) {}
};

class IoError : public AbruptEnd {
 public:
  // what: e.g. "write to the result file"; errnoValue 0 when unknown.
  // onConsole: the console itself failed, so the report must go elsewhere.
  IoError(const std::string& what, int errnoValue, bool onConsole = false);
  bool OnConsole() const { return onConsole_; }

 private:
  bool onConsole_;
};

}  // namespace runframe
