#include "platform/folderlisting.h"

#include <algorithm>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include "platform/pathcodec.h"

namespace vrn {

QStringList listMatchingFiles(const QString& folder, const QString& patterns) {
  QStringList names;
  DIR* dir = ::opendir(encodePath(folder).constData());
  if (!dir) return names;
  QList<QByteArray> globs;
  for (const QString& p : patterns.split(';', Qt::SkipEmptyParts)) globs << encodePath(p.trimmed());
  const int fd = ::dirfd(dir);
  while (dirent* e = ::readdir(dir)) {
    bool match = globs.isEmpty();
    for (const QByteArray& g : globs)
      if (::fnmatch(g.constData(), e->d_name, FNM_CASEFOLD) == 0) match = true;
    if (!match) continue;
    struct stat st;
    if (::fstatat(fd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    names << decodePath(QByteArray(e->d_name));
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  return names;
}

}  // namespace vrn
