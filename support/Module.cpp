#include "support/Module.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/pathcodec.h"

namespace vrn {

bool EstUnDossier(const QString& chemin) {
  const QByteArray path = encodePath(chemin);
  struct stat st;
  return !path.isEmpty() && stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vrn
