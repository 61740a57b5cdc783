// Both programs when the machine lets them down: a console nobody reads any
// more, no file handle left for the result file, an input that is a folder or
// cannot be read, and a table line hundreds of megabytes long.  Each run must
// end by itself with its documented outcome, never by a signal.
//
// gencount's missing and folder inputs, its result file that cannot be created
// and its console on a full device are in gencount_e2e_test.cpp.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/console_text.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/run_program.hpp"

namespace {

constexpr bool AddressSanitizer = testsupport::UnderAddressSanitizer;

using Clock = std::chrono::steady_clock;
using testsupport::TableText;

const std::string CRLF = "\r\n";

using testsupport::ExpectEndedByItself;
using testsupport::FatalConsole;
using testsupport::Outcome;

Outcome RunProgramIn(const testsupport::TempDir& dir, const std::string& program, const std::vector<std::string>& args,
                     const testsupport::RunOptions& options = {}) {
  return testsupport::RunIn(dir, program + "/" + program, args, options);
}

// ---- the console --------------------------------------------------------------

TEST(ConsoleReaderGone, BeforeTheFirstWriteEndsWithIoError) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 3, 3);
  testsupport::RunOptions options;
  options.stdoutReadLimit = 0;
  const Outcome o = RunProgramIn(dir, "gencount", {"3", "3"}, options);
  ExpectEndedByItself(o, 4);
  EXPECT_NE(o.run.err.find("Input/output error: write to the console failed"), std::string::npos) << o.run.err;
  EXPECT_EQ(o.resultNames, std::vector<std::string>{});  // the banner is the first write
}

// The reader leaves after the start lines while progress output is still
// coming; more remains than the one-page pipe holds, so a write must fail.
TEST(ConsoleReaderGone, DuringTheProgressEndsWithIoError) {
  const struct {
    const char* program;
    int n, m;
    std::vector<std::string> args;
    const char* resultLine;  // must not reach the result file
  } cases[] = {
      {"gencount", 5, 1, {"5", "1"}, "has exactly"},                    // about 7 kB of progress items
      {"gensample", 3, 3, {"3", "3", "20000", "1"}, "are generating"},  // about 20 kB of dots
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, c.n, c.m);
    testsupport::RunOptions options;
    options.stdoutReadLimit = 1000;
    const Outcome o = RunProgramIn(dir, c.program, c.args, options);
    ExpectEndedByItself(o, 4);
    EXPECT_EQ(o.run.out.size(), 1000u);
    EXPECT_NE(o.run.err.find("Input/output error: write to the console failed"), std::string::npos) << o.run.err;
    ASSERT_EQ(o.resultNames.size(), 1u);
    // The result file keeps its start lines and gets nothing for an abrupt end.
    EXPECT_NE(o.resultText.find("Output file opened: " + o.resultNames[0] + CRLF), std::string::npos) << o.resultText;
    EXPECT_EQ(o.resultText.find(c.resultLine), std::string::npos) << o.resultText;
    EXPECT_EQ(o.resultText.find("Error in data"), std::string::npos) << o.resultText;
  }
}

// ---- the run files -------------------------------------------------------------

// Room for standard streams and both inputs, none for the result file.
TEST(RunFiles, GensampleResultFileThatCannotBeCreated) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 2);
  testsupport::RunOptions options;
  options.openFileLimit = 5;
  const Outcome o = RunProgramIn(dir, "gensample", {"2", "2", "3"}, options);
  ExpectEndedByItself(o, 1);  // a fatal stop
  EXPECT_NE(o.run.out.find(FatalConsole("Fatal error. Is there enough room on your drive?")), std::string::npos)
      << o.run.out;
  EXPECT_EQ(o.resultNames, std::vector<std::string>{});
}

