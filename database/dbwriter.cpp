#include "database/dbwriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>

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

namespace vrn {

namespace {

// Folders inside the database folder. None matches "*.vrn*" and none is a
// file, so no reader, catalogue or delete pattern ever picks them up.
constexpr const char* kStaging = "new-database";            // being written
constexpr const char* kComplete = "new-database-complete";  // committed
constexpr const char* kPrevious = "previous-database";      // old files set aside, not yet committed
constexpr const char* kDiscarded = "discarded-database";    // old files of a committed write
constexpr const char* kDerRep = "der.rep";
constexpr qsizetype kBufferBytes = qsizetype(1) << 20;
constexpr int kEventsEvery = 0x400;  // records
// Lists of this many records or more are written on helper threads.
constexpr qint64 kParallelFrom = 1 << 16;

int injected(WriteStep step) {
  const WriteStepHook& hook = databaseWriteHook();
  return hook ? hook(step) : 0;
}

// Runs one step unless the hook makes it fail; false with errno set.
template <class Call>
bool attempt(WriteStep step, Call call) {
  if (const int e = injected(step)) {
    errno = e;
    return false;
  }
  return call();
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd = -1) {
    const int saved = errno;  // the error being reported outlives the close
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    errno = saved;
  }
  // Closes and tells whether the close succeeded (a delayed write error can
  // show only here).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

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
  return attempt(WriteStep::SyncFolder, [&] { return ::fsync(fd) == 0; });
}

// Moves every entry of folder `from` (inside db) into `to`, replacing what is
// there. False at the first entry that cannot be moved.
bool moveAll(int fromFd, int toFd, WriteStep step) {
  for (const Entry& e : entriesOf(fromFd)) {
    if (e.folder) continue;
    if (!attempt(step, [&] { return ::renameat(fromFd, e.name.constData(), toFd, e.name.constData()) == 0; }) &&
        errno != ENOENT)
      return false;
  }
  return true;
}

// Deletes the files of folder `name` in db, then the folder, offering a
// turn after each file. True when it is gone (or was never there).
bool removeFolder(int db, const char* name, EventPump* events = nullptr) {
  if (!exists(db, name)) return true;
  Fd fd(openFolderAt(db, name));
  if (fd.get() < 0) return false;  // not a folder of ours: left alone
  for (const Entry& e : entriesOf(fd.get())) {
    if (e.folder) continue;
    attempt(WriteStep::Discard, [&] { return ::unlinkat(fd.get(), e.name.constData(), 0) == 0; });
    if (events) events->offer();
  }
  fd.reset();
  return attempt(WriteStep::Discard, [&] { return ::unlinkat(db, name, AT_REMOVEDIR) == 0; }) || errno == ENOENT;
}

// The old lists set aside by a committed write: never read again, so they
// go without test steps, shared among helper threads (freeing the blocks of
// large files takes the kernel a while) while events run. What a failure
// leaves there is removed by the next recovery.
void removeDiscarded(int db, EventPump* events) {
  if (!exists(db, kDiscarded)) return;
  Fd fd(openFolderAt(db, kDiscarded));
  if (fd.get() < 0) return;
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
  ::unlinkat(db, kDiscarded, AT_REMOVEDIR);
}

// A committed write: its new files go in, the old ones set aside are deleted.
// The complete folder stays until the old files are out of the way, so an
// interruption anywhere is finished by the next recovery. Events may run only
// once the new database is whole in place.
bool rollForward(int db, EventPump* events = nullptr) {
  {
    Fd complete(openFolderAt(db, kComplete));
    if (complete.get() < 0) return false;
    if (!moveAll(complete.get(), db, WriteStep::MoveNew) || !syncFolder(db)) return false;
  }
  if (exists(db, kPrevious)) {
    if (!removeFolder(db, kDiscarded)) return false;
    if (!attempt(WriteStep::MoveOld, [&] { return ::renameat(db, kPrevious, db, kDiscarded) == 0; })) return false;
  }
  if (!removeFolder(db, kComplete) || !syncFolder(db)) return false;
  removeDiscarded(db, events);
  return true;
}

// A write that was not committed: the old files set aside go back, the
// staged ones are deleted.
bool rollBack(int db) {
  if (exists(db, kPrevious)) {
    Fd previous(openFolderAt(db, kPrevious));
    if (previous.get() < 0 || !moveAll(previous.get(), db, WriteStep::MoveBack) || !syncFolder(db)) return false;
    previous.reset();
    if (!removeFolder(db, kPrevious)) return false;
  }
  return removeFolder(db, kStaging);
}

bool recoverAt(int db) {
  const bool ok = exists(db, kComplete) ? rollForward(db) : rollBack(db);
  removeFolder(db, kDiscarded);  // what stays there is never read
  return ok;
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

  bool open(int folder, const QByteArray& name) {
    offset_ = 0;
    buffer_.clear();
    // Not truncated: a second run of one extension (arrays not sorted)
    // writes over the first from record 1, as the list channel did.
    int fd = -1;
    attempt(WriteStep::OpenFile, [&] {
      fd = ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
      return fd >= 0;
    });
    fd_.reset(fd);
    return fd >= 0;
  }

  // One record: value padded with blanks to length, cut (never inside a
  // character) when longer.
  bool add(const QByteArray& value, int length) {
    if (!attempt(WriteStep::Record, [] { return true; })) return false;
    appendRecord(buffer_, value, length);
    return buffer_.size() < kBufferBytes || flush();
  }

  bool flush() {
    if (buffer_.isEmpty()) return true;
    if (!attempt(WriteStep::WriteData, [] { return true; })) return false;
    const char* data = buffer_.constData();
    qsizetype left = buffer_.size();
    while (left > 0) {
      const ssize_t n = ::pwrite(fd_.get(), data, size_t(left), off_t(offset_));
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) {
        errno = ENOSPC;
        return false;
      }
      data += n;
      left -= n;
      offset_ += n;
    }
    buffer_.resize(0);
    return true;
  }

