#include "tests/support/run_program.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

void MakePipe(int fds[2]) {
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void StartChild(const std::string& exe, char* const* argv, const RunOptions& o, int in, int out, int err) {
  if (!o.workDir.empty() && chdir(o.workDir.c_str()) != 0) _exit(126);
  if (in < 0) in = open("/dev/null", O_RDONLY);
  if (!o.stdoutPath.empty()) out = open(o.stdoutPath.c_str(), O_WRONLY);
  if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
  // Whatever the test process has open must not count against the child's limit.
  if (close_range(3, ~0U, 0) != 0) {
    for (int fd = 3; fd < 4096; ++fd) close(fd);
  }
  if (o.openFileLimit > 0) {
    const rlimit limit{static_cast<rlim_t>(o.openFileLimit), static_cast<rlim_t>(o.openFileLimit)};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(126);
  }
  if (o.addressSpaceLimit > 0) {
    const rlimit limit{static_cast<rlim_t>(o.addressSpaceLimit), static_cast<rlim_t>(o.addressSpaceLimit)};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
  }
  if (o.fileSizeLimit > 0) {
    const rlimit limit{static_cast<rlim_t>(o.fileSizeLimit), static_cast<rlim_t>(o.fileSizeLimit)};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
  }
  if (o.stackLimit > 0) {
    const rlimit limit{static_cast<rlim_t>(o.stackLimit), static_cast<rlim_t>(o.stackLimit)};
    if (setrlimit(RLIMIT_STACK, &limit) != 0) _exit(126);
  }
  // The test process ignores SIGPIPE; ignored signals survive exec.
  if (o.stdoutReadLimit && signal(SIGPIPE, SIG_DFL) == SIG_ERR) _exit(126);
  execv(exe.c_str(), argv);
  _exit(127);
}

}  // namespace

ProgramResult RunProgram(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options) {
  // A child that exits without reading its input must not kill the test.
  signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> argvText{exe};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argvText) argv.push_back(s.data());
  argv.push_back(nullptr);

  int inPipe[2] = {-1, -1}, outPipe[2], errPipe[2];
  MakePipe(outPipe);
  MakePipe(errPipe);
  if (options.stdinBytes) MakePipe(inPipe);
  // One page of pipe: a child that writes more than the reader takes cannot
  // finish into the buffer before the reader goes.
  if (options.stdoutReadLimit) fcntl(outPipe[0], F_SETPIPE_SZ, 4096);
  // A reader that is gone from the start: closed before the child exists, so
  // that not even the child's first write can reach a pipe that still has
  // a reader (closing it after the fork raced with a fast child).
  if (options.stdoutReadLimit && *options.stdoutReadLimit == 0) CloseFd(outPipe[0]);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) StartChild(exe, argv.data(), options, inPipe[0], outPipe[1], errPipe[1]);
  CloseFd(inPipe[0]);
  CloseFd(outPipe[1]);
  CloseFd(errPipe[1]);
  if (inPipe[1] >= 0) fcntl(inPipe[1], F_SETFL, O_NONBLOCK);

  ProgramResult result;
  const std::string input = options.stdinBytes.value_or("");
  std::size_t written = 0;
  if (inPipe[1] >= 0 && input.empty() && !options.keepStdinOpen) CloseFd(inPipe[1]);
  const auto deadline = Clock::now() + options.timeout;
  std::optional<Clock::time_point> stopAt;  // set once stopWhen holds
  int status = 0;
  rusage usage{};
  bool reaped = false;
  for (;;) {
    const bool outputsOpen = outPipe[0] >= 0 || errPipe[0] >= 0;
    if (!outputsOpen) {
      const pid_t r = wait4(pid, &status, WNOHANG, &usage);
      if (r == pid) {
        reaped = true;
        break;
      }
    }
    if (!stopAt && options.stopWhen && options.stopWhen(result.out)) stopAt = Clock::now() + options.settle;
    if (stopAt && Clock::now() >= *stopAt) {
      // One last look: a child that has just ended is no child still running.
      reaped = wait4(pid, &status, WNOHANG, &usage) == pid;
      result.killedAtStop = !reaped;
      break;
    }
    const auto until = stopAt ? *stopAt : deadline;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (!stopAt && left.count() <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd fds[3] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}, {-1, POLLOUT, 0}};
    if (inPipe[1] >= 0 && written < input.size()) fds[2].fd = inPipe[1];
    // A condition that looks at files is asked again every few milliseconds.
    const long long most = !outputsOpen ? 5 : (options.stopWhen && !stopAt ? 10 : 1000);
    const int wait = static_cast<int>(std::max<long long>(0, std::min<long long>(left.count() + 1, most)));
    if (poll(fds, 3, wait) < 0 && errno != EINTR) throw std::runtime_error("poll failed");
    for (int k = 0; k < 2; ++k) {
      int& fd = k == 0 ? outPipe[0] : errPipe[0];
      if (fd < 0 || fds[k].revents == 0) continue;
      char buf[65536];
      std::size_t want = sizeof buf;
      if (k == 0 && options.stdoutReadLimit) {
        want = std::min(want, *options.stdoutReadLimit - result.out.size());
      }
      const ssize_t got = read(fd, buf, want);
      if (got > 0) {
        (k == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(got));
        if (k == 0 && options.stdoutReadLimit && result.out.size() >= *options.stdoutReadLimit) CloseFd(fd);
      } else if (got == 0 || errno != EINTR) {
        CloseFd(fd);
      }
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      const ssize_t put = write(inPipe[1], input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put < 0 && errno != EAGAIN && errno != EINTR) written = input.size();
      if (written == input.size() && !options.keepStdinOpen) CloseFd(inPipe[1]);
    }
  }
  if (!reaped) {
    kill(pid, SIGKILL);
    wait4(pid, &status, 0, &usage);
  }
  CloseFd(inPipe[1]);
  CloseFd(outPipe[0]);
  CloseFd(errPipe[0]);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.maxRssKb = usage.ru_maxrss;
  return result;
}