TEST(RunFiles, GensampleInputThatIsAFolder) {
  const struct {
    const char* folder;
    const char* file;
    const char* message;
  } cases[] = {
      {"3-optablea.txt", "3-optableb.txt", "3-optablea.txt (1) is missing from this folder"},
      {"3-optableb.txt", "3-optablea.txt", "3-optableb.txt (2) is missing from this folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir.Path() + "/" + c.folder);
    dir.Write(c.file, TableText(3));
    const Outcome o = RunProgramIn(dir, "gensample", {"3", "3"});
    ExpectEndedByItself(o, 1);  // a fatal stop
    EXPECT_NE(o.run.out.find(FatalConsole(c.message)), std::string::npos) << o.run.out;
    EXPECT_EQ(o.resultNames, std::vector<std::string>{});
  }
}

// A table file that would never end (a device such as /dev/zero) or never
// begin (a FIFO nobody writes to) is refused like a missing one, in bounded
// time, by all three counting programs.
TEST(RunFiles, TableThatIsADeviceOrAFifoWithoutWriterIsRefused) {
  for (const char* program : {"gencount", "gensample", "genexact"}) {
    for (const bool fifo : {false, true}) {
      // One FIFO case is enough: each waits for its writer for seconds.
      if (fifo && std::string(program) != "gencount") continue;
      SCOPED_TRACE(std::string(program) + (fifo ? " FIFO" : " /dev/zero"));
      testsupport::TempDir dir;
      dir.Write("3-optableb.txt", TableText(3));
      if (fifo) {
        ASSERT_EQ(mkfifo((dir.Path() + "/3-optablea.txt").c_str(), 0600), 0) << errno;
      } else {
        std::filesystem::create_symlink("/dev/zero", dir.Path() + "/3-optablea.txt");
      }
      testsupport::RunOptions options;
      options.timeout = std::chrono::seconds(60);
      const Outcome o = RunProgramIn(dir, program, {"3", "3"}, options);
      ExpectEndedByItself(o, 1);  // a fatal stop
      EXPECT_NE(o.run.out.find(FatalConsole("3-optablea.txt (1) is missing from this folder")), std::string::npos)
          << o.run.out;
      EXPECT_EQ(o.resultNames, std::vector<std::string>{});
    }
  }
}

// A table file whose read fails: /proc/self/mem opens, but reading it from
// offset 0 gives EIO.  The run ends at once with the I/O error report.
TEST(RunFiles, TableFileThatCannotBeReadEndsWithIoError) {
  for (const char* program : {"gencount", "gensample"}) {
    SCOPED_TRACE(program);
    testsupport::TempDir dir;
    dir.Write("3-optableb.txt", TableText(3));
    std::filesystem::create_symlink("/proc/self/mem", dir.Path() + "/3-optablea.txt");
    const Outcome o = RunProgramIn(dir, program, {"3", "3"});
    ExpectEndedByItself(o, 4);
    EXPECT_NE(o.run.out.find("Input/output error: read of the 1st input file failed"), std::string::npos) << o.run.out;
    EXPECT_EQ(o.run.out.find("Error in data"), std::string::npos);
    ASSERT_EQ(o.resultNames.size(), 1u);
    EXPECT_EQ(o.resultText.find("Input/output error"), std::string::npos) << o.resultText;
  }
}

// ---- scarce memory ---------------------------------------------------------------

// Just below the smallest address space a run needs, the programs' first
// allocations fail.  A failed allocation must end the run with the out-of-memory
// report (status 5), or the I/O error stop (4) when the console itself cannot
// get memory, never as an uncaught std::bad_alloc.  (Lower still, the
// loader or the C++ runtime itself fails before the program can act; those
// runs are not judged.)
TEST(ScarceMemory, FailedAllocationEndsWithOutOfMemory) {
  if (AddressSanitizer) GTEST_SKIP() << "AddressSanitizer cannot run under an address-space limit";
  for (const char* program : {"gencount", "gensample"}) {
    SCOPED_TRACE(program);
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, 2, 2);
    const std::vector<std::string> args{"2", "2", "3"};
    auto runWith = [&](std::uint64_t limit) {
      testsupport::RunOptions options;
      options.addressSpaceLimit = limit;
      return RunProgramIn(dir, program, args, options);
    };
    // The smallest limit (to 16 KiB) at which a whole run succeeds.
    std::uint64_t low = 1 << 20, high = 256 << 20;
    ASSERT_EQ(runWith(high).run.exitCode, 0);
    while (high - low > (16 << 10)) {
      const std::uint64_t mid = (low + high) / 2;
      (runWith(mid).run.exitCode == 0 ? high : low) = mid;
    }
    int judged = 0;
    // The largest first allocation, gensample's tables, is below 1 MiB.
    for (std::uint64_t limit = high; limit + (1 << 20) > high && limit > (16 << 10); limit -= 16 << 10) {
      const Outcome o = runWith(limit);
      std::filesystem::remove_all(dir.Path() + "/" + (o.resultNames.empty() ? "none" : o.resultNames[0]));
      const bool notStarted = (o.run.exitCode == 127 && o.run.out.empty()) ||  // exec or the loader failed
                              o.run.err.find("while loading shared libraries") != std::string::npos;
      if (notStarted || o.run.err.find("terminate called without an active exception") != std::string::npos) {
        continue;
      }
      ++judged;
      SCOPED_TRACE("address space " + std::to_string(limit));
      EXPECT_EQ(o.run.err.find("std::bad_alloc"), std::string::npos) << o.run.err;
      EXPECT_EQ(o.run.signal, 0);
      // Status 4 when even the console's buffer could not be had.
      if (o.run.exitCode != 0) {
        EXPECT_TRUE(o.run.exitCode == 5 || o.run.exitCode == 4) << o.run.exitCode;
      }
      if (o.run.exitCode == 5) {
        EXPECT_NE((o.run.out + o.run.err).find("Out of memory"), std::string::npos) << o.run.out << o.run.err;
      }
    }
    EXPECT_GT(judged, 8);
  }
}

