#include "runframe/text_output.hpp"

#include <cerrno>

#include "runframe/abrupt_end.hpp"

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace runframe {
namespace {
bool FlushOnly(std::FILE* f) { return std::fflush(f) == 0; }
}  // namespace

TextOutput::TextOutput(std::FILE* stream, std::string what, bool isConsole)
    : stream_(stream), what_(std::move(what)), isConsole_(isConsole) {}

bool TextOutput::ReadyForShortWrite() const {
#if defined(_WIN32)
  return true;
#else
  if (stream_ == nullptr) return true;
  const int fd = fileno(stream_);
  if (fd < 0) return true;
  // POLLOUT on a pipe means a page is free, room for any write of up to
  // PIPE_BUF bytes; a regular file is always ready.
  pollfd p{fd, POLLOUT, 0};
  const int ready = poll(&p, 1, 0);
  return ready != 0 && (ready < 0 || (p.revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) != 0);
#endif
}

TextOutput::~TextOutput() {
  // Only reached without Close() when the run is already ending abnormally;
  // the stream is released without a further report.
  if (owned_ && stream_ != nullptr) (void)std::fclose(stream_);
}

int TextOutput::CreateNew(const std::string& name) {
  // Exclusive: two runs never share a file, and a link at the name is not
  // followed to overwrite what it points to.
#if defined(_WIN32)
  const int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0666);
#else
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
  if (fd < 0) return errno != 0 ? errno : EIO;
  std::FILE* f = fdopen(fd, "wb");
  if (f == nullptr) {
    const int error = errno != 0 ? errno : ENOMEM;
#if defined(_WIN32)
    (void)_close(fd);
#else
    (void)close(fd);
#endif
    return error;
  }
  stream_ = f;
  owned_ = true;
  return 0;
}

void TextOutput::Put(std::string_view text) {
  if (text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
    throw IoError("write to " + what_, errno, isConsole_);
  }
}

void TextOutput::Flush() {
  errno = 0;
  if (std::fflush(stream_) != 0) throw IoError("write to " + what_, errno, isConsole_);
}

void TextOutput::Write(std::string_view text) {
  Put(text);
  Flush();
}

void TextOutput::Line(std::string_view text) {
  Put(text);
  Put(LineEnd);
  Flush();
}

void TextOutput::Close() {
  if (stream_ == nullptr) return;
  std::FILE* f = stream_;
  stream_ = nullptr;
  errno = 0;
  // A stream we did not open (the console) is only flushed, never closed.
  const bool ok = owned_ ? std::fclose(f) == 0 : FlushOnly(f);
  owned_ = false;
  if (!ok) throw IoError("close of " + what_, errno);
}

void UseBinaryConsole() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

}  // namespace runframe
