// genexact on the ways a long run ends, with the real programs: signals, a
// console that goes away, a full disk, a second run on the same checkpoint,
// planted links and damaged, strange or huge checkpoint files, file size and
// thread limits.  Every wait is bounded, so a broken program fails a test
// instead of hanging it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/known_counts.hpp"
#include "tests/support/run_program.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

// Bounded waits: generous, as the machine may be busy and the sanitizer
// build is slow.
constexpr auto LongWait = seconds(180);

std::string Genexact() { return testsupport::BinaryPath("genexact/genexact"); }

// genexact started in a folder with standard output on a pipe that this test
// reads while the program runs; standard input is /dev/null.
class Child {
 public:
  // smallPipe: standard output is a pipe of one page, and this test keeps
  // a writing end of it too, for FillOutput.
  Child(const std::string& dir, const std::vector<std::string>& args, bool smallPipe = false) {
    signal(SIGPIPE, SIG_IGN);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    if (smallPipe) {
      fcntl(out[0], F_SETPIPE_SZ, 4096);
      // A new open file description of the pipe: non-blocking for this test
      // only (a dup would share the flag with the child's standard output).
      fill_ = open(("/proc/self/fd/" + std::to_string(out[1])).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    }
    std::vector<std::string> text{Genexact()};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : text) argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      const int in = open("/dev/null", O_RDONLY);
      if (chdir(dir.c_str()) != 0 || in < 0 || dup2(in, 0) < 0 || dup2(out[1], 1) < 0 || dup2(out[1], 2) < 0) {
        _exit(126);
      }
      // As a shell leaves them: default actions.
      signal(SIGPIPE, SIG_DFL);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~Child() {
    if (!reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status_, 0);
    }
    if (out_ >= 0) close(out_);
    if (fill_ >= 0) close(fill_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Reads output until done(output) holds, the output ends or the wait is over.
  bool ReadUntil(const std::function<bool(const std::string&)>& done, Clock::duration wait = LongWait) {
    const auto deadline = Clock::now() + wait;
    while (!done(output_)) {
      if (out_ < 0 || Clock::now() > deadline) return false;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char buf[4096];
      const ssize_t got = read(out_, buf, sizeof buf);
      if (got > 0) {
        output_.append(buf, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(out_);
        out_ = -1;
      }
    }
    return true;
  }
  // Waits until at least `units` units are shown as finished.
  bool WaitForUnits(std::uint64_t units) {
    return ReadUntil([&](const std::string&) { return UnitsShown() >= units; });
  }
  std::uint64_t UnitsShown() const {
    std::uint64_t most = 0;
    for (std::size_t at = output_.find("units "); at != std::string::npos; at = output_.find("units ", at + 1)) {
      const std::size_t slash = output_.find('/', at);
      if (slash == std::string::npos) break;
      const std::string digits = output_.substr(at + 6, slash - at - 6);
      if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos) {
        most = std::max<std::uint64_t>(most, std::stoull(digits));
      }
    }
    return most;
  }
  void Signal(int sig) const { kill(pid_, sig); }
  // Waits until the child has a handler for sig (its SigCgt mask in /proc).
  bool WaitUntilCatching(int sig, Clock::duration wait = LongWait) const {
    const auto deadline = Clock::now() + wait;
    const std::uint64_t bit = std::uint64_t{1} << (sig - 1);
    while (Clock::now() < deadline) {
      std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
      for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) & bit) != 0) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
  // Fills the one-page output pipe, so that the child's next write would
  // wait for a reader (a console nobody reads).  Needs smallPipe.
  void FillOutput() const {
    // Smaller and smaller writes: one that does not fit whole is refused.
    const std::string page(4096, 'x');
    for (std::size_t size = page.size(); size > 0; size /= 2) {
      while (write(fill_, page.data(), size) > 0) {
      }
    }
  }
  void CloseOutput() {
    if (out_ >= 0) close(out_);
    out_ = -1;
  }
  // Waits for the end (draining the output); false when the wait is over.
  bool Wait(Clock::duration wait = LongWait) {
    const auto deadline = Clock::now() + wait;
    for (;;) {
      if (out_ >= 0) ReadUntil([](const std::string&) { return false; }, std::chrono::milliseconds(100));
      const pid_t r = waitpid(pid_, &status_, WNOHANG);
      if (r == pid_) {
        reaped_ = true;
        // What the child wrote last may still be in the pipe.
        if (fill_ >= 0) close(fill_);
        fill_ = -1;
        if (out_ >= 0) ReadUntil([](const std::string&) { return false; }, seconds(10));
        return true;
      }
      if (Clock::now() > deadline) return false;
      if (out_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  int ExitCode() const { return reaped_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
  int TermSignal() const { return reaped_ && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }
  const std::string& Output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int fill_ = -1;  // a writing end of the output pipe, or -1
  int status_ = 0;
  bool reaped_ = false;
  std::string output_;
};

// The number on the end line of a partial-result file; -1 when there is none.
long long SavedUnits(const std::string& text) {
  const std::size_t at = text.find("\r\nend ");
  if (at == std::string::npos) return -1;
  return std::stoll(text.substr(at + 6));
}

testsupport::RunOptions In(const testsupport::TempDir& dir) {
  testsupport::RunOptions o;
  o.workDir = dir.Path();
  o.timeout = LongWait;
  return o;
}

// A long run (Equ(5) x Equ(6) on one thread: 1661 units, a minute or more)
// that tests stop early.
// Runs that last long enough on one thread to be stopped mid-way (about ten
// seconds on a quiet machine; the tests stop them after a few units).
constexpr int LongN = 6;
constexpr int LongM = 6;
std::vector<std::string> LongRun(const std::string& checkpoint, int threads = 1) {
  return {"6", "6", "--threads", std::to_string(threads), "--progress-every", "1", "--checkpoint", checkpoint};
}

TEST(GenexactEndings, InterruptedRunExitsWithTryAgainAfterSaving) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 5);
  const auto r = testsupport::RunProgram(Genexact(), {"2", "5", "--checkpoint", "c", "--stop-after", "7"}, In(dir));
  EXPECT_EQ(r.exitCode, 75) << r.out;
  EXPECT_EQ(SavedUnits(dir.Read("c")), 7);
  EXPECT_NE(r.out.find("Finished units are saved in c; run again to resume"), std::string::npos);
  // The run still ends in order: end stamp and elapsed time.
  EXPECT_NE(r.out.find("the time elapsed is: "), std::string::npos);
}

// Starts one long run per entry of `ends`, each with checkpoint c in a fresh
// folder, all at once so that their waits overlap; waits until each shows
// three finished units, ends each by its entry and waits for them.  `check` then sees the child, the units the
// checkpoint holds and the units shown before the end: a run may end in any way it survives, but never with fewer saved
// than shown.
using Ending = std::function<void(Child&)>;
using EndingCheck = std::function<void(Child&, long long saved, long long shown)>;
void EndLongRuns(const std::vector<std::pair<std::string, Ending>>& ends, const EndingCheck& check, int threads = 1) {
  std::vector<std::unique_ptr<testsupport::TempDir>> dirs;
  std::vector<std::unique_ptr<Child>> children;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    dirs.push_back(std::make_unique<testsupport::TempDir>());
    testsupport::WriteTables(*dirs.back(), LongN, LongM);
    children.push_back(std::make_unique<Child>(dirs.back()->Path(), LongRun("c", threads)));
  }
  // Every run must still be running when it is ended: all are ended as soon
  // as all have shown their units, not one after the other's end.
  std::vector<long long> shown(ends.size());
  for (std::size_t i = 0; i < ends.size(); ++i) {
    ASSERT_TRUE(children[i]->WaitForUnits(3)) << ends[i].first << "\n" << children[i]->Output();
    shown[i] = static_cast<long long>(children[i]->UnitsShown());
  }
  for (std::size_t i = 0; i < ends.size(); ++i) ends[i].second(*children[i]);
  for (std::size_t i = 0; i < ends.size(); ++i) {
    SCOPED_TRACE(ends[i].first);
    ASSERT_TRUE(children[i]->Wait());
    check(*children[i], SavedUnits(dirs[i]->Read("c")), shown[i]);
  }
}

TEST(GenexactEndings, HangupSavesTheFinishedUnits) {
  std::vector<std::pair<std::string, Ending>> ends;
  for (const int sig : {SIGHUP, SIGTERM, SIGINT}) {
    ends.emplace_back(strsignal(sig), [sig](Child& child) { child.Signal(sig); });
  }
  EndLongRuns(ends, [](Child& child, long long saved, long long shown) {
    EXPECT_EQ(child.ExitCode(), 75) << child.Output();
    EXPECT_GE(saved, shown);
    EXPECT_NE(child.Output().find("Interrupted after "), std::string::npos);
  });
}

TEST(GenexactEndings, SecondInterruptKeepsWhatTheFirstFinished) {
  // The second signal may come while the first stop's save is being written,
  // while the workers wind down, or after the last save: several gaps cover
  // these windows.
  std::vector<std::pair<std::string, Ending>> ends;
  for (const int gapMs : {0, 2, 8, 20, 50}) {
    ends.emplace_back("gap " + std::to_string(gapMs) + " ms", [gapMs](Child& child) {
      child.Signal(SIGINT);
      std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
      child.Signal(SIGINT);
    });
  }
  EndLongRuns(ends, [](Child& child, long long saved, long long shown) {
    // The second Ctrl+C ends the process as Ctrl+C does, after saving.
    EXPECT_TRUE(child.TermSignal() == SIGINT || child.ExitCode() == 75) << child.Output();
    EXPECT_GE(saved, shown);
  });
}

// Ctrl+C held down: three signals a few milliseconds apart.  The third may
// end the process at once only once the first one's save is on disk.
TEST(GenexactEndings, HeldCtrlCKeepsWhatTheFirstFinished) {
  std::vector<std::pair<std::string, Ending>> ends;
  for (const int sig : {SIGINT, SIGTERM}) {
    for (const int gapMs : {1, 1, 2, 5}) {
      ends.emplace_back(std::string(strsignal(sig)) + ", gap " + std::to_string(gapMs) + " ms",
                        [sig, gapMs](Child& child) {
                          for (int k = 0; k < 3; ++k) {
                            if (k > 0) std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
                            child.Signal(sig);
                          }
                        });
    }
  }
  EndLongRuns(
      ends,
      [](Child& child, long long saved, long long shown) {
        EXPECT_TRUE(child.TermSignal() != 0 || child.ExitCode() == 75) << child.Output();
        EXPECT_GE(saved, shown);
      },
      2);
}

// A console nobody reads holds back neither the saves nor a stop.
TEST(GenexactEndings, BlockedConsoleHoldsBackNeitherSavesNorStops) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, LongN, LongM);
  std::vector<std::string> args = LongRun("c");
  args.insert(args.end(), {"--save-every", "1"});
  Child child(dir.Path(), args, true);
  ASSERT_TRUE(child.WaitForUnits(1)) << child.Output();
  child.FillOutput();
  // Saves go on: the checkpoint grows, save after save, while the console is
  // full (a progress line is due every second, so a run that writes it before
  // saving is stuck by the second save at the latest).
  const auto saved = [&] { return SavedUnits(dir.Read("c")); };
  long long last = saved();
  int grew = 0;
  for (const auto deadline = Clock::now() + seconds(60); grew < 2 && Clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const long long now = saved();
    grew += now > last;
    last = std::max(last, now);
  }
  EXPECT_EQ(grew, 2) << "saves stopped while the console was full";
  // A stop is acted on: the finished units are saved at once.
  const long long atStop = saved();
  child.Signal(SIGTERM);
  // The run waits for the console only to write its report; a reader lets it end.
  ASSERT_TRUE(child.Wait());
  EXPECT_GE(saved(), atStop);
  if (child.TermSignal() == SIGTERM) {
    // On a fast machine the count may be done before the stop: the run was
    // then writing its report, past its stop handlers, with every unit saved.
    EXPECT_EQ(saved(), 1661) << child.Output();
  } else {
    EXPECT_EQ(child.ExitCode(), 75) << child.Output();
    EXPECT_NE(child.Output().find("Interrupted after "), std::string::npos);
  }
}

