#pragma once
// Common test set-up: a temporary executable folder (the database folder is
// created inside it by the code under test), scripted services, fresh shared
// variables and a temporary XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "platform/testservices.h"

namespace vrn::testing {

class AppFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString exeDir() const { return exe_.path(); }
  QString dbDir() const { return exe_.path() + "/BDVRN"; }
  QString configDir() const { return config_.path(); }

  // Writes bytes to a file, creating its folders.
  static void writeFile(const QString& path, const QByteArray& bytes);
  static QByteArray readFile(const QString& path);
  // A list file of 300-byte blank-padded records.
  static QByteArray records(const QList<QByteArray>& paths, int length = 300);

  // The bytes this process has read so far (-1 where the system does not
  // count them).
  static qint64 bytesReadSoFar();

  std::unique_ptr<TestServices> svc;

 private:
  QTemporaryDir exe_;
  QTemporaryDir config_;
  QByteArray oldConfig_;
};

}  // namespace vrn::testing
