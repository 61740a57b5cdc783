// The console layer against a real terminal: keyprobe runs on a pseudo-terminal
// that this test types into, and the terminal's modes are checked from outside.
#include "gensample/console_keys.hpp"
#include "tests/support/pty_session.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int WaitMs = testsupport::PtyWaitMs;

bool SameModes(const termios& a, const termios& b) {
  return a.c_lflag == b.c_lflag && a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cc[VMIN] == b.c_cc[VMIN] &&
         a.c_cc[VTIME] == b.c_cc[VTIME];
}

bool IsRaw(const termios& t) {
  return (t.c_lflag & (ICANON | ECHO)) == 0 && (t.c_lflag & ISIG) != 0 && t.c_cc[VMIN] == 0 && t.c_cc[VTIME] == 0;
}

testsupport::PtyOptions ProbeOptions(bool jobControl) {
  testsupport::PtyOptions options;
  options.jobControl = jobControl;
  return options;
}

// keyprobe on a fresh pseudo-terminal (the shared harness; its output bytes
// pass unchanged, so the probe's lines end in LF alone).
class Probe : public testsupport::PtySession {
 public:
  // jobControl: run the probe as a foreground job of a tiny shell, so its process
  // group is not orphaned and Ctrl+Z really stops it.
  explicit Probe(bool jobControl = false)
      : PtySession(testsupport::BinaryPath("tests/keyprobe"), {}, ProbeOptions(jobControl)) {}

  // Reads the job's pid from its READY line (for signalling the job itself).
  pid_t JobPid() {
    const auto at = Output().find("READY pid=");
    return at == std::string::npos ? -1 : static_cast<pid_t>(std::atol(Output().c_str() + at + 10));
  }
};

