#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/testing/immutable.h"
#include "platform/recordfile.h"
#include "tests/testing/smallfs.h"

using namespace vrn;

TEST(RecordFile, OpeningCreatesAMissingFileWithLengthZero) {
  QTemporaryDir dir;
  const QString path = dir.filePath("a.vrn");
  RecordFile f;
  ASSERT_TRUE(f.open(path, 300));
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_EQ(f.length(), 0);
  EXPECT_EQ(f.recordCount(), 0);
  // Record 1 of an empty file reads as 300 zero bytes.
  EXPECT_EQ(f.read(1), QByteArray(300, '\0'));
}

TEST(RecordFile, WritesArePaddedWithBlanksAndCutAtTheWidth) {
  QTemporaryDir dir;
  const QString path = dir.filePath("r.bin");
  {
    RecordFile f;
    ASSERT_TRUE(f.open(path, 10));
    ASSERT_TRUE(f.write(1, "abc"));
    ASSERT_TRUE(f.write(2, "0123456789XYZ"));
    ASSERT_TRUE(f.write(4, "d"));  // leaves a gap at record 3
    EXPECT_EQ(f.recordCount(), 4);
  }
  QFile raw(path);
  ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
  const QByteArray bytes = raw.readAll();
  ASSERT_EQ(bytes.size(), 40);
  EXPECT_EQ(bytes.mid(0, 10), QByteArray("abc       "));
  EXPECT_EQ(bytes.mid(10, 10), QByteArray("0123456789"));
  EXPECT_EQ(bytes.mid(20, 10), QByteArray(10, '\0'));
  EXPECT_EQ(bytes.mid(30, 10), QByteArray("d         "));
}

TEST(RecordFile, CountsWholeRecordsAndReadsPastTheEndAsZeros) {
  QTemporaryDir dir;
  const QString path = dir.filePath("six.vrn");
  QFile raw(path);
  ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
  raw.write(QByteArray(300, 'a') + QByteArray(300, 'b') + QByteArray(150, 'c'));
  raw.close();
  RecordFile f;
  ASSERT_TRUE(f.open(path, 300));
  EXPECT_EQ(f.recordCount(), 2);  // the 150-byte tail is not a record
  EXPECT_EQ(f.read(2), QByteArray(300, 'b'));
  QByteArray third = f.read(3);
  EXPECT_EQ(third.left(150), QByteArray(150, 'c'));
  EXPECT_EQ(third.mid(150), QByteArray(150, '\0'));
  EXPECT_EQ(f.read(4), QByteArray(300, '\0'));
  EXPECT_EQ(recordCountOf(path, 300), 2);
  EXPECT_EQ(recordCountOf(dir.filePath("missing.vrn"), 300), 0);
  EXPECT_FALSE(QFile::exists(dir.filePath("missing.vrn")));
}

TEST(RecordFile, ReadsSeeBufferedWritesAndChannelsAreFixed) {
  QTemporaryDir dir;
  RecordFile& list = fileChannel(1);
  ASSERT_TRUE(list.open(dir.filePath("x.vrn"), 300));
  for (int i = 1; i <= 1000; ++i) ASSERT_TRUE(list.write(i, QByteArray::number(i)));
  EXPECT_EQ(list.recordCount(), 1000);
  EXPECT_EQ(list.read(777).left(3), QByteArray("777"));
  // Reopening on the same channel closes the first file.
  ASSERT_TRUE(list.open(dir.filePath("y.vrn"), 300));
  EXPECT_EQ(list.recordCount(), 0);
  EXPECT_EQ(recordCountOf(dir.filePath("x.vrn"), 300), 1000);
  EXPECT_EQ(&fileChannel(1), &list);
  EXPECT_NE(&fileChannel(2), &list);
  closeAllChannels();
  EXPECT_FALSE(fileChannel(1).isOpen());
}

TEST(RecordFile, AFolderOrAMissingParentFailsToOpen) {
  QTemporaryDir dir;
  RecordFile f;
  EXPECT_FALSE(f.open(dir.path(), 300));
  EXPECT_FALSE(f.open(dir.filePath("no/such/dir/a.vrn"), 300));
  EXPECT_FALSE(f.write(1, "x"));
  EXPECT_EQ(f.read(1), QByteArray());
}

namespace {

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

}  // namespace

