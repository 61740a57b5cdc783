// The console layer against a real terminal: keyprobe runs on a pseudo-terminal
// that this test types into, and the terminal's modes are checked from outside.
#include "gensample/console_keys.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int WaitMs = 5000;

std::string ProbePath()
{
    const char* dir = std::getenv("GENCOUNT_BIN_DIR");
    return dir == nullptr ? std::string() : std::string(dir) + "/tests/keyprobe";
}

bool SameModes(const termios& a, const termios& b)
{
    return a.c_lflag == b.c_lflag && a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag &&
           a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

bool IsRaw(const termios& t)
{
    return (t.c_lflag & (ICANON | ECHO)) == 0 && (t.c_lflag & ISIG) != 0 && t.c_cc[VMIN] == 0 &&
           t.c_cc[VTIME] == 0;
}

// keyprobe on a fresh pseudo-terminal. The test keeps the terminal's slave side
// open, so its modes can be read at any time, also after the probe has gone.
class Probe {
public:
    // jobControl: run the probe as a foreground job of a tiny shell, so its process
    // group is not orphaned and Ctrl+Z really stops it.
    explicit Probe(bool jobControl = false)
    {
        const std::string path = ProbePath();
        if (path.empty()) {
            throw std::runtime_error("GENCOUNT_BIN_DIR is not set");
        }
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        tcgetattr(slave_, &before_);
        pid_ = fork();
        if (pid_ < 0) {
            throw std::runtime_error("fork failed");
        }
        if (pid_ == 0) {
            RunChild(path, jobControl);
        }
    }

    ~Probe()
    {
        if (pid_ > 0) { // the test failed half-way: leave nothing behind
            if (stoppedPid_ > 0) {
                kill(stoppedPid_, SIGKILL);
            }
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
        close(slave_);
    }

    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    const termios& Before() const { return before_; }

    termios Now() const
    {
        termios t{};
        EXPECT_EQ(tcgetattr(slave_, &t), 0);
        return t;
    }

    void Send(std::string_view bytes) const
    {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Waits (bounded) for text in the probe's output after what was already matched.
    bool WaitFor(std::string_view text, int timeoutMs = WaitMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto at = output_.find(text, matched_);
            if (at != std::string::npos) {
                matched_ = at + text.size();
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            ReadOutput(static_cast<int>(left.count()));
        }
    }

    // Output not yet matched by WaitFor.
    std::string Unmatched()
    {
        ReadOutput(0);
        return output_.substr(matched_);
    }

    const std::string& Output() const { return output_; }

    // Waits (bounded) for the probe to end; kills it if it does not.
    int WaitExit(int timeoutMs = WaitMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                pid_ = -1;
                ReadOutput(0);
                return status;
            }
            ReadOutput(10);
        }
        ADD_FAILURE() << "probe did not end; output:\n" << output_;
        return -1;
    }

    // Reads the job's pid from its READY line (for signalling the job itself).
    pid_t JobPid()
    {
        const auto at = output_.find("READY pid=");
        return at == std::string::npos ? -1 : static_cast<pid_t>(std::atol(output_.c_str() + at + 10));
    }

    // The job to kill too should the test fail while it is stopped.
    void RememberStopped(pid_t pid) { stoppedPid_ = pid; }

private:
    void ReadOutput(int timeoutMs)
    {
        pollfd in{master_, POLLIN, 0};
        if (poll(&in, 1, timeoutMs) != 1 || (in.revents & POLLIN) == 0) {
            return;
        }
        char buffer[256];
        const ssize_t got = read(master_, buffer, sizeof buffer);
        if (got > 0) {
            output_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    [[noreturn]] void RunChild(const std::string& path, bool jobControl)
    {
        // The probe's own terminal, as a login would set it up.
        setsid();
        ioctl(slave_, TIOCSCTTY, 0);
        dup2(slave_, 0);
        dup2(slave_, 1);
        dup2(slave_, 2);
        close(master_);
        close(slave_);
        // Whatever the test runner inherited, the probe starts with default signals.
        for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT, SIGTTOU, SIGTTIN, SIGQUIT}) {
            signal(sig, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);

        char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
        if (!jobControl) {
            execv(path.c_str(), argv);
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
            execv(path.c_str(), argv);
            _exit(127);
        }
        int status = 0;
        while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    pid_t stoppedPid_ = -1;
    termios before_{};
    std::string output_;
    std::size_t matched_ = 0;
};

// Waits (bounded) until the terminal's modes satisfy pred.
template <class Pred>
bool WaitForModes(const Probe& probe, Pred pred)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(WaitMs);
    while (Clock::now() < deadline) {
        if (pred(probe.Now())) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

char ProcessState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

TEST(ConsoleKeysPty, KeysDecodeAndOnlyAltRStops)
{
    Probe probe;
    ASSERT_TRUE(IsRaw(probe.Before()) == false) << "a new terminal starts in line mode";
    ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
    EXPECT_TRUE(IsRaw(probe.Now())) << "single-key, no-echo mode with Ctrl+C kept";

    const struct {
        std::string_view bytes;
        std::string_view line;
    } keys[] = {
        {"\x1b[A", "ext 72\r\n"},  {"\x1b[D", "ext 75\r\n"},   {"\x1b[1;3B", "ext 80\r\n"},
        {"\x1bOP", "ext 59\r\n"},  {"\x1b[15~", "ext 63\r\n"}, {"r", "key 114\r\n"},
        {"R", "key 82\r\n"},       {"\x12", "key 18\r\n"},     {"\x1bx", "ext 45\r\n"},
        {"\r", "key 13\r\n"},      {"\x1b", "key 27\r\n"},     {"\x1b[", "ext 26\r\n"},
    };
    for (const auto& key : keys) {
        probe.Send(key.bytes);
        ASSERT_TRUE(probe.WaitFor(key.line)) << "after sending " << key.line << ":\n" << probe.Output();
    }
    EXPECT_EQ(probe.Unmatched(), "") << "no echo, no STOP, no extra key";

    probe.Send("\x1br");
    EXPECT_TRUE(probe.WaitFor("ext 19\r\nSTOP")) << probe.Output();
    const int status = probe.WaitExit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(SameModes(probe.Now(), probe.Before())) << "modes restored after a normal end";
}

TEST(ConsoleKeysPty, AltRSplitAcrossWritesStillStops)
{
    Probe probe;
    ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
    probe.Send("\x1b");
    probe.Send("r");
    EXPECT_TRUE(probe.WaitFor("STOP")) << probe.Output();
    const int status = probe.WaitExit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ConsoleKeysPty, ModesRestoredWhenKilled)
{
    for (const int sig : {SIGTERM, SIGHUP}) {
        Probe probe;
        ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
        ASSERT_TRUE(IsRaw(probe.Now()));
        ASSERT_EQ(kill(probe.JobPid(), sig), 0);
        const int status = probe.WaitExit();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "dies of signal " << sig << ": " << status;
        EXPECT_TRUE(SameModes(probe.Now(), probe.Before())) << "signal " << sig;
    }
}

TEST(ConsoleKeysPty, CtrlCStillInterrupts)
{
    Probe probe;
    ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
    probe.Send("\x03");
    const int status = probe.WaitExit();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status << "\n" << probe.Output();
    EXPECT_TRUE(SameModes(probe.Now(), probe.Before()));
}

TEST(ConsoleKeysPty, CtrlZRestoresModesAndContinueReappliesThem)
{
    Probe probe(/*jobControl=*/true);
    ASSERT_TRUE(probe.WaitFor("READY")) << probe.Output();
    const pid_t job = probe.JobPid();
    ASSERT_GT(job, 0);
    ASSERT_TRUE(IsRaw(probe.Now()));

    probe.Send("\x1a");
    probe.RememberStopped(job);
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
    const int status = probe.WaitExit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(SameModes(probe.Now(), probe.Before()));
}

// Standard input redirected for one test; put back afterwards.
class StdinFrom {
public:
    explicit StdinFrom(int fd) : saved_(dup(0)) { dup2(fd, 0); }
    ~StdinFrom()
    {
        dup2(saved_, 0);
        close(saved_);
    }
    StdinFrom(const StdinFrom&) = delete;
    StdinFrom& operator=(const StdinFrom&) = delete;

private:
    int saved_;
};

TEST(ConsoleKeysPipe, PipedInputIsNeverRead)
{
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const std::string typed = "\x1br\x1br\n";
    ASSERT_EQ(write(pipeFds[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    close(pipeFds[1]); // so that no read of the pipe can wait
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

} // namespace
