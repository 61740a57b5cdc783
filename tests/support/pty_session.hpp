#pragma once
// A program on a fresh pseudo-terminal of a chosen size, for tests that type
// keys into it and read what it shows.  The test keeps the slave side open,
// so the terminal's modes stay readable after the program has gone.
#include <sys/types.h>
#include <termios.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/run_program.hpp"

namespace testsupport {

inline constexpr int PtyWaitMs = 10000;

struct PtyOptions {
  std::string_view typedAhead;  // bytes typed before the program starts
  unsigned short columns = 80;
  unsigned short rows = 24;
};

class PtySession {
 public:
  // Runs exe with args in dir, with the terminal as its controlling terminal
  // and standard streams.  Output bytes pass unchanged (no LF -> CR LF).
  PtySession(const TempDir& dir, const std::string& exe, const std::vector<std::string>& args,
             const PtyOptions& options = {});
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  pid_t Pid() const { return pid_; }
  const termios& Before() const { return before_; }
  const std::string& Output() const { return output_; }
  termios Now() const;

  void Send(std::string_view bytes) const;
  // Waits (bounded) for text after what earlier waits matched.
  bool WaitFor(std::string_view text, int timeoutMs = PtyWaitMs);
  // Later waits look only at output that comes after this call.
  void SkipOutput();
  // Keeps reading for ms, so the program never blocks on a full terminal.
  void Drain(int ms);
  bool Running();
  // Waits (bounded) for the end; the wait status, or nullopt (and a test
  // failure) when it did not end in time.
  std::optional<int> WaitExit(int timeoutMs = PtyWaitMs);

 private:
  void Read(int timeoutMs);

  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  termios before_{};
  std::string output_;
  std::size_t matched_ = 0;
};

bool ExitedWith(const std::optional<int>& status, int code);
bool KilledBy(const std::optional<int>& status, int sig);

}  // namespace testsupport
