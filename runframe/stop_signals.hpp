#pragma once
// Signals of all programs in one place.  Writes that the system refuses
// (a closed pipe, a file size limit) must fail with an error that the run
// reports, never kill the process silently; and a long run may ask to be told
// of Ctrl+C, SIGTERM and SIGHUP so that it can save its work before it ends.
#include <atomic>

#if !defined(_WIN32)
#include <signal.h>
#endif

namespace runframe {

// SIGPIPE and SIGXFSZ are ignored for the whole process: the write that
// caused them then fails (EPIPE, EFBIG) and ends the run with the I/O error stop.
void IgnoreWriteSignals();

// Set by the first stop signal while StopSignals lives: work should stop soon.
bool StopRequested();
// The number of a second stop signal that asks to end at once (0: none).
// The holder of StopSignals saves what it has and calls EndBySignal with it.
int SecondStopSignal();
// Clears both; for a new run of the same process (tests).
void ClearStopRequests();
// Tells that what was finished when the first stop signal came is on disk.
// Until then a third signal is held back like the second, so that holding
// Ctrl+C cannot end the process before that save.
void StopSaveDone();

// Ends the process by signal sig with its default action, as the user asked,
// after the cleanup of a live SignalCleanupScope.
[[noreturn]] void EndBySignal(int sig);

// While an instance lives, SIGINT, SIGTERM and SIGHUP ask for a stop instead of
// ending the process.  The first sets StopRequested; with saveOnSecond, the
// second is left to the holder to end the process after saving, and a third
// ends it at once once the holder has called StopSaveDone (a second without
// saveOnSecond ends it at once).  The earlier handlers
// come back when the instance ends.
class StopSignals {
 public:
  explicit StopSignals(bool saveOnSecond);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

// State that no signal may leave behind, such as a terminal's mode.  Each
// function runs inside a signal handler, so it must be async-signal-safe; a
// null one is skipped.
struct SignalCleanup {
  void (*beforeEnd)() = nullptr;      // the process is about to end by a signal
  void (*beforeStop)() = nullptr;     // SIGTSTP: the process is about to stop
  void (*afterContinue)() = nullptr;  // it runs again after a stop
};

// While an instance lives, its cleanup runs before the process ends by a
// signal that this module sees: EndBySignal (also a StopSignals holder's),
// and SIGINT, SIGTERM and SIGHUP whose action was the default; these then end
// the process as the default would.  On POSIX, SIGTSTP and SIGCONT with the
// default action also get a handler: stop after beforeStop, afterContinue on
// continuing.  Signals that were ignored or had a handler are left alone (a
// program's handler unwinds normally and so reaches the holder's destructor).
// The earlier handlers come back when the instance ends.  One at a time: a
// second one throws std::logic_error.
class SignalCleanupScope {
 public:
  explicit SignalCleanupScope(const SignalCleanup& cleanup);
  ~SignalCleanupScope();
  SignalCleanupScope(const SignalCleanupScope&) = delete;
  SignalCleanupScope& operator=(const SignalCleanupScope&) = delete;
};

// Holds off the signals of SignalCleanupScope while it lives, so that none
// finds the cleanup's state or its handlers half changed (on POSIX; Windows
// has no signal mask).
class HeldCleanupSignals {
 public:
  HeldCleanupSignals();
  ~HeldCleanupSignals();
  HeldCleanupSignals(const HeldCleanupSignals&) = delete;
  HeldCleanupSignals& operator=(const HeldCleanupSignals&) = delete;

#if !defined(_WIN32)
 private:
  sigset_t old_{};
#endif
};

}  // namespace runframe