// Waits (bounded) until the terminal's modes satisfy pred.
template <class Pred>
bool WaitForModes(const Probe& probe, Pred pred) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(WaitMs);
  while (Clock::now() < deadline) {
    if (pred(probe.Now())) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

char ProcessState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const auto close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

TEST(ConsoleKeysPty, KeysDecodeAndOnlyAltRStops) {
  Probe probe;
  ASSERT_TRUE(IsRaw(probe.Before()) == false) << "a new terminal starts in line mode";
  ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
  EXPECT_TRUE(IsRaw(probe.Now())) << "single-key, no-echo mode with Ctrl+C kept";

  const struct {
    std::string_view bytes;
    std::string_view line;
  } keys[] = {
      {"\x1b[A", "ext 72\n"},   {"\x1b[D", "ext 75\n"}, {"\x1b[1;3B", "ext 80\n"}, {"\x1bOP", "ext 59\n"},
      {"\x1b[15~", "ext 63\n"}, {"r", "key 114\n"},     {"R", "key 82\n"},         {"\x12", "key 18\n"},
      {"\x1bx", "ext 45\n"},    {"\r", "key 13\n"},     {"\x1b", "key 27\n"},      {"\x1b[", "ext 26\n"},
  };
  for (const auto& key : keys) {
    probe.Send(key.bytes);
    ASSERT_TRUE(probe.WaitFor(key.line)) << "after sending " << key.line << ":\n" << probe.Output();
  }
  EXPECT_EQ(probe.Unmatched(), "") << "no echo, no STOP, no extra key";

  probe.Send("\x1br");
  EXPECT_TRUE(probe.WaitFor("ext 19\nSTOP")) << probe.Output();
  const std::optional<int> status = probe.WaitExit();
  EXPECT_TRUE(testsupport::ExitedWith(status, 0)) << status.value_or(-1);
  EXPECT_TRUE(SameModes(probe.Now(), probe.Before())) << "modes restored after a normal end";
}

TEST(ConsoleKeysPty, AltRSplitAcrossWritesStillStops) {
  Probe probe;
  ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
  probe.Send("\x1b");
  probe.Send("r");
  EXPECT_TRUE(probe.WaitFor("STOP")) << probe.Output();
  const std::optional<int> status = probe.WaitExit();
  EXPECT_TRUE(testsupport::ExitedWith(status, 0)) << status.value_or(-1);
}

TEST(ConsoleKeysPty, ModesRestoredWhenKilled) {
  for (const int sig : {SIGTERM, SIGHUP}) {
    Probe probe;
    ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
    ASSERT_TRUE(IsRaw(probe.Now()));
    ASSERT_EQ(kill(probe.JobPid(), sig), 0);
    const std::optional<int> status = probe.WaitExit();
    EXPECT_TRUE(testsupport::KilledBy(status, sig)) << "dies of signal " << sig << ": " << status.value_or(-1);
    EXPECT_TRUE(SameModes(probe.Now(), probe.Before())) << "signal " << sig;
  }
}

TEST(ConsoleKeysPty, CtrlCStillInterrupts) {
  Probe probe;
  ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
  probe.Send("\x03");
  const std::optional<int> status = probe.WaitExit();
  EXPECT_TRUE(testsupport::KilledBy(status, SIGINT)) << status.value_or(-1) << "\n" << probe.Output();
  EXPECT_TRUE(SameModes(probe.Now(), probe.Before()));
}

TEST(ConsoleKeysPty, CtrlZRestoresModesAndContinueReappliesThem) {
  Probe probe(/*jobControl=*/true);
  ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
  const pid_t job = probe.JobPid();
  ASSERT_GT(job, 0);
  ASSERT_TRUE(IsRaw(probe.Now()));

  probe.Send("\x1a");
  probe.AlsoKillAtEnd(job);
  EXPECT_TRUE(WaitForModes(probe, [&](const termios& t) { return SameModes(t, probe.Before()); }))
      << "line mode while stopped";
  if (ProcessState(job) != '?') {
    const auto deadline = Clock::now() + std::chrono::milliseconds(WaitMs);
    while (ProcessState(job) != 'T' && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(ProcessState(job), 'T') << "the job is stopped";
  }

  ASSERT_EQ(kill(job, SIGCONT), 0);
  EXPECT_TRUE(WaitForModes(probe, IsRaw)) << "raw again after SIGCONT";
  probe.Send("\x1br");
  EXPECT_TRUE(probe.WaitFor("STOP")) << probe.Output();
  const std::optional<int> status = probe.WaitExit();
  EXPECT_TRUE(testsupport::ExitedWith(status, 0)) << status.value_or(-1);
  EXPECT_TRUE(SameModes(probe.Now(), probe.Before()));
}

// Standard input redirected for one test; put back afterwards.
class StdinFrom {
 public:
  explicit StdinFrom(int fd) : saved_(dup(0)) { dup2(fd, 0); }
  ~StdinFrom() {
    dup2(saved_, 0);
    close(saved_);
  }
  StdinFrom(const StdinFrom&) = delete;
  StdinFrom& operator=(const StdinFrom&) = delete;

 private:
  int saved_;
};

TEST(ConsoleKeysPipe, PipedInputIsNeverRead) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const std::string typed = "\x1br\x1br\n";
  ASSERT_EQ(write(pipeFds[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  close(pipeFds[1]);  // so that no read of the pipe can wait
  {
    StdinFrom redirect(pipeFds[0]);
    auto keys = gensample::OpenConsoleKeys();
    for (int i = 0; i < 5; ++i) {
      EXPECT_FALSE(keys->KeyAvailable());
      EXPECT_FALSE(gensample::TakeStopKey(*keys));
    }
    EXPECT_THROW(gensample::OpenConsoleKeys(), std::logic_error) << "only one at a time";
    keys.reset();
    EXPECT_NO_THROW(gensample::OpenConsoleKeys()) << "free again once closed";
  }
  char buffer[64];
  const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), typed);
  close(pipeFds[0]);
}

}  // namespace