  // Flushes the buffer, starts the disk write without waiting for it (the
  // final sync then finds most of it done) and closes.
  bool finish() {
    if (!flush()) return false;
    ::sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    return attempt(WriteStep::CloseFile, [&] { return fd_.close(); });
  }

 private:
  Fd fd_;
  QByteArray buffer_;
  qint64 offset_ = 0;
};

// Every staged file on the disk, then the staging folder's entries.
bool syncStaged(int staging, const std::vector<QByteArray>& names, EventPump* events) {
  for (const QByteArray& name : names) {
    Fd fd(::openat(staging, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) return false;
    if (!attempt(WriteStep::SyncFile, [&] { return ::fdatasync(fd.get()) == 0; })) return false;
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
// without a link, holds exactly the run's records; then it is linked into
// the staging folder under its name, so a rescan of an unchanged source
// writes (and flushes to the disk) none of that list again. afterRecord is
// told each slot compared. Any doubt gives false: the list is written.
bool reuseStoredList(const WriteFolders& folders, const Run& run, const std::vector<QByteArray>& paths,
                     const std::function<bool(qint64)>& afterRecord) {
  Fd stored(::openat(folders.db, run.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
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
    qsizetype got = 0;
    while (got < found.size()) {
      const ssize_t n = ::pread(stored.get(), found.data() + got, size_t(found.size() - got), offset + got);
      if (n <= 0) return false;
      got += n;
    }
    if (std::memcmp(found.constData(), expected.constData(), size_t(found.size())) != 0) return false;
    offset += found.size();
  }
  // The very file compared, whatever its name has become meanwhile.
  const QByteArray self = "/proc/self/fd/" + QByteArray::number(stored.get());
  return attempt(WriteStep::KeepStored, [&] {
    return ::linkat(AT_FDCWD, self.constData(), folders.staging, run.name.constData(), AT_SYMLINK_FOLLOW) == 0;
  });
}

// Writes one run as a list file, records numbered from 1. afterRecord, when
// set, is told each slot written and may end the run (false).
bool writeRun(const WriteFolders& folders, const Run& run, const std::vector<QByteArray>& paths, StagedFile& file,
              const std::function<bool(qint64)>& afterRecord) {
  if (folders.reuse && reuseStoredList(folders, run, paths, afterRecord)) return true;
  if (!file.open(folders.staging, run.name)) return false;
  for (qint64 i = run.first; i <= run.last; ++i) {
    // The paths lie all over the heap: fetch the ones coming next meanwhile.
    if (i + 16 <= run.last) __builtin_prefetch(paths[size_t(i + 16)].constData());
    if (!file.add(paths[size_t(i)], kRecFichier)) return false;
    if (afterRecord && !afterRecord(i)) return false;
  }
  return file.finish();
}

// Writes the runs on helper threads, largest first, while the calling thread
// waits on the pump (window events run). False with errno set when one failed.
bool writeRunsInParallel(const WriteFolders& folders, const std::vector<Run>& runs,
                         const std::vector<QByteArray>& paths, int threads, EventPump* events) {
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
        if (!writeRun(folders, runs[order[k]], paths, file, goOn)) {
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
// to the disk.
bool stage(int db, int staging, const QString& source, const std::vector<QByteArray>& extensions,
           const std::vector<QByteArray>& paths, qint64 count, int threads, EventPump* events,
           std::vector<QByteArray>* names) {
  StagedFile file;
  if (!file.open(staging, kDerRep) || !file.add(encodePath(source), kEnregDerRep) || !file.finish()) return false;
  names->push_back(kDerRep);

  bool repeated = false;
  const std::vector<Run> runs = runsOf(extensions, count, &repeated);
  std::set<QByteArray> named;
  for (const Run& run : runs)
    if (named.insert(run.name).second) names->push_back(run.name);
  if (threads < 0) threads = count >= kParallelFrom ? int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)) : 0;
  // Runs of one extension apart must be written in order, one over the other
  // (and never over a stored file linked in).
  const WriteFolders folders{db, staging, !repeated};
  if (threads > 0 && !repeated) {
    if (!writeRunsInParallel(folders, runs, paths, threads, events)) return false;
  } else {
    const auto turns = [&](qint64 i) {
      if ((i & (kEventsEvery - 1)) == 0 && events) events->offer();
      return true;
    };
    for (const Run& run : runs)
      if (!writeRun(folders, run, paths, file, turns)) return false;
  }
  return syncStaged(staging, *names, events);
}

// Sets aside every old list ("*.vrn*", folders excepted) and der.rep, and
// checks that nothing stands where a new file goes.
bool swapIn(int db, const std::vector<QByteArray>& names) {
  if (isFolder(db, kDerRep)) {
    errno = EISDIR;  // der.rep could never be replaced
    return false;
  }
  if (!attempt(WriteStep::MakeFolder, [&] { return ::mkdirat(db, kPrevious, 0700) == 0; })) return false;
  Fd previous(openFolderAt(db, kPrevious));
  if (previous.get() < 0) return false;
  for (const Entry& e : entriesOf(db)) {
    if (e.folder || (!isListPattern(e.name.constData()) && e.name != kDerRep)) continue;
    if (!attempt(WriteStep::MoveOld,
                 [&] { return ::renameat(db, e.name.constData(), previous.get(), e.name.constData()) == 0; }) &&
        errno != ENOENT)
      return false;
  }
  for (const QByteArray& name : names) {
    if (exists(db, name.constData())) {
      errno = EEXIST;  // a folder named like a new list
      return false;
    }
  }
  return syncFolder(previous.get()) && syncFolder(db);
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

bool recoverDatabase(const QString& dbFolder) {
  Fd db(::open(encodePath(dbFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return db.get() >= 0 && recoverAt(db.get());
}

WriteResult writeListFiles(const QString& dbFolder, const QString& source, const std::vector<QByteArray>& extensions,
                           const std::vector<QByteArray>& paths, qint64 count, const WaitHook& wait, EventPump* events,
                           int threads) {
  WriteResult result;
  Fd db(::open(encodePath(dbFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (db.get() < 0) {
    result.error = errno;
    return result;
  }
  // Before the commit, a failure puts the old files back; after it, the
  // write is finished, now or by the next recovery.
  const auto fail = [&] {
    result.error = errno ? errno : EIO;
    if (!exists(db.get(), kComplete)) rollBack(db.get());
    return result;
  };
  // What an interrupted write left is put right first; what cannot be stops
  // this one.
  errno = 0;
  if (!recoverAt(db.get())) return fail();

  // The pause that followed the deletion of the old lists comes before the
  // new ones are written: the old ones go only once those are whole.
  if (hasListEntry(db.get())) waitFor(wait, 2);

  // Slots past either array are not there to write.
  count = std::min<qint64>(count, qint64(std::min(extensions.size(), paths.size())) - 1);
  std::vector<QByteArray> names;
  if (!attempt(WriteStep::MakeFolder, [&] { return ::mkdirat(db.get(), kStaging, 0755) == 0; })) return fail();
  try {
    Fd staging(openFolderAt(db.get(), kStaging));
    if (staging.get() < 0 || !stage(db.get(), staging.get(), source, extensions, paths, count, threads, events, &names))
      return fail();
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return fail();
  }
  // From here to the end of the swap no event runs: nothing may read or
  // create a list while the old ones are set aside.
  if (!swapIn(db.get(), names)) return fail();
  if (!attempt(WriteStep::Commit, [&] { return ::renameat(db.get(), kStaging, db.get(), kComplete) == 0; }))
    return fail();
  result.written = true;
  if (!syncFolder(db.get()) || !rollForward(db.get(), events)) {
    // Committed all the same: the next recovery completes it.
    result.error = errno ? errno : EIO;
  }
  waitFor(wait, 2);
  return result;
}

bool isBareListFile(const QString& fileName) {
  return fileName.compare(QLatin1String(".vrn"), Qt::CaseInsensitive) == 0;
}

bool deleteBareList(const QString& dbFolder, const WaitHook& wait) {
  Fd db(::open(encodePath(dbFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
