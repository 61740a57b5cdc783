#include "runframe/stop_signals.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iterator>
#include <stdexcept>

#if !defined(_WIN32)
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace runframe {
namespace {

#if !defined(_WIN32)
constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int CleanupSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT};
using Disposition = struct sigaction;
#else
constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM};
constexpr int CleanupSignalNumbers[] = {SIGINT, SIGTERM};
using Disposition = void (*)(int);
#endif

// The state of the live StopSignals.  Touched by the handlers, so lock-free
// atomics only; ClearStopRequests resets the requests.
struct StopState {
  std::atomic<int> signals{0};
  std::atomic<int> secondSignal{0};
  std::atomic<bool> saveOnSecond{false};
  std::atomic<bool> stopSaved{false};  // the first stop's save is on disk
  Disposition previous[std::size(StopSignalNumbers)]{};
};
static_assert(std::atomic<int>::is_always_lock_free, "the stop state is set from a signal handler");
StopState stopState;

// The live SignalCleanupScope's steps: written before its handlers are
// installed, and live cleared only after they are gone.
struct CleanupState {
  SignalCleanup steps{};
  volatile std::sig_atomic_t live = 0;
  Disposition previous[std::size(CleanupSignalNumbers)]{};
  bool installed[std::size(CleanupSignalNumbers)]{};
};
CleanupState cleanupState;

void RunCleanup(void (*step)()) {
  if (cleanupState.live != 0 && step != nullptr) step();
}

// The cleanup runs inside EndBySignal.
extern "C" void OnEndingSignal(int sig) { EndBySignal(sig); }

#if !defined(_WIN32)
void SetAction(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  (void)sigaction(sig, &action, nullptr);
}

extern "C" void OnContinue(int) {
  const int savedErrno = errno;
  RunCleanup(cleanupState.steps.afterContinue);
  errno = savedErrno;
}

extern "C" void OnTerminalStop(int) {
  const int savedErrno = errno;
  RunCleanup(cleanupState.steps.beforeStop);
  SetAction(SIGTSTP, SIG_DFL);
  sigset_t tstp;
  sigemptyset(&tstp);
  sigaddset(&tstp, SIGTSTP);
  (void)pthread_sigmask(SIG_UNBLOCK, &tstp, nullptr);
  (void)raise(SIGTSTP);  // stops here until SIGCONT
  (void)pthread_sigmask(SIG_BLOCK, &tstp, nullptr);
  SetAction(SIGTSTP, OnTerminalStop);
  // Also covers an orphaned process group, where the kernel ignores the stop
  // and no SIGCONT follows.
  RunCleanup(cleanupState.steps.afterContinue);
  errno = savedErrno;
}

void (*CleanupHandler(int sig))(int) {
  if (sig == SIGTSTP) return OnTerminalStop;
  if (sig == SIGCONT) return OnContinue;
  return OnEndingSignal;
}

#else
void (*CleanupHandler(int))(int) { return OnEndingSignal; }
#endif

extern "C" void OnStopSignal(int sig) {
  const int seen = stopState.signals.fetch_add(1) + 1;
  if (seen == 1) return;
  if (stopState.saveOnSecond.load()) {
    if (seen == 2) {
      stopState.secondSignal.store(sig);
      return;
    }
    // The holder ends the process itself right after its save.
    if (!stopState.stopSaved.load()) return;
  }
  EndBySignal(sig);
}

}  // namespace