TEST(GenexactEndings, ClosedConsoleSavesBeforeTheIoErrorStop) {
  EndLongRuns({{"closed console", [](Child& child) { child.CloseOutput(); }}},
              [](Child& child, long long saved, long long shown) {
                EXPECT_EQ(child.ExitCode(), 4);
                EXPECT_GE(saved, shown);
              });
}

// A stop before the count (while the tables are read or the plan of Equ(7),
// many seconds, is made) ends the run in order: the result file is complete,
// and the status tells a batch system to start it again.
TEST(GenexactEndings, StopBeforeTheCountEndsInOrder) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 1, 7);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    Child child(dir.Path(), {"1", "7", "--threads", "2"});
    ASSERT_TRUE(child.ReadUntil([](const std::string& out) {
      return out.find("Output file opened: ") != std::string::npos;
    })) << child.Output();
    // The tables are being read or the plan made once the stop is caught.
    ASSERT_TRUE(child.WaitUntilCatching(sig)) << child.Output();
    child.Signal(sig);
    ASSERT_TRUE(child.Wait());
    EXPECT_EQ(child.ExitCode(), 75) << "signal " << child.TermSignal() << "\n" << child.Output();
    const std::string stopped = "Stopped before the count began: nothing was counted; run again to start over\r\n";
    EXPECT_NE(child.Output().find(stopped), std::string::npos) << child.Output();
    const std::vector<std::string> results = dir.Names("r-");
    ASSERT_EQ(results.size(), 1u);
    const std::string text = dir.Read(results[0]);
    EXPECT_NE(text.find(stopped), std::string::npos) << text;
    EXPECT_NE(text.find("the time elapsed is: "), std::string::npos) << "a complete file: " << text;
    std::filesystem::remove(dir.Path() + "/" + results[0]);
  }
}

