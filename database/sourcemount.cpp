#include "database/sourcemount.h"

#include <QDir>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "platform/pathcodec.h"
#include "support/sourceroot.h"
#include "platform/filedescriptor.h"

namespace vrn {

namespace {

constexpr char kMountRootWord[] = "mount-root";
constexpr char kFolderWord[] = "folder";
constexpr char kTemporaryName[] = ".varnelo-source-mount.new";
// A record is one word, a line break and a path: anything larger is not ours.
constexpr qsizetype kLargestRecord = 8192;

// Reads a whole small file; nothing when it cannot be read or is too large.
std::optional<QByteArray> readSmallFile(int fd, qsizetype largest) {
  QByteArray bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) return bytes;
    bytes.append(buffer, n);
    if (bytes.size() > largest) return std::nullopt;
  }
}

// A mount point as mountinfo writes it: blanks, tabs, line breaks and
// backslashes as three octal digits after a backslash.
QByteArray unescapeMountPoint(const QByteArray& field) {
  QByteArray out;
  out.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const QByteArray digits = field.mid(i + 1, 3);
      bool octal = true;
      int value = 0;
      for (const char c : digits) {
        octal = octal && c >= '0' && c <= '7';
        value = value * 8 + (c - '0');
      }
      if (octal) {
        out.append(char(value));
        i += 3;
        continue;
      }
    }
    out.append(field[i]);
  }
  return out;
}

struct SourceRecord {
  bool mountRoot = false;
  QByteArray source;
};

std::optional<SourceRecord> readSourceRecord() {
  const QByteArray path = encodePath(databaseFile(QString::fromLatin1(kSourceMountFile)));
  const FileDescriptor fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  const std::optional<QByteArray> bytes = readSmallFile(fd.get(), kLargestRecord);
  if (!bytes) return std::nullopt;
  const qsizetype eol = bytes->indexOf('\n');
  if (eol < 0) return std::nullopt;
  const QByteArray word = bytes->left(eol);
  if (word != kMountRootWord && word != kFolderWord) return std::nullopt;
  return SourceRecord{word == kMountRootWord, bytes->mid(eol + 1)};
}

// Folders compared as the same place however they are written ("/mnt/usb/"
// and "/mnt/usb").
QString placeOf(const QString& folder) { return QDir::cleanPath(folder); }

}  // namespace

std::optional<bool> isMountRoot(const QString& folder) {
  char* resolved = ::realpath(encodePath(folder).constData(), nullptr);
  if (!resolved) return std::nullopt;
  const QByteArray place(resolved);
  std::free(resolved);

  const FileDescriptor fd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  const std::optional<QByteArray> table = readSmallFile(fd.get(), qsizetype(1) << 26);
  if (!table || table->isEmpty()) return std::nullopt;
  // Each line: mount id, parent id, device, root, mount point, ...
  for (const QByteArray& line : table->split('\n')) {
    qsizetype from = 0;
    for (int field = 0; field < 4 && from >= 0; ++field) {
      from = line.indexOf(' ', from);
      if (from >= 0) ++from;
    }
    if (from < 0) continue;
    const qsizetype to = line.indexOf(' ', from);
    if (unescapeMountPoint(line.mid(from, to < 0 ? -1 : to - from)) == place) return true;
  }
  return false;
}

bool rememberSourceMount(const QString& databaseFolder, const QString& source, bool mountRoot) {
  const FileDescriptor db(
      ::open(encodePath(databaseFolder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (db.get() < 0) return false;
  const QByteArray record = QByteArray(mountRoot ? kMountRootWord : kFolderWord) + '\n' + encodePath(source);
  if (replaceDatabaseFile(db.get(), kTemporaryName, kSourceMountFile, record)) return true;
  // A record of an earlier source must not be read as this one's.
  ::unlinkat(db.get(), kSourceMountFile, 0);
  return false;
}

bool sourceUnmounted(const QString& folder) {
  const std::optional<SourceRecord> record = readSourceRecord();
  if (!record || !record->mountRoot) return false;
  const QString place = placeOf(folder);
  if (placeOf(decodePath(record->source)) != place) return false;
  // The record belongs to the database whose source der.rep names.
  const std::optional<QString> stored = readStoredSource(false);
  if (!stored || placeOf(*stored) != place) return false;
  const std::optional<bool> root = isMountRoot(folder);
  return root.has_value() && !*root;
}

bool sourceFolderMissing(const QString& source) { return !entryExists(source) || sourceUnmounted(source); }

}  // namespace vrn
