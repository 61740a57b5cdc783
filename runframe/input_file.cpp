#include "runframe/input_file.hpp"

#include <sys/stat.h>
#include <cerrno>

#include "runframe/abrupt_end.hpp"

namespace runframe {
namespace {
constexpr int CtrlZ = 26;
}

InputFile::~InputFile() {
  // Nothing was written, so a failed close loses nothing.
  if (stream_ != nullptr) (void)std::fclose(stream_);
}

bool InputFile::Open(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return false;
  // A directory opens on POSIX but cannot be read; treat it as any other
  // input that is not there.
  struct stat info {};
  if (fstat(fileno(f), &info) != 0 || (info.st_mode & S_IFMT) == S_IFDIR) {
    (void)std::fclose(f);
    return false;
  }
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
