#pragma once
// Files that hold saved work: replaced as a whole, never written in place or
// through a link someone planted, and held by one writer at a time.
#include <string>
#include <string_view>

namespace runframe {

// Writes bytes to a fresh file `path`.tmp in the same folder (a leftover or a
// planted link there is removed first, never followed), flushes it to the
// disk and renames it over path, so a crash leaves the old or the new content,
// never a cut one, and the old file is never deleted first.  Returns 0, or
// the errno value of the step that failed (the old file is then unchanged).
int ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// An advisory lock on `path`.lock, held while the object lives; the kernel
// drops it when the holder dies, so a crash never leaves a stale lock.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // 0 when the lock is now held; EWOULDBLOCK when another process holds it;
  // another errno value when the lock file cannot be opened.
  int Acquire(const std::string& path);

 private:
  int fd_ = -1;
};

// Reads a regular file of at most maxBytes whose lines (ended by LF) hold at
// most maxLine bytes into bytes, in bounded time and memory: a FIFO, a device
// or a directory is not waited on or read, and reading stops at the first
// line that is too long.
enum class SmallFileRead { Read, Missing, NotRegular, TooLarge, LineTooLong, Failed };
SmallFileRead ReadSmallRegularFile(const std::string& path, std::size_t maxBytes, std::size_t maxLine,
                                   std::string& bytes, int& errnoValue);

}  // namespace runframe
