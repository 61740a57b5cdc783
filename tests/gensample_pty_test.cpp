// gensample itself on a pseudo-terminal: keys are typed into a long sampling
// run, and the terminal's modes are compared from outside before and after.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/console_text.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/pty_session.hpp"
#include "tests/support/run_program.hpp"

namespace {

using testsupport::JoinLines;
const std::string CRLF = "\r\n";

// Equ(4)*Equ(4) runs for hours with this test count; a dot every 1000 tests
// keeps the terminal busy but never floods it.
const std::vector<std::string> LongRun{"4", "4", "100000000", "1000"};
constexpr int TestsPerDot = 1000;

const std::string& Banner = testsupport::GensampleBanner;
const std::string StopLine = " Entering into stop mode ..., please wait" + CRLF;
// How long a program that has shown all it will show is watched for more.
constexpr int SettleMs = 100;

bool SameModes(const termios& a, const termios& b) {
  return a.c_lflag == b.c_lflag && a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cc[VMIN] == b.c_cc[VMIN] &&
         a.c_cc[VTIME] == b.c_cc[VTIME];
}

// gensample on a fresh pseudo-terminal of 80 columns, started in dir.
class SampleTerminal : public testsupport::PtySession {
 public:
  // typedAhead: bytes typed before the program starts.
  SampleTerminal(const testsupport::TempDir& dir, const std::vector<std::string>& args,
                 std::string_view typedAhead = {})
      : PtySession(dir, testsupport::BinaryPath("gensample/gensample"), args, {typedAhead}) {}
};

using testsupport::ExitedWith;
using testsupport::KilledBy;

// Starts a long run and waits for its first dot: the keys are then read by
// the sampling loop, not by anything before it.
void WaitForSampling(SampleTerminal& t) {
  ASSERT_TRUE(t.WaitFor("Output file opened: ")) << t.Output();
  ASSERT_TRUE(t.WaitFor(".txt" + CRLF)) << t.Output();
  ASSERT_TRUE(t.WaitFor(".")) << t.Output();
}

using testsupport::Number;
using testsupport::NumberBefore;

// The console from the banner to the elapsed time, and the result file, of a
// run stopped by Alt+R: exact but for the clock readings and the counts, which
// are read from the output.  Returns the number of tests reported.
int ExpectStoppedRun(const std::string& console, const testsupport::TempDir& dir) {
  const std::string testsMarker = " 4-element random subsets,";
  std::size_t testsAt = console.find(testsMarker);
  if (testsAt != std::string::npos) testsAt = console.rfind(' ', testsAt - 1);
  std::size_t pos = testsAt == std::string::npos ? 0 : testsAt + 1;
  const std::optional<int> tests = testsAt == std::string::npos ? std::nullopt : Number(console, pos);
  const int generating = NumberBefore(console, " are generating, i.e., ");
  if (!tests || *tests < 1 || generating < 0) {
    ADD_FAILURE() << "no report in\n" << console;
    return -1;
  }
  EXPECT_LE(generating, *tests);

  const testsupport::RunStart start = testsupport::ExpectedStart(console, 4, 4, testsupport::GensampleTag);
  EXPECT_EQ(dir.Names("r-"), std::vector<std::string>{start.resultName});
  const std::string end = testsupport::ExpectedEndLines(console);

  std::string dots;
  for (int k = 1; k <= *tests / TestsPerDot; ++k) dots += k % 64 == 0 ? "." + CRLF : ".";
  char percent[32];
  std::snprintf(percent, sizeof percent, "%8.4f", generating * 100.0 / *tests);
  const std::string result = JoinLines({"For Part(4)*Part(4), out of " + std::to_string(*tests) + testsMarker,
                                        std::to_string(generating) + " are generating, i.e., " + percent + "%."});
  EXPECT_EQ(console,
            Banner + start.lines + dots + StopLine + CRLF + result + CRLF + "Hit <enter> to quit!" + CRLF + end);
  EXPECT_EQ(dir.Read(start.resultName), start.lines + CRLF + result + end);
  return *tests;
}

// The program has read every key typed, and it goes on sampling: dots keep
// coming (a stop would end the loop after the test at hand, so no more dots).
void ExpectStillSampling(SampleTerminal& t) {
  t.SkipOutput();
  for (int dot = 0; dot < 10; ++dot) ASSERT_TRUE(t.WaitFor(".")) << "still sampling: " << t.Output();
  ASSERT_TRUE(t.Running()) << t.Output();
}

// Stops a run with the given Alt+R bytes, checks the report and the final wait,
// and ends it with Enter.
void StopAndQuit(SampleTerminal& t, const testsupport::TempDir& dir, std::string_view altR) {
  t.Send(altR);
  ASSERT_TRUE(t.WaitFor(" second(s)." + CRLF)) << t.Output();
  const std::string console = t.Output();
  // The report is out: the program now waits for Enter in line mode, with the
  // result file complete.
  ASSERT_TRUE(t.WaitUntil([&] { return testsupport::ResultFileComplete(dir); })) << t.Output();
  t.Drain(SettleMs);
  EXPECT_TRUE(t.Running()) << "waits for Enter";
  EXPECT_EQ(t.Output(), console) << "nothing after the elapsed time";
  ExpectStoppedRun(console, dir);
  EXPECT_TRUE(SameModes(t.Now(), t.Before())) << "line mode while waiting for Enter";
  t.Send("\r");
  EXPECT_TRUE(ExitedWith(t.WaitExit(), 0)) << t.Output();
  EXPECT_TRUE(SameModes(t.Now(), t.Before()));
}

TEST(GensamplePty, OtherKeysAreIgnoredAndAltRStopsWithAFullReport) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 4);
  SampleTerminal t(dir, LongRun);
  ASSERT_NE(t.Before().c_lflag & ICANON, 0u) << "a new terminal starts in line mode";
  WaitForSampling(t);
  const termios during = t.Now();
  EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u) << "key by key, no echo, while sampling";
  EXPECT_NE(during.c_lflag & ISIG, 0u) << "Ctrl+C still interrupts";

  t.SkipOutput();
  const std::size_t mark = t.Output().size();
  for (const std::string_view key : {"\x1b[A", "\x1bOP", "\x1b[15~", "\x1b[1;3A", "r", "R", "\x12", "\x1bx"}) {
    ASSERT_TRUE(t.Type(key)) << "one key at a time";
  }
  ExpectStillSampling(t);
  const std::string since = t.Output().substr(mark);
  EXPECT_EQ(since.find_first_not_of(".\r\n"), std::string::npos) << "no echo, no stop: " << since;
  StopAndQuit(t, dir, "\x1br");
}

