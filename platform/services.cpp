#include "platform/services.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <ctime>

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
  return QCoreApplication::applicationDirPath();
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
