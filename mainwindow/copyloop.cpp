#include "mainwindow/copyloop.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "database/dbfolder.h"
#include "platform/eventpump.h"
#include "platform/listview.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "support/ModeFileInfoVRN.h"
#include "support/VariablesVRN.h"
#include "support/jobguard.h"
#include "platform/filedescriptor.h"

namespace vrn {

namespace {

// Events run at least this often while files are copied.
constexpr int kEventSliceMs = 8;
// A file up to this size is copied on the window thread (a few milliseconds
// even from slow media); a larger one on a helper thread, events running.
constexpr qint64 kCopyHereBytes = 256 * 1024;
// Bytes per in-kernel copy call, and the buffer where that is refused. A
// file up to kSmallFileBytes goes through a buffer on the stack: one read and
// one write cost less than an in-kernel copy.
constexpr size_t kChunk = size_t(8) << 20;
constexpr size_t kBufferBytes = size_t(1) << 20;
constexpr qint64 kSmallFileBytes = 16 * 1024;
// Complete temporaries wait in a batch that helper threads flush together
// while the next files are copied; a batch is handed over once it holds this
// many files or bytes, or has waited this long, so that names keep appearing.
constexpr int kBatchFiles = 256;
constexpr qint64 kBatchBytes = qint64(64) << 20;
constexpr qint64 kBatchAgeNs = 100'000'000;
// Batches in the helpers' hands at once while files are copied: one is
// flushed while the one before it is named.
constexpr size_t kBatchesAtOnce = 2;
// Where files are flushed one by one, the flushes run side by side: the file
// system writes them out together.
constexpr size_t kFlushThreads = 32;
// The temporary name: ".<name>.varnelo-part-" and random letters.
constexpr char kTemporaryTag[] = ".varnelo-part-";
constexpr qsizetype kTemporaryTagSize = sizeof kTemporaryTag - 1;
constexpr int kRandomLetters = 6;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// The names of a backup folder are read once when it holds no more entries
// than this (a few megabytes); a larger one is asked about each name.
constexpr qsizetype kMostNamesListed = 100'000;

qint64 monotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return qint64(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

// Set by the quit command; seen by helper threads between chunks.
std::atomic<bool> copyAbandoned{false};

// Copies the rest of `in`, of `expected` bytes when it was looked at, to
// `out`: in-kernel where the file systems allow it, else through a buffer.
// Written data is sent to the disk as the copy goes, so that the flush before
// the rename has little left to do. Returns 0 or the errno; ECANCELED once
// the copy is abandoned.
int copyData(int in, int out, qint64 expected) {
  // A small file in one read and one write: cheaper than the in-kernel copy.
  bool inKernel = expected > kSmallFileBytes;
  std::vector<char> buffer;
  qint64 written = 0, sentToDisk = 0;
  for (;;) {
    if (const auto& fail = copyTestHooks().failWrite) {
      if (const int e = fail(written)) return e;
    }
    ssize_t n;
    if (inKernel) {
      n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
      if (n < 0 && written == 0 &&
          (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EPERM)) {
        inKernel = false;
        continue;
      }
      // Some file systems report 0 before the end: the buffered path confirms
      // an end that comes early.
      if (n == 0 && written >= expected) return 0;
      if (n == 0) {
        inKernel = false;
        continue;
      }
    } else if (expected <= kSmallFileBytes && written < kSmallFileBytes) {
      char small[kSmallFileBytes];
      n = ::read(in, small, sizeof small);
      if (n > 0 && !writeFully(out, small, n, written)) return errno;
    } else {
      if (buffer.empty()) buffer.resize(kBufferBytes);
      n = ::read(in, buffer.data(), buffer.size());
      if (n > 0 && !writeFully(out, buffer.data(), n, written)) return errno;
    }
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    written += n;
    if (written - sentToDisk >= qint64(kChunk)) {
      ::sync_file_range(out, sentToDisk, written - sentToDisk, SYNC_FILE_RANGE_WRITE);
      sentToDisk = written;
    }
    if (copyAbandoned.load(std::memory_order_relaxed)) return ECANCELED;
  }
}

// Grows the process's table of open files to hold `room` more descriptors
// than `fd` (within the limit) by opening one there for a moment.
void growDescriptorTable(int fd, int room) {
  rlimit files{};
  if (fd < 0 || ::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur < 2) return;
  const rlim_t highest = std::min<rlim_t>(files.rlim_cur - 1, rlim_t(fd) + rlim_t(room));
  const int far = ::fcntl(fd, F_DUPFD_CLOEXEC, int(std::min<rlim_t>(highest, INT_MAX)));
  if (far >= 0) ::close(far);
}

bool isTemporaryName(const char* name) {
  const qsizetype size = qsizetype(std::strlen(name));
  if (name[0] != '.' || size < 2 + kTemporaryTagSize + kRandomLetters) return false;
  const char* tag = name + size - kRandomLetters - kTemporaryTagSize;
  if (std::memcmp(tag, kTemporaryTag, kTemporaryTagSize) != 0) return false;
  for (const char* c = tag + kTemporaryTagSize; *c; ++c)
    if (!std::strchr(kLetters, *c)) return false;
  return true;
}

// Whether `name` in the folder is still the file open as `fd`.
bool stillNamed(int folder, const char* name, int fd) {
  struct stat named, held;
  return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &held) == 0 &&
         named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

// The backup folder, opened once (through whatever links its path holds):
// names are tested, made and renamed relative to it.
class Folder {
 public:
  explicit Folder(const QByteArray& path)
      : path_(path), fd_(path.isEmpty() ? -1 : ::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
    const long most = isOpen() ? ::fpathconf(fd(), _PC_NAME_MAX) : -1;
    longestName_ = most > 0 ? std::min<long>(most, NAME_MAX) : NAME_MAX;
    struct statfs fs;
    if (isOpen() && ::fstatfs(fd(), &fs) == 0) {
      switch (fs.f_type) {
        case EXT4_SUPER_MAGIC:  // ext2, ext3 and ext4
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
        case TMPFS_MAGIC:
          flushesWhole_ = true;
          break;
        default:
          break;
      }
    }
    // An unnamed file is named through its entry under /proc.
    const CopyTestHooks& hooks = copyTestHooks();
    makesUnnamed_ = !hooks.refuseUnnamedTemporaries && !hooks.refuseLinks && ::access("/proc/self/fd", X_OK) == 0;
  }
  bool isOpen() const { return fd_.get() >= 0; }
  int fd() const { return fd_.get(); }
  // Whether files are still to be made without a name and linked in once
  // flushed; false from the first refusal on (a file system without them).
  bool makesUnnamed() const { return makesUnnamed_.load(std::memory_order_relaxed); }
  void refuseUnnamed() const { makesUnnamed_.store(false, std::memory_order_relaxed); }
  // The path as given, for the test hooks.
  QByteArray pathOf(const QByteArray& name) const { return path_ + '/' + name; }
  // An entry of any kind (a dangling link too) takes the name.
  bool holds(const QByteArray& name) const {
    struct stat st;
    return ::fstatat(fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0;
  }
  qsizetype longestName() const { return longestName_; }
  // Whether a flush of the whole file system writes out every file made in
  // the folder and reports a failure of any: true of the local file systems
  // below (a FUSE or network one may answer before its data is safe).
  bool flushesWhole() const { return flushesWhole_; }

  // Removes the temporaries of copies into this folder that no longer run:
  // a copy holds a lock on each of its own for as long as it lives, a killed
  // one holds none. Anything else is left alone. Meanwhile reads the names of
  // all the other entries into `present`; false when it could not read them
  // all (a folder that cannot be listed, or one too large to keep in mind).
  bool removeStaleTemporaries(QSet<QByteArray>& present) const {
    const qsizetype most = copyTestHooks().unreadableNames ? 0 : kMostNamesListed;
    const int listing = ::openat(fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return false;
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
      ::close(listing);
      return false;
    }
    std::vector<QByteArray> names;
    bool whole = true;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      if (whole && present.size() < most) present.insert(QByteArray(name));
      else whole = false;
      if ((entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN) && isTemporaryName(name)) names.emplace_back(name);
    }
    if (errno != 0) whole = false;
    ::closedir(dir);
    if (!whole) present.clear();
    for (const QByteArray& name : names) {
      constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
      int opened = ::openat(fd(), name.constData(), O_RDONLY | kFlags);
      if (opened < 0) opened = ::openat(fd(), name.constData(), O_WRONLY | kFlags);
      const FileDescriptor file(opened);
      struct stat st;
      if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
      if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;  // a running copy's
      if (stillNamed(fd(), name.constData(), file.get()) && ::unlinkat(fd(), name.constData(), 0) == 0)
        present.remove(name);
    }
    return whole;
  }

 private:
  QByteArray path_;
  FileDescriptor fd_;
  qsizetype longestName_;
  bool flushesWhole_ = false;
  mutable std::atomic<bool> makesUnnamed_{false};
};

// Creates a new temporary file for `finalName` in the folder. Where the file
// system allows, it has no name at all until it is linked in: nothing is
// left behind whatever ends the program. Else it takes a hidden name,
// exclusively (never through a link), and is locked so that the clearing of
// stale temporaries leaves it alone; `name` then holds that name. Returns the
// descriptor, or -1 with errno.
int createTemporary(const Folder& folder, const QByteArray& finalName, mode_t mode, QByteArray& name) {
  if (folder.makesUnnamed()) {
    const int fd = ::openat(folder.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
      name.clear();
      return fd;
    }
    folder.refuseUnnamed();
  }
  // Hidden, and not a name anyone picks; cut (never inside a character) so
  // that the whole stays a legal file name.
  const QByteArray prefix =
      '.' + cutAtCharBoundary(finalName, folder.longestName() - 1 - kTemporaryTagSize - kRandomLetters) + kTemporaryTag;
  for (int attempt = 0; attempt < 100; ++attempt) {
    QByteArray candidate = prefix;
    for (int i = 0; i < kRandomLetters; ++i)
      candidate += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    const int fd =
        ::openat(folder.fd(), candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // Another copy clearing stale temporaries may have taken this one for
    // its own between the creation and the lock: then it is locked, or
    // already unlinked (it unlinks before it lets go).
    struct stat st;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
      name = candidate;
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// Gives the complete temporary file, open as `fd` and named `temporary`
// (empty: unnamed), its name without replacing anything: 0, or the errno
// (EEXIST when the name is taken).
int publish(const Folder& folder, int fd, const QByteArray& temporary, const QByteArray& target) {
  const CopyTestHooks& hooks = copyTestHooks();
  const int dir = folder.fd();
  if (temporary.isEmpty()) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, self, dir, target.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
  }
  if (hooks.refuseNoReplaceRename) errno = EINVAL;
  else if (::renameat2(dir, temporary.constData(), dir, target.constData(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  // The file system refuses the no-replace rename: a hard link never replaces.
  if (hooks.refuseLinks) errno = EPERM;
  else if (::linkat(dir, temporary.constData(), dir, target.constData(), 0) == 0) {
    ::unlinkat(dir, temporary.constData(), 0);
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
  // Neither (some FUSE file systems): look, then rename. Another program can
  // only get in during the instant between the two.
  if (folder.holds(target)) return EEXIST;
  if (::renameat(dir, temporary.constData(), dir, target.constData()) == 0) return 0;
  return errno;
}

// A file copied into its temporary, waiting to be flushed and named.
struct PendingFile {
  int fd = -1;           // the temporary, open (and locked where it has a name)
  QByteArray temporary;  // its name; empty when it has none
  QByteArray name;       // the name it is to take
  qint64 bytes = 0;
  struct timespec modified = {};  // the source's modification time, which the copy keeps
  // Set by the helper that flushed it (which leaves the names alone: the quit
  // reads them meanwhile).
  int flushError = 0;
  int publishError = 0;
  bool named = false;
  // Where the copy was when the file was copied, for what is shown when it
  // fails later.
  int row = 0;
  QString source, ownName;
  int clash = 1;
};

// The files of one copy into one folder, from their temporary names to their
// own: a batch fills on the window thread while the previous one is flushed
// on helper threads; a flushed batch is named in order.
class CopyRun {
 public:
  struct Reactions {
    // A name taken by the time the file is named: another name to try, or
    // false to give the file up.
    std::function<bool(PendingFile&)> renameOnClash;
    std::function<void(const PendingFile&)> named;
    // A file that failed once copied (its flush or its naming): whether the
    // files after it go on.
    std::function<bool(const PendingFile&, int error)> failed;
  };

  CopyRun(const QByteArray& folderPath, EventPump& pump, Reactions reactions)
      : folder_(folderPath), pump_(pump), reactions_(std::move(reactions)) {
    rlimit files{};
    const rlim_t open = ::getrlimit(RLIMIT_NOFILE, &files) == 0 ? files.rlim_cur : 1024;
    // The batches open at once and the one filling, and room for everything
    // else.
    mostPending_ = int(std::clamp<rlim_t>(open > 128 ? (open - 128) / (kBatchesAtOnce + 1) : 1, 1, 4 * kBatchFiles));
    if (active_) return;  // one copy at a time (a test's single file aside)
    active_ = this;
    copyAbandoned = false;
  }
  ~CopyRun() {
    // Helpers end before the descriptors they use close, each batch's after
    // the one before it, which it may wait for.
    cleaning_.reset();
    for (std::unique_ptr<Batch>& batch : flushing_) batch->helper.reset();
    for (std::unique_ptr<Batch>& batch : flushing_)
      for (PendingFile& f : batch->files) drop(f);
    for (PendingFile& f : flushed_) drop(f);
    for (PendingFile& f : filling_) drop(f);
    if (current_.fd >= 0) drop(current_);
    if (active_ == this) {
      active_ = nullptr;
      copyAbandoned = false;
    }
  }
  CopyRun(const CopyRun&) = delete;
  CopyRun& operator=(const CopyRun&) = delete;

  const Folder& folder() const { return folder_; }
  static bool abandoned() { return copyAbandoned.load(); }
  // Whether a failure has ended the copy.
  bool ended() const { return ended_; }
  // Whether `name` is taken: by a file waiting for its own, by a file this
  // copy named, or by an entry of the folder. The folder's entries are those
  // read when the copy started, where it could read them all: a name taken
  // since by another program is found when the file is named, as one taken
  // between the test and the naming always is.
  bool taken(const QByteArray& name) {
    if (reserved_.contains(name)) return true;
    if (cleaning_) {
      cleaning_->wait();
      cleaning_.reset();
    }
    return listed_ ? present_.contains(name) : folder_.holds(name);
  }

  // The quit: every temporary goes at once; what helpers do meanwhile is
  // never named.
  static void abandonActive() {
    if (!active_) return;
    copyAbandoned = true;
    CopyRun& run = *active_;
    const auto unlink = [&](const PendingFile& f) {
      if (!f.temporary.isEmpty()) ::unlinkat(run.folder_.fd(), f.temporary.constData(), 0);
    };
    for (const std::unique_ptr<Batch>& batch : run.flushing_)
      for (const PendingFile& f : batch->files) unlink(f);
    for (const PendingFile& f : run.flushed_) unlink(f);
    for (const PendingFile& f : run.filling_) unlink(f);
    unlink(run.current_);
  }

  // Clears the folder of stale temporaries on a helper thread while the copy
  // goes on (the copy's own are locked from their creation), reading the
  // names it holds on the way. First the process's table of open files is
  // grown to hold every file the copy may keep open: growing it waits for the
  // other threads to let go of the old one (tens of milliseconds), which the
  // window thread would otherwise do without events. The first name chosen
  // waits for this helper, events running.
  void startClearingStaleTemporaries() {
    const int room = mostPending_ * int(kBatchesAtOnce + 1) + 64;
    cleaning_ = std::make_unique<HelperRun>(std::vector<std::function<void()>>{[this, room] {
                                              growDescriptorTable(folder_.fd(), room);
                                              listed_ = folder_.removeStaleTemporaries(present_);
                                            }},
                                            &pump_);
  }
  void finishClearing() {
    if (cleaning_) cleaning_->wait();
  }

  // Copies the source, whose entry was seen as `seen`, into a new temporary
  // in the folder; Copied means the file waits in the batch, flushed and
  // named later.
  FileCopyStatus copyIn(const QByteArray& source, const struct stat& seen, PendingFile file) {
    // Look before opening (through a link): opening a fifo or a device can
    // block or act on it.
    struct stat st = seen;
    if (S_ISLNK(st.st_mode) && ::stat(source.constData(), &st) != 0)
      return errno == ENOENT ? FileCopyStatus::SourceMissing : FileCopyStatus::Failed;
    if (!S_ISREG(st.st_mode)) return FileCopyStatus::NotRegular;
    const FileDescriptor in(::open(source.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (in.get() < 0) return errno == ENOENT ? FileCopyStatus::SourceMissing : FileCopyStatus::Failed;
    // The entry may have been replaced since the look.
    if (::fstat(in.get(), &st) != 0) return FileCopyStatus::Failed;
    if (!S_ISREG(st.st_mode)) return FileCopyStatus::NotRegular;

    if (int(filling_.size()) >= mostPending_) drainBatches();
    if (ended_ || abandoned()) return FileCopyStatus::Failed;
    current_ = std::move(file);
    current_.fd = createTemporary(folder_, current_.name, st.st_mode & 0777, current_.temporary);
    if (current_.fd < 0 && (errno == EMFILE || errno == ENFILE) && !filling_.empty()) {
      // Too many files open: name what waits, then try again.
      drainBatches();
      if (ended_ || abandoned()) return FileCopyStatus::Failed;
      current_.fd = createTemporary(folder_, current_.name, st.st_mode & 0777, current_.temporary);
    }
    if (current_.fd < 0) return FileCopyStatus::Failed;
    int error = 0;
    if (st.st_size <= kCopyHereBytes) {
      error = copyData(in.get(), current_.fd, st.st_size);
    } else {
      const int from = in.get(), to = current_.fd;
      const qint64 size = st.st_size;
      runOnHelpers({[&error, from, to, size] { error = copyData(from, to, size); }}, &pump_);
    }
    if (error != 0 || abandoned()) {
      drop(current_);
      return FileCopyStatus::Failed;
    }
    current_.bytes = st.st_size;
    current_.modified = st.st_mtim;
    if (filling_.empty()) fillingSince_ = monotonicNs();
    fillingBytes_ += current_.bytes;
    reserved_.insert(current_.name);
    filling_.push_back(std::exchange(current_, PendingFile()));
    return FileCopyStatus::Copied;
  }

  // After each file: takes back what helpers have flushed and named, and
  // hands the batch over when it is due and the helpers have room.
  void advance() {
    while (!flushing_.empty() && flushing_.front()->helper->done()) nameFlushed();
    if (flushing_.size() >= kBatchesAtOnce || filling_.empty() || ended_ || abandoned()) return;
    const int most = copyTestHooks().batchFiles > 0 ? copyTestHooks().batchFiles : kBatchFiles;
    const bool due =
        int(filling_.size()) >= most || fillingBytes_ >= kBatchBytes || monotonicNs() - fillingSince_ >= kBatchAgeNs;
    if (due) startFlush();
  }

  // Flushes and names everything that waits: the last batch is flushed at
  // once, while those before it are named.
  void drainBatches() {
    if (!filling_.empty() && !ended_ && !abandoned()) startFlush();
    while (!flushing_.empty() && !ended_ && !abandoned()) nameFlushed();
  }

 private:
  void drop(PendingFile& f) {
    if (!f.temporary.isEmpty()) ::unlinkat(folder_.fd(), f.temporary.constData(), 0);
    if (f.fd >= 0) ::close(f.fd);
    reserved_.remove(f.name);
    f.fd = -1;
    f.temporary.clear();
  }

  void startFlush() {
    auto batch = std::make_unique<Batch>();
    batch->files = std::move(filling_);
    filling_.clear();
    fillingBytes_ = 0;
    // Named after the batch before it, when that one was named whole.
    std::shared_future<bool> before;
    if (!flushing_.empty()) before = flushing_.back()->namedWhole;
    auto namedWhole = std::make_shared<std::promise<bool>>();
    batch->namedWhole = namedWhole->get_future().share();
    // One thread from here: it starts the others.
    batch->helper = std::make_unique<HelperRun>(
        std::vector<std::function<void()>>{[files = &batch->files, folder = &folder_, before, namedWhole] {
          bool whole = false;
          try {
            flushFiles(*files, *folder);
            whole = (!before.valid() || before.get()) && nameInOrder(*files, *folder);
          } catch (...) {
            namedWhole->set_value(false);
            throw;
          }
          namedWhole->set_value(whole);
        }},
        &pump_);
    flushing_.push_back(std::move(batch));
  }

  // On a helper thread: flushes the files side by side.
  static void flushFiles(std::vector<PendingFile>& files, const Folder& folder) {
    for (const PendingFile& f : files) {
      // A file copy keeps the modification time; failing to set it is no failure.
      const struct timespec times[2] = {{0, UTIME_OMIT}, f.modified};
      ::futimens(f.fd, times);
    }
    // Where the file system's own flush writes out every file and reports
    // any failure since the first of them was made, one flush does for all.
    if (folder.flushesWhole() && ::syncfs(files.front().fd) == 0) return;
    // Else each file is flushed, side by side; written out first, they are
    // committed together and most flushes find their file on the disk.
    for (const PendingFile& f : files) ::sync_file_range(f.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    const size_t helpers = std::min(files.size(), kFlushThreads);
    std::vector<std::function<void()>> work;
    for (size_t first = 0; first < helpers; ++first) {
      work.emplace_back([&files, first, helpers] {
        for (size_t i = first; i < files.size(); i += helpers) {
          PendingFile& f = files[i];
          if (copyAbandoned.load(std::memory_order_relaxed)) return;
          if (::fsync(f.fd) != 0) f.flushError = errno ? errno : EIO;
        }
      });
    }
    if (work.size() == 1) work.front()();
    else runOnHelpers(work, nullptr);
  }

  // On a helper thread: names the flushed files in order, up to the first
  // that failed or finds its name taken (the window thread goes on from
  // there). Whether it named them all.
  static bool nameInOrder(std::vector<PendingFile>& files, const Folder& folder) {
    for (PendingFile& f : files) {
      if (copyAbandoned.load() || f.flushError != 0) return false;
      f.publishError = tryPublish(folder, f);
      if (f.publishError != 0) return false;
      ::close(std::exchange(f.fd, -1));
      f.named = true;
    }
    return true;
  }

  static int tryPublish(const Folder& folder, const PendingFile& f) {
    if (const auto& hook = copyTestHooks().beforeCreate) hook(folder.pathOf(f.name));
    return publish(folder, f.fd, f.temporary, f.name);
  }

  // Takes the oldest batch back once flushed and named, and names what its
  // helper left, in order; a failure may end the copy there.
  void nameFlushed() {
    flushing_.front()->helper->wait();
    flushed_ = std::move(flushing_.front()->files);
    flushing_.pop_front();
    for (PendingFile& f : flushed_) {
      if (f.named) {
        f.temporary.clear();
        nowPresent(f.name);
        if (reactions_.named) reactions_.named(f);
        continue;
      }
      if (ended_ || abandoned()) {
        drop(f);
        continue;
      }
      int error = f.flushError;
      if (error == 0) error = f.publishError != 0 ? f.publishError : tryPublish(folder_, f);
      while (error == EEXIST && f.flushError == 0) {
        // The name was taken meanwhile: another one, or the file is given up.
        const QByteArray takenName = f.name;
        if (listed_) present_.insert(takenName);
        if (!reactions_.renameOnClash || !reactions_.renameOnClash(f)) break;
        reserved_.remove(takenName);
        reserved_.insert(f.name);
        error = tryPublish(folder_, f);
      }
      if (error == 0) {
        f.temporary.clear();
        drop(f);
        nowPresent(f.name);
        if (reactions_.named) reactions_.named(f);
        continue;
      }
      drop(f);
      if (reactions_.failed && !reactions_.failed(f, error)) endHere();
    }
    flushed_.clear();
  }

  // A file of this copy took its name.
  void nowPresent(const QByteArray& name) {
    reserved_.remove(name);
    if (listed_) present_.insert(name);
  }

  // A failure ends the copy: nothing after it is named.
  void endHere() {
    ended_ = true;
    for (PendingFile& f : filling_) drop(f);
    filling_.clear();
  }

  static inline CopyRun* active_ = nullptr;

  Folder folder_;
  EventPump& pump_;
  Reactions reactions_;
  int mostPending_ = kBatchFiles;
  PendingFile current_;               // the file being copied
  std::vector<PendingFile> filling_;  // copied, waiting for the next flush
  qint64 fillingBytes_ = 0, fillingSince_ = 0;
  // Files in the helpers' hands, flushed and then named.
  struct Batch {
    std::vector<PendingFile> files;
    std::shared_future<bool> namedWhole;  // its helper named every file
    std::unique_ptr<HelperRun> helper;
  };
  std::deque<std::unique_ptr<Batch>> flushing_;  // oldest first
  std::vector<PendingFile> flushed_;             // being named
  std::unique_ptr<HelperRun> cleaning_;
  QSet<QByteArray> reserved_;  // the names the files waiting are to take
  QSet<QByteArray> present_;   // the folder's entries, where listed_
  bool listed_ = false;
  bool ended_ = false;
};

}  // namespace

CopyTestHooks& copyTestHooks() {
  static CopyTestHooks hooks;
  return hooks;
}

CopyOptions pageCopyOptions(const QString& destination, const QString& listName) {
  CopyOptions options;
  options.destination = destination;
  options.listName = listName;
  options.stopBeforeRow = kPageStopRequest;
  options.stopBeforeFile = kStopRequest;
  options.endOnFailure = false;
  return options;
}

ListViewCopyRows::ListViewCopyRows(ListView* list) : list_(list) {}
int ListViewCopyRows::rowCount() const { return list_ ? list_->Count() : 0; }
bool ListViewCopyRows::ticked(int row) const { return list_ && list_->Checked(row); }
QString ListViewCopyRows::path(int row) const { return list_ ? list_->SubItem(row, 1) : QString(); }

QString numberedCopyName(const QString& name, int number, qsizetype maxBytes) {
  const qsizetype dot = name.lastIndexOf(u'.');
  const QByteArray tag = '(' + QByteArray::number(number) + ')';
  QByteArray stem = encodePath(dot < 0 ? name : name.left(dot));
  const QByteArray extension = dot < 0 ? QByteArray() : encodePath(name.mid(dot));
  if (stem.size() + tag.size() + extension.size() > maxBytes) {
    const qsizetype room = maxBytes - tag.size() - extension.size();
    // An extension that leaves no room: the number goes at the end of the
    // whole name, cut to fit.
    if (room < 0) return decodePath(cutAtCharBoundary(stem + extension, maxBytes - tag.size()) + tag);
    stem = cutAtCharBoundary(stem, room);
  }
  return decodePath(stem + tag + extension);
}

void showNoDestinationBox(QWidget* owner, const QString& folder) {
  services().dialogs->msgBox(owner,
                             "Le Dossier de Destination de votre Copie ne peut pas être Créé ou Ouvert :\n(" + folder +
                                 ")\nAucun Fichier n'a été Copié...\nVérifiez son Nom et que vous avez le Droit "
                                 "d'y Écrire....",
                             vbCritical, "Copie Impossible...");
}

void discardCopyInProgress() { CopyRun::abandonActive(); }

FileCopyStatus copyRegularFile(const QByteArray& source, const QByteArray& target, EventPump* events) {
  std::optional<EventPump> own;
  EventPump& pump = events ? *events : own.emplace(kEventSliceMs);
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folderPath = slash < 0    ? QByteArrayLiteral(".")
                                : slash == 0 ? QByteArrayLiteral("/")
                                             : target.left(slash);
  bool clashed = false, failed = false;
  CopyRun::Reactions reactions;
  reactions.renameOnClash = [&](PendingFile&) {
    clashed = true;
    return false;
  };
  reactions.failed = [&](const PendingFile&, int) {
    failed = true;
    return false;
  };
  CopyRun run(folderPath, pump, std::move(reactions));
  if (!run.folder().isOpen()) return FileCopyStatus::Failed;
  struct stat seen;
  if (!FichierExiste(source, &seen)) return FileCopyStatus::SourceMissing;
  PendingFile file;
  file.name = target.mid(slash + 1);
  if (run.folder().holds(file.name)) return FileCopyStatus::TargetExists;
  const FileCopyStatus status = run.copyIn(source, seen, std::move(file));
  if (status != FileCopyStatus::Copied) return status;
  run.drainBatches();
  if (clashed) return FileCopyStatus::TargetExists;
  return failed || CopyRun::abandoned() ? FileCopyStatus::Failed : FileCopyStatus::Copied;
}

CopyOutcome copyTickedFiles(const CopyRows& rows, const CopyOptions& options) {
  CopyOutcome outcome;
  // A second copy would share the loop state and the stop request.
  if (!mayStart(Job::Copy)) {
    outcome.end = CopyEnd::Refused;
    return outcome;
  }
  const JobGuard running(Job::Copy);

  VariablesVRN& v = vrnVars();
  v.DemandeArret.clear();
  auto show = [&](const QString& text) {
    if (options.showProgress) options.showProgress(text);
  };
  auto progress = [&](const char* what, int row) {
    return QString::fromUtf8(what) + QLatin1Char('\n') + options.listName + QLatin1Char('-') + QString::number(row) +
           QLatin1Char('/') + QString::number(v.NombreSelection);
  };
  EventPump::Pace pace;
  pace.sliceMs = kEventSliceMs;
  pace.firstOfferTurns = true;  // events get through after the first file at once
  EventPump pump(pace);

  auto finish = [&](CopyEnd end) {
    outcome.end = end;
    v.ModeCopie.clear();
    v.DemandeArret.clear();
    return outcome;
  };
  // No folder: never fall back to the file system root.
  if (options.destination.isEmpty()) return finish(CopyEnd::Failed);

  qsizetype longestName = NAME_MAX;
  std::optional<CopyRun> run;
  // Each numbered try starts from the file's own name; a name a waiting file
  // took counts as taken.
  auto freeName = [&](const QString& ownName, int& clash, QString& name) {
    QByteArray bytes = encodePath(name);
    while (run->taken(bytes)) {
      name = numberedCopyName(ownName, ++clash, longestName);
      bytes = encodePath(name);
    }
    return bytes;
  };
  CopyRun::Reactions reactions;
  reactions.renameOnClash = [&](PendingFile& f) {
    // The name was taken while the file was copied: the next free number.
    QString name = numberedCopyName(f.ownName, ++f.clash, longestName);
    f.name = freeName(f.ownName, f.clash, name);
    if (f.row == v.IndiceBoucle) v.NomCopie = name;
    return true;
  };
  reactions.named = [&](const PendingFile&) { ++outcome.copied; };
  reactions.failed = [&](const PendingFile& f, int) {
    ++outcome.failed;
    if (!options.endOnFailure) return true;
    // The copy ends at that file, as it would have when it was copied.
    v.IndiceBoucle = f.row;
    v.SourceCopie = f.source;
    v.NomCopie = decodePath(f.name);
    show(progress("Arrêter Copie", f.row));
    return false;
  };
  run.emplace(encodePath(options.destination), pump, std::move(reactions));
  if (!run->folder().isOpen()) return finish(CopyEnd::NoDestination);
  longestName = run->folder().longestName();
  run->startClearingStaleTemporaries();

  CopyEnd end = CopyEnd::Finished;
  const int count = rows.rowCount();
  for (int i = 1; i <= count; ++i) {
    if (i > rows.rowCount()) break;  // the list was emptied meanwhile
    if (!rows.ticked(i)) continue;
    v.IndiceBoucle = i;
    if (!options.stopBeforeRow.isEmpty() && v.DemandeArret == options.stopBeforeRow) {
      show(progress("Copie Arrêter", i));
      end = CopyEnd::Stopped;
      break;
    }
    v.SourceCopie = trimBlanks(rows.path(i));
    v.NomCopie = v.SourceCopie.mid(v.SourceCopie.lastIndexOf(u'/') + 1);
    show(progress("Arrêter Copie", i));
    const QByteArray source = encodePath(v.SourceCopie);
    struct stat seen;
    if (!FichierExiste(source, &seen)) {
      pump.offer();
      run->advance();
      continue;
    }
    if (!options.stopBeforeFile.isEmpty() && v.DemandeArret == options.stopBeforeFile) {
      end = CopyEnd::Stopped;
      break;
    }
    PendingFile file;
    file.row = i;
    file.source = v.SourceCopie;
    file.ownName = v.NomCopie;
    file.name = freeName(file.ownName, file.clash, v.NomCopie);
    const FileCopyStatus status = run->copyIn(source, seen, std::move(file));
    // The program is ending (the quit command): nothing more is copied.
    if (CopyRun::abandoned()) {
      end = CopyEnd::Failed;
      break;
    }
    if (status == FileCopyStatus::Copied) {
      if (options.afterFileCopied) options.afterFileCopied();
      else pump.offer();
      if (CopyRun::abandoned()) {
        end = CopyEnd::Failed;
        break;
      }
    } else if (status == FileCopyStatus::Failed) {
      if (run->ended()) {
        end = CopyEnd::Failed;
        break;
      }
      ++outcome.failed;
      if (options.endOnFailure) {
        end = CopyEnd::Failed;
        break;
      }
      pump.offer();
    } else {
      pump.offer();  // gone, or no regular file: skipped
    }
    run->advance();
    if (run->ended()) {
      end = CopyEnd::Failed;
      break;
    }
  }
  // What was copied before the end gets its name, unless the program is ending.
  if (!CopyRun::abandoned()) {
    run->drainBatches();
    run->finishClearing();
  }
  if (run->ended() || CopyRun::abandoned()) end = CopyEnd::Failed;
  run.reset();
  return finish(end);
}

}  // namespace vrn
