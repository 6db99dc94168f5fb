#include "platform/instancelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vrn {

InstanceLock::~InstanceLock() { release(); }

void InstanceLock::release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

InstanceLock::Result InstanceLock::take(const QByteArray& path) {
  release();
  const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.constData(), flags, 0644);
  // A symbolic link in its place is removed (never followed) and the file made anew.
  if (fd < 0 && errno == ELOOP && ::unlink(path.constData()) == 0) fd = ::open(path.constData(), flags, 0644);
  // On a read-only disk (or a file the user may not write) a lock file that
  // is there still takes the lock: flock needs no write access.
  if (fd < 0 && (errno == EROFS || errno == EACCES || errno == EPERM))
    fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Result::CannotCreate;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Result::CannotCreate;
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Result::HeldByAnother : Result::CannotCreate;
  }
  fd_ = fd;
  return Result::Taken;
}

}  // namespace vrn
