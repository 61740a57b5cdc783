// The run sequence's endings, driven in-process with a chosen clock: exit
// statuses, the result file's creation (never through a link, never shared
// by two runs of the same millisecond), internal checks, and reports after a
// progress line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "runframe/abrupt_end.hpp"
#include "runframe/run_frame.hpp"
#include "runframe/run_sequence.hpp"
#include "tests/support/console_text.hpp"
#include "tests/support/run_program.hpp"

namespace {

runframe::ClockReading At(int second, int ms) {
  runframe::ClockReading r;
  r.year = 2026;
  r.month = 12;
  r.day = 7;
  r.hour = 10;
  r.minute = 30;
  r.second = static_cast<std::uint16_t>(second);
  r.millisecond = static_cast<std::uint16_t>(ms);
  return r;
}

const runframe::ProgramDescription Program{{"banner"}, 6, 6, "---", "", ""};

// A run of "1 1" in a scratch folder (the working folder while it lives),
// its console in a file.
class SequenceRun {
 public:
  SequenceRun() : previous_(std::filesystem::current_path()) {
    testsupport::WriteTables(dir_, 1, 1);
    std::filesystem::current_path(dir_.Path());
    console_ = std::fopen("console", "wb");
  }
  ~SequenceRun() {
    if (console_ != nullptr) std::fclose(console_);
    std::filesystem::current_path(previous_);
  }
  SequenceRun(const SequenceRun&) = delete;
  SequenceRun& operator=(const SequenceRun&) = delete;

  int Run(const std::function<runframe::ClockReading()>& clock, const runframe::RunStep& compute = {},
          const runframe::RunStep& readTables = {}) {
    runframe::RunContext run(Program, {"1", "1"}, console_);
    run.clock = clock;
    run.waitForEnter = [] {};
    const auto nothing = [](runframe::RunContext&) {};
    const int status = runframe::RunSequence(run, readTables ? readTables : nothing, compute ? compute : nothing);
    std::fclose(console_);
    console_ = nullptr;
    return status;
  }
  std::string Console() const { return dir_.Read("console"); }
  const testsupport::TempDir& Dir() const { return dir_; }

 private:
  std::filesystem::path previous_;
  testsupport::TempDir dir_;
  std::FILE* console_ = nullptr;
};

constexpr const char* CreationMessage = "Fatal error. Is there enough room on your drive?";

TEST(RunEndings, FatalStopExitsWithOne) {
  SequenceRun r;
  const int status = r.Run([] { return At(1, 1); }, {},
                           [](runframe::RunContext&) { runframe::FatalStop("Corrupt 1st input file (code x)"); });
  EXPECT_EQ(status, 1);
  EXPECT_NE(r.Console().find(testsupport::FatalConsole("Corrupt 1st input file (code x)")), std::string::npos)
      << r.Console();
}

TEST(RunEndings, ResultFileIsNeverWrittenThroughALink) {
  SequenceRun r;
  r.Dir().Write("victim", "keep");
  const std::string name = runframe::MakeResultFileName(1, 1, "---", At(1, 1));
  std::filesystem::create_symlink(r.Dir().Path() + "/victim", r.Dir().Path() + "/" + name);
  EXPECT_EQ(r.Run([] { return At(1, 1); }), 1);
  EXPECT_NE(r.Console().find(CreationMessage), std::string::npos) << r.Console();
  EXPECT_EQ(r.Dir().Read("victim"), "keep");
  EXPECT_TRUE(std::filesystem::is_symlink(r.Dir().Path() + "/" + name));
}

TEST(RunEndings, SameMillisecondTakesTheNextFreeName) {
  SequenceRun r;
  const std::string taken = runframe::MakeResultFileName(1, 1, "---", At(1, 1));
  r.Dir().Write(taken, "another run");
  int reads = 0;
  // The clock stays on the taken millisecond for a few readings.
  EXPECT_EQ(r.Run([&] { return ++reads <= 3 ? At(1, 1) : At(1, 2); }), 0) << r.Console();
  EXPECT_EQ(r.Dir().Read(taken), "another run");
  const std::string mine = runframe::MakeResultFileName(1, 1, "---", At(1, 2));
  EXPECT_EQ(r.Dir().Read(mine).rfind("      Started (DD/MM/YY:) 7/12/2026, at 10:30:1:2\r\n", 0), 0u)
      << r.Dir().Read(mine);
  EXPECT_NE(r.Console().find("Output file opened: " + mine), std::string::npos);
}

TEST(RunEndings, ClockThatNeverMovesOnEndsInBoundedTime) {
  SequenceRun r;
  r.Dir().Write(runframe::MakeResultFileName(1, 1, "---", At(1, 1)), "another run");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(r.Run([] { return At(1, 1); }), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_NE(r.Console().find(CreationMessage), std::string::npos);
}

TEST(RunEndings, InternalCheckEndsAsFatalStop) {
  SequenceRun r;
  const int status =
      r.Run([] { return At(1, 1); }, [](runframe::RunContext&) { throw std::logic_error("a broken invariant"); });
  EXPECT_EQ(status, 1);
  EXPECT_NE(r.Console().find(testsupport::FatalConsole("Program error: a broken invariant")), std::string::npos)
      << r.Console();
  const std::vector<std::string> results = r.Dir().Names("r-");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_NE(r.Dir().Read(results[0]).find(testsupport::FatalResultLines("Program error: a broken invariant")),
            std::string::npos);
}

TEST(RunEndings, AbruptEndBeginsOnANewLineAfterAProgressLine) {
  for (const bool showing : {true, false}) {
    SequenceRun r;
    const int status = r.Run([] { return At(1, 1); },
                             [&](runframe::RunContext& run) {
                               run.console.Write("\r  units 1/2");
                               run.progressLineShowing = showing;
                               throw runframe::ArithmeticOverflow("the count");
                             });
    EXPECT_EQ(status, 3);
    // Without a progress line (gencount, gensample) the bytes stay as they were.
    const std::string expected =
        std::string("\r  units 1/2") + (showing ? "\r\n" : "") + "Arithmetic overflow in the count\r\n";
    const std::string console = r.Console();
    ASSERT_GE(console.size(), expected.size());
    EXPECT_EQ(console.substr(console.size() - expected.size()), expected) << showing;
  }
}

TEST(RunEndings, ShownTextsEscapeC0AndC1Controls) {
  EXPECT_EQ(runframe::Printable("a\x1b[31m\tb\x85\x9b\x7f\xa0\xc3\xa9"), "a\\x1B[31m\tb\\x85\\x9B\\x7F\xa0\xc3\xa9");
  EXPECT_STREQ(runframe::InvalidInteger("1\x9b"
                                        "2J")
                   .what(),
               "\"1\\x9B2J\" is an invalid integer");
}

}  // namespace
