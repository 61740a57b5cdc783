// genexact on a pseudo-terminal: the progress line is rewritten in place and
// never runs into the terminal's last column, so no rewrite wraps and leaves
// a copy behind, also when ", stopping" is added after Ctrl+C, and the end of
// the run takes it off the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/wait.h>

#include "tests/support/pty_session.hpp"
#include "tests/support/run_program.hpp"

namespace {

const std::string CRLF = "\r\n";

TEST(GenexactPty, ProgressLineFitsTheTerminal) {
  for (const unsigned short columns : {80, 60, 40}) {
    SCOPED_TRACE(std::to_string(columns) + " columns");
    testsupport::TempDir dir;
    testsupport::WriteTables(dir, 6, 6);
    // On one thread Equ(6)*Equ(6) takes about ten seconds: time for rewrites
    // and for the interruption.
    testsupport::PtySession t(dir, testsupport::BinaryPath("genexact/genexact"), {"6", "6", "--threads", "1"},
                              {{}, columns, 24});
    // Reading the tables and planning take a while under the sanitizers.
    ASSERT_TRUE(t.WaitFor(" thread(s)" + CRLF, 60000)) << t.Output();
    const std::size_t progressStart = t.Output().find(" thread(s)" + CRLF) + 10 + CRLF.size();
    ASSERT_TRUE(t.WaitFor("\r  units ")) << t.Output();
    ASSERT_TRUE(t.WaitFor("\r  units ")) << "a rewrite: " << t.Output();
    t.Send("\x03");  // Ctrl+C: the workers finish their units and stop
    ASSERT_TRUE(t.WaitFor("Hit <enter> to quit!", 120000)) << t.Output();
    ASSERT_NE(t.Output().find("Interrupted after "), std::string::npos) << t.Output();
    ASSERT_TRUE(t.WaitFor(" second(s)." + CRLF)) << t.Output();
    t.Send("\r");
    const std::optional<int> status = t.WaitExit();
    EXPECT_TRUE(status && WIFEXITED(*status)) << t.Output();

    const std::string& out = t.Output();
    const std::size_t progressEnd = out.find(CRLF + "Interrupted after ", progressStart);
    ASSERT_NE(progressEnd, std::string::npos) << out;
    std::string progress = out.substr(progressStart, progressEnd - progressStart);
    // The terminal itself echoes Ctrl+C as ^C where the cursor stands.
    const std::size_t echo = progress.find("^C");
    ASSERT_NE(echo, std::string::npos) << progress;
    progress.erase(echo, 2);
    ASSERT_EQ(progress.front(), '\r') << progress;
    std::vector<std::string> rewrites;
    for (std::size_t at = 0; at != std::string::npos;) {
      const std::size_t next = progress.find('\r', at + 1);
      rewrites.push_back(progress.substr(at + 1, next == std::string::npos ? next : next - at - 1));
      at = next;
    }
    // The run's end takes the last line off the screen: blanks over it, and
    // the cursor back at the start of the empty line.
    ASSERT_GE(rewrites.size(), 5u) << "two lines, the stopping one, the erase: " << progress;
    EXPECT_EQ(rewrites.back(), "");
    rewrites.pop_back();
    const std::string erase = rewrites.back();
    rewrites.pop_back();
    EXPECT_EQ(erase, std::string(columns - 1u, ' ')) << "the whole width, with the echoed ^C after the line";
    for (const std::string& line : rewrites) {
      EXPECT_LE(line.size(), columns - 1u) << "[" << line << "]";
      EXPECT_EQ(line.find('\n'), std::string::npos) << line;
      EXPECT_EQ(line.rfind("  units ", 0), 0u) << line;
    }
    // Every line genexact writes fits an 80-column terminal, banner and
    // report included (what stays visible of a line is its last rewrite).
    if (columns == 80) {
      for (std::size_t at = 0, end; (end = out.find(CRLF, at)) != std::string::npos; at = end + CRLF.size()) {
        std::string line = out.substr(at, end - at);
        line = line.substr(line.rfind('\r') == std::string::npos ? 0 : line.rfind('\r') + 1);
        EXPECT_LE(line.size(), 79u) << "[" << line << "]";
      }
    }
    const std::string last = rewrites.back().substr(0, rewrites.back().find_last_not_of(' ') + 1);
    EXPECT_GE(last.size(), 10u);
    EXPECT_EQ(last.substr(last.size() - 10), ", stopping") << "the status survives the cut: " << last;
  }
}

}  // namespace