TEST(GenexactEndings, OneWriterPerCheckpoint) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, LongN, LongM);
  Child first(dir.Path(), LongRun("c"));
  ASSERT_TRUE(first.WaitForUnits(1)) << first.Output();
  const auto second = testsupport::RunProgram(Genexact(), LongRun("c"), In(dir));
  EXPECT_EQ(second.exitCode, 1) << second.out;
  EXPECT_NE(second.out.find("\r\nCheckpoint file c is in use by another run\r\n"), std::string::npos) << second.out;
  first.Signal(SIGTERM);
  ASSERT_TRUE(first.Wait());
  EXPECT_EQ(first.ExitCode(), 75);
  EXPECT_GE(SavedUnits(dir.Read("c")), 1);
  // The lock goes with its holder: the next run resumes.
  const auto third = testsupport::RunProgram(Genexact(), {"6", "6", "--checkpoint", "c", "--stop-after", "1"}, In(dir));
  EXPECT_EQ(third.exitCode, 75) << third.out;
}

TEST(GenexactEndings, ShardsStartedTogetherWriteTheirOwnResultFiles) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 3, 3);
  constexpr int Shards = 6;
  std::vector<std::unique_ptr<Child>> children;
  for (int i = 1; i <= Shards; ++i) {
    children.push_back(std::make_unique<Child>(
        dir.Path(), std::vector<std::string>{"3", "3", "--shard", std::to_string(i) + "/" + std::to_string(Shards)}));
  }
  for (auto& child : children) {
    ASSERT_TRUE(child->Wait());
    EXPECT_EQ(child->ExitCode(), 0) << child->Output();
  }
  const std::vector<std::string> results = dir.Names("r-");
  ASSERT_EQ(results.size(), static_cast<std::size_t>(Shards));
  std::vector<bool> seen(Shards + 1, false);
  for (const std::string& name : results) {
    const std::string text = dir.Read(name);
    int owners = 0;
    for (int i = 1; i <= Shards; ++i) {
      if (text.find("Shard " + std::to_string(i) + "/" + std::to_string(Shards) + " of ") != std::string::npos) {
        ++owners;
        seen[static_cast<std::size_t>(i)] = true;
      }
    }
    EXPECT_EQ(owners, 1) << name << "\n" << text;
    EXPECT_EQ(text.rfind("      Started", 0), 0u) << text;
  }
  for (int i = 1; i <= Shards; ++i) EXPECT_TRUE(seen[static_cast<std::size_t>(i)]) << i;
}

