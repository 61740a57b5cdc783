// Units of the run frame and of gencount's output lines.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gencount/exhaustive_count.hpp"
#include "lattice/product.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/atomic_file.hpp"
#include "runframe/checked.hpp"
#include "runframe/int_conversion.hpp"
#include "runframe/machine_memory.hpp"
#include "runframe/report.hpp"
#include "runframe/run_frame.hpp"
#include "runframe/stop_signals.hpp"
#include "runframe/time_recording.hpp"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

using runframe::ClockReading;

ClockReading At(int year, int month, int day, int hour, int minute, int second, int ms) {
  auto u = [](int v) { return static_cast<std::uint16_t>(v); };
  return {u(year), u(month), u(day), u(hour), u(minute), u(second), u(ms)};
}

TEST(ElapsedTime, BorrowsFieldByFieldWithoutMonths) {
  const struct {
    const char* label;
    ClockReading start, end;
    const char* expected;
  } cases[] = {
      {"same second", At(2026, 12, 7, 10, 0, 5, 100), At(2026, 12, 7, 10, 0, 5, 350),
       "0 day(s) + 0 hour(s) + 0 minute(s) + 0.250"},
      {"every borrow", At(2026, 1, 31, 23, 59, 59, 900), At(2026, 2, 1, 0, 0, 0, 100),
       "0 day(s) + 0 hour(s) + 0 minute(s) + 0.200"},
      {"february", At(2026, 2, 20, 8, 0, 0, 0), At(2026, 3, 10, 8, 0, 0, 0),
       "18 day(s) + 0 hour(s) + 0 minute(s) + 0.000"},
      {"leap february", At(2024, 2, 20, 8, 0, 0, 0), At(2024, 3, 10, 8, 0, 0, 0),
       "18 day(s) + 0 hour(s) + 0 minute(s) + 0.000"},
      {"month ignored", At(2026, 1, 5, 8, 0, 0, 0), At(2026, 2, 10, 8, 0, 0, 0),
       "5 day(s) + 0 hour(s) + 0 minute(s) + 0.000"},
      {"minute", At(2026, 6, 1, 12, 30, 10, 0), At(2026, 6, 1, 12, 31, 15, 42),
       "0 day(s) + 0 hour(s) + 1 minute(s) + 5.042"},
      {"mixed", At(2026, 4, 29, 22, 45, 30, 999), At(2026, 5, 2, 1, 5, 7, 0),
       "2 day(s) + 2 hour(s) + 19 minute(s) + 36.001"},
      {"clock set back", At(2026, 12, 7, 10, 0, 0, 0), At(2026, 12, 7, 9, 0, 0, 0),
       "30 day(s) + 23 hour(s) + 0 minute(s) + 0.000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(runframe::ElapsedTimeLine(c.start, c.end), std::string("  ") + c.expected + " second(s).") << c.label;
  }
}

TEST(TimeStamp, NumbersCarryNoLeadingZeros) {
  EXPECT_EQ(runframe::TimeStampLine(At(2026, 3, 4, 9, 5, 3, 7), "     Started"),
            "      Started (DD/MM/YY:) 4/3/2026, at 9:5:3:7");
  EXPECT_EQ(runframe::TimeStampLine(At(2026, 12, 6, 17, 5, 9, 42), "     Terminated"),
            "      Terminated (DD/MM/YY:) 6/12/2026, at 17:5:9:42");
  EXPECT_EQ(runframe::TimeStampLine(At(2026, 12, 31, 0, 0, 0, 0), "x"), " x (DD/MM/YY:) 31/12/2026, at 0:0:0:0");
}

TEST(IntegerConversion, AcceptedAndRefusedForms) {
  const struct {
    std::string text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"5", 5},
      {"+5", 5},
      {"-0", 0},
      {"-17", -17},
      {" \t 7", 7},
      {"\t-3", -3},
      {"0003", 3},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"000000000000000000000000012", 12},
      {"2147483648", {}},
      {"-2147483649", {}},
      {"99999999999999999999999", {}},
      {"", {}},
      {" ", {}},
      {"+", {}},
      {"-", {}},
      {"5 ", {}},
      {"5\t", {}},
      {"1,1", {}},
      {"+-1", {}},
      {"- 1", {}},
      {"1e3", {}},
      {"x", {}},
      {"3x", {}},
      {std::string("1\0", 2), {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(runframe::ParseInteger(c.text), c.value) << '"' << c.text << '"';
    if (c.value) {
      EXPECT_EQ(runframe::ConvertInteger(c.text), *c.value);
    } else {
      EXPECT_THROW(runframe::ConvertInteger(c.text), runframe::InvalidInteger) << c.text;
    }
  }
}

TEST(IntegerConversion, UnsignedTakesDigitsUpToItsBound) {
  struct Case {
    std::string text;
    std::uint64_t max;
    std::optional<std::uint64_t> value;
  };
  const std::uint64_t all = UINT64_MAX;
  const std::vector<Case> cases{
      {"0", all, 0},
      {"007", all, 7},
      {"00000000000000000000000000042", all, 42},
      {"18446744073709551615", all, UINT64_MAX},
      {"18446744073709551616", all, {}},
      {"99999999999999999999999", all, {}},
      {"255", 255, 255},
      {"256", 255, {}},
      {"0", 0, 0},
      {"1", 0, {}},
      {"", all, {}},
      {"+1", all, {}},
      {"-1", all, {}},
      {" 1", all, {}},
      {"1 ", all, {}},
      {"12a", all, {}},
      {std::string("1\0", 2), all, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(runframe::ParseUnsigned(c.text, c.max), c.value) << '"' << c.text << "\" max " << c.max;
  }
}

TEST(IntegerConversion, FailureReportQuotesTheText) {
  try {
    runframe::ConvertInteger(" 1 ");
    FAIL() << "no failure";
  } catch (const runframe::InvalidInteger& e) {
    EXPECT_STREQ(e.what(), "\" 1 \" is an invalid integer");
    EXPECT_EQ(e.Status(), runframe::ExitInvalidInteger);
  }
}

TEST(CheckedArithmetic, OverflowEndsTheRun) {
  EXPECT_EQ(runframe::CheckedAdd<std::int32_t>(2147483646, 1, "t"), 2147483647);
  EXPECT_THROW(runframe::CheckedAdd<std::int32_t>(2147483647, 1, "t"), runframe::ArithmeticOverflow);
  EXPECT_THROW(runframe::CheckedSub<std::int32_t>(-2147483647 - 1, 1, "t"), runframe::ArithmeticOverflow);
  EXPECT_THROW(runframe::CheckedMul<std::int32_t>(65536, 32768, "t"), runframe::ArithmeticOverflow);
  try {
    runframe::CheckedMul<std::int32_t>(65536, 65536, "t");
    ADD_FAILURE() << "no overflow";
  } catch (const runframe::AbruptEnd& e) {
    EXPECT_EQ(e.Status(), runframe::ExitOverflow);
  }
}

TEST(ResultFileName, BothTagsAndTheCut) {
  const ClockReading t = At(2026, 12, 6, 17, 5, 9, 42);
  EXPECT_EQ(runframe::MakeResultFileName(3, 4, "--random--", t), "r-3&4--random--6-17-5-9-42--12-2026.txt");
  EXPECT_EQ(runframe::MakeResultFileName(3, 4, "---", t), "r-3&4---6-17-5-9-42--12-2026.txt");
  const ClockReading longest = At(2026, 12, 28, 23, 59, 59, 999);
  EXPECT_EQ(runframe::MakeResultFileName(6, 6, "--random--", longest).size(), 43u);
  EXPECT_EQ(runframe::MakeResultFileName(5, 6, "---", longest).size(), 36u);
  const std::string cut = runframe::MakeResultFileName(1, 2, std::string(70, '-'), t);
  EXPECT_EQ(cut, "r-1&2" + std::string(55, '-'));
}

// A run context whose console is never written in these tests.
struct TestRun {
  runframe::ProgramDescription program{{}, 5, 6, "---", "", ""};
  runframe::RunContext run;
  explicit TestRun(std::vector<std::string> parameters) : run(program, std::move(parameters)) {}
};

// What f returns, or the message of the fatal stop it raises.
std::string OutcomeOf(const std::function<std::string()>& f) {
  try {
    return f();
  } catch (const runframe::FatalStopRequest& stop) {
    return stop.message;
  }
}

TEST(SizeParameters, RangeTestsAndInternalGuard) {
  const struct {
    std::vector<std::string> parameters;
    std::int32_t k;
    std::string outcome;  // the value, or the fatal message
  } cases[] = {
      {{"5", "6"}, 1, "5"},
      {{"5", "6"}, 2, "6"},
      {{" +01", "1"}, 1, "1"},
      {{"1", "1", "x"}, 2, "1"},
      {{"6", "1"}, 1, "1st parameter is illegal or too large!"},
      {{"0", "1"}, 1, "1st parameter is illegal or too large!"},
      {{"1", "7"}, 2, "2nd parameter is illegal or too large!"},
      {{"1", "-2147483648"}, 2, "2nd parameter is illegal or too large!"},
      {{"x"}, 1, "At least two parameters are required!"},
      {{}, 2, "At least two parameters are required!"},
      {{"1", "1"}, 0, "xZtwRts3Z"},
      {{"1", "1"}, 3, "xZtwRts3Z"},
  };
  for (const auto& c : cases) {
    TestRun r(c.parameters);
    EXPECT_EQ(OutcomeOf([&] { return std::to_string(runframe::ParseSizeParameter(r.run, c.k)); }), c.outcome) << c.k;
  }
}

TEST(FatalStop, GuardsAndMessageCut) {
  TestRun r({"1", "1"});
  r.run.clock = [] { return At(2026, 1, 1, 0, 0, 0, 0); };
  for (int slot : {0, 3, -1}) {
    EXPECT_EQ(OutcomeOf([&] {
                runframe::RecordTime(r.run, slot);
                return std::string("recorded");
              }),
              "Program error in time recording");
  }
  runframe::RecordTime(r.run, 2);
  EXPECT_EQ(r.run.runTimes[2].year, 2026);
  for (std::size_t length : {255u, 256u, 300u}) {
    EXPECT_EQ(OutcomeOf([&]() -> std::string { runframe::FatalStop(std::string(length, 'q')); }),
              std::string(255, 'q'));
  }
}

TEST(GencountLines, ProgressItemAndResultLine) {
  EXPECT_EQ(gencount::ProgressItem(1024, 1365), "        1024/      1365  ");
  EXPECT_EQ(gencount::ProgressItem(12288, 12650), "       12288/     12650  ");
  EXPECT_EQ(gencount::ProgressItem(2147484672.0, 9999999999.0), "  2147484672/9999999999  ");
  EXPECT_EQ(gencount::ProgressItem(10000001024.0, 517058170816915.0), "  10000001024/517058170816915  ");
  EXPECT_EQ(runframe::ResultLine(3, 3, 72), "Part(3)*Part(3) has exactly 72   4-element generating sets");
  EXPECT_EQ(runframe::ResultLine(1, 1, 0), "Part(1)*Part(1) has exactly 0   4-element generating sets");
}

TEST(SubsetCount, ExactBinomials) {
  const struct {
    std::int64_t n;
    std::uint64_t c4;
  } cases[] = {{0, 0}, {1, 0}, {3, 0}, {4, 1}, {5, 5}, {10, 210}, {15, 1365}, {25, 12650}, {10556, 517058170816915ULL}};
  for (const auto& c : cases) EXPECT_EQ(lattice::SubsetCount(c.n), c.c4) << c.n;
  auto p = std::make_unique<gencount::CountProduct>();
  lattice::SetSizes(*p, 5, 6);
  EXPECT_EQ(p->productSize, 10556);
  EXPECT_EQ(p->totalSubsets, 517058170816915.0);
  lattice::SetSizes(*p, 1, 1);
  EXPECT_EQ(p->productSize, 1);
  EXPECT_EQ(p->totalSubsets, 0.0);
  lattice::SetSizes(*p, 2, 3);
  lattice::BuildProductPairs(*p);
  EXPECT_EQ(p->totalSubsets, 210.0);
  EXPECT_EQ(p->ProductPairs[5], (lattice::ProductElement{1, 5}));
  EXPECT_EQ(p->ProductPairs[6], (lattice::ProductElement{2, 1}));
  EXPECT_EQ(p->ProductPairs[10], (lattice::ProductElement{2, 5}));
}

// Long lines of a program's own are broken at blanks, never inside a word.
TEST(WrapAtWords, BreaksAtBlanksAndIndentsTheRest) {
  using runframe::WrapAtWords;
  using Lines = std::vector<std::string>;
  EXPECT_EQ(WrapAtWords("short  line", 79, "  "), Lines{"short  line"}) << "a line that fits stays as it is";
  EXPECT_EQ(WrapAtWords("", 79, "  "), Lines{""});
  EXPECT_EQ(WrapAtWords("aaa bbb ccc ddd", 7, "  "), (Lines{"aaa bbb", "  ccc", "  ddd"}));
  EXPECT_EQ(WrapAtWords("aaa bbb ccc", 9, "> "), (Lines{"aaa bbb", "> ccc"}));
  EXPECT_EQ(WrapAtWords("a verylongword b", 6, " "), (Lines{"a", " verylongword", " b"}));
  const std::string factor =
      "1st factor: 203 elements, 720 automorphisms, 1661 orbits of generating sets of at most 4 elements";
  const Lines wrapped = WrapAtWords(factor, 79, "  ");
  EXPECT_EQ(wrapped.size(), 2u);
  for (const std::string& line : wrapped) EXPECT_LE(line.size(), 79u) << line;
}

}  // namespace

#if !defined(_WIN32)
namespace {
int cleanupRuns = 0;
void CountCleanupRun() { ++cleanupRuns; }
void (*Disposition(int sig))(int) {
  struct sigaction now {};
  (void)sigaction(sig, nullptr, &now);
  return now.sa_handler;
}
}  // namespace

TEST(SignalCleanupScope, HandlesDefaultSignalsOnlyOneAtATimeAndPutsThemBack) {
  (void)std::signal(SIGHUP, SIG_IGN);
  {
    runframe::SignalCleanup cleanup;
    cleanup.afterContinue = CountCleanupRun;
    const runframe::SignalCleanupScope scope(cleanup);
    EXPECT_NE(Disposition(SIGTERM), SIG_DFL);
    EXPECT_EQ(Disposition(SIGHUP), SIG_IGN) << "an ignored signal stays ignored";
    EXPECT_THROW(runframe::SignalCleanupScope second(cleanup), std::logic_error);
    cleanupRuns = 0;
    ASSERT_EQ(raise(SIGCONT), 0);
    EXPECT_EQ(cleanupRuns, 1);
  }
  EXPECT_EQ(Disposition(SIGTERM), SIG_DFL);
  EXPECT_EQ(Disposition(SIGCONT), SIG_DFL);
  EXPECT_EQ(Disposition(SIGHUP), SIG_IGN);
  (void)std::signal(SIGHUP, SIG_DFL);
  // The slot is free again.
  const runframe::SignalCleanupScope again(runframe::SignalCleanup{});
}
#endif

#if !defined(_WIN32)
namespace {

// A scratch folder of its own per test, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("runframe_test_" + std::string(info->name()) + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(AtomicFileWriter, PiecesReplaceTheFileOnlyAtCommit) {
  const ScratchFolder folder;
  const std::string path = folder.File("table.txt");
  ASSERT_EQ(runframe::ReplaceFileAtomically(path, "old"), 0);
  runframe::AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(path), 0);
  ASSERT_EQ(writer.Write("first "), 0);
  ASSERT_EQ(writer.Write(""), 0);
  ASSERT_EQ(writer.Write("second"), 0);
  EXPECT_EQ(Contents(path), "old") << "nothing is replaced before Commit";
  EXPECT_TRUE(std::filesystem::exists(path + ".tmp"));
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(Contents(path), "first second");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  EXPECT_NE(writer.Write("more"), 0) << "a committed writer writes no more";
  EXPECT_EQ(Contents(path), "first second");
}

