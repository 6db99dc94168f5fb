#pragma once
// The immutable flag of a file, for tests of files that cannot be written,
// moved or deleted even by root. Header-only: every test program may use it.
#include <QString>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/pathcodec.h"

namespace vrn::testing {

// Sets or clears the flag; false when the file system refuses it.
inline bool setImmutable(const QString& path, bool on) {
  const int fd = ::open(encodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

// Makes a file immutable for its own lifetime; made() tells whether it could.
class ImmutableFile {
 public:
  explicit ImmutableFile(const QString& path) : path_(path), made_(setImmutable(path, true)) {}
  ~ImmutableFile() {
    if (made_) setImmutable(path_, false);
  }
  ImmutableFile(const ImmutableFile&) = delete;
  ImmutableFile& operator=(const ImmutableFile&) = delete;
  bool made() const { return made_; }

 private:
  QString path_;
  bool made_;
};

}  // namespace vrn::testing