TEST(GenexactEndings, PlantedTemporaryLinksAreNotFollowed) {
  for (const bool shard : {false, true}) {
    SCOPED_TRACE(shard);
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, 2, 3);
    dir.Write("victim", "keep");
    const std::string file = shard ? "genexact-2-3-shard-1-of-2.part" : "c";
    std::filesystem::create_symlink(dir.Path() + "/victim", dir.Path() + "/" + file + ".tmp");
    const std::vector<std::string> args = shard ? std::vector<std::string>{"2", "3", "--shard", "1/2"}
                                                : std::vector<std::string>{"2", "3", "--checkpoint", "c"};
    const auto r = testsupport::RunProgram(Genexact(), args, In(dir));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(dir.Read("victim"), "keep");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir.Path() + "/" + file)));
    EXPECT_GE(SavedUnits(dir.Read(file)), 1);
  }
}

TEST(GenexactEndings, EditedCheckpointIsDamaged) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 5);
  auto r = testsupport::RunProgram(Genexact(), {"2", "5", "--checkpoint", "c", "--stop-after", "20"}, In(dir));
  const std::string saved = dir.Read("c");
  ASSERT_EQ(SavedUnits(saved), 20) << r.out;
  const std::size_t unit = saved.find("\r\nunit ");
  ASSERT_NE(unit, std::string::npos);
  const std::size_t lineEnd = saved.find("\r\n", unit + 2);
  const std::string unitLine = saved.substr(unit + 2, lineEnd - unit - 2);
  // A changed count, a lost unit line, an added one with the end line fixed up.
  std::string changed = saved;
  changed[lineEnd - 1] = changed[lineEnd - 1] == '9' ? '8' : static_cast<char>(changed[lineEnd - 1] + 1);
  std::string lost = saved;
  lost.erase(unit, lineEnd - unit);
  const std::size_t end = lost.find("end 20");
  ASSERT_NE(end, std::string::npos);
  lost.replace(end, 6, "end 19");
  std::string added = saved;
  added.insert(added.find("end 20"), "unit 60 5\r\n");
  added.replace(added.find("end 20"), 6, "end 21");
  for (const std::string& text : {changed, lost, added}) {
    dir.Write("c", text);
    r = testsupport::RunProgram(Genexact(), {"2", "5", "--checkpoint", "c"}, In(dir));
    EXPECT_EQ(r.exitCode, 1) << unitLine << "\n" << r.out;
    EXPECT_NE(r.out.find("\r\nCheckpoint file c is damaged\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("has exactly"), std::string::npos);
  }
  // LF line ends alone still read.
  std::string lf;
  for (const char ch : saved) {
    if (ch != '\r') lf += ch;
  }
  dir.Write("c", lf);
  r = testsupport::RunProgram(Genexact(), {"2", "5", "--checkpoint", "c"}, In(dir));
  EXPECT_NE(r.out.find("Part(2)*Part(5) has exactly " + std::to_string(testsupport::KnownCountOf(2, 5)) + " "),
            std::string::npos)
      << r.out;
}

TEST(GenexactEndings, StrangeInputsAreRefusedQuickly) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 2);
  ASSERT_EQ(mkfifo((dir.Path() + "/fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.Path() + "/folder");
  {
    // 300 MB without a line end, sparse so that the test writes little.
    std::ofstream big(dir.Path() + "/big", std::ios::binary);
    big.seekp(300LL << 20);
    big << 'x';
  }
  {
    // Under the size limit, but one endless line.
    std::ofstream line(dir.Path() + "/line", std::ios::binary);
    line << "genexact partial result 2\r\n" << std::string(10 << 20, '7');
  }
  for (const std::string& name : std::vector<std::string>{"fifo", "/dev/zero", "folder", "big", "line"}) {
    SCOPED_TRACE(name);
    for (const bool merge : {true, false}) {
      const std::vector<std::string> args = merge ? std::vector<std::string>{"2", "2", "--merge", name}
                                                  : std::vector<std::string>{"2", "2", "--checkpoint", name};
      testsupport::RunOptions options = In(dir);
      options.timeout = seconds(60);
      const auto start = Clock::now();
      const auto r = testsupport::RunProgram(Genexact(), args, options);
      const double took = std::chrono::duration<double>(Clock::now() - start).count();
      ASSERT_FALSE(r.timedOut);
      EXPECT_EQ(r.exitCode, 1) << r.out;
      const std::string message =
          merge ? "Partial-result file " + name + " is damaged" : "Checkpoint file " + name + " is damaged";
      EXPECT_NE(r.out.find("\r\n" + message + "\r\n"), std::string::npos) << r.out;
      // Well under a second on a quiet machine; the bound allows for a busy one.
      EXPECT_LT(took, 10.0);
      EXPECT_LT(r.maxRssKb, 200 * 1024) << "no growth with the file";
    }
  }
}

// The size of a table read off its file: a file that cannot be opened says why.
TEST(GenexactEndings, SizeFromAFileThatCannotBeOpenedGivesTheReason) {
  if (testsupport::UnderAddressSanitizer) GTEST_SKIP() << "AddressSanitizer needs file handles of its own";
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 2);
  testsupport::RunOptions options = In(dir);
  // The three standard streams, the two tables and the result file: no room
  // left to open a table once more to count its lines.
  options.openFileLimit = 6;
  const auto r = testsupport::RunProgram(Genexact(), {"2", "2", "--sizes", "auto", "auto"}, options);
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("2-optablea.txt cannot be read to find its size (Too many open files)"), std::string::npos)
      << r.out;
}