int OpenFifoWriter(const std::string& path, Clock::time_point deadline) {
  for (;;) {
    // Without O_NONBLOCK the open would wait for ever if nobody ever read.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != ENXIO || Clock::now() > deadline) return -1;
    poll(nullptr, 0, 1);
  }
}

bool WriteIntoFifo(const std::string& path, const std::string& bytes, std::chrono::milliseconds wait) {
  // A reader that goes before it has read must not kill the test.
  signal(SIGPIPE, SIG_IGN);
  const int fd = OpenFifoWriter(path, Clock::now() + wait);
  if (fd < 0) return false;
  if (write(fd, bytes.data(), bytes.size()) < 0) {
    // EPIPE: the reader has gone without reading, which is its own business.
  }
  close(fd);
  return true;
}

std::string BinaryPath(const std::string& relative) {
  const char* dir = std::getenv("GENCOUNT_BIN_DIR");
  if (dir == nullptr) {
    ADD_FAILURE() << "GENCOUNT_BIN_DIR is not set";
    return relative;
  }
  return std::string(dir) + "/" + relative;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/gencount-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream f(path_ + "/" + name, std::ios::binary);
  f << bytes;
  if (!f.flush()) throw std::runtime_error("cannot write " + name);
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream f(path_ + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::string> TempDir::Names(const std::string& prefix) const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string TableText(int k, const TableStyle& style) {
  lattice::OperationTables tables = lattice::BuildEquTables(k);
  if (style.numberingSeed) {
    tables = optables::Renumber(tables, optables::ShuffledNumbering(tables.size, *style.numberingSeed));
  }
  optables::RenderOptions render;
  render.meetFirst = style.meetFirst;
  render.lineSeed = style.lineSeed;
  render.lineEnd = style.lineEnd;
  return optables::RenderTableFile(tables, render);
}

std::vector<std::string> TableLines(int k, const TableStyle& style) {
  TableStyle lf = style;
  lf.lineEnd = optables::LineEnd::Lf;
  std::istringstream text(TableText(k, lf));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& eol) {
  std::string text;
  for (const std::string& line : lines) text += line + eol;
  return text;
}

void WriteTables(const TempDir& dir, int n, int m, const TableStyle& a, const TableStyle& b) {
  dir.Write(std::to_string(n) + "-optablea.txt", TableText(n, a));
  dir.Write(std::to_string(m) + "-optableb.txt", TableText(m, b));
}

}  // namespace testsupport
