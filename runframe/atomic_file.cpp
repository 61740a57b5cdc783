#include "runframe/atomic_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

#if !defined(_WIN32)
#include <sys/file.h>
#include <unistd.h>
#else
#include <io.h>
#include <windows.h>
#endif

namespace runframe {
namespace {

#if !defined(_WIN32)
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
#endif

}  // namespace

#if !defined(_WIN32)

int AtomicFileWriter::Open(const std::string& path) {
  path_ = path;
  temporary_ = path + ".tmp";
  // Whatever is there (a leftover of a crash, a planted link) is removed, not
  // written through; removing a link leaves its target alone.
  if (unlink(temporary_.c_str()) != 0 && errno != ENOENT) {
    error_ = errno;
    return error_;
  }
  fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) error_ = errno;
  return error_;
}

int AtomicFileWriter::Write(std::string_view bytes) {
  if (error_ == 0 && fd_ < 0) error_ = EBADF;
  if (error_ != 0) return error_;
  if (const int error = WriteAll(fd_, bytes); error != 0) Abandon(error);
  return error_;
}

int AtomicFileWriter::Commit() {
  if (error_ == 0 && fd_ < 0) error_ = EBADF;
  if (error_ != 0) return error_;
  int error = fsync(fd_) != 0 ? errno : 0;
  if (close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && rename(temporary_.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) {
    Abandon(error);
    return error_;
  }
  // The rename itself reaches the disk with its folder; a failure here leaves
  // the new file in place, so it is not reported.
  const int folder = open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    (void)fsync(folder);
    (void)close(folder);
  }
  // Done: a later call writes nothing.
  error_ = EBADF;
  temporary_.clear();
  return 0;
}

void AtomicFileWriter::Abandon(int error) {
  error_ = error;
  if (fd_ >= 0) (void)close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) (void)unlink(temporary_.c_str());
  temporary_.clear();
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) Abandon(ECANCELED);
}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileWriter writer;
  if (const int error = writer.Open(path); error != 0) return error;
  if (const int error = writer.Write(bytes); error != 0) return error;
  return writer.Commit();
}

namespace {

// The lock file `name`, opened (made if missing) without following a link:
// 0 and fd set, or the errno-style failure (EINVAL: not a regular file).
int OpenLockFile(const std::string& name, int& fd, struct stat& info) {
  fd = open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    (void)close(fd);
    fd = -1;
    return EINVAL;
  }
  return 0;
}

}  // namespace

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
  // A lock file that is removed goes first, while still held: a process
  // that opened it before sees, once it holds it, that the name has moved on.
  if (fd_ >= 0 && !removeOnRelease_.empty()) (void)unlink(removeOnRelease_.c_str());
  if (fd_ >= 0) (void)close(fd_);
  fd_ = -1;
  removeOnRelease_.clear();
}

int FileLock::Acquire(const std::string& path) {
  int fd = -1;
  struct stat info {};
  if (const int error = OpenLockFile(path + ".lock", fd, info); error != 0) return error;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    (void)close(fd);
    return error == EAGAIN ? EWOULDBLOCK : error;
  }
  Release();
  fd_ = fd;
  return 0;
}

int FileLock::AcquireWaiting(const std::string& path) {
  const std::string name = path + ".lock";
  for (;;) {
    int fd = -1;
    struct stat held {};
    if (const int error = OpenLockFile(name, fd, held); error != 0) return error;
    int taken = 0;
    do {
      taken = flock(fd, LOCK_EX);
    } while (taken != 0 && errno == EINTR);
    if (taken != 0) {
      const int error = errno;
      (void)close(fd);
      return error;
    }
    // Held, but perhaps on a file its last holder has removed meanwhile: then
    // the name is another file's (or none), and the turn is taken again.
    struct stat named {};
    if (stat(name.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
      Release();
      fd_ = fd;
      removeOnRelease_ = name;
      return 0;
    }
    (void)close(fd);
  }
}

SmallFileRead ReadSmallRegularFile(const std::string& path, std::size_t maxBytes, std::size_t maxLine,
                                   std::string& bytes, int& errnoValue) {
  bytes.clear();
  errnoValue = 0;
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    errnoValue = errno;
    return errnoValue == ENOENT ? SmallFileRead::Missing : SmallFileRead::Failed;
  }
  struct stat info {};
  SmallFileRead outcome = SmallFileRead::Read;
  if (fstat(fd, &info) != 0) {
    errnoValue = errno;
    outcome = SmallFileRead::Failed;
  } else if (!S_ISREG(info.st_mode)) {
    outcome = SmallFileRead::NotRegular;
  } else if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    outcome = SmallFileRead::TooLarge;
  }
  std::size_t lineLength = 0;
  char buffer[65536];
  while (outcome == SmallFileRead::Read) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      errnoValue = errno;
      outcome = SmallFileRead::Failed;
      break;
    }
    if (got == 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      lineLength = buffer[i] == '\n' ? 0 : lineLength + 1;
      if (lineLength > maxLine) outcome = SmallFileRead::LineTooLong;
    }
    // A file that grows while it is read is cut off at the limit.
    if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) outcome = SmallFileRead::TooLarge;
    if (outcome == SmallFileRead::Read) bytes.append(buffer, static_cast<std::size_t>(got));
  }
  (void)close(fd);
  if (outcome != SmallFileRead::Read) bytes.clear();
  return outcome;
}