TEST(AtomicFileWriter, AWriterDroppedOrFailedLeavesTheOldFileAndNoTemporary) {
  const ScratchFolder folder;
  const std::string path = folder.File("table.txt");
  ASSERT_EQ(runframe::ReplaceFileAtomically(path, "old"), 0);
  {
    runframe::AtomicFileWriter writer;
    ASSERT_EQ(writer.Open(path), 0);
    ASSERT_EQ(writer.Write("half"), 0);
  }
  EXPECT_EQ(Contents(path), "old");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

  // A rename onto a folder fails: the temporary goes, the folder stays.
  const std::string folderPath = folder.File("folder");
  std::filesystem::create_directories(std::filesystem::path(folderPath) / "inside");
  runframe::AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(folderPath), 0);
  ASSERT_EQ(writer.Write("text"), 0);
  const int error = writer.Commit();
  EXPECT_NE(error, 0);
  EXPECT_EQ(writer.Write("again"), error) << "a failure sticks";
  EXPECT_TRUE(std::filesystem::is_directory(folderPath));
  EXPECT_FALSE(std::filesystem::exists(folderPath + ".tmp"));
}

TEST(AtomicFileWriter, APlantedLinkIsRemovedNotFollowed) {
  const ScratchFolder folder;
  const std::string path = folder.File("table.txt");
  const std::string target = folder.File("target.txt");
  ASSERT_EQ(runframe::ReplaceFileAtomically(target, "target"), 0);
  std::filesystem::create_symlink(target, path + ".tmp");
  runframe::AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(path), 0);
  ASSERT_EQ(writer.Write("new"), 0);
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(Contents(path), "new");
  EXPECT_EQ(Contents(target), "target");
}

