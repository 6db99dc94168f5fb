#include "tests/testing/fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/recordfile.h"
#include "platform/services.h"
#include "support/VariablesVRN.h"

namespace vrn::testing {

void AppFolderTest::SetUp() {
  ASSERT_TRUE(exe_.isValid());
  ASSERT_TRUE(config_.isValid());
  setAppFolderForTests(exe_.path());
  oldConfig_ = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
  resetVariablesVRN();
  closeAllChannels();
  svc = std::make_unique<TestServices>();
}

void AppFolderTest::TearDown() {
  closeAllChannels();
  services() = Services();
  svc.reset();
  setAppFolderForTests(QString());
  if (oldConfig_.isNull()) qunsetenv("XDG_CONFIG_HOME");
  else qputenv("XDG_CONFIG_HOME", oldConfig_);
}

void AppFolderTest::writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  f.write(bytes);
}

QByteArray AppFolderTest::readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

qint64 AppFolderTest::bytesReadSoFar() {
  QFile io("/proc/self/io");
  if (!io.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : io.readAll().split('\n'))
    if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
  return -1;
}

QByteArray AppFolderTest::records(const QList<QByteArray>& paths, int length) {
  QByteArray out;
  for (const QByteArray& p : paths) out += p.leftJustified(length, ' ', true);
  return out;
}

}  // namespace vrn::testing
