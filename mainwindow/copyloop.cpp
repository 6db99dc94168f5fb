#include "mainwindow/copyloop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <optional>
#include <vector>

#include "database/dbfolder.h"
#include "platform/listview.h"
#include "platform/pathcodec.h"
#include "platform/eventpump.h"
#include "support/ModeFileInfoVRN.h"
#include "support/VariablesVRN.h"
#include "support/jobguard.h"

namespace vrn {

namespace {

constexpr size_t kChunk = size_t(1) << 20;
// Events run at least this often while files are copied, and after each
// file copied.
constexpr int kEventSliceMs = 8;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= size_t(n);
  }
  return true;
}

// The file being copied under its temporary name, so that a quit can remove
// it before the process ends; `abandoned` ends the copy that was running.
struct PartialCopy {
  QByteArray path;
  bool abandoned = false;
};

PartialCopy& partialCopy() {
  static PartialCopy partial;
  return partial;
}

// Copies the rest of `in` to `out`: in-kernel where the file systems allow
// it, else through a buffer. Offers the pump a turn between chunks.
bool copyData(int in, int out, EventPump& pump) {
  bool inKernel = true;
  std::vector<char> buffer;
  qint64 written = 0;
  for (;;) {
    if (const auto& fail = copyTestHooks().failWrite) {
      if (const int e = fail(written)) {
        errno = e;
        return false;
      }
    }
    ssize_t n;
    if (inKernel) {
      n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
      if (n < 0 && written == 0 &&
          (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EPERM)) {
        inKernel = false;
        continue;
      }
      // Some file systems report 0 before the end: the buffered path confirms it.
      if (n == 0) {
        inKernel = false;
        continue;
      }
    } else {
      if (buffer.empty()) buffer.resize(kChunk / 4);
      n = ::read(in, buffer.data(), buffer.size());
      if (n > 0 && !writeAll(out, buffer.data(), size_t(n))) return false;
    }
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += n;
    pump.offer();
    if (partialCopy().abandoned) {
      errno = ECANCELED;
      return false;
    }
  }
}

// ".<name>.varnelo-part-": hidden, and not a name anyone picks; the name is
// cut (never inside a character) so that the whole stays a legal file name.
QByteArray temporaryPrefix(const QByteArray& name) {
  static const QByteArray tag = QByteArrayLiteral(".varnelo-part-");
  constexpr qsizetype kRandom = 6;
  return '.' + cutAtCharBoundary(name, NAME_MAX - 1 - tag.size() - kRandom) + tag;
}

