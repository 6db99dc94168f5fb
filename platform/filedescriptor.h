#pragma once
// An open file descriptor owned by one object: closed when it goes. And
// whole reads and writes at an offset, resuming short ones.
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vrn {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  // Closes the one held (keeping errno: the error being reported outlives
  // the close) and holds `fd` instead.
  void reset(int fd = -1) {
    const int saved = errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    errno = saved;
  }
  // Gives the descriptor up without closing it.
  int release() { return std::exchange(fd_, -1); }
  // Closes and tells whether the close succeeded (a delayed write error can
  // show only here).
  bool close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

// Writes all `size` bytes at `offset`; false with errno set (ENOSPC for a
// write that takes nothing).
inline bool writeFully(int fd, const char* data, long long size, long long offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= n;
    offset += n;
  }
  return true;
}

// Reads `size` bytes at `offset`: how many it read, fewer at the end of the
// file or on an error (errno then set).
inline long long readFully(int fd, char* data, long long size, long long offset) {
  long long got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd, data + got, size_t(size - got), off_t(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += n;
  }
  return got;
}

}  // namespace vrn