TEST(AvailableBytes, TellsTheFreeSpaceOrWhyNot) {
  const ScratchFolder folder;
  std::uintmax_t bytes = 0;
  EXPECT_EQ(runframe::AvailableBytes(folder.File(""), bytes), 0);
  EXPECT_GT(bytes, 0u);
  EXPECT_NE(runframe::AvailableBytes(folder.File("no/such/folder"), bytes), 0);
}

// A batch system's memory limit, from the control group files: the least of
// the group's, its ancestors' and the root's, in either version; "max",
// huge figures and text that is not a figure are no limit.
TEST(UsableMemory, ControlGroupLimitsOfBothVersions) {
  const ScratchFolder folder;
  const std::string root = folder.File("cg");
  auto put = [&](const std::string& file, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(root + file).parent_path());
    std::ofstream(root + file) << text << "\n";
  };
  using runframe::ControlGroupMemoryLimit;
  EXPECT_EQ(ControlGroupMemoryLimit("0::/user.slice/job_1\n", root), std::nullopt);
  put("/user.slice/job_1/memory.max", "2147483648");
  put("/user.slice/memory.max", "max");
  EXPECT_EQ(ControlGroupMemoryLimit("0::/user.slice/job_1\n", root), 2147483648u);
  put("/user.slice/memory.max", "1000000");
  EXPECT_EQ(ControlGroupMemoryLimit("0::/user.slice/job_1\n", root), 1000000u);
  // Version 1, among other controllers' lines; no limit at the group, one at
  // the root (a container's own view).
  const std::string v1 = "7:pids:/x\n4:cpu,memory:/slurm/job_7\n0::/\n";
  put("/memory/slurm/job_7/memory.limit_in_bytes", "9223372036854771712");
  EXPECT_EQ(ControlGroupMemoryLimit(v1, root), std::nullopt);
  put("/memory/memory.limit_in_bytes", "5000000");
  EXPECT_EQ(ControlGroupMemoryLimit(v1, root), 5000000u);
  for (const char* junk : {"-1", "12 MB", "", "99999999999999999999"}) {
    put("/memory/memory.limit_in_bytes", junk);
    EXPECT_EQ(ControlGroupMemoryLimit(v1, root), std::nullopt) << junk;
  }
  EXPECT_EQ(ControlGroupMemoryLimit("garbage\n4:memory\n", root), std::nullopt);
  // This process: never more than the machine has.
  const auto usable = runframe::UsableMemoryBytes();
  ASSERT_TRUE(usable.has_value());
  EXPECT_GT(*usable, 0u);
  EXPECT_LE(*usable, runframe::PhysicalMemoryBytes().value());
}
#endif
