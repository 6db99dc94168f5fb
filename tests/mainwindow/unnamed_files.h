#pragma once
// The files this process holds open in a folder without a name (made to be
// linked in once complete), as the copy writes them where the file system
// allows.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFileInfo>
#include <vector>

#include "platform/pathcodec.h"

namespace vrn::testing {

struct UnnamedFile {
  QByteArray descriptor;  // its entry under /proc/self/fd, which opens it
  struct stat st;
};

// The kernel shows such a file as "<folder>/#<inode> (deleted)".
inline bool isUnnamedFilePath(const QByteArray& path) {
  const qsizetype hash = path.lastIndexOf("/#");
  return hash >= 0 && path.endsWith(" (deleted)") && path.indexOf('/', hash + 1) < 0;
}

inline std::vector<UnnamedFile> unnamedFilesIn(const QString& folder) {
  std::vector<UnnamedFile> found;
  const QByteArray prefix = encodePath(QFileInfo(folder).canonicalFilePath()) + "/#";
  DIR* fds = ::opendir("/proc/self/fd");
  if (!fds) return found;
  while (const dirent* entry = ::readdir(fds)) {
    const QByteArray descriptor = QByteArray("/proc/self/fd/") + entry->d_name;
    char target[4096];
    const ssize_t n = ::readlink(descriptor.constData(), target, sizeof target);
    const QByteArray path(target, n > 0 ? n : 0);
    struct stat st;
    if (path.startsWith(prefix) && isUnnamedFilePath(path) && ::stat(descriptor.constData(), &st) == 0)
      found.push_back({descriptor, st});
  }
  ::closedir(fds);
  return found;
}

// Whether the file system of `folder` lets a file be made there without a name.
inline bool unnamedFilesAllowed(const QString& folder) {
  const int fd = ::open(encodePath(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace vrn::testing
