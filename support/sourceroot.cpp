#include "support/sourceroot.h"

#include <QStringList>
#include <sys/stat.h>

#include "platform/pathcodec.h"
#include "support/ModeFileInfoVRN.h"

namespace vrn {

QString driveRootOf(const QString& source) {
  if (!source.startsWith('/')) return QString();
  const QStringList parts = source.split('/', Qt::SkipEmptyParts);
  // /media/USER/NAME and /run/media/USER/NAME
  if (parts.size() >= 3 && parts[0] == "media") return "/media/" + parts[1] + "/" + parts[2];
  if (parts.size() >= 4 && parts[0] == "run" && parts[1] == "media") return "/run/media/" + parts[2] + "/" + parts[3];
  if (parts.size() >= 2 && parts[0] == "mnt") return "/mnt/" + parts[1];
  return QStringLiteral("/");
}

QString driveRootText(const QString& source) {
  const QString root = driveRootOf(source);
  return root.isEmpty() ? source.left(3) : root;
}

bool driveRootExists(const QString& source) {
  const QString root = driveRootOf(source);
  if (root.isEmpty()) return false;
  struct stat st;
  return ::stat(encodePath(root).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool entryExists(const QString& path) { return FichierExiste(path); }

}  // namespace vrn
