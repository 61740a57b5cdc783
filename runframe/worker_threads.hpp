#pragma once
// Threads that are always joined and never end the process: an exception in
// any of them, or a thread the system cannot start (kept as std::bad_alloc,
// which the run reports as "Out of memory"), is held and rethrown by Join
// once every started thread has ended.  Without this, a std::thread that is
// still joinable when an exception passes, or an exception that leaves a
// thread's function, ends the process with std::terminate (SIGABRT).
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace runframe {

class WorkerThreads {
 public:
  WorkerThreads() = default;
  // Joins what is still running; a failure not taken by Join is dropped.
  ~WorkerThreads();
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Runs work on a new thread.  False when the system has no room for one:
  // the failure is then held as std::bad_alloc, and nothing more should start.
  bool Start(std::function<void()> work);

  // Holds failure unless an earlier one is held; for the caller's own thread.
  void Fail(std::exception_ptr failure);

  // Whether a failure is held: workers look at it to end early.
  bool Failed() const { return failed_.load(); }

  // Waits for every started thread; then rethrows the first failure.
  void Join();

 private:
  void JoinAll();

  std::vector<std::thread> threads_;
  std::mutex mutex_;            // guards failure_
  std::exception_ptr failure_;  // the first failure
  std::atomic<bool> failed_{false};
};

}  // namespace runframe