// ---- an enormous line ----------------------------------------------------------

// Writes `prefix` and then digits up to `total` bytes, without a line end, into
// the FIFO at path.  Gives up when nobody opens the FIFO or reads from it in
// time, and stops when the reader goes (EPIPE), so it never blocks the test.
std::size_t StreamOneLine(const std::string& path, const std::string& prefix, std::size_t total,
                          Clock::time_point deadline) {
  const int fd = testsupport::OpenFifoWriter(path, deadline);
  if (fd < 0) return 0;
  const std::string digits(std::size_t{1} << 16, '7');
  std::size_t sent = 0;
  while (sent < total && Clock::now() < deadline) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const char* data = digits.data();
    std::size_t size = std::min(digits.size(), total - sent);
    if (sent < prefix.size()) {
      data = prefix.data() + sent;
      size = prefix.size() - sent;
    }
    const ssize_t put = write(fd, data, size);
    if (put > 0) {
      sent += static_cast<std::size_t>(put);
    } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
      break;  // EPIPE: the program has stopped reading
    }
  }
  close(fd);
  return sent;
}

// 300 MB without a line end as the first table file: the program keeps 50
// characters, skips the rest, and ends on the conversion of the cut line.  An
// address-space limit below the line's size and the peak resident memory show
// that the memory is bounded.  AddressSanitizer reserves terabytes of address
// space and reads slowly, so there the line is shorter and only the resident
// memory is compared.
TEST(EnormousLine, IsReadInBoundedMemory) {
  testsupport::TempDir dir;
  dir.Write("3-optableb.txt", TableText(3));
  const std::string fifo = dir.Path() + "/3-optablea.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << errno;
  signal(SIGPIPE, SIG_IGN);  // the writer learns of a vanished reader from EPIPE

  constexpr std::size_t LineBytes = std::size_t{AddressSanitizer ? 96 : 300} << 20;
  const std::string prefix = "1&1=1,";
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  std::atomic<std::size_t> sent{0};
  std::thread writer([&] { sent = StreamOneLine(fifo, prefix, LineBytes, deadline); });

  testsupport::RunOptions options;
  options.timeout = std::chrono::seconds(60);
  if (!AddressSanitizer) options.addressSpaceLimit = std::uint64_t{256} << 20;
  const Outcome o = RunProgramIn(dir, "gencount", {"3", "3"}, options);
  writer.join();

  ExpectEndedByItself(o, 2);
  // The last field of the cut line is its 44 remaining characters.
  const std::string field(50 - prefix.size(), '7');
  EXPECT_NE(o.run.out.find("\"" + field + "\" is an invalid integer"), std::string::npos) << o.run.out.substr(0, 2000);
  EXPECT_EQ(sent.load(), LineBytes) << "the program stopped reading before the line ended";
  // Resident memory far below the line's size (it includes what the child
  // shared with this process when it was forked).
  EXPECT_LT(o.run.maxRssKb, 48 * 1024);
}

}  // namespace