TEST(RecordFile, NeverOpensThroughASymbolicLinkNorCreatesWhereOnePoints) {
  QTemporaryDir dir, outside;
  const QString victim = outside.filePath("victim");
  writeBytes(victim, QByteArray(300, 'v'));
  const QString subfolder = outside.filePath("folder");
  ASSERT_TRUE(QDir().mkdir(subfolder));
  const struct {
    const char* name;
    QString target;
  } links[] = {
      {"to-a-file.vrn", victim},
      {"dangling.vrn", outside.filePath("made-there")},
      {"to-a-folder.vrn", subfolder},
  };
  for (const auto& l : links) {
    SCOPED_TRACE(l.name);
    const QString path = dir.filePath(l.name);
    ASSERT_TRUE(QFile::link(l.target, path));
    for (const bool create : {true, false}) {
      RecordFile f;
      EXPECT_FALSE(f.open(path, 300, create));
      EXPECT_FALSE(f.write(1, "written"));
      EXPECT_EQ(f.read(1), QByteArray());
    }
    RecordFile& channel = fileChannel(2);
    EXPECT_FALSE(channel.open(path, 1024));
    EXPECT_EQ(recordCountOf(path, 300), 0);
  }
  EXPECT_EQ(fileBytes(victim), QByteArray(300, 'v'));
  EXPECT_EQ(QDir(outside.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({"folder", "victim"}));
  EXPECT_TRUE(QDir(subfolder).isEmpty());
}

TEST(RecordFile, AFifoInAFilesPlaceIsRefusedWithoutWaiting) {
  QTemporaryDir dir;
  const QString path = dir.filePath("der.rep");
  ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
  RecordFile f;
  EXPECT_FALSE(f.open(path, 1024));
  EXPECT_FALSE(f.open(path, 1024, false));
}

// Options and preferred lists in an immutable file or on a read-only mount:
// nobody can write them, yet they are read.
TEST(RecordFile, AnImmutableFileIsStillRead) {
  QTemporaryDir dir;
  const QByteArray record = QByteArray("10101010000001") + QByteArray(16, '0');
  const QString path = dir.filePath("affp.aff");
  writeBytes(path, record);
  if (!vrn::testing::setImmutable(path, true)) GTEST_SKIP() << "this file system has no immutable files";
  struct Clear {
    QString path;
    ~Clear() { vrn::testing::setImmutable(path, false); }
  } clear{path};
  RecordFile f;
  ASSERT_TRUE(f.open(path, 30));
  EXPECT_EQ(f.read(1), record);
  EXPECT_FALSE(f.write(1, QByteArray(30, '1')) && f.flush());
  f.close();
  EXPECT_EQ(fileBytes(path), record);
}

TEST(RecordFile, AFileOnAReadOnlyMountIsStillRead) {
  QTemporaryDir dir;
  const QByteArray mp = QFile::encodeName(dir.path());
  const vrn::testing::SmallFileSystem disk(mp, "64k");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a file system is not permitted here";
  const QString path = dir.filePath("mesp.par");
  const QByteArray records = QByteArray("jpg").leftJustified(30, ' ') + QByteArray("txt").leftJustified(30, ' ');
  writeBytes(path, records);
  ASSERT_EQ(::mount(nullptr, mp.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  RecordFile f;
  ASSERT_TRUE(f.open(path, 30));
  EXPECT_EQ(f.recordCount(), 2);
  EXPECT_EQ(f.read(2), QByteArray("txt").leftJustified(30, ' '));
  EXPECT_FALSE(f.write(3, "png") && f.flush());
  f.close();
  EXPECT_EQ(fileBytes(path), records);
  // A missing file cannot be made there.
  EXPECT_FALSE(f.open(dir.filePath("absent.vrn"), 300));
}

TEST(RecordFile, ReadingManyRecordsAtOnceGivesWhatReadingEachGives) {
  QTemporaryDir dir;
  const QString path = dir.filePath("many.vrn");
  {
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 5; ++i) raw.write(QByteArray::number(i).leftJustified(300, char('a' + i)));
    raw.write(QByteArray(120, 'z'));  // a cut record at the end
  }
  RecordFile f;
  ASSERT_TRUE(f.open(path, 300, false));
  // From record 4 to past the end: the cut record and what follows read as
  // read() gives them (their missing bytes as zeros).
  QByteArray block(4 * 300, '#');
  f.readRecords(4, 4, block.data());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(block.mid(i * 300, 300), f.read(4 + i)) << "record " << 4 + i;
  EXPECT_EQ(block.mid(2 * 300, 120), QByteArray(120, 'z'));
  EXPECT_EQ(block.mid(3 * 300), QByteArray(300, '\0'));
  // Pending writes are seen.
  ASSERT_TRUE(f.write(2, "deux"));
  f.readRecords(1, 2, block.data());
  EXPECT_EQ(block.mid(300, 300), QByteArray("deux").leftJustified(300, ' '));
  EXPECT_EQ(block.left(300), f.read(1));
}
