#include "database/dbwriter.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "platform/folderlisting.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"

namespace vrn {

namespace {

// Deletes the files of folder whose names match "*.vrn*" (any case, as the
// listing did where the lists come from). True when any entry matched,
// folders included.
bool deleteListFiles(const QByteArray& folder, const EventsHook& letEventsRun) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return false;
  std::vector<QByteArray> names;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (::fnmatch("*.vrn*", e->d_name, FNM_CASEFOLD) == 0) names.emplace_back(e->d_name);
  }
  const int fd = ::dirfd(dir);
  for (const QByteArray& name : names) {
    ::unlinkat(fd, name.constData(), 0);  // folders stay
    if (letEventsRun) letEventsRun();
  }
  ::closedir(dir);
  return !names.empty();
}

void waitFor(const WaitHook& wait, double seconds) {
  if (wait) wait(seconds);
}

}  // namespace

void writeListFiles(const QString& dbFolder, const QString& source, const std::vector<QByteArray>& extensions,
                    const std::vector<QByteArray>& paths, qint64 count, const WaitHook& wait,
                    const EventsHook& letEventsRun) {
  const QByteArray folder = encodePath(dbFolder);
  if (deleteListFiles(folder, letEventsRun)) waitFor(wait, 2);

  RecordFile& derRep = Canal(kCanalDerRep);
  derRep.close();
  if (derRep.open(folder + "/der.rep", kEnregDerRep)) derRep.write(1, encodePath(source));
  derRep.close();

  // Slots past either array are not there to write.
  count = std::min<qint64>(count, qint64(std::min(extensions.size(), paths.size())) - 1);
  RecordFile& list = Canal(kCanalListe);
  qint64 record = 0;
  for (qint64 i = 1; i <= count; ++i) {
    const QByteArray& ext = extensions[size_t(i)];
    if (i == 1 || extensions[size_t(i - 1)] != ext) {
      record = 0;
      list.close();
      // A run whose extension holds "/" would land in another folder's or
      // list's file: it is never written.
      if (!ext.contains('/')) list.open(folder + '/' + ext + ".vrn", kRecFichier);
    }
    ++record;
    if (list.isOpen()) list.write(record, paths[size_t(i)]);
    if ((i & 0x3FF) == 0 && letEventsRun) letEventsRun();
  }
  list.close();
  waitFor(wait, 2);
}

void deleteBareList(const QString& dbFolder, const WaitHook& wait) {
  const QByteArray bare = encodePath(dbFolder) + "/.vrn";
  struct stat st;
  if (::lstat(bare.constData(), &st) != 0) return;
  ::unlink(bare.constData());
  waitFor(wait, 1);
}

QStringList catalogueFiles(const QString& dbFolder) { return listMatchingFiles(dbFolder, QStringLiteral("*.vrn")); }

QStringList listNames(const QStringList& files) {
  QStringList names;
  for (const QString& file : files) {
    const QString name = file.left(std::max<qsizetype>(0, file.size() - 4));
    if (!name.isEmpty()) names << name;
  }
  return names;
}

qint64 countDatabaseRecords(const QString& dbFolder, const QStringList& files) {
  qint64 total = 0;
  RecordFile& list = Canal(kCanalListe);
  for (const QString& file : files) {
    list.close();
    // A file gone since the listing adds nothing and is not made again.
    if (list.open(dbFolder + '/' + file, kRecFichier, false)) total += list.recordCount();
  }
  list.close();
  return total;
}

}  // namespace vrn
