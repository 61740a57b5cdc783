// --help, -h and --version of all four programs: the text on standard output,
// status 0, nothing on standard error, no file touched, no wait, no line wider
// than an 80-column terminal takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/run_program.hpp"

namespace {

struct Asked {
  const char* program;  // path under the build folder
  std::vector<std::string> args;
  const char* expectedStart;  // what standard output begins with
};

testsupport::ProgramResult RunAsked(const testsupport::TempDir& dir, const Asked& asked) {
  testsupport::RunOptions options;
  options.workDir = dir.Path();
  // A wait for Enter would block on this open pipe until the timeout.
  options.stdinBytes = "";
  options.keepStdinOpen = true;
  options.timeout = std::chrono::milliseconds(20000);
  return testsupport::RunProgram(testsupport::BinaryPath(asked.program), asked.args, options);
}

TEST(HelpAndVersion, AnswerOnStandardOutputWithStatusZero) {
  const std::string genexactVersion = std::string("genexact ") + GENCOUNT_VERSION + "\n";
  const std::string optablesVersion = std::string("optables ") + GENCOUNT_VERSION + "\n";
  const std::string gencountVersion = std::string("gencount ") + GENCOUNT_VERSION + "\n";
  const std::string gensampleVersion = std::string("gensample ") + GENCOUNT_VERSION + "\n";
  const Asked cases[] = {
      {"gencount/gencount", {"--help"}, "usage: gencount n m\n"},
      {"gencount/gencount", {"--help", "3"}, "usage: gencount n m\n"},
      {"gencount/gencount", {"3", "3", "-h"}, "usage: gencount n m\n"},
      {"gencount/gencount", {"--version"}, gencountVersion.c_str()},
      {"gensample/gensample", {"-h"}, "usage: gensample n m [tests [dotInterval]]\n"},
      {"gensample/gensample", {"2", "2", "100", "--help"}, "usage: gensample n m [tests [dotInterval]]\n"},
      {"gensample/gensample", {"--version"}, gensampleVersion.c_str()},
      {"genexact/genexact", {"--help"}, "usage: genexact n m [options]\n"},
      {"genexact/genexact", {"-h"}, "usage: genexact n m [options]\n"},
      {"genexact/genexact", {"3", "3", "--help"}, "usage: genexact n m [options]\n"},
      {"genexact/genexact", {"3", "3", "--threads", "2", "-h"}, "usage: genexact n m [options]\n"},
      {"genexact/genexact", {"--version", "--help"}, "usage: genexact n m [options]\n"},
      {"genexact/genexact", {"--version"}, genexactVersion.c_str()},
      {"genexact/genexact", {"3", "3", "--version"}, genexactVersion.c_str()},
      {"optables/optables", {"--help"}, "usage: optables [--seed S]"},
      {"optables/optables", {"-h"}, "usage: optables [--seed S]"},
      {"optables/optables", {"-h", "3"}, "usage: optables [--seed S]"},
      {"optables/optables", {"--version"}, optablesVersion.c_str()},
  };
  for (const Asked& asked : cases) {
    std::string label = asked.program;
    for (const std::string& a : asked.args) label += " " + a;
    SCOPED_TRACE(label);
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, 3, 3);
    const testsupport::ProgramResult r = RunAsked(dir, asked);
    ASSERT_FALSE(r.timedOut) << "must not wait for Enter";
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(asked.expectedStart, 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "plain lines, as other tools' help";
    for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
      EXPECT_LE(end - at, 79u) << r.out.substr(at, end - at);
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"3-optablea.txt", "3-optableb.txt"})) << "no file written";
  }
}

TEST(HelpAndVersion, UsageNamesEveryOption) {
  testsupport::TempDir dir;
  const auto genexact = RunAsked(dir, {"genexact/genexact", {"--help"}, ""});
  for (const char* option : {"--threads", "--checkpoint", "--save-every", "--shard", "--merge", "--sizes",
                             "--stop-after", "--sample", "--help", "--version"}) {
    EXPECT_NE(genexact.out.find(option), std::string::npos) << option;
  }
  const auto optables = RunAsked(dir, {"optables/optables", {"--help"}, ""});
  for (const char* option :
       {"--seed", "--shuffle-lines", "--meet-first", "--line-end", "--only", "--dir", "-h, --help", "--version"}) {
    EXPECT_NE(optables.out.find(option), std::string::npos) << option;
  }
}

// Only these words answer at once; another unknown option is still the run's fatal stop.
TEST(HelpAndVersion, OtherOptionsStillRunTheProgram) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 2);
  testsupport::RunOptions options;
  options.workDir = dir.Path();
  const auto r = testsupport::RunProgram(testsupport::BinaryPath("genexact/genexact"), {"2", "2", "--helpme"}, options);
  EXPECT_NE(r.out.find("\r\nUnknown option --helpme\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.exitCode, 1);
  // Options are checked before any file is created.
  EXPECT_EQ(dir.Names("r-").size(), 0u);
}

}  // namespace
