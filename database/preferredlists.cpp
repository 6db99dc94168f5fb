#include "database/preferredlists.h"

#include <QHash>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "database/dbwriter.h"
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

// The database writer's test hook, for the steps of a save.
bool attempt(WriteStep step, const std::function<bool()>& call) {
  const WriteStepHook& hook = databaseWriteHook();
  if (const int e = hook ? hook(step) : 0) {
    errno = e;
    return false;
  }
  return call();
}

bool writeAll(int fd, const QByteArray& bytes) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, size_t(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    left -= n;
  }
  return true;
}

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
  const int db = ::open(encodePath(databaseFolder()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (db < 0) return std::nullopt;
  ::unlinkat(db, kSaving, 0);  // what a save cut short left
  int fd = -1;
  if (!attempt(WriteStep::OpenFile, [&] {
        fd = ::openat(db, kSaving, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        return fd >= 0;
      })) {
    const int error = errno;
    ::close(db);
    if (error == EACCES || error == EPERM || error == EROFS) return appendToStoredFile(records);
    return std::nullopt;
  }
  const QByteArray bytes = records.join();
  bool ok = attempt(WriteStep::WriteData, [&] { return writeAll(fd, bytes); }) &&
            attempt(WriteStep::SyncFile, [&] { return ::fdatasync(fd) == 0; });
  ok = ::close(fd) == 0 && ok;
  ok = ok && attempt(WriteStep::MoveNew, [&] { return ::renameat(db, kSaving, db, "mesp.par") == 0; });
  if (ok) attempt(WriteStep::SyncFolder, [&] { return ::fsync(db) == 0; });
  else ::unlinkat(db, kSaving, 0);
  ::close(db);
  if (!ok) return std::nullopt;
  return qint64(records.size());
}

}  // namespace vrn
