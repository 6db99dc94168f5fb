#include "database/preferredlists.h"

#include <unistd.h>

#include "database/dbfolder.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"

namespace vrn {

namespace {
const QString kMesPar = QStringLiteral("mesp.par");
}

std::optional<PreferredRecords> readPreferredRecords() {
  RecordFile& file = fileChannel(kPreferredChannel);
  file.close();
  if (!file.open(databaseFile(kMesPar), kEnregMesPar, true)) return std::nullopt;
  PreferredRecords out;
  out.length = file.length();
  const qint64 count = file.recordCount();
  for (qint64 n = 1; n <= count; ++n) out.names << decodePath(trimBlanks(file.read(n)));
  file.close();
  return out;
}

bool samePreferredName(const QString& listName, const QString& stored) {
  return listName.toLower() == stored.toLower();
}

std::optional<qint64> writePreferredLists(const QStringList& names) {
  RecordFile& file = fileChannel(kPreferredChannel);
  file.close();
  const QByteArray path = encodePath(databaseFile(kMesPar));
  ::unlink(path.constData());
  if (!file.open(path, kEnregMesPar, true)) return std::nullopt;
  qint64 n = file.recordCount();
  bool ok = true;
  for (const QString& name : names) {
    // A name longer than a record would come back cut, naming another list
    // or none: it is never saved.
    const QByteArray bytes = encodePath(name);
    if (bytes.size() > kEnregMesPar) continue;
    ++n;
    ok = file.write(n, bytes) && ok;
  }
  ok = file.flush() && ok;
  file.close();
  if (!ok) return std::nullopt;
  return n;
}

}  // namespace vrn
