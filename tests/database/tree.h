#pragma once
// Builds test trees from raw byte names and removes them, however deep.
#include <QByteArray>
#include <QList>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <cstring>
#include <string>

namespace vrn::testing {

inline void makeFolder(const QByteArray& path) { ::mkdir(path.constData(), 0755); }

inline void makeFile(const QByteArray& path, const QByteArray& bytes = {}) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (!bytes.isEmpty() && ::write(fd, bytes.constData(), size_t(bytes.size())) < 0) {
  }
  ::close(fd);
}

// Removes everything below (and including) name in dirfd, one level at a time
// through descriptors, so paths longer than the system allows go too.
inline void removeTreeAt(int dirfd, const char* name) {
  struct stat st;
  if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    ::unlinkat(dirfd, name, 0);
    return;
  }
  ::fchmodat(dirfd, name, 0755, 0);
  const int fd = ::openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd >= 0) {
    DIR* dir = ::fdopendir(fd);
    QList<QByteArray> names;
    while (dirent* e = ::readdir(dir))
      if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names << QByteArray(e->d_name);
    for (const QByteArray& n : names) removeTreeAt(::dirfd(dir), n.constData());
    ::closedir(dir);
  }
  ::unlinkat(dirfd, name, AT_REMOVEDIR);
}

inline void removeTree(const QByteArray& path) { removeTreeAt(AT_FDCWD, path.constData()); }

// A fresh temporary folder, removed with everything in it.
class TempTree {
 public:
  TempTree() {
    char tmpl[] = "/tmp/varnelo-walk-XXXXXX";
    if (::mkdtemp(tmpl)) path_ = tmpl;
  }
  ~TempTree() {
    if (!path_.isEmpty()) removeTree(path_);
  }
  const QByteArray& path() const { return path_; }
  QByteArray operator/(const QByteArray& rel) const { return path_ + '/' + rel; }

 private:
  QByteArray path_;
};

}  // namespace vrn::testing
