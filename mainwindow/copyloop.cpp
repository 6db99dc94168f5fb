#include "mainwindow/copyloop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "database/dbfolder.h"
#include "platform/listview.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "support/ModeFileInfoVRN.h"
#include "support/VariablesVRN.h"
#include "support/jobguard.h"

namespace vrn {

namespace {

constexpr size_t kChunk = size_t(1) << 20;

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

// Copies the rest of `in` to `out`: in-kernel where the file systems allow
// it, else through a buffer. Lets events through between chunks.
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
    pump.pump();
  }
}

}  // namespace

CopyTestHooks& copyTestHooks() {
  static CopyTestHooks hooks;
  return hooks;
}

int ListViewCopyRows::rowCount() const { return list_ ? list_->Count() : 0; }
bool ListViewCopyRows::ticked(int row) const { return list_ && list_->Checked(row); }
QString ListViewCopyRows::path(int row) const { return list_ ? list_->SubItem(row, 1) : QString(); }

bool copyRunning() { return JobGuard::isRunning(Job::Copy); }

QString numberedCopyName(const QString& name, int number) {
  const qsizetype dot = name.lastIndexOf(u'.');
  const QString tag = QStringLiteral("(%1)").arg(number);
  if (dot < 0) return name + tag;
  return name.left(dot) + tag + name.mid(dot);
}

FileCopyStatus copyRegularFile(const QByteArray& source, const QByteArray& target) {
  EventPump pump;
  // Look before opening: opening a fifo or a device can block or act on it.
  struct stat st;
  if (::stat(source.constData(), &st) != 0) return errno == ENOENT ? FileCopyStatus::SourceMissing : FileCopyStatus::Failed;
  if (!S_ISREG(st.st_mode)) return FileCopyStatus::NotRegular;
  Fd in(::open(source.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (in.get() < 0) return errno == ENOENT ? FileCopyStatus::SourceMissing : FileCopyStatus::Failed;
  // The entry may have been replaced since the look.
  if (::fstat(in.get(), &st) != 0) return FileCopyStatus::Failed;
  if (!S_ISREG(st.st_mode)) return FileCopyStatus::NotRegular;

  if (const auto& hook = copyTestHooks().beforeCreate) hook(target);
  Fd out(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, st.st_mode & 0777));
  if (out.get() < 0) return errno == EEXIST ? FileCopyStatus::TargetExists : FileCopyStatus::Failed;

  bool ok = copyData(in.get(), out.get(), pump);
  if (ok) {
    // A file copy keeps the modification time; failing to set it is no failure.
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ::futimens(out.get(), times);
  }
  if (::close(out.release()) != 0) ok = false;
  if (!ok) {
    ::unlink(target.constData());
    return FileCopyStatus::Failed;
  }
  return FileCopyStatus::Copied;
}

CopyOutcome copyTickedFiles(const CopyRows& rows, const CopyOptions& options) {
  CopyOutcome outcome;
  // A second copy would share the loop state and the stop request.
  if (copyRunning()) {
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
  EventPump pump;

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
        pump.pump();
        continue;
      }
      if (!options.stopBeforeFile.isEmpty() && v.DemandeArret == options.stopBeforeFile) {
        outcome.end = CopyEnd::Stopped;
        break;
      }
      // Each numbered try starts from the file's own name.
      const QString ownName = v.NomCopie;
      int clash = 1;
      FileCopyStatus status;
      for (;;) {
        while (FichierExiste(folder + v.NomCopie)) v.NomCopie = numberedCopyName(ownName, ++clash);
        status = copyRegularFile(encodePath(v.SourceCopie), encodePath(folder + v.NomCopie));
        if (status != FileCopyStatus::TargetExists) break;
        v.NomCopie = numberedCopyName(ownName, ++clash);  // it appeared in between
      }
      if (status == FileCopyStatus::Copied) {
        ++outcome.copied;
        if (options.letEventsRun) options.letEventsRun();
        else pump.force();
      } else if (status == FileCopyStatus::Failed) {
        ++outcome.failed;
        if (options.endOnFailure) {
          outcome.end = CopyEnd::Failed;
          break;
        }
        pump.pump();
      } else {
        pump.pump();  // gone, or no regular file: skipped
      }
    }
  }
  v.ModeCopie.clear();
  v.DemandeArret.clear();
  return outcome;
}

}  // namespace vrn