struct AltRForm {
  const char* name;
  std::string_view bytes;
};

void PrintTo(const AltRForm& f, std::ostream* os) { *os << f.name; }

class AltRForms : public ::testing::TestWithParam<AltRForm> {};

TEST_P(AltRForms, StopWithAFullReport) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 4);
  SampleTerminal t(dir, LongRun);
  WaitForSampling(t);
  StopAndQuit(t, dir, GetParam().bytes);
}

// Shifted, and the 8-bit forms of a terminal whose Alt sets the high bit; and
// xterm in a UTF-8 locale without metaSendsEscape: Alt+R is U+00F2 (C3 B2),
// Alt+Shift+R U+00D2 (C3 92).
INSTANTIATE_TEST_SUITE_P(GensamplePty, AltRForms,
                         ::testing::Values(AltRForm{"EscShiftR", "\x1bR"}, AltRForm{"EightBitAltR", "\xf2"},
                                           AltRForm{"EightBitAltShiftR", "\xd2"}, AltRForm{"Utf8AltR", "\xc3\xb2"},
                                           AltRForm{"Utf8AltShiftR", "\xc3\x92"}),
                         [](const ::testing::TestParamInfo<AltRForm>& form) { return std::string(form.param.name); });

// Other characters that begin with C3 (here é, ü) are ignored like any key.
TEST(GensamplePty, OtherUtf8CharactersDoNotStop) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 4);
  SampleTerminal t(dir, LongRun);
  WaitForSampling(t);
  t.SkipOutput();
  const std::size_t mark = t.Output().size();
  for (const std::string_view key : {"\xc3\xa9", "\xc3\xbc", "\xc3", "\xb2"}) {
    ASSERT_TRUE(t.Type(key)) << "one key at a time";
    // A lone C3 is held for the decoder's 40 ms; B2 must come after that.
    if (key == "\xc3") t.Drain(80);
  }
  ExpectStillSampling(t);
  const std::string since = t.Output().substr(mark);
  EXPECT_EQ(since.find_first_not_of(".\r\n"), std::string::npos) << "no echo, no stop: " << since;
  StopAndQuit(t, dir, "\xc3\xb2");
}

// Typed while the tables are read, Alt+R waits for the first poll: one test.
TEST(GensamplePty, AltRTypedBeforeSamplingEndsAfterTheFirstTest) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 4);
  SampleTerminal t(dir, LongRun, "\x1br");
  ASSERT_TRUE(t.WaitFor(" second(s)." + CRLF)) << t.Output();
  ASSERT_TRUE(t.WaitUntil([&] { return testsupport::ResultFileComplete(dir); })) << t.Output();
  // The terminal echoed the keys before the program took it over.
  const std::size_t banner = t.Output().find(Banner);
  ASSERT_NE(banner, std::string::npos) << t.Output();
  EXPECT_EQ(ExpectStoppedRun(t.Output().substr(banner), dir), 1);
  t.Send("\r");
  EXPECT_TRUE(ExitedWith(t.WaitExit(), 0)) << t.Output();
  EXPECT_TRUE(SameModes(t.Now(), t.Before()));
}

TEST(GensamplePty, CtrlCInterruptsAndRestoresModes) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 4);
  SampleTerminal t(dir, LongRun);
  WaitForSampling(t);
  t.Send("\x03");
  EXPECT_TRUE(KilledBy(t.WaitExit(), SIGINT)) << t.Output();
  EXPECT_EQ(t.Output().find("Entering into stop mode"), std::string::npos);
  EXPECT_TRUE(SameModes(t.Now(), t.Before()));
}

TEST(GensamplePty, TerminationSignalsRestoreModes) {
  for (const int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, 4, 4);
    SampleTerminal t(dir, LongRun);
    WaitForSampling(t);
    ASSERT_EQ(kill(t.Pid(), sig), 0);
    EXPECT_TRUE(KilledBy(t.WaitExit(), sig)) << t.Output();
    EXPECT_TRUE(SameModes(t.Now(), t.Before()));
  }
}

}  // namespace