// Creates a new temporary file beside the target, exclusively (never through
// a link). Returns the descriptor, or -1 with errno.
int createTemporary(const QByteArray& folder, const QByteArray& name, mode_t mode, QByteArray& path) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  const QByteArray prefix = folder + '/' + temporaryPrefix(name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    QByteArray candidate = prefix;
    for (int i = 0; i < 6; ++i) candidate += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) {
      path = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

// Gives the complete temporary file the target's name without replacing
// anything: 0, or the errno (EEXIST when the name is taken).
int publish(const QByteArray& temporary, const QByteArray& target) {
  const CopyTestHooks& hooks = copyTestHooks();
  if (hooks.refuseNoReplaceRename) errno = EINVAL;
  else if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  // The file system refuses the no-replace rename: a hard link never replaces.
  if (hooks.refuseLinks) errno = EPERM;
  else if (::link(temporary.constData(), target.constData()) == 0) {
    ::unlink(temporary.constData());
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
  // Neither (some FUSE file systems): look, then rename. Another program can
  // only get in during the instant between the two.
  struct stat st;
  if (::lstat(target.constData(), &st) == 0) return EEXIST;
  if (::rename(temporary.constData(), target.constData()) == 0) return 0;
  return errno;
}

}  // namespace

CopyTestHooks& copyTestHooks() {
  static CopyTestHooks hooks;
  return hooks;
}

int ListViewCopyRows::rowCount() const { return list_ ? list_->Count() : 0; }
bool ListViewCopyRows::ticked(int row) const { return list_ && list_->Checked(row); }
QString ListViewCopyRows::path(int row) const { return list_ ? list_->SubItem(row, 1) : QString(); }

QString numberedCopyName(const QString& name, int number) {
  const qsizetype dot = name.lastIndexOf(u'.');
  const QString tag = QStringLiteral("(%1)").arg(number);
  if (dot < 0) return name + tag;
  return name.left(dot) + tag + name.mid(dot);
}

void discardCopyInProgress() {
  PartialCopy& partial = partialCopy();
  if (!partial.path.isEmpty()) {
    ::unlink(partial.path.constData());
    partial.path.clear();
  }
  if (JobGuard::isRunning(Job::Copy)) partial.abandoned = true;
}

FileCopyStatus copyRegularFile(const QByteArray& source, const QByteArray& target,
                               const std::function<QByteArray()>& nextTarget, QByteArray* taken, EventPump* events) {
  std::optional<EventPump> own;
  EventPump& pump = events ? *events : own.emplace(kEventSliceMs);
  // Look before opening: opening a fifo or a device can block or act on it.
  struct stat st;
  if (::stat(source.constData(), &st) != 0)
    return errno == ENOENT ? FileCopyStatus::SourceMissing : FileCopyStatus::Failed;
  if (!S_ISREG(st.st_mode)) return FileCopyStatus::NotRegular;
  Fd in(::open(source.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (in.get() < 0) return errno == ENOENT ? FileCopyStatus::SourceMissing : FileCopyStatus::Failed;
  // The entry may have been replaced since the look.
  if (::fstat(in.get(), &st) != 0) return FileCopyStatus::Failed;
  if (!S_ISREG(st.st_mode)) return FileCopyStatus::NotRegular;

  // The data goes to a temporary name beside the target; the target's name
  // appears only once the copy is complete and written out.
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArrayLiteral(".") : target.left(std::max<qsizetype>(slash, 1));
  PartialCopy& partial = partialCopy();
  QByteArray temporary;
  Fd out(createTemporary(folder, target.mid(slash + 1), st.st_mode & 0777, temporary));
  if (out.get() < 0) return FileCopyStatus::Failed;
  partial.path = temporary;
  auto discard = [&] {
    ::unlink(temporary.constData());
    partial.path.clear();
    return FileCopyStatus::Failed;
  };

  bool ok = copyData(in.get(), out.get(), pump);
  if (ok) {
    // A file copy keeps the modification time; failing to set it is no failure.
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ::futimens(out.get(), times);
    ok = ::fsync(out.get()) == 0;
  }
  if (::close(out.release()) != 0) ok = false;
  if (!ok || partial.abandoned) return discard();

  QByteArray name = target;
  for (;;) {
    if (const auto& hook = copyTestHooks().beforeCreate) hook(name);
    const int error = publish(temporary, name);
    if (error == 0) break;
    if (error != EEXIST) return discard();
    // The name was taken meanwhile: another one, or give up without a trace.
    if (!nextTarget) {
      discard();
      return FileCopyStatus::TargetExists;
    }
    name = nextTarget();
  }
  partial.path.clear();
  if (taken) *taken = name;
  return FileCopyStatus::Copied;
}

CopyOutcome copyTickedFiles(const CopyRows& rows, const CopyOptions& options) {
  CopyOutcome outcome;
  // A second copy would share the loop state and the stop request.
  if (!mayStart(Job::Copy)) {
    outcome.end = CopyEnd::Refused;
    return outcome;
  }
  const JobGuard running(Job::Copy);
  partialCopy().abandoned = false;
  struct ForgetAbandon {
    ~ForgetAbandon() { partialCopy().abandoned = false; }
  } forgetAbandon;

  VariablesVRN& v = vrnVars();
  v.DemandeArret.clear();
  auto show = [&](const QString& text) {
    if (options.showProgress) options.showProgress(text);
  };
  auto progress = [&](const char* what, int row) {
    return QString::fromUtf8(what) + QLatin1Char('\n') + options.listName + QLatin1Char('-') + QString::number(row) +
           QLatin1Char('/') + QString::number(v.NombreSelection);
  };
  EventPump pump(kEventSliceMs);

  if (options.destination.isEmpty()) {
    // No folder: never fall back to the file system root.
    outcome.end = CopyEnd::Failed;
  } else {
    const QString folder = options.destination + QLatin1Char('/');
    const int count = rows.rowCount();
    for (int i = 1; i <= count; ++i) {
      if (i > rows.rowCount()) break;  // the list was emptied meanwhile
      if (!rows.ticked(i)) continue;
      v.IndiceBoucle = i;
      if (!options.stopBeforeRow.isEmpty() && v.DemandeArret == options.stopBeforeRow) {
        show(progress("Copie Arrêter", i));
        outcome.end = CopyEnd::Stopped;
        break;
      }
      v.SourceCopie = trimBlanks(rows.path(i));
      v.NomCopie = v.SourceCopie.mid(v.SourceCopie.lastIndexOf(u'/') + 1);
      show(progress("Arrêter Copie", i));
      if (!FichierExiste(v.SourceCopie)) {
        pump.offer();
        continue;
      }
      if (!options.stopBeforeFile.isEmpty() && v.DemandeArret == options.stopBeforeFile) {
        outcome.end = CopyEnd::Stopped;
        break;
      }
      // Each numbered try starts from the file's own name.
      const QString ownName = v.NomCopie;
      int clash = 1;
      auto freeName = [&] {
        while (FichierExiste(folder + v.NomCopie)) v.NomCopie = numberedCopyName(ownName, ++clash);
        return encodePath(folder + v.NomCopie);
      };
      const QByteArray first = freeName();
      // A name taken while the file was copied: the next free number.
      const FileCopyStatus status = copyRegularFile(
          encodePath(v.SourceCopie), first,
          [&] {
            v.NomCopie = numberedCopyName(ownName, ++clash);
            return freeName();
          },
          nullptr, &pump);
      if (partialCopy().abandoned) {
        // The program is ending (the quit command): nothing more is copied.
        outcome.end = CopyEnd::Failed;
        break;
      }
      if (status == FileCopyStatus::Copied) {
        ++outcome.copied;
        if (options.afterFileCopied) options.afterFileCopied();
        else pump.turn();
        if (partialCopy().abandoned) {
          outcome.end = CopyEnd::Failed;
          break;
        }
      } else if (status == FileCopyStatus::Failed) {
        ++outcome.failed;
        if (options.endOnFailure) {
          outcome.end = CopyEnd::Failed;
          break;
        }
        pump.offer();
      } else {
        pump.offer();  // gone, or no regular file: skipped
      }
    }
  }
  v.ModeCopie.clear();
  v.DemandeArret.clear();
  return outcome;
}

}  // namespace vrn
