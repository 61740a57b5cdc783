#pragma once
// A program on a fresh pseudo-terminal of a chosen size, for tests that type
// keys into it and read what it shows.  The test keeps the slave side open,
// so the terminal's modes stay readable after the program has gone.
#include <sys/types.h>
#include <termios.h>

#include <functional>
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
  // Run the program as the foreground job of a tiny shell, so that its
  // process group is not orphaned and Ctrl+Z really stops it.
  bool jobControl = false;
};

class PtySession {
 public:
  // Runs exe with args in dir (without dir: in the current folder), with the
  // terminal as its controlling terminal and standard streams, and with the
  // default action for every signal the test runner may have changed.
  // Output bytes pass unchanged (no LF -> CR LF).
  PtySession(const TempDir& dir, const std::string& exe, const std::vector<std::string>& args,
             const PtyOptions& options = {});
  PtySession(const std::string& exe, const std::vector<std::string>& args, const PtyOptions& options = {});
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
  // Waits (bounded) until done() holds, reading the output meanwhile so the
  // program never blocks on a full terminal; done() may look at files.
  bool WaitUntil(const std::function<bool()>& done, int timeoutMs = PtyWaitMs);
  // Types bytes and waits (bounded) until the program has read them: its
  // count of bytes read has grown by as many, and none is left unread.  For
  // a program that reads nothing else meanwhile, not under jobControl.
  bool Type(std::string_view bytes, int timeoutMs = PtyWaitMs);
  // Later waits look only at output that comes after this call.
  void SkipOutput();
  // Output not yet matched by WaitFor.
  std::string Unmatched();
  // Keeps reading for ms, so the program never blocks on a full terminal.
  void Drain(int ms);
  bool Running();
  // Waits (bounded) for the end; the wait status, or nullopt (and a test
  // failure) when it did not end in time.
  std::optional<int> WaitExit(int timeoutMs = PtyWaitMs);
  // A process of the session (a stopped job) to kill too should the test
  // fail before the program ends.
  void AlsoKillAtEnd(pid_t pid) { alsoKill_ = pid; }

 private:
  void Start(const std::string* dir, const std::string& exe, const std::vector<std::string>& args,
             const PtyOptions& options);
  void Read(int timeoutMs);
  void ReadAvailable();

  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  pid_t alsoKill_ = -1;
  int status_ = -1;
  termios before_{};
  std::string output_;
  std::size_t matched_ = 0;
};

bool ExitedWith(const std::optional<int>& status, int code);
bool KilledBy(const std::optional<int>& status, int sig);

}  // namespace testsupport
