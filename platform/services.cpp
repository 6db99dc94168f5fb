#include "platform/services.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <ctime>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/pathcodec.h"

namespace vrn {

namespace {
QString& appFolderOverride() {
  static QString folder;
  return folder;
}

qint64 monotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}
}  // namespace

Services& services() {
  static Services s;
  return s;
}

QString appFolder() {
  if (!appFolderOverride().isEmpty()) return appFolderOverride();
  return folderOfExecutable(executableLink());
}

QByteArray& executableLink() {
  static QByteArray link = QByteArrayLiteral("/proc/self/exe");
  return link;
}

QString folderOfExecutable(const QByteArray& link) {
  QByteArray target(PATH_MAX + 1, Qt::Uninitialized);
  for (;;) {
    const ssize_t n = ::readlink(link.constData(), target.data(), size_t(target.size()));
    if (n < 0) return QString();
    if (n < target.size()) {
      target.truncate(n);
      break;
    }
    target.resize(target.size() * 2);  // possibly cut: read again with more room
  }
  if (!target.startsWith('/')) return QString();
  // The kernel marks an executable removed since it started (replaced by an
  // update, say) with this suffix; the folder itself is still the one wanted.
  struct stat running, named;
  if (::stat(link.constData(), &running) != 0) return QString();
  const bool same = ::stat(target.constData(), &named) == 0 && named.st_dev == running.st_dev &&
                    named.st_ino == running.st_ino;
  static const QByteArray deleted = QByteArrayLiteral(" (deleted)");
  if (!same) {
    if (!target.endsWith(deleted)) return QString();
    target.chop(deleted.size());
  }
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder = slash == 0 ? QByteArrayLiteral("/") : target.left(slash);
  struct stat st;
  if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return QString();
  return decodePath(folder);
}

void setAppFolderForTests(const QString& folder) { appFolderOverride() = folder; }

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

EventPump::EventPump(int sliceMs) : sliceNs_(sliceMs * 1000000), last_(monotonicNs()) {}

bool EventPump::pump() {
  const qint64 now = monotonicNs();
  if (now - last_ < sliceNs_) return false;
  force();
  return true;
}

void EventPump::force() {
  const qint64 before = monotonicNs();
  longestGapMs_ = std::max(longestGapMs_, (before - last_) / 1000000);
  DoEvents();
  last_ = monotonicNs();
}

}  // namespace vrn
