#pragma once
// Helpers for end-to-end tests: run a built program in a folder with chosen
// standard input, capture its output, and prepare table files.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "optables/equ_tables.hpp"

namespace testsupport {

// Whether this test was built with AddressSanitizer (which cannot run under
// an address-space limit and makes processes slow to start).
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool UnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool UnderAddressSanitizer = true;
#else
inline constexpr bool UnderAddressSanitizer = false;
#endif
#else
inline constexpr bool UnderAddressSanitizer = false;
#endif

struct RunOptions {
  std::string workDir;                    // empty: the test's own folder
  std::optional<std::string> stdinBytes;  // written to a pipe; nullopt: /dev/null
  bool keepStdinOpen = false;             // leave the pipe open, so a wait for Enter blocks
  std::string stdoutPath;                 // non-empty: standard output goes to this file
  int openFileLimit = 0;                  // > 0: RLIMIT_NOFILE of the child
  std::chrono::milliseconds timeout{60000};
  // Set: standard output is a pipe of one page whose reader takes this many
  // bytes and then goes away (0: before the child writes anything).  The child
  // gets SIGPIPE at its default action, as a shell would leave it.
  std::optional<std::size_t> stdoutReadLimit;
  std::uint64_t addressSpaceLimit = 0;  // > 0: RLIMIT_AS of the child, in bytes
  std::uint64_t fileSizeLimit = 0;      // > 0: RLIMIT_FSIZE of the child, in bytes
  std::uint64_t stackLimit = 0;         // > 0: RLIMIT_STACK of the child (also the default thread stack)
  // Set: asked about the output so far whenever more comes, and every few
  // milliseconds (it may look at files too).  Once it holds, the child has
  // `settle` more to end by itself; then it is killed.  A run that waits for
  // Enter is seen waiting without sitting out a timeout.
  std::function<bool(const std::string& out)> stopWhen;
  std::chrono::milliseconds settle{100};
};

struct ProgramResult {
  int exitCode = -1;  // valid when signal == 0
  int signal = 0;     // the signal that ended the child, 0 if it exited
  bool timedOut = false;
  bool killedAtStop = false;  // stopWhen held, and the child was still running `settle` later
  std::string out;
  std::string err;
  long maxRssKb = 0;  // peak resident memory of the child, counted from the fork
};

// Runs exe with args (argv[0] is exe).  The child starts with only the standard
// streams open; it is killed when the timeout passes.
ProgramResult RunProgram(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options = {});

// Opens the FIFO at path for writing, without blocking, once a reader has
// opened it (a program blocks in its open until then); -1 when none has by
// the deadline.
int OpenFifoWriter(const std::string& path, std::chrono::steady_clock::time_point deadline);
// Writes bytes (fewer than a pipe holds) into the FIFO at path once a reader
// has opened it, and closes it; false when no reader came within wait.  A
// reader that goes without reading is no failure here.
bool WriteIntoFifo(const std::string& path, const std::string& bytes, std::chrono::milliseconds wait);

// $GENCOUNT_BIN_DIR/relative; fails the test when the variable is missing.
std::string BinaryPath(const std::string& relative);

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  // Names of the entries whose name starts with prefix, sorted.
  std::vector<std::string> Names(const std::string& prefix = "") const;

 private:
  std::string path_;
};

// How a table file is written: numbering seed (nullopt: canonical numbering),
// line order seed (nullopt: canonical order), operation order, line end.
struct TableStyle {
  std::optional<std::uint64_t> numberingSeed;
  std::optional<std::uint64_t> lineSeed;
  bool meetFirst = false;
  optables::LineEnd lineEnd = optables::LineEnd::CrLf;
};

// The text of the join/meet table file of Equ(k).
std::string TableText(int k, const TableStyle& style = {});
// The same lines without their line ends, for tests that edit single lines.
std::vector<std::string> TableLines(int k, const TableStyle& style = {});
// Each line followed by eol.
std::string JoinLines(const std::vector<std::string>& lines, const std::string& eol = "\r\n");
// Writes n-optablea.txt and m-optableb.txt into dir.
void WriteTables(const TempDir& dir, int n, int m, const TableStyle& a = {}, const TableStyle& b = {});

}  // namespace testsupport
