#include "genexact/stop_signals.hpp"

#include <csignal>

namespace genexact {

std::atomic<bool> StopRequested{false};

namespace {

extern "C" void OnStopSignal(int signalNumber) {
  StopRequested = true;
  // A second signal ends the process the usual way.
  (void)std::signal(signalNumber, SIG_DFL);
}

}  // namespace

StopSignals::StopSignals() : int_(std::signal(SIGINT, OnStopSignal)), term_(std::signal(SIGTERM, OnStopSignal)) {}

StopSignals::~StopSignals() {
  // Failing to restore can only leave the stop handler, which is harmless.
  (void)std::signal(SIGINT, int_ == SIG_ERR ? SIG_DFL : int_);
  (void)std::signal(SIGTERM, term_ == SIG_ERR ? SIG_DFL : term_);
}

}  // namespace genexact
