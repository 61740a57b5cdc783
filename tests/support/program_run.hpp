#pragma once
// A built program run in a test folder, with what it leaves there: exit,
// console and result file, for the end-to-end tests.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/run_program.hpp"

namespace testsupport {

struct Outcome {
  ProgramResult run;
  std::vector<std::string> resultNames;  // the r-* entries of the folder after the run, sorted
  std::string resultText;                // the only one's text, when there is exactly one
};

// Runs $GENCOUNT_BIN_DIR/program (e.g. "gencount/gencount") in dir.
Outcome RunIn(const TempDir& dir, const std::string& program, const std::vector<std::string>& args,
              RunOptions options = {});

// Runs it with a standard input that stays open and empty until untilOut holds
// for the console so far; a program that then waits for Enter is still
// running `settle` later (Outcome::run.killedAtStop).
Outcome RunUntil(const TempDir& dir, const std::string& program, const std::vector<std::string>& args,
                 std::function<bool(const std::string& out)> untilOut);

// Ended by itself (no timeout, no signal) with this exit status.
::testing::AssertionResult EndedByItself(const Outcome& o, int code);
inline void ExpectEndedByItself(const Outcome& o, int code) { EXPECT_TRUE(EndedByItself(o, code)); }

// Still running once all was out: waiting for Enter, killed by the runner.
::testing::AssertionResult WaitedForEnter(const Outcome& o);

// The start lines as console and result file show them (see ExpectedStart);
// the folder's only result file must be the one named after the start stamp.
std::string ExpectedStartLines(const Outcome& o, int n, int m, const std::string& tag, const std::string& a = "",
                               const std::string& b = "");

// The folder's only result file ends with the elapsed time: a whole run's
// report is in it, and on the console before it.
bool ResultFileComplete(const TempDir& dir);

}  // namespace testsupport
