#pragma once
// Files that hold saved work: replaced as a whole, never written in place or
// through a link someone planted, and held by one writer at a time.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace runframe {

// Writes bytes to a fresh file `path`.tmp in the same folder (a leftover or a
// planted link there is removed first, never followed), flushes it to the
// disk and renames it over path, so a crash leaves the old or the new content,
// never a cut one, and the old file is never deleted first.  Returns 0, or
// the errno value of the step that failed (the old file is then unchanged).
int ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// The same replacement for content written piece by piece, so that a file of
// hundreds of MB (the tables of Equ(8)) never stands whole in memory: Open
// makes the fresh `path`.tmp, Write appends, Commit flushes it to the disk and
// renames it over path.  Each returns 0 or the errno value of the step that
// failed; after a failure the temporary file is removed and the old file is
// unchanged, and later calls return the same value.  A writer dropped
// without Commit removes its temporary file.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  int Open(const std::string& path);
  int Write(std::string_view bytes);
  int Commit();

 private:
  void Abandon(int error);

  std::string path_;
  std::string temporary_;
  int error_ = 0;
#if !defined(_WIN32)
  int fd_ = -1;
#else
  std::FILE* file_ = nullptr;
#endif
};

// The bytes free to an unprivileged writer on the file system of folder
// (empty: the current folder), or the errno-style value of the failure.
int AvailableBytes(const std::string& folder, std::uintmax_t& bytes);

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
  // As Acquire, but waits while another process holds it, for writers that
  // may all go on, one after the other; the lock file is removed again when
  // the lock is given up, so that it leaves nothing behind.
  int AcquireWaiting(const std::string& path);

 private:
  void Release();  // gives up the lock held, if any
  int fd_ = -1;
  std::string removeOnRelease_;  // the lock file, for a lock taken waiting
};

// Reads a regular file of at most maxBytes whose lines (ended by LF) hold at
// most maxLine bytes into bytes, in bounded time and memory: a FIFO, a device
// or a directory is not waited on or read, and reading stops at the first
// line that is too long.
enum class SmallFileRead { Read, Missing, NotRegular, TooLarge, LineTooLong, Failed };
SmallFileRead ReadSmallRegularFile(const std::string& path, std::size_t maxBytes, std::size_t maxLine,
                                   std::string& bytes, int& errnoValue);

}  // namespace runframe