TEST(GenexactEndings, MessagesAboutFilesGiveTheReason) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 2);
  auto r = testsupport::RunProgram(Genexact(), {"2", "2", "--checkpoint", "nofolder/c"}, In(dir));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("\r\nCheckpoint file nofolder/c cannot be locked (No such file or directory)\r\n"),
            std::string::npos)
      << r.out;
  r = testsupport::RunProgram(Genexact(), {"2", "2", "--merge", "gone.part"}, In(dir));
  EXPECT_NE(r.out.find("\r\nPartial-result file gone.part is missing (No such file or directory)\r\n"),
            std::string::npos)
      << r.out;
}

TEST(GenexactEndings, OutsideTextsAreShownEscaped) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 2);
  const std::string hostile =
      "x\x1b]0;owned\x07\x9b"
      "2J";
  for (const auto& args :
       {std::vector<std::string>{"2", "2", "--" + hostile}, std::vector<std::string>{"2", "2", "--merge", hostile},
        std::vector<std::string>{"2", "2", "--checkpoint", "nofolder/" + hostile}}) {
    const auto r = testsupport::RunProgram(Genexact(), args, In(dir));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("x\\x1B]0;owned\\x07\\x9B2J"), std::string::npos) << r.out;
    for (const char c : r.out) {
      const auto u = static_cast<unsigned char>(c);
      EXPECT_FALSE(u == 0x1b || (u >= 0x80 && u <= 0x9f)) << r.out;
    }
  }
}

