#pragma once
// One program per folder: an exclusive advisory lock on a file, held while
// the object lives. The system releases it when the process ends, however it
// ends, so a crashed run leaves nothing to take over. The path is bytes, so
// any folder name works.
#include <QByteArray>

namespace vrn {

class InstanceLock {
 public:
  enum class Result { Taken, HeldByAnother, CannotCreate };
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Creates the file when missing (never through a symbolic link) and locks
  // it; an existing file that cannot be opened for writing is locked read-only.
  Result take(const QByteArray& path);
  void release();

 private:
  int fd_ = -1;
};

}  // namespace vrn
