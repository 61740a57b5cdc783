// gencount run as a program in a scratch folder: console and result file are
// compared byte for byte; only the clock readings are taken from the output.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/console_text.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/run_program.hpp"

namespace {

using testsupport::JoinLines;
using testsupport::TableLines;
using testsupport::TableText;
const std::string CRLF = "\r\n";

const std::string Banner = JoinLines({
    "This is gencount , version November 5, 2020, a program to compute the number of",
    "4-element generating sets of Equ(n)*Equ(m).",
    "",
    "The input files n-optablea.txt and  m-optableb.txt (where n<=5 is the ",
    "first while m<=6 is the second paramter of the program) should be in the",
    "same folder where this program is.",
});

using testsupport::ExpectEndedByItself;
using testsupport::FatalConsole;
using testsupport::Outcome;

std::string RightAligned(const std::string& text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

std::string ProgressItems(long total) {
  std::string items;
  for (long done = 1024; done <= total; done += 1024) {
    items += "  " + RightAligned(std::to_string(done), 10) + "/" + RightAligned(std::to_string(total), 10) + "  ";
  }
  return items;
}

class GencountRun : public ::testing::Test {
 protected:
  testsupport::TempDir dir;

  static Outcome RunIn(const testsupport::TempDir& where, const std::vector<std::string>& args,
                       const testsupport::RunOptions& options = {}) {
    return testsupport::RunIn(where, "gencount/gencount", args, options);
  }

  Outcome Run(const std::vector<std::string>& args, const testsupport::RunOptions& options = {}) {
    return RunIn(dir, args, options);
  }

  // The name on the console's "Output file opened: " line.
  static std::string ReportedResultName(const Outcome& o) {
    const std::size_t at = o.run.out.find("Output file opened: ");
    if (at == std::string::npos) return "?";
    const std::string rest = o.run.out.substr(at + 20);
    return rest.substr(0, rest.find('\r'));
  }

  static std::string StartLines(const Outcome& o, int n, int m, const std::string& a, const std::string& b) {
    return testsupport::ExpectedStartLines(o, n, m, testsupport::GencountTag, a, b);
  }

  static std::string EndLines(const Outcome& o) { return testsupport::ExpectedEndLines(o.run.out); }

  // A whole run, exact to the byte.
  static void ExpectFullRun(const Outcome& o, int n, int m, const std::string& a, const std::string& b,
                            const std::string& progress, int count) {
    const std::string start = StartLines(o, n, m, a, b);
    const std::string end = EndLines(o);
    const std::string result = "Part(" + std::to_string(n) + ")*Part(" + std::to_string(m) + ") has exactly " +
                               std::to_string(count) + "   4-element generating sets" + CRLF;
    EXPECT_EQ(o.run.out, Banner + start + progress + CRLF + result + CRLF + "Hit <enter> to quit!" + CRLF + end);
    EXPECT_EQ(o.resultText, start + CRLF + result + CRLF + end);
  }
};

// Whole runs, exact to the byte.
TEST_F(GencountRun, FullRuns) {
  const std::string typed = "+" + std::string(70, '0') + "3", cut = typed.substr(0, 60);
  const struct {
    std::vector<std::string> args;
    int n, m, count;
    std::string a, b, progress, stdinText;
  } cases[] = {
      {{"1", "1"}, 1, 1, 0, "1-optablea.txt", "1-optableb.txt", "", ""},
      {{"1", "2"}, 1, 2, 0, "1-optablea.txt", "2-optableb.txt", "", ""},
      {{"2", "1"}, 2, 1, 0, "2-optablea.txt", "1-optableb.txt", "", ""},
      {{"2", "2"}, 2, 2, 1, "2-optablea.txt", "2-optableb.txt", "", "typed text\nmore\n"},
      {{"2", "3"}, 2, 3, 14, "2-optablea.txt", "3-optableb.txt", "", ""},
      {{"1", "4"}, 1, 4, 50, "1-optablea.txt", "4-optableb.txt", "        1024/      1365  ", ""},
      {{"3", "3"}, 3, 3, 72, "3-optablea.txt", "3-optableb.txt", ProgressItems(12650), ""},
      // The typed text names the input files; the converted value names the result.
      {{"02", "+3", "ignored"}, 2, 3, 14, "02-optablea.txt", "+3-optableb.txt", "", ""},
      {{typed, "1"}, 3, 1, 2, cut, "1-optableb.txt", "", ""},
  };
  ASSERT_EQ(ProgressItems(12650).size(), 12u * 25u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    testsupport::TempDir own;
    own.Write(c.a, TableText(c.n));
    own.Write(c.b, TableText(c.m));
    testsupport::RunOptions options;
    if (!c.stdinText.empty()) options.stdinBytes = c.stdinText;
    const Outcome o = RunIn(own, c.args, options);
    ExpectEndedByItself(o, 0);
    ExpectFullRun(o, c.n, c.m, c.a, c.b, c.progress, c.count);
  }
}

struct TakenNames {
  std::size_t taken = 0;
  std::vector<std::string> free;  // the names left free in the window
};

// Takes every name that a "2 2" run can give its result file from now until a
// second after the last name is made, each a hard link to target (which may
// be a link itself); every freeEvery-th millisecond is left free.

TakenNames TakeResultNames(const testsupport::TempDir& dir, const std::string& target, int freeEvery) {
  using namespace std::chrono;
  const auto start = system_clock::now();
  TakenNames names;
  int k = 0;
  for (auto at = start; at < system_clock::now() + seconds(1) && k < 10000; at += milliseconds(1)) {
    const std::time_t seconds = system_clock::to_time_t(at);
    std::tm t{};
    localtime_r(&seconds, &t);
    const auto milli = duration_cast<milliseconds>(at.time_since_epoch()).count() % 1000;
    char name[64];
    std::snprintf(name, sizeof name, "r-2&2---%d-%d-%d-%d-%d--%d-%d.txt", t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                  static_cast<int>(milli), t.tm_mon + 1, t.tm_year + 1900);
    if (++k % freeEvery == 0) {
      names.free.push_back(name);
      continue;
    }
    // A hard link to a symbolic link is that link again, under one more name.
    std::filesystem::create_hard_link(target, dir.Path() + "/" + name);
    ++names.taken;
  }
  EXPECT_LT(k, 10000) << "the names are made too slowly to get ahead of the clock";
  return names;
}

struct NamesTakenRun {
  Outcome outcome;
  TakenNames names;  // taken before the run read the clock
};

// A "2 2" run in dir whose result names are taken by TakeResultNames.  The
// run reads its start time right after opening its tables, and the first is
// a FIFO: the run waits there until the names are taken, then tries at most
// 50 names, each a millisecond or so after the last, well inside the window.
NamesTakenRun RunWithNamesTaken(const testsupport::TempDir& dir, const std::string& target, int freeEvery = 1 << 30) {
  dir.Write("2-optableb.txt", TableText(2));
  const std::string fifo = dir.Path() + "/2-optablea.txt";
  EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0) << errno;
  NamesTakenRun r;
  bool fed = false;
  std::thread feeder([&] {
    r.names = TakeResultNames(dir, target, freeEvery);
    fed = testsupport::WriteIntoFifo(fifo, TableText(2), std::chrono::seconds(60));
  });
  r.outcome = testsupport::RunIn(dir, "gencount/gencount", {"2", "2"});
  feeder.join();
  EXPECT_TRUE(fed) << "the run never read its first table";
  return r;
}

// A file that already has the result file's name (the file of another run
// started in the same millisecond) is never emptied or shared: the run takes
// the next start time whose name is free.
TEST_F(GencountRun, ExistingResultFileIsLeftAlone) {
  const std::string junk(1000, 'j');
  dir.Write("junk", junk);
  NamesTakenRun r = RunWithNamesTaken(dir, dir.Path() + "/junk", 10);
  Outcome& o = r.outcome;
  ExpectEndedByItself(o, 0);
  EXPECT_EQ(dir.Read("junk"), junk);
  ASSERT_EQ(o.resultNames.size(), r.names.taken + 1) << "one new file beside the prepared names";
  o.resultNames = {ReportedResultName(o)};
  // It read the clock inside the window, where nine names in ten are taken.
  EXPECT_NE(std::find(r.names.free.begin(), r.names.free.end(), o.resultNames[0]), r.names.free.end())
      << "the run read the clock outside the window: " << o.resultNames[0];
  o.resultText = dir.Read(o.resultNames[0]);
  ExpectFullRun(o, 2, 2, "2-optablea.txt", "2-optableb.txt", "", 1);
}

// A result name that is a folder cannot be created; a link at the name is
// refused the same way and never followed, whatever it points to.
TEST_F(GencountRun, ResultNameTakenByFolderOrLink) {
  std::filesystem::create_directory(dir.Path() + "/folder");
  std::filesystem::create_symlink(dir.Path() + "/folder", dir.Path() + "/link");
  Outcome o = RunWithNamesTaken(dir, dir.Path() + "/link").outcome;
  ExpectEndedByItself(o, 1);  // a fatal stop
  EXPECT_EQ(o.run.out, Banner + FatalConsole("Fatal error. Is there enough room on your drive?"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path() + "/folder"));

  testsupport::TempDir linked;
  linked.Write("victim", "keep");
  std::filesystem::create_symlink(linked.Path() + "/victim", linked.Path() + "/link");
  o = RunWithNamesTaken(linked, linked.Path() + "/link").outcome;
  ExpectEndedByItself(o, 1);
  EXPECT_EQ(o.run.out, Banner + FatalConsole("Fatal error. Is there enough room on your drive?"));
  EXPECT_EQ(linked.Read("victim"), "keep");
}

// Both waits for Enter: the end of a run (with every file already closed, so
// nothing is lost when the process is killed there) and a fatal stop.
TEST_F(GencountRun, WaitsForEnter) {
  testsupport::WriteTables(dir, 2, 2);
  Outcome o = testsupport::RunUntil(dir, "gencount/gencount", {"2", "2"},
                                    [&](const std::string&) { return testsupport::ResultFileComplete(dir); });
  EXPECT_TRUE(testsupport::WaitedForEnter(o));
  ExpectFullRun(o, 2, 2, "2-optablea.txt", "2-optableb.txt", "", 1);
  o = testsupport::RunUntil(dir, "gencount/gencount", {"3"}, [](const std::string& out) {
    return out.find(testsupport::FatalPrompt) != std::string::npos;
  });
  EXPECT_TRUE(testsupport::WaitedForEnter(o));
  EXPECT_EQ(o.run.out, Banner + FatalConsole("At least two parameters are required!"));
}

// Faults found before the result file exists: the console only, no file.
TEST_F(GencountRun, FatalStopsBeforeTheResultFile) {
  const std::string longParameter = "+" + std::string(70, '0') + "3";
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> present;  // table files (named n-..., k from the name) or folders (ending in /)
    std::string message;
  } cases[] = {
      {{}, {}, "At least two parameters are required!"},
      {{"x"}, {}, "At least two parameters are required!"},
      {{"9"}, {}, "At least two parameters are required!"},
      {{"6", "3"}, {}, "1st parameter is illegal or too large!"},
      {{"0", "3"}, {}, "1st parameter is illegal or too large!"},
      {{"-1", "3"}, {}, "1st parameter is illegal or too large!"},
      {{"9", "x"}, {}, "1st parameter is illegal or too large!"},
      {{"3", "7"}, {}, "2nd parameter is illegal or too large!"},
      {{"3", "0"}, {}, "2nd parameter is illegal or too large!"},
      {{"3", "3"}, {}, "3-optablea.txt (1) is missing from this folder"},
      {{"3", "3"}, {"3-optableb.txt"}, "3-optablea.txt (1) is missing from this folder"},
      {{"3", "3"}, {"3-optablea.txt"}, "3-optableb.txt (2) is missing from this folder"},
      {{"3", "3"}, {"3-optablea.txt/", "3-optableb.txt"}, "3-optablea.txt (1) is missing from this folder"},
      {{"3", "3"}, {"3-optablea.txt", "3-optableb.txt/"}, "3-optableb.txt (2) is missing from this folder"},
      {{"05", "1"}, {"5-optablea.txt", "1-optableb.txt"}, "05-optablea.txt (1) is missing from this folder"},
      {{longParameter, "1"}, {}, longParameter.substr(0, 60) + " (1) is missing from this folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    testsupport::TempDir own;
    for (const std::string& name : c.present) {
      if (name.back() == '/') {
        std::filesystem::create_directory(own.Path() + "/" + name);
      } else {
        own.Write(name, TableText(name[0] - '0'));
      }
    }
    const Outcome o = RunIn(own, c.args);
    ExpectEndedByItself(o, 1);  // a fatal stop
    EXPECT_EQ(o.run.out, Banner + FatalConsole(c.message));
    EXPECT_EQ(o.resultNames, std::vector<std::string>{});
  }
}

// The runner's child starts with only 0, 1 and 2 open (ls adds one for the folder),
// which the next test relies on.
TEST_F(GencountRun, ChildStartsWithOnlyStandardStreams) {
  testsupport::RunOptions options;
  options.openFileLimit = 5;
  const auto run = testsupport::RunProgram("/bin/ls", {"/proc/self/fd"}, options);
  EXPECT_EQ(run.out, "0\n1\n2\n3\n");
}

// With room for exactly the two input files, the result file cannot be created.
TEST_F(GencountRun, ResultFileThatCannotBeCreated) {
  testsupport::WriteTables(dir, 2, 2);
  testsupport::RunOptions options;
  options.openFileLimit = 5;
  const Outcome o = Run({"2", "2"}, options);
  ExpectEndedByItself(o, 1);  // a fatal stop
  EXPECT_EQ(o.run.out, Banner + FatalConsole("Fatal error. Is there enough room on your drive?"));
  EXPECT_EQ(o.resultNames, std::vector<std::string>{});
}

// Table faults: reported after the start lines, on the console and in the file.
TEST_F(GencountRun, FatalStopsWhileReadingTables) {
  using Lines = std::vector<std::string>;
  using Edit = std::function<void(Lines&, Lines&)>;
  auto setLine = [](int file, std::size_t index, std::string text) -> Edit {
    return [=](Lines& a, Lines& b) { (file == 1 ? a : b)[index] = text; };
  };
  const std::string tooShort1 = "First input file is too short", tooShort2 = "Second input file is too short";
  const std::string c1 = "Corrupt 1st input file (code xZt4", c2 = "Corrupt 2nd input file (code Zt4";
  const struct {
    std::string label;
    Edit edit;
    std::string message;
  } cases[] = {
      {"3 lines", [](Lines& a, Lines&) { a.pop_back(); }, tooShort1},
      {"empty", [](Lines& a, Lines&) { a.clear(); }, tooShort1},
      {"3 lines b", [](Lines&, Lines& b) { b.pop_back(); }, tooShort2},
      {"ctrl-z", [](Lines& a, Lines&) { a[1] += "\x1a" + a[2]; }, tooShort1},
      {"0&", setLine(1, 0, "0&1=1,1"), c1 + "aq)"},
      {"-0&", setLine(1, 0, "-0&1=1,1"), c1 + "aq)"},
      {"3&", setLine(1, 3, "3&1=1,1"), c1 + "aq)"},
      {"-2147483648&", setLine(1, 3, "-2147483648&1=1,1"), c1 + "aq)"},
      {"&0", setLine(1, 0, "1&0=1,1"), c1 + "bq)"},
      {"&3", setLine(1, 2, "2&3=1,1"), c1 + "bq)"},
      {"=1,0", setLine(1, 0, "1&1=1,0"), c1 + "cq)"},
      {"=3,1", setLine(1, 0, "1&1=3,1"), c1 + "cq)"},
      {"repeat", [](Lines& a, Lines&) { a[1] = a[0]; }, c1 + "dq)"},
      {"not commutative", setLine(1, 1, "1&2=1,1"), c1 + "eq)"},
      {"0& b", setLine(2, 0, "0&1=1,1"), c2 + "aq)"},
      {"&0 b", setLine(2, 0, "1&0=1,1"), c2 + "bq)"},
      {"=1,0 b", setLine(2, 0, "1&1=1,0"), c2 + "cq)"},
      {"repeat b", [](Lines&, Lines& b) { b[3] = b[2]; }, c2 + "dq)"},
      {"not commutative b", setLine(2, 2, "2&1=1,1"), c2 + "eq)"},
      {"both faulty",
       [](Lines& a, Lines& b) {
         a.pop_back();
         b[0] = "0&1=1,1";
       },
       tooShort1},
      {"both corrupt",
       [](Lines& a, Lines& b) {
         a[0] = "1&1=1,9";
         b.pop_back();
       },
       c1 + "cq)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    testsupport::TempDir own;
    Lines a = TableLines(2), b = TableLines(2);
    c.edit(a, b);
    own.Write("2-optablea.txt", JoinLines(a));
    own.Write("2-optableb.txt", JoinLines(b));
    const Outcome o = RunIn(own, {"2", "2"});
    ExpectEndedByItself(o, 1);  // a fatal stop
    const std::string start = StartLines(o, 2, 2, "2-optablea.txt", "2-optableb.txt");
    EXPECT_EQ(o.run.out, Banner + start + FatalConsole(c.message));
    EXPECT_EQ(o.resultText, start + testsupport::FatalResultLines(c.message));
  }
}

// Tables written for another lattice: too few lines, or numbers beyond the size.
TEST_F(GencountRun, TableOfTheWrongLattice) {
  dir.Write("4-optablea.txt", TableText(3));
  dir.Write("1-optableb.txt", TableText(1));
  Outcome o = Run({"4", "1"});
  ExpectEndedByItself(o, 1);  // a fatal stop
  EXPECT_EQ(o.run.out, Banner + StartLines(o, 4, 1, "4-optablea.txt", "1-optableb.txt") +
                           FatalConsole("First input file is too short"));
  testsupport::TempDir other;
  other.Write("1-optablea.txt", TableText(1));
  other.Write("3-optableb.txt", TableText(4));  // canonical order: line 6 is 1&6
  o = RunIn(other, {"1", "3"});
  ExpectEndedByItself(o, 1);  // a fatal stop
  EXPECT_EQ(o.run.out, Banner + StartLines(o, 1, 3, "1-optablea.txt", "3-optableb.txt") +
                           FatalConsole("Corrupt 2nd input file (code Zt4bq)"));
}

// Field forms that convert, line ends, and text beyond the table or the 50th character.
TEST_F(GencountRun, AcceptedLineForms) {
  const std::vector<std::string> good = TableLines(2);  // lines 1&1, 1&2, 2&1, 2&2
  auto spaced = [](const std::string& line, const std::string& pad) {
    std::string out = pad;
    for (char ch : line) out += std::string(1, ch) + (ch == '&' || ch == '=' || ch == ',' ? pad : "");
    return out;
  };
  auto withLine2 = [&](const std::string& text) {
    std::vector<std::string> lines = good;
    lines[2] = text;
    return JoinLines(lines);
  };
  const std::string r = good[2].substr(4);  // "r1,r2" of 2&1
  const struct {
    std::string label, file;
  } cases[] = {
      {"blanks", withLine2(spaced(good[2], " "))},
      {"tabs", withLine2(spaced(good[2], "\t \t"))},
      {"signs and zeros", withLine2("+2&0001=+" + r.substr(0, 1) + ",+00" + r.substr(2))},
      {"exactly 50", withLine2(std::string(43, ' ') + good[2])},
      {"cut after 50", withLine2(std::string(43, ' ') + good[2] + "9 junk, & =")},
      {"lf", JoinLines(good, "\n")},
      {"cr", JoinLines(good, "\r")},
      {"mixed", good[0] + "\r" + good[1] + "\n" + good[2] + "\r\n" + good[3] + "\r"},
      {"no final line end", good[0] + "\n" + good[1] + "\n" + good[2] + "\n" + good[3]},
      {"lines after the table", JoinLines(good) + "garbage\r\n0&0=x\r\n"},
      {"ctrl-z after the table", JoinLines(good) + "\x1a" + "garbage"},
      {"reversed order", JoinLines({good[3], good[2], good[1], good[0]})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    testsupport::TempDir own;
    own.Write("2-optablea.txt", c.file);
    own.Write("2-optableb.txt", c.file);
    const Outcome o = RunIn(own, {"2", "2"});
    ExpectEndedByItself(o, 0);
    ExpectFullRun(o, 2, 2, "2-optablea.txt", "2-optableb.txt", "", 1);
  }
}

// A field that is not an integer ends the run at once: no bell, no wait, no
// fatal lines in the result file.
TEST_F(GencountRun, FieldsThatDoNotConvert) {
  const struct {
    int file;
    std::string line, field;
  } cases[] = {
      {1, "1 &1=1,1", "1 "},
      {1, "1&1 =1,1", "1 "},
      {1, "1&1=1 ,1", "1 "},
      {1, "1&1=1,1 ", "1 "},
      {1, "", ""},
      {1, "1&1=0,x", "x"},
      {1, "1&1=1,1,1", "1,1"},
      {1, "1&1=1;1", ""},
      {1, "2147483648&1=1,1", "2147483648"},
      {1, "-2147483649&1=1,1", "-2147483649"},
      {1, std::string(44, ' ') + "1&1=1,1", ""},
      {2, "1&1=1,x", "x"},
      {2, "1&1=1,0x1", "0x1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    testsupport::TempDir own;
    own.Write("1-optablea.txt", (c.file == 1 ? c.line : "1&1=1,1") + CRLF);
    own.Write("1-optableb.txt", (c.file == 2 ? c.line : "1&1=1,1") + CRLF);
    const Outcome o = RunIn(own, {"1", "1"});
    ExpectEndedByItself(o, 2);
    const std::string start = StartLines(o, 1, 1, "1-optablea.txt", "1-optableb.txt");
    ASSERT_EQ(o.run.out.substr(0, Banner.size() + start.size()), Banner + start);
    const std::string rest = o.run.out.substr(Banner.size() + start.size());
    EXPECT_NE(rest.find("\"" + c.field + "\" is an invalid integer"), std::string::npos) << rest;
    EXPECT_EQ(rest.find('\a'), std::string::npos);
    EXPECT_EQ(rest.find("Press <enter>"), std::string::npos);
    EXPECT_EQ(start.rfind(o.resultText, 0), 0u) << o.resultText;
  }
}

TEST_F(GencountRun, ParametersThatDoNotConvert) {
  const struct {
    std::vector<std::string> args;
    std::string text;
  } cases[] = {
      {{"3", "x"}, "x"},   {{"x", "3"}, "x"},   {{"3", ""}, ""},
      {{"3 ", "3"}, "3 "}, {{"3", "3x"}, "3x"}, {{"2147483648", "3"}, "2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    testsupport::WriteTables(dir, 3, 3);
    const Outcome o = Run(c.args);
    ExpectEndedByItself(o, 2);
    ASSERT_EQ(o.run.out.substr(0, Banner.size()), Banner);
    const std::string rest = o.run.out.substr(Banner.size());
    EXPECT_NE(rest.find("\"" + c.text + "\" is an invalid integer"), std::string::npos) << rest;
    EXPECT_EQ(rest.find('\a'), std::string::npos);
    EXPECT_EQ(o.resultNames, std::vector<std::string>{});
  }
}

TEST_F(GencountRun, ConsoleThatCannotBeWritten) {
  testsupport::WriteTables(dir, 2, 2);
  testsupport::RunOptions options;
  options.stdoutPath = "/dev/full";
  const Outcome o = Run({"2", "2"}, options);
  ExpectEndedByItself(o, 4);
  EXPECT_FALSE(o.run.err.empty());
  EXPECT_EQ(o.resultNames, std::vector<std::string>{});
}

}  // namespace