TEST(GenexactEndings, FileSizeLimitIsTheIoErrorStop) {
  for (const char* program : {"gencount/gencount", "genexact/genexact"}) {
    SCOPED_TRACE(program);
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, 2, 2);
    testsupport::RunOptions options = In(dir);
    options.fileSizeLimit = 100;  // the result file's first lines are longer
    const auto r = testsupport::RunProgram(testsupport::BinaryPath(program), {"2", "2"}, options);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 4) << r.out << r.err;
    EXPECT_NE(r.out.find("Input/output error: write to the result file failed (File too large)\r\n"), std::string::npos)
        << r.out;
  }
}

TEST(GenexactEndings, ThreadThatCannotBeCreatedIsOutOfMemory) {
  if (testsupport::UnderAddressSanitizer) GTEST_SKIP() << "AddressSanitizer cannot run under an address-space limit";
  // 3x3 starts threads only for its units; 5x6 also in the orbit search of
  // its plan, and 4x5 asks for far more threads than the limit holds.
  for (const auto& args :
       {std::vector<std::string>{"3", "3", "--threads", "2"}, std::vector<std::string>{"5", "6", "--threads", "2"},
        std::vector<std::string>{"4", "5", "--threads", "200"}}) {
    SCOPED_TRACE(args[0] + "x" + args[1] + " on " + args[3] + " threads");
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, std::stoi(args[0]), std::stoi(args[1]));
    testsupport::RunOptions options = In(dir);
    // Every new thread asks for a stack as large as the stack limit, which
    // the address-space limit cannot hold; the main thread's stack grows only
    // as it is used.
    options.stackLimit = 1ULL << 30;
    options.addressSpaceLimit = 512ULL << 20;
    const auto r = testsupport::RunProgram(Genexact(), args, options);
    EXPECT_EQ(r.signal, 0) << r.out << r.err;
    EXPECT_EQ(r.exitCode, 5) << r.out << r.err;
    EXPECT_NE(r.out.find("\r\nOut of memory\r\n"), std::string::npos) << r.out;
  }
}

