// gensample run as a program in a scratch folder with standard input at its
// end: console and result file are compared byte for byte.  Clock readings and
// counts that depend on the random draw are taken from the output, then the
// whole text is rebuilt around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/console_text.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/run_program.hpp"

namespace {

using testsupport::JoinLines;
using testsupport::TableText;
const std::string CRLF = "\r\n";

const std::string& Banner = testsupport::GensampleBanner;

const std::string TooSmall = "The product has fewer than 4 elements, so no 4-element subset can be drawn";

std::string Dots(int count) { return std::string(static_cast<std::size_t>(count), '.'); }

std::string CountLine(int n, int m, int tests) {
  return "For Part(" + std::to_string(n) + ")*Part(" + std::to_string(m) + "), out of " + std::to_string(tests) +
         " 4-element random subsets,";
}

std::string ShareLine(int generating, int tests) {
  char percent[32];
  std::snprintf(percent, sizeof percent, "%8.4f", generating * 100.0 / tests);
  return std::to_string(generating) + " are generating, i.e., " + percent + "%.";
}

// A 5-element chain written as the tables of Equ(3): the reader accepts any
// commutative table of the right size, and four elements of a chain are closed
// already, so no drawn subset can ever generate.
std::string ChainTableOf5() {
  std::vector<std::string> lines;
  for (int x = 1; x <= 5; ++x) {
    for (int y = 1; y <= 5; ++y) {
      lines.push_back(std::to_string(x) + "&" + std::to_string(y) + "=" + std::to_string(std::max(x, y)) + "," +
                      std::to_string(std::min(x, y)));
    }
  }
  return JoinLines(lines);
}

using testsupport::ExpectEndedByItself;
using testsupport::FatalConsole;
using testsupport::NumberBefore;
using testsupport::Outcome;

Outcome RunIn(const testsupport::TempDir& where, const std::vector<std::string>& args,
              const testsupport::RunOptions& options = {}) {
  return testsupport::RunIn(where, "gensample/gensample", args, options);
}

// Runs until the result file holds the whole report, or the console shows the
// fatal stop's prompt; a run that waits for Enter is then still running.
Outcome RunUntilWaiting(const testsupport::TempDir& where, const std::vector<std::string>& args) {
  return testsupport::RunUntil(where, "gensample/gensample", args, [&](const std::string& out) {
    return testsupport::ResultFileComplete(where) || out.find(testsupport::FatalPrompt) != std::string::npos;
  });
}

// Start stamp and file lines; the result file's name must agree with the stamp.
std::string StartLines(const Outcome& o, int n, int m) {
  return testsupport::ExpectedStartLines(o, n, m, testsupport::GensampleTag);
}

std::string EndLines(const Outcome& o) { return testsupport::ExpectedEndLines(o.run.out); }

// The generating count the run reports; -1 when there is no share line.
int ReportedCount(const std::string& console) { return NumberBefore(console, " are generating, i.e., "); }

// A whole run, exact to the byte; generating < 0 takes the count from the
// output, which must then lie in [low, high].
void ExpectFullRun(const Outcome& o, int n, int m, const std::string& dots, int tests, int generating, int low = 0,
                   int high = 0) {
  if (generating < 0) {
    generating = ReportedCount(o.run.out);
    EXPECT_GE(generating, low) << o.run.out;
    EXPECT_LE(generating, high) << o.run.out;
  }
  const std::string start = StartLines(o, n, m);
  const std::string end = EndLines(o);
  const std::string result = JoinLines({CountLine(n, m, tests), ShareLine(generating, tests)});
  EXPECT_EQ(o.run.out, Banner + start + dots + CRLF + result + CRLF + "Hit <enter> to quit!" + CRLF + end);
  EXPECT_EQ(o.resultText, start + CRLF + result + end);
}

class GensampleRun : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
};

