#include "support/general.h"

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace vrn {

QString NomUtilisateur() {
  const uid_t uid = geteuid();
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
    return QString::fromLocal8Bit(found->pw_name);
  // No account entry (a container with a bare uid): the environment's word.
  for (const char* name : {"LOGNAME", "USER"}) {
    QString value = qEnvironmentVariable(name);
    if (!value.isEmpty()) return value;
  }
  return QString::number(uid);
}

}  // namespace vrn
