#pragma once
// A small file system of a test's own (a tmpfs) over one of its folders, to
// fill it up or make it read-only; unmounted when it goes.
#include <sys/mount.h>

#include <QByteArray>
#include <cerrno>

namespace vrn::testing {

class SmallFileSystem {
 public:
  // `size` as tmpfs takes it ("64k"); `flags` such as MS_RDONLY.
  SmallFileSystem(const QByteArray& folder, const char* size, unsigned long flags = 0) : folder_(folder) {
    const QByteArray options = "size=" + QByteArray(size);
    mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", flags, options.constData()) == 0;
    error_ = mounted_ ? 0 : errno;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.constData(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool mounted() const { return mounted_; }
  int error() const { return error_; }  // why it could not be mounted

 private:
  QByteArray folder_;
  bool mounted_ = false;
  int error_ = 0;
};

}  // namespace vrn::testing
