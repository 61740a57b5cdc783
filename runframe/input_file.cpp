#include "runframe/input_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

#include "runframe/abrupt_end.hpp"

namespace runframe {
namespace {
constexpr int CtrlZ = 26;

#if !defined(_WIN32)
// Waits until the FIFO fd has data or its writer has come and gone, at most
// FifoWriterWaitMs; false when no writer came.
bool WaitForWriter(int fd) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(FifoWriterWaitMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}
#endif
}  // namespace

InputFile::~InputFile() {
  // Nothing was written, so a failed close loses nothing.
  if (stream_ != nullptr) (void)std::fclose(stream_);
}

bool InputFile::Open(const std::string& name) {
  failure_.clear();
#if defined(_WIN32)
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) {
    failure_ = std::generic_category().message(errno);
    return false;
  }
  // A directory opens on some systems but cannot be read; treat it as any
  // other input that is not there.
  struct stat info {};
  if (fstat(fileno(f), &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG) {
    failure_ = "not a regular file";
    (void)std::fclose(f);
    return false;
  }
#else
  // Opened without waiting: a FIFO would otherwise wait here for a writer.
  const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    failure_ = std::generic_category().message(errno);
    return false;
  }
  struct stat info {};
  const bool known = fstat(fd, &info) == 0;
  const auto type = info.st_mode & S_IFMT;
  if (!known || (type != S_IFREG && type != S_IFIFO)) {
    failure_ = !known            ? std::generic_category().message(errno)
               : type == S_IFDIR ? std::generic_category().message(EISDIR)
                                 : "not a regular file";
    (void)close(fd);
    return false;
  }
  if (type == S_IFIFO && !WaitForWriter(fd)) {
    failure_ = "a FIFO that no program wrote to within " + std::to_string(FifoWriterWaitMs / 1000) + " seconds";
    (void)close(fd);
    return false;
  }
  const int flags = fcntl(fd, F_GETFL);
  std::FILE* f = flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? nullptr : fdopen(fd, "rb");
  if (f == nullptr) {
    failure_ = std::generic_category().message(errno);
    (void)close(fd);
    return false;
  }
#endif
  stream_ = f;
  return true;
}

int InputFile::Next() {
  const int c = std::getc(stream_);
  if (c == EOF && std::ferror(stream_)) throw IoError("read of " + what_, errno);
  return c;
}

int InputFile::Peek() {
  const int c = Next();
  if (c != EOF) (void)std::ungetc(c, stream_);
  return c;
}

bool InputFile::AtEnd() {
  const int c = Peek();
  return c == EOF || c == CtrlZ;
}

void InputFile::ReadLine(std::string& line, std::size_t maxKept) {
  line.clear();
  for (;;) {
    const int c = Next();
    if (c == EOF || c == '\n') return;
    if (c == CtrlZ) {
      // Leave the mark in place so that the file stays at its end.
      (void)std::ungetc(c, stream_);
      return;
    }
    if (c == '\r') {
      if (Peek() == '\n') Next();
      return;
    }
    if (line.size() < maxKept) line.push_back(static_cast<char>(c));
  }
}

void InputFile::Close() {
  if (stream_ == nullptr) return;
  std::FILE* f = stream_;
  stream_ = nullptr;
  errno = 0;
  if (std::fclose(f) != 0) throw IoError("close of " + what_, errno);
}

}  // namespace runframe