// Too little memory at any point of a run (reading, the plan's orbit search,
// the units) ends it as out of memory or lets it finish, never by a signal.
TEST(GenexactEndings, ScarceMemoryInEveryPhaseIsOutOfMemory) {
  if (testsupport::UnderAddressSanitizer) GTEST_SKIP() << "AddressSanitizer cannot run under an address-space limit";
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 5, 6);
  int outOfMemory = 0;
  for (const std::uint64_t megabytes : {8, 12, 16, 20, 24, 28, 32, 40}) {
    SCOPED_TRACE(std::to_string(megabytes) + " MB");
    testsupport::RunOptions options = In(dir);
    options.addressSpaceLimit = megabytes << 20;
    const auto r = testsupport::RunProgram(Genexact(), {"5", "6", "--threads", "2"}, options);
    EXPECT_EQ(r.signal, 0) << r.out << r.err;
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 5) << r.exitCode << "\n" << r.out << r.err;
    if (r.exitCode == 5) {
      ++outOfMemory;
      EXPECT_NE(r.out.find("Out of memory\r\n"), std::string::npos) << r.out;
    }
  }
  EXPECT_GT(outOfMemory, 0) << "the smallest limit must be too small";
}

// A real small file system (tmpfs) when the tests run as root; elsewhere the
// test is skipped and says why.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& path) : path_(path) {
    std::filesystem::create_directory(path_);
    if (geteuid() != 0) {
      reason_ = "a tmpfs can only be mounted by root";
    } else if (mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=64k") != 0) {
      reason_ = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
    } else {
      mounted_ = true;
    }
  }
  ~SmallFileSystem() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool Mounted() const { return mounted_; }
  const std::string& Reason() const { return reason_; }

  // Fills the file system with a filler file, then leaves exactly `pages`
  // pages free.
  void LeaveFree(int pages) const {
    const std::string filler = path_ + "/filler";
    const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::string page(4096, 'f');
    off_t size = 0;
    while (write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size())) size += 4096;
    ASSERT_EQ(ftruncate(fd, size - 4096 * pages), 0);
    close(fd);
  }

 private:
  std::string path_;
  std::string reason_;
  bool mounted_ = false;
};

TEST(GenexactEndings, FailedLastSaveKeepsTheCount) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 5);
  SmallFileSystem full(dir.Path() + "/full");
  if (!full.Mounted()) GTEST_SKIP() << "no small file system: " << full.Reason();
  // One page: the first save (no units yet) fits, the last (all units, while
  // the first still exists) does not.
  full.LeaveFree(1);
  const auto r = testsupport::RunProgram(Genexact(), {"4", "5", "--checkpoint", "full/c"}, In(dir));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("Part(4)*Part(5) has exactly 2049960   4-element generating sets\r\n"), std::string::npos)
      << r.out;
  // Wrapped at words to fit an 80-column terminal.
  const std::string warning =
      "Warning: the checkpoint file full/c could not be saved (No space left on\r\n  device)\r\n";
  EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
  const std::vector<std::string> results = dir.Names("r-");
  ASSERT_EQ(results.size(), 1u);
  const std::string resultText = dir.Read(results[0]);
  EXPECT_NE(resultText.find("has exactly 2049960 "), std::string::npos);
  EXPECT_NE(resultText.find(warning), std::string::npos);
  // The checkpoint of the first save is still there, whole.
  EXPECT_EQ(SavedUnits(dir.Read("full/c")), 0);
}

}  // namespace
