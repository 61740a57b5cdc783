#include "runframe/worker_threads.hpp"

#include <new>
#include <system_error>
#include <utility>

namespace runframe {

WorkerThreads::~WorkerThreads() { JoinAll(); }

bool WorkerThreads::Start(std::function<void()> work) {
  try {
    threads_.emplace_back([this, task = std::move(work)] {
      try {
        task();
      } catch (...) {
        Fail(std::current_exception());
      }
    });
    return true;
  } catch (const std::system_error&) {
    // EAGAIN: no room for another thread (its stack, or a limit on threads).
  } catch (const std::bad_alloc&) {
  }
  Fail(std::make_exception_ptr(std::bad_alloc()));
  return false;
}

void WorkerThreads::Fail(std::exception_ptr failure) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!failure_) failure_ = std::move(failure);
  failed_ = true;
}

void WorkerThreads::JoinAll() {
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
  threads_.clear();
}

void WorkerThreads::Join() {
  JoinAll();
  std::exception_ptr failure;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    failure = std::exchange(failure_, nullptr);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace runframe
