#include "database/preferredlists.h"

#include <QHash>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "platform/filedescriptor.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"

namespace vrn {

namespace {
const QString kMesPar = QStringLiteral("mesp.par");
// The new records before they take mesp.par's name: hidden, matching neither
// "*.vrn*" nor any name a reader or the database writer looks for.
constexpr const char* kSaving = ".mesp.par.saving";
constexpr qint64 kRecordsPerRead = (qint64(1) << 16) / kEnregMesPar;

// What a list name and a stored name are compared by: lower case.
QString matchKey(const QString& name) { return name.toLower(); }

// The road of a folder that takes no new file: the records follow those in
// mesp.par, as when the file cannot be deleted before a save.
std::optional<qint64> appendToStoredFile(const QList<QByteArray>& records) {
  RecordFile& file = fileChannel(kPreferredChannel);
  file.close();
  if (!file.open(databaseFile(kMesPar), kEnregMesPar, true)) return std::nullopt;
  qint64 n = file.recordCount();
  bool ok = true;
  for (const QByteArray& record : records) ok = file.write(++n, record) && ok;
  ok = file.flush() && ok;
  file.close();
  if (!ok) return std::nullopt;
  return n;
}
}  // namespace

std::optional<PreferredRecords> readPreferredRecords(const QStringList& listNames) {
  RecordFile& file = fileChannel(kPreferredChannel);
  file.close();
  if (!file.open(databaseFile(kMesPar), kEnregMesPar, true)) return std::nullopt;
  PreferredRecords out;
  out.length = file.length();
  out.count = file.recordCount();
  out.stored.assign(size_t(listNames.size()), false);
  // The names still looked for, lower-cased, each with its places.
  QHash<QString, QList<qsizetype>> wanted;
  for (qsizetype i = 0; i < listNames.size(); ++i) wanted[matchKey(listNames[i])] << i;
  QByteArray chunk;
  for (qint64 next = 1; next <= out.count && !wanted.isEmpty();) {
    // Straight to the record holding the next byte of data.
    const qint64 first = std::max(next, file.nextDataAt((next - 1) * kEnregMesPar) / kEnregMesPar + 1);
    if (first > out.count) break;
    const qint64 records = std::min(kRecordsPerRead, out.count - first + 1);
    chunk.resize(records * kEnregMesPar);
    file.readRecords(first, records, chunk.data());
    for (qint64 r = 0; r < records && !wanted.isEmpty(); ++r) {
      const QByteArray record = QByteArray::fromRawData(chunk.constData() + r * kEnregMesPar, kEnregMesPar);
      // A zero byte (a hole, a short write) is in no list name.
      if (record.contains('\0')) continue;
      const QByteArray text = trimBlanks(record);
      if (text.isEmpty()) continue;
      const auto it = wanted.constFind(matchKey(decodePath(text)));
      if (it == wanted.constEnd()) continue;
      for (const qsizetype i : *it) out.stored[size_t(i)] = true;
      wanted.erase(it);
    }
    next = first + records;
  }
  file.close();
  return out;
}

bool samePreferredName(const QString& listName, const QString& stored) {
  return matchKey(listName) == matchKey(stored);
}

std::optional<qint64> writePreferredLists(const QStringList& names) {
  fileChannel(kPreferredChannel).close();
  QList<QByteArray> records;
  for (const QString& name : names) {
    // A name longer than a record would come back cut, naming another list
    // or none: it is never saved.
    const QByteArray bytes = encodePath(name);
    if (bytes.size() <= kEnregMesPar) records << bytes.leftJustified(kEnregMesPar, ' ');
  }
  const FileDescriptor db(::open(encodePath(databaseFolder()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (db.get() < 0) return std::nullopt;
  if (!replaceDatabaseFile(db.get(), kSaving, "mesp.par", records.join())) {
    // A folder that takes no new file: the records follow those in the file.
    if (errno == EACCES || errno == EPERM || errno == EROFS) return appendToStoredFile(records);
    return std::nullopt;
  }
  return qint64(records.size());
}

}  // namespace vrn
