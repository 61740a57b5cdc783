#include "runframe/stop_signals.hpp"

#include <csignal>
#include <cstdlib>
#include <iterator>

#if !defined(_WIN32)
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
  // Only async-signal-safe calls: this also runs inside the handler.
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

}  // namespace runframe
