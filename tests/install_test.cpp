// cmake --install into a scratch prefix: the four programs and their manual
// pages land there, and the installed programs run on their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_program.hpp"

namespace {

namespace fs = std::filesystem;

const char* const Programs[] = {"gencount", "gensample", "genexact", "optables"};

std::string BuildDir() { return testsupport::BinaryPath(""); }

TEST(Install, ProgramsAndManualPagesRunFromThePrefix) {
  testsupport::TempDir prefix;
  const testsupport::ProgramResult install =
      testsupport::RunProgram(CMAKE_COMMAND, {"--install", BuildDir(), "--prefix", prefix.Path()});
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  for (const char* program : Programs) {
    EXPECT_TRUE(fs::is_regular_file(prefix.Path() + "/bin/" + program)) << program;
    EXPECT_TRUE(fs::is_regular_file(prefix.Path() + "/share/man/man1/" + program + ".1.gz")) << program;
  }

  // The installed table maker and gencount 3 3 in a folder of their own;
  // standard input is closed, so the final wait ends at once.
  testsupport::TempDir work;
  testsupport::RunOptions options;
  options.workDir = work.Path();
  const auto tables = testsupport::RunProgram(prefix.Path() + "/bin/optables", {"3"}, options);
  ASSERT_EQ(tables.exitCode, 0) << tables.err;
  EXPECT_EQ(work.Names(), (std::vector<std::string>{"3-optablea.txt", "3-optableb.txt"}));
  const auto count = testsupport::RunProgram(prefix.Path() + "/bin/gencount", {"3", "3"}, options);
  EXPECT_EQ(count.exitCode, 0) << count.out << count.err;
  EXPECT_NE(count.out.find("\r\nPart(3)*Part(3) has exactly 72   4-element generating sets\r\n"), std::string::npos)
      << count.out;
  EXPECT_EQ(work.Names("r-").size(), 1u);

  const auto version = testsupport::RunProgram(prefix.Path() + "/bin/genexact", {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("genexact ") + GENCOUNT_VERSION + "\n");
}

// Each page is well-formed roff: groff reads it with every warning on and
// has nothing to say.
TEST(Install, ManualPagesAreCleanRoff) {
  const std::string groff = "/usr/bin/groff";
  if (!fs::exists(groff)) GTEST_SKIP() << "groff is not installed (Debian package groff-base)";
  for (const char* program : Programs) {
    const std::string page = std::string(GENCOUNT_SOURCE_DIR) + "/man/" + program + ".1";
    const auto r = testsupport::RunProgram(groff, {"-man", "-Tutf8", "-ww", "-z", page});
    EXPECT_EQ(r.exitCode, 0) << program;
    EXPECT_EQ(r.err, "") << program;
  }
}

}  // namespace
