#include "database/dbfolder.h"

#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "database/sourcemount.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/services.h"

namespace vrn {

QString databaseFolder() { return appFolder() + QStringLiteral("/BDVRN"); }

QString databaseFile(const QString& fileName) { return databaseFolder() + QLatin1Char('/') + fileName; }

QString trimBlanks(const QString& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && s[b] == QLatin1Char(' ')) ++b;
  while (e > b && s[e - 1] == QLatin1Char(' ')) --e;
  return s.mid(b, e - b);
}

QByteArray trimBlanks(const QByteArray& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.mid(b, e - b);
}

QString listFilePath(const QString& name) {
  const QString wanted = name + QStringLiteral(".vrn");
  QString exact = databaseFile(wanted);
  struct stat st;
  if (::lstat(encodePath(exact).constData(), &st) == 0) return exact;
  DIR* dir = ::opendir(encodePath(databaseFolder()).constData());
  if (!dir) return exact;
  QString found;
  while (dirent* e = ::readdir(dir)) {
    const QString entry = decodePath(QByteArray(e->d_name));
    if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
      found = entry;
      break;
    }
  }
  ::closedir(dir);
  return found.isEmpty() ? exact : databaseFile(found);
}

QByteArrayView recordText(const QByteArray& record) { return recordText(QByteArrayView(record)); }

QByteArrayView recordText(QByteArrayView record) {
  const char* p = record.data();
  const void* zero = record.isEmpty() ? nullptr : std::memchr(p, 0, size_t(record.size()));
  qsizetype e = zero ? static_cast<const char*>(zero) - p : record.size();
  // Records are mostly padding: skip trailing blanks eight at a time.
  constexpr std::uint64_t kBlanks = 0x2020202020202020ull;
  while (e >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p + e - 8, 8);
    if (word != kBlanks) break;
    e -= 8;
  }
  while (e > 0 && p[e - 1] == ' ') --e;
  qsizetype b = 0;
  while (b < e && p[b] == ' ') ++b;
  return QByteArrayView(p + b, e - b);
}

bool scannableFolder(const QString& folder) {
  if (!folder.startsWith(QLatin1Char('/')) || trimBlanks(folder) != folder) return false;
  const QByteArray path = encodePath(folder);
  if (path.size() > kEnregDerRep) return false;
  const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return !sourceUnmounted(folder);
}

std::optional<QString> readStoredSource(bool create) {
  RecordFile& derRep = fileChannel(kSourceChannel);
  derRep.close();
  if (!derRep.open(databaseFile(QStringLiteral("der.rep")), kEnregDerRep, create)) return std::nullopt;
  const QByteArray record = derRep.read(1);
  derRep.close();
  const QByteArrayView text = recordText(record);
  return decodePath(text.data(), text.size());
}

}  // namespace vrn