#else  // Windows: no links to plant in the way, no advisory locks, no FIFOs.

int AtomicFileWriter::Open(const std::string& path) {
  path_ = path;
  temporary_ = path + ".tmp";
  file_ = std::fopen(temporary_.c_str(), "wb");
  if (file_ == nullptr) error_ = errno != 0 ? errno : EIO;
  return error_;
}

int AtomicFileWriter::Write(std::string_view bytes) {
  if (error_ == 0 && file_ == nullptr) error_ = EBADF;
  if (error_ != 0) return error_;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) Abandon(EIO);
  return error_;
}

int AtomicFileWriter::Commit() {
  if (error_ == 0 && file_ == nullptr) error_ = EBADF;
  if (error_ != 0) return error_;
  const bool flushed = std::fflush(file_) == 0 && _commit(_fileno(file_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed ||
      MoveFileExA(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    Abandon(EIO);
    return error_;
  }
  error_ = EBADF;
  temporary_.clear();
  return 0;
}

void AtomicFileWriter::Abandon(int error) {
  error_ = error;
  if (file_ != nullptr) (void)std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) (void)std::remove(temporary_.c_str());
  temporary_.clear();
}

AtomicFileWriter::~AtomicFileWriter() {
  if (file_ != nullptr) Abandon(ECANCELED);
}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileWriter writer;
  if (const int error = writer.Open(path); error != 0) return error;
  if (const int error = writer.Write(bytes); error != 0) return error;
  return writer.Commit();
}

FileLock::~FileLock() = default;

void FileLock::Release() {}

int FileLock::Acquire(const std::string&) { return 0; }

int FileLock::AcquireWaiting(const std::string&) { return 0; }

SmallFileRead ReadSmallRegularFile(const std::string& path, std::size_t maxBytes, std::size_t maxLine,
                                   std::string& bytes, int& errnoValue) {
  bytes.clear();
  errnoValue = 0;
  struct _stat64 info {};
  if (_stat64(path.c_str(), &info) != 0) {
    errnoValue = errno;
    return errnoValue == ENOENT ? SmallFileRead::Missing : SmallFileRead::Failed;
  }
  if ((info.st_mode & _S_IFMT) != _S_IFREG) return SmallFileRead::NotRegular;
  if (static_cast<std::uint64_t>(info.st_size) > maxBytes) return SmallFileRead::TooLarge;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    errnoValue = errno;
    return SmallFileRead::Failed;
  }
  std::size_t lineLength = 0;
  SmallFileRead outcome = SmallFileRead::Read;
  for (int c; outcome == SmallFileRead::Read && (c = std::getc(f)) != EOF;) {
    lineLength = c == '\n' ? 0 : lineLength + 1;
    if (lineLength > maxLine) outcome = SmallFileRead::LineTooLong;
    if (bytes.size() >= maxBytes) outcome = SmallFileRead::TooLarge;
    bytes.push_back(static_cast<char>(c));
  }
  if (outcome == SmallFileRead::Read && std::ferror(f)) outcome = SmallFileRead::Failed;
  (void)std::fclose(f);
  if (outcome != SmallFileRead::Read) bytes.clear();
  return outcome;
}

#endif

int AvailableBytes(const std::string& folder, std::uintmax_t& bytes) {
  std::error_code error;
  const std::filesystem::space_info space = std::filesystem::space(folder.empty() ? "." : folder, error);
  if (error) return error.value() != 0 ? error.value() : EIO;
  bytes = space.available;
  return 0;
}

}  // namespace runframe
