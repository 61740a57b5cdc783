#include "tests/support/pty_session.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace testsupport {

using Clock = std::chrono::steady_clock;

namespace {

// The bytes the process has had from read calls so far (rchar); the
// terminal's bytes reach it through the line discipline a moment after they
// are written, so only this shows that it has taken them.
std::optional<std::uint64_t> BytesRead(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  for (std::string key; io >> key;) {
    std::uint64_t value = 0;
    if (!(io >> value)) break;
    if (key == "rchar:") return value;
  }
  return std::nullopt;
}

}  // namespace

PtySession::PtySession(const TempDir& dir, const std::string& exe, const std::vector<std::string>& args,
                       const PtyOptions& options) {
  Start(&dir.Path(), exe, args, options);
}

PtySession::PtySession(const std::string& exe, const std::vector<std::string>& args, const PtyOptions& options) {
  Start(nullptr, exe, args, options);
}

void PtySession::Start(const std::string* dir, const std::string& exe, const std::vector<std::string>& args,
                       const PtyOptions& options) {
  std::vector<std::string> text{exe};
  text.insert(text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : text) argv.push_back(s.data());
  argv.push_back(nullptr);

  winsize size{};
  size.ws_col = options.columns;
  size.ws_row = options.rows;
  if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty failed");
  // Output bytes pass unchanged, so CR LF can be compared exactly.
  termios modes{};
  tcgetattr(slave_, &modes);
  modes.c_oflag &= ~static_cast<tcflag_t>(ONLCR);
  tcsetattr(slave_, TCSANOW, &modes);
  tcgetattr(slave_, &before_);
  if (!options.typedAhead.empty()) Send(options.typedAhead);

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ != 0) return;
  // Only async-signal-safe calls: a session of its own on the terminal, as a
  // login would set it up, default signal handling whatever the test runner
  // inherited.
  if (dir != nullptr && chdir(dir->c_str()) != 0) _exit(126);
  setsid();
  ioctl(slave_, TIOCSCTTY, 0);
  dup2(slave_, 0);
  dup2(slave_, 1);
  dup2(slave_, 2);
  close(master_);
  close(slave_);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGCONT, SIGTTOU, SIGTTIN}) {
    signal(sig, SIG_DFL);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (!options.jobControl) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  const pid_t job = fork();
  if (job == 0) {
    setpgid(0, 0);
    sigset_t ttou;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, nullptr);
    tcsetpgrp(0, getpid());
    sigprocmask(SIG_UNBLOCK, &ttou, nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
  }
  _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

PtySession::~PtySession() {
  if (pid_ > 0) {  // the test failed half-way: leave nothing running
    if (alsoKill_ > 0) kill(alsoKill_, SIGKILL);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(master_);
  close(slave_);
}

termios PtySession::Now() const {
  termios t{};
  EXPECT_EQ(tcgetattr(slave_, &t), 0);
  return t;
}

void PtySession::Send(std::string_view bytes) const {
  ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

bool PtySession::WaitFor(std::string_view text, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t at = output_.find(text, matched_);
    if (at != std::string::npos) {
      matched_ = at + text.size();
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    Read(static_cast<int>(left));
  }
}

bool PtySession::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    Read(5);
  }
  return true;
}

bool PtySession::Type(std::string_view bytes, int timeoutMs) {
  const std::optional<std::uint64_t> before = BytesRead(pid_);
  Send(bytes);
  return before && WaitUntil(
                       [&] {
                         const std::optional<std::uint64_t> now = BytesRead(pid_);
                         int unread = 0;
                         return now && *now >= *before + bytes.size() && ioctl(slave_, FIONREAD, &unread) == 0 &&
                                unread == 0;
                       },
                       timeoutMs);
}

void PtySession::SkipOutput() {
  ReadAvailable();
  matched_ = output_.size();
}

std::string PtySession::Unmatched() {
  ReadAvailable();
  return output_.substr(matched_);
}

void PtySession::Drain(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return;
    Read(static_cast<int>(left));
  }
}

bool PtySession::Running() {
  int status = 0;
  if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    status_ = status;
  }
  return pid_ > 0;
}

std::optional<int> PtySession::WaitExit(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "the program did not end; output:\n" << output_;
      return std::nullopt;
    }
    Read(10);
  }
  ReadAvailable();
  return status_;
}

void PtySession::Read(int timeoutMs) {
  pollfd in{master_, POLLIN, 0};
  if (poll(&in, 1, timeoutMs) != 1 || (in.revents & POLLIN) == 0) return;
  char buffer[4096];
  const ssize_t got = read(master_, buffer, sizeof buffer);
  if (got > 0) output_.append(buffer, static_cast<std::size_t>(got));
}

void PtySession::ReadAvailable() {
  for (std::size_t before = output_.size() + 1; before != output_.size();) {
    before = output_.size();
    Read(0);
  }
}

bool ExitedWith(const std::optional<int>& status, int code) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

bool KilledBy(const std::optional<int>& status, int sig) {
  return status && WIFSIGNALED(*status) && WTERMSIG(*status) == sig;
}

}  // namespace testsupport
