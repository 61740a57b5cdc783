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

// Touched by the handlers, so lock-free atomics only.
std::atomic<int> g_stopSignals{0};
std::atomic<int> g_secondSignal{0};
std::atomic<bool> g_saveOnSecond{false};
static_assert(std::atomic<int>::is_always_lock_free, "the stop state is set from a signal handler");

#if !defined(_WIN32)
constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
#else
constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM};
void (*g_previous[2])(int);
#endif

// The live SignalCleanupScope's functions: written before its handlers are
// installed, and the flag cleared only after they are gone.
SignalCleanup g_cleanup{};
volatile std::sig_atomic_t g_cleanupLive = 0;

#if !defined(_WIN32)
constexpr int CleanupSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT};
struct sigaction g_cleanupPrevious[std::size(CleanupSignalNumbers)];
#else
constexpr int CleanupSignalNumbers[] = {SIGINT, SIGTERM};
void (*g_cleanupPrevious[std::size(CleanupSignalNumbers)])(int);
#endif
bool g_cleanupInstalled[std::size(CleanupSignalNumbers)];

void RunCleanup(void (*step)()) {
  if (g_cleanupLive != 0 && step != nullptr) step();
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
  RunCleanup(g_cleanup.afterContinue);
  errno = savedErrno;
}

extern "C" void OnTerminalStop(int) {
  const int savedErrno = errno;
  RunCleanup(g_cleanup.beforeStop);
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
  RunCleanup(g_cleanup.afterContinue);
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
  const int seen = g_stopSignals.fetch_add(1) + 1;
  if (seen == 1) return;
  if (seen == 2 && g_saveOnSecond.load()) {
    g_secondSignal.store(sig);
    return;
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

bool StopRequested() { return g_stopSignals.load() > 0; }

int SecondStopSignal() { return g_secondSignal.load(); }

void ClearStopRequests() {
  g_stopSignals = 0;
  g_secondSignal = 0;
}

void EndBySignal(int sig) {
  // Only async-signal-safe calls: this also runs inside the handlers.
  RunCleanup(g_cleanup.beforeEnd);
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
  g_saveOnSecond = saveOnSecond;
  for (std::size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
#if !defined(_WIN32)
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(StopSignalNumbers[i], &action, &g_previous[i]) != 0) {
      g_previous[i] = {};
      g_previous[i].sa_handler = SIG_DFL;
    } else if ((g_previous[i].sa_flags & SA_SIGINFO) == 0 && g_previous[i].sa_handler == SIG_IGN) {
      // Ignored when we started (nohup, a background job): it stays ignored.
      (void)sigaction(StopSignalNumbers[i], &g_previous[i], nullptr);
    }
#else
    g_previous[i] = std::signal(StopSignalNumbers[i], OnStopSignal);
    if (g_previous[i] == SIG_ERR) g_previous[i] = SIG_DFL;
    if (g_previous[i] == SIG_IGN) (void)std::signal(StopSignalNumbers[i], SIG_IGN);
#endif
  }
}

StopSignals::~StopSignals() {
  // Failing to restore can only leave the stop handler, which is harmless.
  for (std::size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
#if !defined(_WIN32)
    (void)sigaction(StopSignalNumbers[i], &g_previous[i], nullptr);
#else
    (void)std::signal(StopSignalNumbers[i], g_previous[i]);
#endif
  }
  g_saveOnSecond = false;
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
  if (g_cleanupLive != 0) throw std::logic_error("SignalCleanupScope: one is live already");
  const HeldCleanupSignals held;
  g_cleanup = cleanup;
  g_cleanupLive = 1;
  for (std::size_t i = 0; i < std::size(CleanupSignalNumbers); ++i) {
    const int sig = CleanupSignalNumbers[i];
    g_cleanupInstalled[i] = false;
#if !defined(_WIN32)
    // Only where the default action would kill or stop us without the cleanup.
    if (sigaction(sig, nullptr, &g_cleanupPrevious[i]) != 0 || (g_cleanupPrevious[i].sa_flags & SA_SIGINFO) != 0 ||
        g_cleanupPrevious[i].sa_handler != SIG_DFL) {
      continue;
    }
    SetAction(sig, CleanupHandler(sig));
#else
    g_cleanupPrevious[i] = std::signal(sig, CleanupHandler(sig));
    if (g_cleanupPrevious[i] != SIG_DFL) {
      if (g_cleanupPrevious[i] != SIG_ERR) (void)std::signal(sig, g_cleanupPrevious[i]);
      continue;
    }
#endif
    g_cleanupInstalled[i] = true;
  }
}

SignalCleanupScope::~SignalCleanupScope() {
  const HeldCleanupSignals held;
  for (std::size_t i = 0; i < std::size(CleanupSignalNumbers); ++i) {
    if (!g_cleanupInstalled[i]) continue;
#if !defined(_WIN32)
    (void)sigaction(CleanupSignalNumbers[i], &g_cleanupPrevious[i], nullptr);
#else
    (void)std::signal(CleanupSignalNumbers[i], g_cleanupPrevious[i]);
#endif
    g_cleanupInstalled[i] = false;
  }
  g_cleanupLive = 0;
  g_cleanup = {};
}

}  // namespace runframe
