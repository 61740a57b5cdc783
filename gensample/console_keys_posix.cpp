// Console keys on a POSIX terminal: single-key, no-echo mode for the object's
// lifetime, restored on every way out that can be caught.
#include "gensample/console_keys.hpp"
#include "gensample/key_decoder.hpp"
#include "gensample/no_console_keys.hpp"
#include "runframe/stop_signals.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

namespace gensample {

namespace {

// The terminal of the live TerminalKeys: its modes as found and as set for
// single keys.  Shared with the signal handlers, so plain data written before
// they are armed; owned by that object, which clears it when it ends.
struct TerminalState {
  int fd = -1;
  termios savedModes{};
  termios rawModes{};
  volatile std::sig_atomic_t active = 0;
  volatile std::sig_atomic_t rawApplied = 0;
};
TerminalState terminal;

std::int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Async-signal-safe helpers: usable from handlers and ordinary code alike.

bool InForeground() { return tcgetpgrp(terminal.fd) == getpgrp(); }

// Sets terminal modes even from the background: there SIGTTOU would stop us
// (and a dying process must not stop), so it is held off for the call.
void SetModes(const termios& modes, int when) {
  const int savedErrno = errno;
  sigset_t ttou;
  sigset_t old;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  pthread_sigmask(SIG_BLOCK, &ttou, &old);
  tcsetattr(terminal.fd, when, &modes);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = savedErrno;
}

// Raw mode only while we own the terminal: a background job must not change the
// shell's modes, and the next SIGCONT (or poll) in the foreground applies them.
void ApplyRawIfForeground() {
  if (terminal.active && InForeground()) {
    SetModes(terminal.rawModes, TCSANOW);
    terminal.rawApplied = 1;
  }
}

// Puts the saved modes back unless the shell already has the terminal in its own.
void RestoreSaved(int when) {
  if (terminal.active && (terminal.rawApplied || InForeground())) {
    SetModes(terminal.savedModes, when);
    terminal.rawApplied = 0;
  }
}

// The terminal's part of the process's signal handling (runframe/stop_signals):
// back to the saved modes before the process dies or stops, raw again when it
// continues in the foreground.
void RestoreBeforeSignal() { RestoreSaved(TCSANOW); }

class TerminalKeys final : public ConsoleKeys {
 public:
  explicit TerminalKeys(const termios& saved);
  ~TerminalKeys() override;
  TerminalKeys(const TerminalKeys&) = delete;
  TerminalKeys& operator=(const TerminalKeys&) = delete;

  bool KeyAvailable() override;
  std::uint8_t ReadKeyCode() override;

 private:
  void ReadWaitingBytes();

  ConsoleClaim claim_;
  std::optional<runframe::SignalCleanupScope> signalCleanup_;
  KeyDecoder decoder_;
  std::uint8_t secondCode_ = 0;
  bool secondCodeDue_ = false;
  bool inputEnded_ = false;
};

TerminalKeys::TerminalKeys(const termios& saved) {
  terminal.savedModes = saved;
  terminal.rawModes = saved;
  // ISIG stays: Ctrl+C must still interrupt a run.
  terminal.rawModes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  terminal.rawModes.c_cc[VMIN] = 0;
  terminal.rawModes.c_cc[VTIME] = 0;
  terminal.active = 1;

  runframe::SignalCleanup cleanup;
  cleanup.beforeEnd = RestoreBeforeSignal;
  cleanup.beforeStop = RestoreBeforeSignal;
  cleanup.afterContinue = ApplyRawIfForeground;
  signalCleanup_.emplace(cleanup);
  ApplyRawIfForeground();
}

TerminalKeys::~TerminalKeys() {
  // Signals wait until the terminal and the handlers are back as they were.
  const runframe::HeldCleanupSignals held;

  // TCSAFLUSH drops unread keys, so a later "press Enter" really waits.
  RestoreSaved(TCSAFLUSH);
  terminal.active = 0;
  signalCleanup_.reset();
  terminal.fd = -1;
}

void TerminalKeys::ReadWaitingBytes() {
  // Reading from the background would stop us with SIGTTIN.
  if (!InForeground()) {
    return;
  }
  if (!terminal.rawApplied) {
    ApplyRawIfForeground();  // brought to the foreground without a SIGCONT
  }
  pollfd in{terminal.fd, POLLIN, 0};
  if (poll(&in, 1, 0) != 1) {
    return;
  }
  ssize_t got = 0;
  if ((in.revents & POLLIN) != 0) {
    std::uint8_t buffer[64];
    got = read(terminal.fd, buffer, sizeof buffer);
    if (got > 0) {
      decoder_.Feed(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(got)), NowMs());
    }
  }
  if (got <= 0 && (in.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    inputEnded_ = true;  // the terminal hung up: no key will ever come
  }
}

bool TerminalKeys::KeyAvailable() {
  if (secondCodeDue_ || decoder_.HasKey()) {
    return true;
  }
  if (!inputEnded_) {
    ReadWaitingBytes();
  }
  decoder_.Expire(NowMs());
  return decoder_.HasKey();
}

std::uint8_t TerminalKeys::ReadKeyCode() {
  if (secondCodeDue_) {
    secondCodeDue_ = false;
    return secondCode_;
  }
  while (!KeyAvailable()) {
    if (inputEnded_) {
      return 13;  // end a wait for Enter rather than wait forever
    }
    // Wake for new bytes, or in time to settle a held ESC.
    pollfd in{terminal.fd, POLLIN, 0};
    const int timeout = decoder_.Holding() ? 5 : 100;
    if (InForeground()) {
      poll(&in, 1, timeout);
    } else {
      poll(nullptr, 0, timeout);
    }
  }
  const DecodedKey key = *decoder_.Next();
  if (!key.extended) {
    return key.code;
  }
  secondCode_ = key.code;
  secondCodeDue_ = true;
  return 0;
}

}  // namespace

std::unique_ptr<ConsoleKeys> OpenConsoleKeys() {
  if (ConsoleClaim::Held()) {
    throw std::logic_error("OpenConsoleKeys: the console keys are already open");
  }
  termios saved{};
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) {
    return std::make_unique<NoConsoleKeys>();
  }
  terminal.fd = STDIN_FILENO;
  return std::make_unique<TerminalKeys>(saved);
}

}  // namespace gensample
