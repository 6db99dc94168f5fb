#include "database/dbwriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "platform/eventpump.h"
#include "platform/folderlisting.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/filedescriptor.h"

namespace vrn {

namespace {

// The writer's working folders inside the database folder, by kind. None
// matches "*.vrn*" and none is a file, so no reader, catalogue or delete
// pattern ever picks them up. A folder is the writer's own only while its
// marker, a hidden file beside it (".new-database.working" for
// "new-database"), holds the marker text: the marker is made before the
// folder and deleted after it, so no folder of the writer's is ever without
// one. An entry at one of these names without it (a file or folder of the
// user's) is never touched, and the writer takes the next free name
// ("new-database-2"...) instead.
enum class Kind { Staging, Complete, Previous, Discarded, Rejected };
constexpr std::array<const char*, 5> kKindNames = {
    "new-database",           // being written
    "new-database-complete",  // committed
    "previous-database",      // old files set aside, not yet committed
    "discarded-database",     // old files of a committed write
    "rejected-database",      // a committed write that did not arrive whole
};
constexpr int kMaxNameNumber = 99;
constexpr const char* kMarkerSuffix = ".working";
constexpr const char* kMarkerText = "Varnelo database writer: working folder\n";
// In a staged database: each new file with the size it must have in place.
constexpr const char* kManifest = ".varnelo-manifest";
constexpr const char* kManifestHead = "Varnelo staged database\n";
constexpr const char* kDerRep = "der.rep";
// Passes at putting the database right before this session gives up and
// leaves it to the next start.
constexpr int kSettleRounds = 3;
constexpr qsizetype kBufferBytes = qsizetype(1) << 20;
constexpr int kEventsEvery = 0x400;  // records
// Lists of this many records or more are written on helper threads.
constexpr qint64 kParallelFrom = 1 << 16;

int openFolderAt(int dirfd, const char* name) {
  return ::openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool exists(int dirfd, const char* name) {
  struct stat st;
  return ::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool isFolder(int dirfd, const char* name) {
  struct stat st;
  return ::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Entries of an open folder (not "." or ".."), with whether each is a folder.
struct Entry {
  QByteArray name;
  bool folder;
};
std::vector<Entry> entriesOf(int dirfd) {
  std::vector<Entry> out;
  const int fd = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return out;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return out;
  }
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    const bool folder = e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && isFolder(dirfd, e->d_name));
    out.push_back({QByteArray(e->d_name), folder});
  }
  ::closedir(dir);
  return out;
}

bool isListPattern(const char* name) { return ::fnmatch("*.vrn*", name, FNM_CASEFOLD) == 0; }

bool syncFolder(int fd) {
  return attemptWriteStep(WriteStep::SyncFolder, [&] { return ::fsync(fd) == 0; });
}

// A rename that never replaces what stands at the new name; on a file
// system without the flag (FUSE), the name is tested first.
bool renameNoReplace(int dirfd, const char* from, const char* to) {
  if (::renameat2(dirfd, from, dirfd, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (exists(dirfd, to)) {
    errno = EEXIST;
    return false;
  }
  return ::renameat(dirfd, from, dirfd, to) == 0;
}

// The name of a working folder of that kind: its base name, or the base
// name and "-2" to "-99".
bool isKindName(const QByteArray& name, Kind kind) {
  const QByteArrayView base(kKindNames[size_t(kind)]);
  if (name == base) return true;
  if (!name.startsWith(base) || name.size() < base.size() + 2 || name.size() > base.size() + 3 ||
      name[base.size()] != '-' || name[base.size() + 1] == '0')
    return false;
  const QByteArrayView number = QByteArrayView(name).sliced(base.size() + 1);
  return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QByteArray markerOf(const QByteArray& folder) { return '.' + folder + kMarkerSuffix; }

// The writer's own marker: a regular file holding the marker text (or
// nothing yet, when a crash came before its text reached the disk).
bool isOwnMarker(int db, const QByteArray& marker) {
  FileDescriptor fd(::openat(db, marker.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  const qsizetype length = qsizetype(std::strlen(kMarkerText));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > length) return false;
  if (st.st_size == 0) return true;
  QByteArray text(length, '\0');
  return readFully(fd.get(), text.data(), length, 0) == length && text == kMarkerText;
}

// A folder of the writer's own: a real folder beside its marker.
bool isOwnFolder(int db, const QByteArray& name) {
  return isFolder(db, name.constData()) && isOwnMarker(db, markerOf(name));
}

std::vector<QByteArray> ownFolders(int db, Kind kind) {
  std::vector<QByteArray> out;
  for (const Entry& e : entriesOf(db))
    if (e.folder && isKindName(e.name, kind) && isOwnFolder(db, e.name)) out.push_back(e.name);
  return out;
}

// The first name of that kind at which nothing stands, nor at its marker's
// name (in any letter case, where the disk ignores it); empty with errno
// set when all are taken.
QByteArray freeName(int db, Kind kind) {
  for (int n = 1; n <= kMaxNameNumber; ++n) {
    QByteArray name(kKindNames[size_t(kind)]);
    if (n > 1) name += '-' + QByteArray::number(n);
    if (!exists(db, name.constData()) && !exists(db, markerOf(name).constData())) return name;
  }
  errno = EEXIST;
  return {};
}

bool makeMarker(int db, const QByteArray& folder) {
  FileDescriptor marker(
      ::openat(db, markerOf(folder).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (marker.get() < 0) return false;
  if (writeFully(marker.get(), kMarkerText, qsizetype(std::strlen(kMarkerText)), 0) && marker.close()) return true;
  const int error = errno;
  ::unlinkat(db, markerOf(folder).constData(), 0);
  errno = error;
  return false;
}

// Makes a working folder of that kind, its marker first.
bool makeOwnFolder(int db, Kind kind, QByteArray* name) {
  *name = freeName(db, kind);
  if (name->isEmpty() || !makeMarker(db, *name)) return false;
  if (attemptWriteStep(WriteStep::MakeFolder, [&] { return ::mkdirat(db, name->constData(), 0700) == 0; })) return true;
  const int error = errno;
  ::unlinkat(db, markerOf(*name).constData(), 0);
  errno = error;
  return false;
}

// Renames a working folder of the writer's own to the first free name of
// another kind: the new marker first, the old one last. The new name, or
// empty with errno set.
QByteArray renameOwnFolder(int db, const QByteArray& from, Kind kind, WriteStep step) {
  QByteArray to = freeName(db, kind);
  if (to.isEmpty() || !makeMarker(db, to)) return {};
  if (!attemptWriteStep(step, [&] { return renameNoReplace(db, from.constData(), to.constData()); })) {
    const int error = errno;
    ::unlinkat(db, markerOf(to).constData(), 0);
    errno = error;
    return {};
  }
  ::unlinkat(db, markerOf(from).constData(), 0);  // one left behind is removed by the next recovery
  return to;
}

// Deletes a working folder of the writer's own: with everything, all its
// files; otherwise only when nothing but its manifest is left. The marker
// goes last. Offers a turn after each file. True when the folder is gone.
bool removeOwnFolder(int db, const QByteArray& name, bool everything, EventPump* events = nullptr) {
  if (!exists(db, name.constData())) return true;
  FileDescriptor fd(openFolderAt(db, name.constData()));
  if (fd.get() < 0) return false;
  const std::vector<Entry> entries = entriesOf(fd.get());
  for (const Entry& e : entries)
    if (e.folder || (!everything && e.name != kManifest)) return false;
  for (const Entry& e : entries) {
    if (!attemptWriteStep(WriteStep::Discard, [&] { return ::unlinkat(fd.get(), e.name.constData(), 0) == 0; }) &&
        errno != ENOENT)
      return false;
    if (events) events->offer();
  }
  fd.reset();
  if (!attemptWriteStep(WriteStep::Discard, [&] { return ::unlinkat(db, name.constData(), AT_REMOVEDIR) == 0; }) &&
      errno != ENOENT)
    return false;
  ::unlinkat(db, markerOf(name).constData(), 0);  // one left behind is removed by the next recovery
  return true;
}

// Markers of the writer's own whose folder is gone (a crash between the
// two, or a rename): deleted.
void removeOrphanMarkers(int db) {
  for (const Entry& e : entriesOf(db)) {
    const QByteArray& m = e.name;
    if (e.folder || !m.startsWith('.') || !m.endsWith(kMarkerSuffix)) continue;
    const QByteArray folder = m.sliced(1, m.size() - 1 - qsizetype(std::strlen(kMarkerSuffix)));
    bool named = false;
    for (size_t k = 0; k < kKindNames.size(); ++k) named = named || isKindName(folder, Kind(k));
    if (named && !isFolder(db, folder.constData()) && isOwnMarker(db, m)) ::unlinkat(db, m.constData(), 0);
  }
}

// The old lists set aside by a committed write: never read again, so they
// go without test steps, shared among helper threads (freeing the blocks of
// large files takes the kernel a while) while events run. What a failure
// leaves there is removed by the next recovery.
void removeDiscarded(int db, EventPump* events) {
  for (const QByteArray& name : ownFolders(db, Kind::Discarded)) {
    FileDescriptor fd(openFolderAt(db, name.constData()));
    if (fd.get() < 0) continue;
    std::vector<Entry> entries = entriesOf(fd.get());
    std::erase_if(entries, [](const Entry& e) { return e.folder; });
    constexpr size_t kMaxHelpers = 4;
    const size_t helpers = std::min(kMaxHelpers, entries.size());
    if (helpers > 1) {
      std::vector<std::function<void()>> work;
      for (size_t h = 0; h < helpers; ++h)
        work.emplace_back([&entries, &fd, h, helpers] {
          for (size_t i = h; i < entries.size(); i += helpers) ::unlinkat(fd.get(), entries[i].name.constData(), 0);
        });
      try {
        runOnHelpers(work, events);
      } catch (...) {
        // What could not be deleted stays for the next recovery.
      }
    } else {
      for (const Entry& e : entries) ::unlinkat(fd.get(), e.name.constData(), 0);
    }
    fd.reset();
    removeOwnFolder(db, name, true);
  }
}

// A new file of a staged database and the size it must have.
struct Staged {
  QByteArray name;
  qint64 size;
};

// The manifest of a staged database: a head line, then one line per file,
// its size and its name in hexadecimal (names are any bytes).
QByteArray manifestText(const std::vector<Staged>& files) {
  QByteArray text(kManifestHead);
  for (const Staged& f : files) text += QByteArray::number(f.size) + ' ' + f.name.toHex() + '\n';
  return text;
}

std::optional<std::vector<Staged>> readManifest(int folder) {
  FileDescriptor fd(::openat(folder, kManifest, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (qint64(1) << 30))
    return std::nullopt;
  QByteArray text(qsizetype(st.st_size), '\0');
  if (readFully(fd.get(), text.data(), text.size(), 0) != text.size()) return std::nullopt;
  if (!text.startsWith(kManifestHead) || !text.endsWith('\n')) return std::nullopt;
  std::vector<Staged> files;
  const QList<QByteArray> lines = text.sliced(qsizetype(std::strlen(kManifestHead))).chopped(1).split('\n');
  for (const QByteArray& line : lines) {
    if (line.isEmpty()) continue;
    const qsizetype blank = line.indexOf(' ');
    bool ok = false;
    const qint64 size = line.left(blank).toLongLong(&ok);
    const QByteArray name = QByteArray::fromHex(line.sliced(blank + 1));
    if (blank <= 0 || !ok || name.isEmpty() || name.contains('/') || name.contains('\0')) return std::nullopt;
    files.push_back({name, size});
  }
  return files;
}

// Whether any old file of the database is still set aside.
bool oldFilesSetAside(int db) {
  for (const QByteArray& name : ownFolders(db, Kind::Previous)) {
    FileDescriptor fd(openFolderAt(db, name.constData()));
    if (!entriesOf(fd.get()).empty()) return true;
  }
  return false;
}

// What putting the database right left: committed, the database folder
// holds the new database (of this write or of one cut short); whole, no
// file of the database is still in a working folder; clean, no committed,
// set-aside or rejected working folder is left either.
struct Settled {
  bool committed = false;
  bool whole = true;
  bool clean = true;
  int error = 0;  // errno of the first step that failed
};

void noteError(Settled* s) {
  if (!s->error) s->error = errno ? errno : EIO;
}

// A write that was not committed: the old files set aside go back, the
// staged ones are deleted.
void rollBack(int db, Settled* s) {
  for (const QByteArray& name : ownFolders(db, Kind::Previous)) {
    FileDescriptor previous(openFolderAt(db, name.constData()));
    if (previous.get() < 0) {
      noteError(s);
      continue;
    }
    for (const Entry& e : entriesOf(previous.get())) {
      if (e.folder) continue;
      if (!attemptWriteStep(
              WriteStep::MoveBack,
              [&] { return ::renameat(previous.get(), e.name.constData(), db, e.name.constData()) == 0; }) &&
          errno != ENOENT)
        noteError(s);
    }
    previous.reset();
    if (!syncFolder(db) || !removeOwnFolder(db, name, false)) noteError(s);
  }
  for (const QByteArray& name : ownFolders(db, Kind::Staging))
    if (!removeOwnFolder(db, name, true)) noteError(s);
  s->whole = !oldFilesSetAside(db);
}

// A committed database that did not arrive whole: every list and der.rep in
// the database folder is its own (the old ones are all set aside), so they
// go, then the old files come back.
void finishRejection(int db, const QByteArray& rejected, Settled* s) {
  bool gone = true;
  for (const Entry& e : entriesOf(db)) {
    if (e.folder || (!isListPattern(e.name.constData()) && e.name != kDerRep)) continue;
    if (!attemptWriteStep(WriteStep::Discard, [&] { return ::unlinkat(db, e.name.constData(), 0) == 0; }) &&
        errno != ENOENT) {
      noteError(s);
      gone = false;
    }
  }
  if (!gone || !syncFolder(db) || !removeOwnFolder(db, rejected, true)) {
    // Only once the rejected files are gone may the old ones come back.
    noteError(s);
    s->whole = false;
    return;
  }
  rollBack(db, s);
}

// One pass at a committed write: its new files go in, checked in place,
// and only then are the old ones set aside deleted. The complete folder
// stays until the old files are out of the way, so an interruption
// anywhere is finished by the next recovery. Events may run only once the
// new database is whole in place.
void rollForward(int db, const QByteArray& complete, EventPump* events, Settled* s) {
  const bool oldKept = !ownFolders(db, Kind::Previous).empty();
  FileDescriptor folder(openFolderAt(db, complete.constData()));
  if (folder.get() < 0) {
    noteError(s);
    s->committed = true;
    s->whole = false;
    return;
  }
  const std::optional<std::vector<Staged>> files = readManifest(folder.get());
  bool arrived = files.has_value();
  if (files) {
    bool moved = true;
    for (const Staged& f : *files) {
      if (!exists(folder.get(), f.name.constData())) continue;
      if (!attemptWriteStep(WriteStep::MoveNew, [&] {
            return ::renameat(folder.get(), f.name.constData(), db, f.name.constData()) == 0;
          })) {
        noteError(s);
        moved = false;
      }
    }
    if (!moved || !syncFolder(db)) {
      // Tried again by the next pass, or by the next start.
      noteError(s);
      s->committed = true;
      s->whole = false;
      return;
    }
    for (const Staged& f : *files) {
      struct stat st;
      if (::fstatat(db, f.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // The bare list is deleted as soon as it is in place.
        if (errno != ENOENT || ::strcasecmp(f.name.constData(), ".vrn") != 0) arrived = false;
      } else if (!S_ISREG(st.st_mode) || st.st_size != f.size) {
        arrived = false;
      }
    }
  }
  folder.reset();
  if (!arrived && oldKept) {
    // Lost on the way (a file missing or cut, the manifest gone): the old
    // database, still whole where it was set aside, comes back.
    errno = EIO;
    noteError(s);
    const QByteArray rejected = renameOwnFolder(db, complete, Kind::Rejected, WriteStep::MoveBack);
    if (rejected.isEmpty()) {
      noteError(s);
      s->committed = true;
      s->whole = false;
      return;
    }
    if (!syncFolder(db)) noteError(s);
    finishRejection(db, rejected, s);
    return;
  }
  s->committed = true;
  for (const QByteArray& previous : ownFolders(db, Kind::Previous)) {
    if (renameOwnFolder(db, previous, Kind::Discarded, WriteStep::MoveOld).isEmpty()) {
      noteError(s);
      return;
    }
  }
  if (!removeOwnFolder(db, complete, false) || !syncFolder(db)) {
    noteError(s);
    return;
  }
  removeDiscarded(db, events);
}

// One pass at whatever an interrupted or failed write left.
Settled recoverAt(int db, EventPump* events = nullptr) {
  Settled s;
  errno = 0;
  const std::vector<QByteArray> rejected = ownFolders(db, Kind::Rejected);
  const std::vector<QByteArray> complete = ownFolders(db, Kind::Complete);
  if (!rejected.empty()) {
    for (const QByteArray& name : rejected) finishRejection(db, name, &s);
  } else if (!complete.empty()) {
    for (const QByteArray& name : complete) rollForward(db, name, events, &s);
  } else {
    rollBack(db, &s);
  }
  s.clean = s.whole && ownFolders(db, Kind::Previous).empty() && ownFolders(db, Kind::Complete).empty() &&
            ownFolders(db, Kind::Rejected).empty();
  removeDiscarded(db, events);  // what stays there is never read
  removeOrphanMarkers(db);
  return s;
}

// Puts the database right, trying again while a pass fails.
Settled settle(int db, EventPump* events = nullptr) {
  Settled s;
  for (int round = 0; round < kSettleRounds; ++round) {
    s = recoverAt(db, events);
    if (s.whole && s.clean) break;
  }
  return s;
}

// One record as a list file holds it: value padded with blanks to the
// length, cut (never inside a character) when longer.
void appendRecord(QByteArray& out, const QByteArray& value, int length) {
  const qsizetype used = value.size() <= length ? value.size() : cutAtCharBoundary(value, length).size();
  out.append(value.constData(), used);
  out.append(length - used, ' ');
}

// One staged file written through a buffer: every write checked, short
// writes resumed.
class StagedFile {
 public:
  StagedFile() { buffer_.reserve(kBufferBytes + kEnregDerRep); }

  // exclusive: the name must be new in the folder (a disk that folds two
  // names into one refuses the second).
  bool open(int folder, const QByteArray& name, bool exclusive) {
    offset_ = 0;
    buffer_.clear();
    // Not truncated: a second run of one extension (arrays not sorted)
    // writes over the first from record 1, as the list channel did.
    int fd = -1;
    attemptWriteStep(WriteStep::OpenFile, [&] {
      fd = ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (exclusive ? O_EXCL : 0),
                    0644);
      return fd >= 0;
    });
    fd_.reset(fd);
    return fd >= 0;
  }

  // One record: value padded with blanks to length, cut (never inside a
  // character) when longer.
  bool add(const QByteArray& value, int length) {
    if (!attemptWriteStep(WriteStep::Record, [] { return true; })) return false;
    appendRecord(buffer_, value, length);
    return buffer_.size() < kBufferBytes || flush();
  }

  // Bytes as they are.
  bool addBytes(const QByteArray& bytes) {
    buffer_.append(bytes);
    return buffer_.size() < kBufferBytes || flush();
  }

  bool flush() {
    if (buffer_.isEmpty()) return true;
    if (!attemptWriteStep(WriteStep::WriteData, [] { return true; })) return false;
    if (!writeFully(fd_.get(), buffer_.constData(), buffer_.size(), offset_)) return false;
    offset_ += buffer_.size();
    buffer_.resize(0);
    return true;
  }

  // Flushes the buffer, starts the disk write without waiting for it (the
  // final sync then finds most of it done) and closes.
  bool finish() {
    if (!flush()) return false;
    ::sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    return attemptWriteStep(WriteStep::CloseFile, [&] { return fd_.close(); });
  }

 private:
  FileDescriptor fd_;
  QByteArray buffer_;
  qint64 offset_ = 0;
};

// Every staged file on the disk, each checked to hold what was written,
// then the staging folder's entries.
bool syncStaged(int staging, const std::vector<Staged>& files, EventPump* events) {
  for (const Staged& f : files) {
    FileDescriptor fd(::openat(staging, f.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) return false;
    if (!attemptWriteStep(WriteStep::SyncFile, [&] { return ::fdatasync(fd.get()) == 0; })) return false;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return false;
    if (st.st_size != f.size) {
      errno = EIO;
      return false;
    }
    if (events) events->offer();
  }
  return syncFolder(staging);
}

// A run of equal extensions: slots first to last, written to one list file.
struct Run {
  qint64 first = 0;
  qint64 last = 0;
  QByteArray name;
};

// The runs of slots 1 to count. A run whose extension holds "/" would land
// in another folder's or list's file: it is never written. repeated: some
// extension forms more than one run (arrays not sorted by extension).
std::vector<Run> runsOf(const std::vector<QByteArray>& extensions, qint64 count, bool* repeated) {
  std::vector<Run> runs;
  *repeated = false;
  std::set<QByteArray> seen;
  for (qint64 i = 1; i <= count; ++i) {
    const QByteArray& ext = extensions[size_t(i)];
    if (i > 1 && extensions[size_t(i - 1)] == ext) {
      if (!runs.empty() && runs.back().last == i - 1) runs.back().last = i;
      continue;
    }
    if (ext.contains('/')) continue;
    const QByteArray name = ext + ".vrn";
    if (!seen.insert(name).second) *repeated = true;
    runs.push_back({i, i, name});
  }
  return runs;
}

// The two folders of a write: the database, and the staging folder the new
// lists are written to. reuse: a list whose stored file already holds
// exactly its records may be that file again (each list forms one run).
struct WriteFolders {
  int db = -1;
  int staging = -1;
  bool reuse = false;
};

// True when the database's own file of the run, a regular file reached
// without a link, holds exactly the run's records (no more, no fewer); then
// it is linked into the staging folder under its name, so a rescan of an
// unchanged source writes (and flushes to the disk) none of that list
// again. afterRecord is told each slot compared. Any doubt gives false: the
// list is written.
bool reuseStoredList(const WriteFolders& folders, const Run& run, const std::vector<QByteArray>& paths,
                     const std::function<bool(qint64)>& afterRecord) {
  FileDescriptor stored(::openat(folders.db, run.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (stored.get() < 0 || ::fstat(stored.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_size != (run.last - run.first + 1) * kRecFichier)
    return false;
  QByteArray expected, found;
  expected.reserve(kBufferBytes + kRecFichier);
  qint64 offset = 0;
  for (qint64 i = run.first; i <= run.last;) {
    expected.resize(0);
    for (; i <= run.last && expected.size() < kBufferBytes; ++i) {
      appendRecord(expected, paths[size_t(i)], kRecFichier);
      if (afterRecord && !afterRecord(i)) return false;
    }
    found.resize(expected.size());
    if (readFully(stored.get(), found.data(), found.size(), offset) != found.size()) return false;
    if (std::memcmp(found.constData(), expected.constData(), size_t(found.size())) != 0) return false;
    offset += found.size();
  }
  // The very file compared, whatever its name has become meanwhile.
  const QByteArray self = "/proc/self/fd/" + QByteArray::number(stored.get());
  return attemptWriteStep(WriteStep::KeepStored, [&] {
    return ::linkat(AT_FDCWD, self.constData(), folders.staging, run.name.constData(), AT_SYMLINK_FOLLOW) == 0;
  });
}

enum class RunWritten { Yes, Refused, Failed };

// After a staged list could not be made: whether the disk refuses that one
// name (a character or a length it cannot hold, a name it folds onto
// another list's) rather than failing as a whole. The staging folder still
// holding der.rep tells that the folder itself is there. errno is kept.
bool nameRefused(int staging) {
  const int e = errno;
  const bool refused = (e == ENOENT || e == EINVAL || e == EILSEQ || e == ENAMETOOLONG || e == EEXIST || e == EISDIR) &&
                       exists(staging, kDerRep);
  errno = e;
  return refused;
}

// Writes one run as a list file, records numbered from 1. afterRecord, when
// set, is told each slot written and may end the run (false). exclusive:
// the first run of its list. A list the disk cannot hold (a name it
// refuses, a folder standing at its name in the database) is refused: its
// records are lost, the other lists are written.
RunWritten writeRun(const WriteFolders& folders, const Run& run, const std::vector<QByteArray>& paths, StagedFile& file,
                    bool exclusive, const std::function<bool(qint64)>& afterRecord) {
  if (isFolder(folders.db, run.name.constData())) return RunWritten::Refused;
  if (folders.reuse && reuseStoredList(folders, run, paths, afterRecord)) return RunWritten::Yes;
  if (!file.open(folders.staging, run.name, exclusive))
    return nameRefused(folders.staging) ? RunWritten::Refused : RunWritten::Failed;
  for (qint64 i = run.first; i <= run.last; ++i) {
    // The paths lie all over the heap: fetch the ones coming next meanwhile.
    if (i + 16 <= run.last) __builtin_prefetch(paths[size_t(i + 16)].constData());
    if (!file.add(paths[size_t(i)], kRecFichier)) return RunWritten::Failed;
    if (afterRecord && !afterRecord(i)) return RunWritten::Failed;
  }
  return file.finish() ? RunWritten::Yes : RunWritten::Failed;
}

// Writes the runs on helper threads, largest first, while the calling thread
// waits on the pump (window events run). False with errno set when one
// failed; the names of the lists refused go to refused.
bool writeRunsInParallel(const WriteFolders& folders, const std::vector<Run>& runs,
                         const std::vector<QByteArray>& paths, int threads, EventPump* events,
                         std::set<QByteArray>* refused) {
  std::vector<size_t> order(runs.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return runs[a].last - runs[a].first > runs[b].last - runs[b].first; });
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::atomic<int> error{0};
  std::mutex mutex;
  const std::shared_ptr<WakeUp> wake = wakeUpFor(events);
  int active = 0;
  const auto work = [&] {
    const auto fail = [&](int e) {
      if (!failed.exchange(true)) error = e;
    };
    try {
      StagedFile file;
      const auto goOn = [&](qint64 i) {
        return (i & (kEventsEvery - 1)) != 0 || !failed.load(std::memory_order_relaxed);
      };
      for (size_t k; !failed.load() && (k = next.fetch_add(1)) < order.size();) {
        const Run& run = runs[order[k]];
        const RunWritten written = writeRun(folders, run, paths, file, true, goOn);
        if (written == RunWritten::Refused) {
          std::lock_guard lock(mutex);
          refused->insert(run.name);
        } else if (written == RunWritten::Failed) {
          fail(errno ? errno : EIO);
          break;
        }
      }
    } catch (const std::bad_alloc&) {
      fail(ENOMEM);
    }
    {
      std::lock_guard lock(mutex);
      --active;
    }
    wake->wake();
  };
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    std::lock_guard lock(mutex);
    try {
      workers.emplace_back(work);
      ++active;
    } catch (const std::system_error&) {
      break;  // the threads already there take all the runs
    }
  }
  if (workers.empty()) {
    errno = EAGAIN;
    return false;
  }
  waitOn(events, *wake, [&] {
    std::lock_guard lock(mutex);
    return active == 0;
  });
  for (std::thread& w : workers) w.join();
  errno = error;
  return !failed;
}

// Writes der.rep and the lists into the staging folder, then flushes them
// to the disk. files: each file staged with the size it has.
bool stage(int db, int staging, const QString& source, const std::vector<QByteArray>& extensions,
           const std::vector<QByteArray>& paths, qint64 count, int threads, EventPump* events,
           std::vector<Staged>* files) {
  StagedFile file;
  if (!file.open(staging, kDerRep, true) || !file.add(encodePath(source), kEnregDerRep) || !file.finish()) return false;
  files->push_back({kDerRep, kEnregDerRep});

  bool repeated = false;
  const std::vector<Run> runs = runsOf(extensions, count, &repeated);
  if (threads < 0) threads = count >= kParallelFrom ? int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)) : 0;
  // Runs of one extension apart must be written in order, one over the other
  // (and never over a stored file linked in).
  const WriteFolders folders{db, staging, !repeated};
  std::set<QByteArray> refused;
  if (threads > 0 && !repeated) {
    if (!writeRunsInParallel(folders, runs, paths, threads, events, &refused)) return false;
  } else {
    const auto turns = [&](qint64 i) {
      if ((i & (kEventsEvery - 1)) == 0 && events) events->offer();
      return true;
    };
    std::set<QByteArray> opened;
    for (const Run& run : runs) {
      if (refused.contains(run.name)) continue;
      const bool first = opened.insert(run.name).second;
      const RunWritten written = writeRun(folders, run, paths, file, first, turns);
      if (written == RunWritten::Failed) return false;
      if (written == RunWritten::Refused) refused.insert(run.name);
    }
  }
  // Each list at the size of its longest run (a later run writes over an
  // earlier one from record 1).
  std::map<QByteArray, qint64> sizes;
  for (const Run& run : runs) {
    if (refused.contains(run.name)) continue;
    qint64& size = sizes[run.name];
    size = std::max(size, (run.last - run.first + 1) * kRecFichier);
  }
  for (const Run& run : runs) {
    const auto it = sizes.find(run.name);
    if (it == sizes.end()) continue;
    files->push_back({run.name, it->second});
    sizes.erase(it);
  }
  return syncStaged(staging, *files, events);
}

// Sets aside every old list ("*.vrn*", folders excepted) and der.rep in a
// working folder of its own. A folder standing where a new list goes (made
// since the lists were written) keeps its place: that list is left out.
bool swapIn(int db, int staging, std::vector<Staged>* files) {
  if (isFolder(db, kDerRep)) {
    errno = EISDIR;  // der.rep could never be replaced
    return false;
  }
  QByteArray name;
  if (!makeOwnFolder(db, Kind::Previous, &name)) return false;
  FileDescriptor previous(openFolderAt(db, name.constData()));
  if (previous.get() < 0) return false;
  for (const Entry& e : entriesOf(db)) {
    if (e.folder || (!isListPattern(e.name.constData()) && e.name != kDerRep)) continue;
    if (!attemptWriteStep(
            WriteStep::MoveOld,
            [&] { return ::renameat(db, e.name.constData(), previous.get(), e.name.constData()) == 0; }) &&
        errno != ENOENT)
      return false;
  }
  for (auto it = files->begin(); it != files->end();) {
    if (it->name == kDerRep || !exists(db, it->name.constData())) {
      ++it;
      continue;
    }
    if (!attemptWriteStep(WriteStep::Discard, [&] { return ::unlinkat(staging, it->name.constData(), 0) == 0; }))
      return false;
    it = files->erase(it);
  }
  return syncFolder(previous.get()) && syncFolder(db);
}

// The manifest into the staging folder, on the disk with the folder's
// entries before the commit.
bool writeManifest(int staging, const std::vector<Staged>& files) {
  StagedFile manifest;
  if (!manifest.open(staging, kManifest, true) || !manifest.addBytes(manifestText(files)) || !manifest.finish())
    return false;
  FileDescriptor fd(::openat(staging, kManifest, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  return fd.get() >= 0 && attemptWriteStep(WriteStep::SyncFile, [&] { return ::fdatasync(fd.get()) == 0; }) &&
         syncFolder(staging);
}

bool hasListEntry(int db) {
  for (const Entry& e : entriesOf(db))
    if (isListPattern(e.name.constData())) return true;
  return false;
}

void waitFor(const WaitHook& wait, double seconds) {
  if (wait) wait(seconds);
}

}  // namespace

WriteStepHook& databaseWriteHook() {
  static WriteStepHook hook;
  return hook;
}

bool replaceDatabaseFile(int db, const char* temporary, const char* name, const QByteArray& bytes) {
  ::unlinkat(db, temporary, 0);  // what a write cut short left
  FileDescriptor fd;
  if (!attemptWriteStep(WriteStep::OpenFile, [&] {
        fd.reset(::openat(db, temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        return fd.get() >= 0;
      }))
    return false;
  bool ok = attemptWriteStep(WriteStep::WriteData,
                             [&] { return writeFully(fd.get(), bytes.constData(), bytes.size(), 0); }) &&
            attemptWriteStep(WriteStep::SyncFile, [&] { return ::fdatasync(fd.get()) == 0; });
  ok = fd.close() && ok;
  ok = ok && attemptWriteStep(WriteStep::MoveNew, [&] { return ::renameat(db, temporary, db, name) == 0; });
  if (!ok) {
    const int error = errno;
    ::unlinkat(db, temporary, 0);
    errno = error;
    return false;
  }
  syncFolder(db);  // the new name reaches the disk later at worst; the file is whole either way
  return true;
}

bool recoverDatabase(const QString& dbFolder) {
  FileDescriptor db(::open(encodePath(dbFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (db.get() < 0) return false;
  const Settled s = settle(db.get());
  return s.whole && s.clean;
}

WriteResult writeListFiles(const QString& dbFolder, const QString& source, const std::vector<QByteArray>& extensions,
                           const std::vector<QByteArray>& paths, qint64 count, const WaitHook& wait, EventPump* events,
                           int threads) {
  WriteResult result;
  FileDescriptor db(::open(encodePath(dbFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (db.get() < 0) {
    result.error = errno;
    return result;
  }
  // What an interrupted write left is put right first; what cannot be stops
  // this one.
  const Settled before = settle(db.get());
  if (!before.whole || !before.clean) {
    result.error = before.error ? before.error : EIO;
    result.settled = before.whole;
    return result;
  }
  // Before the commit, a failure puts the old files back.
  const auto fail = [&] {
    result.error = errno ? errno : EIO;
    const Settled after = settle(db.get());
    result.written = after.committed;
    result.settled = after.whole;
    return result;
  };

  // The pause that followed the deletion of the old lists comes before the
  // new ones are written: the old ones go only once those are whole.
  if (hasListEntry(db.get())) waitFor(wait, 2);

  // Slots past either array are not there to write.
  count = std::min<qint64>(count, qint64(std::min(extensions.size(), paths.size())) - 1);
  std::vector<Staged> files;
  QByteArray staging;
  errno = 0;
  if (!makeOwnFolder(db.get(), Kind::Staging, &staging)) return fail();
  try {
    FileDescriptor stagingFd(openFolderAt(db.get(), staging.constData()));
    if (stagingFd.get() < 0 ||
        !stage(db.get(), stagingFd.get(), source, extensions, paths, count, threads, events, &files))
      return fail();
    // From here to the end of the swap no event runs: nothing may read or
    // create a list while the old ones are set aside.
    if (!swapIn(db.get(), stagingFd.get(), &files) || !writeManifest(stagingFd.get(), files)) return fail();
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return fail();
  }
  if (renameOwnFolder(db.get(), staging, Kind::Complete, WriteStep::Commit).isEmpty()) return fail();
  // Committed: the new files go in, checked, and the old ones go; what this
  // session cannot finish is finished by the next start.
  const Settled after = settle(db.get(), events);
  result.written = after.committed;
  result.settled = after.whole;
  if (!after.committed || !after.whole) result.error = after.error ? after.error : EIO;
  if (!after.committed) return result;  // the old database came back
  waitFor(wait, 2);
  return result;
}

bool isBareListFile(const QString& fileName) {
  return fileName.compare(QLatin1String(".vrn"), Qt::CaseInsensitive) == 0;
}

bool deleteBareList(const QString& dbFolder, const WaitHook& wait) {
  FileDescriptor db(::open(encodePath(dbFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (db.get() < 0) return false;
  bool found = false;
  for (const Entry& e : entriesOf(db.get())) {
    if (::strcasecmp(e.name.constData(), ".vrn") != 0) continue;
    found = true;
    ::unlinkat(db.get(), e.name.constData(), 0);  // a folder stays
  }
  if (found) waitFor(wait, 1);
  return found;
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
  RecordFile& list = fileChannel(kListChannel);
  for (const QString& file : files) {
    if (isBareListFile(file)) continue;
    list.close();
    // A file gone since the listing adds nothing and is not made again.
    if (list.open(dbFolder + '/' + file, kRecFichier, false)) total += list.recordCount();
  }
  list.close();
  return total;
}

}  // namespace vrn
