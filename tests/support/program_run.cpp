#include "tests/support/program_run.hpp"

#include <utility>

#include "tests/support/console_text.hpp"

namespace testsupport {

Outcome RunIn(const TempDir& dir, const std::string& program, const std::vector<std::string>& args,
              RunOptions options) {
  options.workDir = dir.Path();
  Outcome o{RunProgram(BinaryPath(program), args, options), {}, {}};
  o.resultNames = dir.Names("r-");
  if (o.resultNames.size() == 1) o.resultText = dir.Read(o.resultNames[0]);
  return o;
}

Outcome RunUntil(const TempDir& dir, const std::string& program, const std::vector<std::string>& args,
                 std::function<bool(const std::string& out)> untilOut) {
  RunOptions options;
  options.stdinBytes = "";
  options.keepStdinOpen = true;
  options.stopWhen = std::move(untilOut);
  return RunIn(dir, program, args, options);
}

::testing::AssertionResult EndedByItself(const Outcome& o, int code) {
  if (!o.run.timedOut && !o.run.killedAtStop && o.run.signal == 0 && o.run.exitCode == code) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "expected exit status " << code << "; timed out " << o.run.timedOut
                                       << ", killed at stop " << o.run.killedAtStop << ", signal " << o.run.signal
                                       << ", exit status " << o.run.exitCode << "\n"
                                       << o.run.out << o.run.err;
}

::testing::AssertionResult WaitedForEnter(const Outcome& o) {
  if (o.run.killedAtStop && !o.run.timedOut) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "not waiting: timed out " << o.run.timedOut << ", signal " << o.run.signal
                                       << ", exit status " << o.run.exitCode << "\n"
                                       << o.run.out << o.run.err;
}

std::string ExpectedStartLines(const Outcome& o, int n, int m, const std::string& tag, const std::string& a,
                               const std::string& b) {
  const RunStart start = ExpectedStart(o.run.out, n, m, tag, a, b);
  EXPECT_EQ(o.resultNames, std::vector<std::string>{start.resultName});
  return start.lines;
}

namespace {

bool EndsWithElapsedTime(const std::string& text) {
  const std::string last = " second(s).\r\n";
  return text.size() >= last.size() && text.compare(text.size() - last.size(), last.size(), last) == 0;
}

}  // namespace

bool ResultFileComplete(const TempDir& dir) {
  const std::vector<std::string> names = dir.Names("r-");
  return names.size() == 1 && EndsWithElapsedTime(dir.Read(names[0]));
}

}  // namespace testsupport