TEST_F(GensampleRun, ReportLinesForCertainCounts) {
  // The helpers' lines, pinned to their literal text for the runs below.
  EXPECT_EQ(CountLine(2, 2, 1), "For Part(2)*Part(2), out of 1 4-element random subsets,");
  EXPECT_EQ(ShareLine(10, 10), "10 are generating, i.e., 100.0000%.");
  EXPECT_EQ(ShareLine(0, 50), "0 are generating, i.e.,   0.0000%.");
  // Equ(2)*Equ(2) has four elements: every draw is the whole product.
  testsupport::WriteTables(dir, 2, 2);
  Outcome o = RunIn(dir, {"2", "2"});
  ExpectEndedByItself(o, 0);
  ExpectFullRun(o, 2, 2, "..", 10, 10);

  testsupport::TempDir chain;
  chain.Write("3-optablea.txt", ChainTableOf5());
  chain.Write("1-optableb.txt", TableText(1));
  o = RunIn(chain, {"3", "1", "50", "0"});
  ExpectEndedByItself(o, 0);
  ExpectFullRun(o, 3, 1, "", 50, 0);
}

// Dot rows for test counts and dot intervals, on the product where every test
// generates, so the whole output is certain.
TEST_F(GensampleRun, TestCountsAndDotRows) {
  testsupport::WriteTables(dir, 2, 2);
  const std::string row = Dots(64) + CRLF;
  const struct {
    std::vector<std::string> extra;
    int tests;
    std::string dots;
  } cases[] = {
      {{}, 10, ".."},
      {{"130", "1"}, 130, row + row + ".."},
      {{"64", "1"}, 64, row},
      {{"128", "2"}, 128, row},
      {{"1", "1"}, 1, "."},
      {{"3", "100"}, 3, ""},
      {{"0"}, 1, ""},
      {{"-5"}, 1, ""},
      {{"-2147483648", "1"}, 1, "."},
      {{"10", "-2"}, 10, "....."},
      {{"10", "0"}, 10, ""},
      {{"10", "2147483647"}, 10, ""},
      {{"10", "-2147483648"}, 10, ""},
      {{"10", "33554432"}, 10, ""},  // times 64 is 2^31
      {{" 7", "+2", "ignored"}, 7, "..."},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"2", "2"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    SCOPED_TRACE(testing::PrintToString(args));
    const Outcome o = RunIn(dir, args);
    ExpectEndedByItself(o, 0);
    ExpectFullRun(o, 2, 2, c.dots, c.tests, c.tests);
    for (const std::string& name : o.resultNames) std::remove((dir.Path() + "/" + name).c_str());
  }
}

// Random counts: the share line must be the count's own percentage.
TEST_F(GensampleRun, RandomCountsAndTheirPercentage) {
  // 2 of the 5 subsets of Equ(1)*Equ(3) generate: 800 of 2000 expected, sd 22.
  testsupport::WriteTables(dir, 1, 3);
  Outcome o = RunIn(dir, {"1", "3", "2000", "1000"});
  ExpectEndedByItself(o, 0);
  ExpectFullRun(o, 1, 3, "..", 2000, -1, 650, 950);

  // The largest factors are accepted; Equ(6) tables are 41209 lines.
  const int largest[][2] = {{6, 1}, {1, 6}};
  for (const auto& s : largest) {
    SCOPED_TRACE(std::to_string(s[0]) + " " + std::to_string(s[1]));
    testsupport::TempDir six;
    testsupport::WriteTables(six, s[0], s[1]);
    o = RunIn(six, {std::to_string(s[0]), std::to_string(s[1]), "3", "1"});
    ExpectEndedByItself(o, 0);
    ExpectFullRun(o, s[0], s[1], "...", 3, -1, 0, 3);
  }
}

TEST_F(GensampleRun, FullRunWaitsForEnterWithResultComplete) {
  testsupport::WriteTables(dir, 2, 2);
  const Outcome o = RunUntilWaiting(dir, {"2", "2", "5", "1"});
  EXPECT_TRUE(testsupport::WaitedForEnter(o));
  ExpectFullRun(o, 2, 2, ".....", 5, 5);
}

// The key poll must leave a piped standard input to the final wait.
TEST_F(GensampleRun, EnterTypedAheadIntoAPipeEndsTheFinalWait) {
  testsupport::WriteTables(dir, 2, 2);
  testsupport::RunOptions options;
  options.stdinBytes = "\n";
  options.keepStdinOpen = true;
  options.timeout = std::chrono::milliseconds(20000);  // a hang ends here
  const Outcome o = RunIn(dir, {"2", "2", "5", "1"}, options);
  ExpectEndedByItself(o, 0);
  ExpectFullRun(o, 2, 2, ".....", 5, 5);
}

