#pragma once
// A table file opened for reading, read line by line in bounded memory.
#include <cstdio>
#include <string>

namespace runframe {

class InputFile {
 public:
  explicit InputFile(std::string what) : what_(std::move(what)) {}
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens an existing regular file; false when it cannot be opened or read,
  // which includes a name that is a directory, a device (/dev/zero would be
  // read for ever) or a socket.  A FIFO is taken once a program writes to it,
  // within FifoWriterWaitMs; without a writer it is refused, so that the run
  // never waits for ever.  FailureReason then says why.
  bool Open(const std::string& name);
  // Why the last Open failed, e.g. "No such file or directory".
  const std::string& FailureReason() const { return failure_; }
  bool IsOpen() const { return stream_ != nullptr; }
  // Takes over an already open stream (tests and fuzzers read from memory).
  void Attach(std::FILE* stream) { stream_ = stream; }

  // True at the end of the file, and also when the next character is a
  // Ctrl-Z, the old end-of-file mark of DOS text files.
  bool AtEnd();

  // Reads the next line (ended by LF, CR LF, a lone CR, the end of the file or
  // a Ctrl-Z), keeps at most its first maxKept characters in line and skips the
  // rest.  A read error throws IoError.
  void ReadLine(std::string& line, std::size_t maxKept);

  void Close();

 private:
  int Next();
  int Peek();

  std::FILE* stream_ = nullptr;
  std::string what_;
  std::string failure_;
};

// How long a FIFO named as a table may wait for its writer.
inline constexpr int FifoWriterWaitMs = 5000;

}  // namespace runframe