void IgnoreWriteSignals() {
#if !defined(_WIN32)
  (void)std::signal(SIGPIPE, SIG_IGN);
  (void)std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool StopRequested() { return stopState.signals.load() > 0; }

int SecondStopSignal() { return stopState.secondSignal.load(); }

void ClearStopRequests() {
  stopState.signals = 0;
  stopState.secondSignal = 0;
  stopState.stopSaved = false;
}

void StopSaveDone() { stopState.stopSaved = true; }

void EndBySignal(int sig) {
  // Only async-signal-safe calls: this also runs inside the handlers.
  RunCleanup(cleanupState.steps.beforeEnd);
#if !defined(_WIN32)
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  (void)sigaction(sig, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  (void)pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  (void)raise(sig);
  _exit(128 + sig);  // not reached unless the default action is to ignore
#else
  (void)std::signal(sig, SIG_DFL);
  (void)std::raise(sig);
  std::_Exit(128 + sig);
#endif
}

StopSignals::StopSignals(bool saveOnSecond) {
  ClearStopRequests();
  stopState.saveOnSecond = saveOnSecond;
  for (std::size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
#if !defined(_WIN32)
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(StopSignalNumbers[i], &action, &stopState.previous[i]) != 0) {
      stopState.previous[i] = {};
      stopState.previous[i].sa_handler = SIG_DFL;
    } else if ((stopState.previous[i].sa_flags & SA_SIGINFO) == 0 && stopState.previous[i].sa_handler == SIG_IGN) {
      // Ignored when we started (nohup, a background job): it stays ignored.
      (void)sigaction(StopSignalNumbers[i], &stopState.previous[i], nullptr);
    }
#else
    stopState.previous[i] = std::signal(StopSignalNumbers[i], OnStopSignal);
    if (stopState.previous[i] == SIG_ERR) stopState.previous[i] = SIG_DFL;
    if (stopState.previous[i] == SIG_IGN) (void)std::signal(StopSignalNumbers[i], SIG_IGN);
#endif
  }
}

StopSignals::~StopSignals() {
  // Failing to restore can only leave the stop handler, which is harmless.
  for (std::size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
#if !defined(_WIN32)
    (void)sigaction(StopSignalNumbers[i], &stopState.previous[i], nullptr);
#else
    (void)std::signal(StopSignalNumbers[i], stopState.previous[i]);
#endif
  }
  stopState.saveOnSecond = false;
}

#if !defined(_WIN32)
HeldCleanupSignals::HeldCleanupSignals() {
  sigset_t held;
  sigemptyset(&held);
  for (const int sig : CleanupSignalNumbers) sigaddset(&held, sig);
  (void)pthread_sigmask(SIG_BLOCK, &held, &old_);
}

HeldCleanupSignals::~HeldCleanupSignals() { (void)pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
#else
// Windows has no signal mask.
HeldCleanupSignals::HeldCleanupSignals() = default;
HeldCleanupSignals::~HeldCleanupSignals() = default;
#endif

SignalCleanupScope::SignalCleanupScope(const SignalCleanup& cleanup) {
  if (cleanupState.live != 0) throw std::logic_error("SignalCleanupScope: one is live already");
  const HeldCleanupSignals held;
  cleanupState.steps = cleanup;
  cleanupState.live = 1;
  for (std::size_t i = 0; i < std::size(CleanupSignalNumbers); ++i) {
    const int sig = CleanupSignalNumbers[i];
    cleanupState.installed[i] = false;
#if !defined(_WIN32)
    // Only where the default action would kill or stop us without the cleanup.
    if (sigaction(sig, nullptr, &cleanupState.previous[i]) != 0 ||
        (cleanupState.previous[i].sa_flags & SA_SIGINFO) != 0 || cleanupState.previous[i].sa_handler != SIG_DFL) {
      continue;
    }
    SetAction(sig, CleanupHandler(sig));
#else
    cleanupState.previous[i] = std::signal(sig, CleanupHandler(sig));
    if (cleanupState.previous[i] != SIG_DFL) {
      if (cleanupState.previous[i] != SIG_ERR) (void)std::signal(sig, cleanupState.previous[i]);
      continue;
    }
#endif
    cleanupState.installed[i] = true;
  }
}

SignalCleanupScope::~SignalCleanupScope() {
  const HeldCleanupSignals held;
  for (std::size_t i = 0; i < std::size(CleanupSignalNumbers); ++i) {
    if (!cleanupState.installed[i]) continue;
#if !defined(_WIN32)
    (void)sigaction(CleanupSignalNumbers[i], &cleanupState.previous[i], nullptr);
#else
    (void)std::signal(CleanupSignalNumbers[i], cleanupState.previous[i]);
#endif
    cleanupState.installed[i] = false;
  }
  cleanupState.live = 0;
  cleanupState.steps = {};
}

}  // namespace runframe
