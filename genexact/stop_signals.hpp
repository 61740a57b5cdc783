#pragma once
// Ctrl-C and SIGTERM during a count.  Built once for both element widths:
// a signal handler has C linkage and so one name in the whole program.
#include <atomic>

namespace genexact {

// Set from a signal handler: the workers finish their current unit and stop.
extern std::atomic<bool> StopRequested;
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

// Ctrl-C and SIGTERM set StopRequested while this lives; the previous
// handlers come back afterwards, also when the count ends in an exception.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void (*int_)(int);
  void (*term_)(int);
};

}  // namespace genexact
