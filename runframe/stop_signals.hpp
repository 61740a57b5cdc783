#pragma once
// Signals of all programs in one place.  Writes that the system refuses
// (a closed pipe, a file size limit) must fail with an error that the run
// reports, never kill the process silently; and a long run may ask to be told
// of Ctrl+C, SIGTERM and SIGHUP so that it can save its work before it ends.
#include <atomic>

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

// Ends the process by signal sig with its default action, as the user asked.
[[noreturn]] void EndBySignal(int sig);

// While an instance lives, SIGINT, SIGTERM and SIGHUP ask for a stop instead of
// ending the process.  The first sets StopRequested; with saveOnSecond, the
// second is left to the holder to end the process after saving, and a third
// (or a second without saveOnSecond) ends it at once.  The earlier handlers
// come back when the instance ends.
class StopSignals {
 public:
  explicit StopSignals(bool saveOnSecond);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

}  // namespace runframe