// A third or fourth parameter that is not a 32-bit integer ends the run at once
// after the opening lines: no test, no fatal stop, no wait for Enter.
TEST_F(GensampleRun, SamplerParametersThatDoNotConvert) {
  testsupport::WriteTables(dir, 2, 2);
  const struct {
    std::vector<std::string> extra;
    std::string text;
  } cases[] = {
      {{"x"}, "x"},
      {{"2147483648"}, "2147483648"},
      {{"-2147483649"}, "-2147483649"},
      {{""}, ""},
      {{"10x", "1"}, "10x"},
      {{"x", "y"}, "x"},
      {{"10", "x"}, "x"},
      {{"10", "2147483648"}, "2147483648"},
      {{"10", "1.5"}, "1.5"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"2", "2"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    SCOPED_TRACE(testing::PrintToString(args));
    testsupport::RunOptions options;
    options.stdinBytes = "";
    options.keepStdinOpen = true;
    options.timeout = std::chrono::milliseconds(10000);
    const Outcome o = RunIn(dir, args, options);
    ExpectEndedByItself(o, 2);
    const std::string start = StartLines(o, 2, 2);
    ASSERT_EQ(o.run.out.substr(0, Banner.size() + start.size()), Banner + start);
    std::string rest = o.run.out.substr(Banner.size() + start.size());
    const std::string message = "\"" + c.text + "\" is an invalid integer";
    const std::size_t at = rest.find(message);
    ASSERT_NE(at, std::string::npos) << rest;
    rest.erase(at, message.size());
    EXPECT_EQ(rest.find_first_of(".\a"), std::string::npos) << "no dot, no bell: " << rest;
    EXPECT_EQ(rest.find("Part("), std::string::npos) << rest;
    EXPECT_EQ(o.resultText, start);
    for (const std::string& name : o.resultNames) std::remove((dir.Path() + "/" + name).c_str());
  }
}

// Products too small for a 4-element subset are refused once the tables are read.
TEST_F(GensampleRun, ProductsWithFewerThanFourElements) {
  const int sizes[][2] = {{1, 1}, {1, 2}, {2, 1}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s[0]) + " " + std::to_string(s[1]));
    testsupport::TempDir own;
    testsupport::WriteTables(own, s[0], s[1]);
    const Outcome o = RunIn(own, {std::to_string(s[0]), std::to_string(s[1]), "10", "1"});
    ExpectEndedByItself(o, 1);  // a fatal stop
    const std::string start = StartLines(o, s[0], s[1]);
    EXPECT_EQ(o.run.out, Banner + start + FatalConsole(TooSmall));
    EXPECT_EQ(o.resultText, start + testsupport::FatalResultLines(TooSmall));
  }
  // The refusal waits for Enter like every fatal stop.
  testsupport::WriteTables(dir, 1, 1);
  const Outcome o = RunUntilWaiting(dir, {"1", "1"});
  EXPECT_TRUE(testsupport::WaitedForEnter(o));
  EXPECT_EQ(o.run.out, Banner + StartLines(o, 1, 1) + FatalConsole(TooSmall));
}

TEST_F(GensampleRun, FactorLimits) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"7", "1"}, "1st parameter is illegal or too large!"}, {{"0", "2"}, "1st parameter is illegal or too large!"},
      {{"2", "7"}, "2nd parameter is illegal or too large!"}, {{"2", "0"}, "2nd parameter is illegal or too large!"},
      {{"2"}, "At least two parameters are required!"},
  };
  testsupport::WriteTables(dir, 2, 1);
  testsupport::WriteTables(dir, 1, 2);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Outcome o = RunIn(dir, c.args);
    ExpectEndedByItself(o, 1);  // a fatal stop
    EXPECT_EQ(o.run.out, Banner + FatalConsole(c.message));
    EXPECT_EQ(o.resultNames, std::vector<std::string>{});
  }
}

TEST_F(GensampleRun, ConsoleThatCannotBeWritten) {
  testsupport::WriteTables(dir, 2, 2);
  testsupport::RunOptions options;
  options.stdoutPath = "/dev/full";
  const Outcome o = RunIn(dir, {"2", "2"}, options);
  ExpectEndedByItself(o, 4);
  EXPECT_FALSE(o.run.err.empty());
}

}  // namespace
