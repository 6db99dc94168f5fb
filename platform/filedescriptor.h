#pragma once
// An open file descriptor owned by one object: closed when it goes.
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

}  // namespace vrn
