#include "platform/services.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/pathcodec.h"

namespace vrn {

namespace {
QString& appFolderOverride() {
  static QString folder;
  return folder;
}
}  // namespace

Services& services() {
  static Services s;
  return s;
}

QString appFolder() {
  if (!appFolderOverride().isEmpty()) return appFolderOverride();
  return folderOfExecutable(executableLink());
}

QByteArray& executableLink() {
  static QByteArray link = QByteArrayLiteral("/proc/self/exe");
  return link;
}

QString folderOfExecutable(const QByteArray& link) {
  QByteArray target(PATH_MAX + 1, Qt::Uninitialized);
  for (;;) {
    const ssize_t n = ::readlink(link.constData(), target.data(), size_t(target.size()));
    if (n < 0) return QString();
    if (n < target.size()) {
      target.truncate(n);
      break;
    }
    target.resize(target.size() * 2);  // possibly cut: read again with more room
  }
  if (!target.startsWith('/')) return QString();
  // The kernel marks an executable removed since it started (replaced by an
  // update, say) with this suffix; the folder itself is still the one wanted.
  struct stat running, named;
  if (::stat(link.constData(), &running) != 0) return QString();
  const bool same =
      ::stat(target.constData(), &named) == 0 && named.st_dev == running.st_dev && named.st_ino == running.st_ino;
  static const QByteArray deleted = QByteArrayLiteral(" (deleted)");
  if (!same) {
    if (!target.endsWith(deleted)) return QString();
    target.chop(deleted.size());
  }
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder = slash == 0 ? QByteArrayLiteral("/") : target.left(slash);
  struct stat st;
  if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return QString();
  return decodePath(folder);
}

void setAppFolderForTests(const QString& folder) { appFolderOverride() = folder; }

}  // namespace vrn
