// Replacing the database: the old one stays whole until the new one is, a
// failure at any step leaves it as it was, a kill at any step is put right
// by the recovery, and a full disk or an undeletable old list changes
// nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "tests/database/killpoint.h"
#include "tests/testing/immutable.h"
#include "tests/database/tree.h"
#include "tests/testing/fixture.h"

namespace vrn {
namespace {

using testing::FolderPicture;
using testing::pictureOf;

class DbReplaceTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    ASSERT_TRUE(QDir().mkpath(dbDir()));
    // The new database: a bare run, three lists, one run left out.
    ext = {"", "", "", "doc", "doc", "odt", "txt", "txt", "txt", "x/y"};
    paths = {"", "", "", "/n/a.doc", "/n/b.DOC", "/n/c.odt", "/n/d.txt", "/n/e.txt", "/n/f.txt", ""};
  }
  void TearDown() override {
    databaseWriteHook() = nullptr;
    AppFolderTest::TearDown();
  }
  // The old database with what lives beside it.
  void writeOldDatabase() {
    testing::removeTree(encodePath(dbDir()));
    ASSERT_TRUE(QDir().mkpath(dbDir() + "/dir.vrn"));
    writeFile(dbDir() + "/der.rep", QByteArray("/old").leftJustified(1024, ' '));
    writeFile(dbDir() + "/doc.vrn", records({"/old/1.doc", "/old/2.doc", "/old/3.doc"}));
    writeFile(dbDir() + "/jpg.vrn", records({"/old/p.jpg"}));
    writeFile(dbDir() + "/MP3.VRN", records({"/old/s.mp3"}));
    writeFile(dbDir() + "/list.vrn.bak", "old copy");
    writeFile(dbDir() + "/affp.aff", QByteArray("01111111111011") + QByteArray(16, '0'));
    writeFile(dbDir() + "/mesp.par", QByteArray("doc").leftJustified(30, ' '));
    writeFile(dbDir() + "/keep.txt", "not a list");
  }
  WriteResult write(int threads = 0) {
    return writeListFiles(dbDir(), "/n", ext, paths, qint64(ext.size()) - 1, {}, {}, threads);
  }
  FolderPicture picture() const { return pictureOf(encodePath(dbDir())); }
  // What a whole write leaves once the bare list is gone.
  FolderPicture newDatabase() {
    writeOldDatabase();
    EXPECT_TRUE(write().written);
    deleteBareList(dbDir(), {});
    return picture();
  }

  std::vector<QByteArray> ext, paths;
};

TEST_F(DbReplaceTest, TheNewDatabaseReplacesTheOldListsAndDerRepOnly) {
  writeOldDatabase();
  const WriteResult r = write();
  EXPECT_TRUE(r.written);
  EXPECT_EQ(r.error, 0);
  deleteBareList(dbDir(), {});
  FolderPicture expected;
  expected["affp.aff"] = QByteArray("01111111111011") + QByteArray(16, '0');
  expected["mesp.par"] = QByteArray("doc").leftJustified(30, ' ');
  expected["keep.txt"] = "not a list";
  expected["dir.vrn/"] = "";
  expected["der.rep"] = QByteArray("/n").leftJustified(1024, ' ');
  expected["doc.vrn"] = records({"/n/a.doc", "/n/b.DOC"});
  expected["odt.vrn"] = records({"/n/c.odt"});
  expected["txt.vrn"] = records({"/n/d.txt", "/n/e.txt", "/n/f.txt"});
  EXPECT_EQ(picture(), expected) << "old lists, the bare list and list.vrn.bak gone; nothing staged left";
}

// A stored list that already holds exactly a new list's records is kept as
// that very file; one that differs, even by a byte, or that is reached through
// a link, is written anew; and the old database still survives a failure.
TEST_F(DbReplaceTest, AStoredListHoldingExactlyTheNewRecordsIsKeptAsItIs) {
  QTemporaryDir outside;
  const QString target = outside.filePath("odt-target");
  const auto inode = [&](const QString& name) {
    struct stat st;
    return ::lstat(encodePath(dbDir() + "/" + name).constData(), &st) == 0 ? st.st_ino : ino_t(0);
  };
  const auto writeOld = [&] {
    writeOldDatabase();
    writeFile(dbDir() + "/doc.vrn", records({"/n/a.doc", "/n/b.DOC"}));
    writeFile(dbDir() + "/txt.vrn", records({"/n/d.txt", "/n/E.txt", "/n/f.txt"}));  // one byte apart
    writeFile(target, records({"/n/c.odt"}));
    ASSERT_EQ(::symlink(encodePath(target).constData(), encodePath(dbDir() + "/odt.vrn").constData()), 0);
  };
  FolderPicture expected;
  for (const int threads : {0, 2}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    writeOld();
    const ino_t doc = inode("doc.vrn"), txt = inode("txt.vrn");
    ASSERT_TRUE(write(threads).written);
    deleteBareList(dbDir(), {});
    EXPECT_EQ(inode("doc.vrn"), doc) << "the same records: the same file";
    EXPECT_NE(inode("txt.vrn"), txt);
    const FolderPicture after = picture();
    EXPECT_EQ(after.value("doc.vrn"), records({"/n/a.doc", "/n/b.DOC"}));
    EXPECT_EQ(after.value("txt.vrn"), records({"/n/d.txt", "/n/e.txt", "/n/f.txt"}));
    EXPECT_EQ(after.value("odt.vrn"), records({"/n/c.odt"}));
    struct stat st;
    ASSERT_EQ(::lstat(encodePath(dbDir() + "/odt.vrn").constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "a link in a list's place is replaced by the list";
    EXPECT_EQ(readFile(target), records({"/n/c.odt"}));
    if (threads == 0) expected = after;
    else EXPECT_EQ(after, expected) << "helper threads give the same database";
  }

  // A failure at any step up to the commit still leaves the old database
  // whole, the file it kept included.
  writeOld();
  const std::vector<WriteStep> steps = testing::writeSteps([&] { write(); });
  const int commitAt = int(std::find(steps.begin(), steps.end(), WriteStep::Commit) - steps.begin());
  ASSERT_NE(std::find(steps.begin(), steps.end(), WriteStep::KeepStored), steps.end());
  for (int at = 0; at <= commitAt; ++at) {
    writeOld();
    const FolderPicture before = picture();
    const ino_t doc = inode("doc.vrn");
    std::atomic<int> step{0};
    databaseWriteHook() = [&](WriteStep) { return step++ == at ? EIO : 0; };
    const WriteResult r = write();
    databaseWriteHook() = nullptr;
    SCOPED_TRACE("step " + std::to_string(at));
    if (steps[size_t(at)] == WriteStep::KeepStored) {
      // A stored list that cannot be kept is written instead.
      EXPECT_TRUE(r.written);
      EXPECT_NE(inode("doc.vrn"), doc);
      EXPECT_EQ(readFile(dbDir() + "/doc.vrn"), records({"/n/a.doc", "/n/b.DOC"}));
    } else {
      EXPECT_FALSE(r.written);
      EXPECT_EQ(picture(), before);
      EXPECT_EQ(inode("doc.vrn"), doc);
    }
    ::unlink(encodePath(dbDir() + "/odt.vrn").constData());
  }
}

// Arrays not sorted by extension give one list in several runs, each
// written over the one before from record 1: such a list never reuses the
// stored file, whose records must not change before the commit.
TEST_F(DbReplaceTest, AListOfSeveralRunsIsAlwaysWrittenAnew) {
  ext = {"", "doc", "doc", "txt", "doc"};
  paths = {"", "/n/a.doc", "/n/b.doc", "/n/c.txt", "/n/z.doc"};
  writeOldDatabase();
  writeFile(dbDir() + "/doc.vrn", records({"/n/a.doc", "/n/b.doc"}));
  const FolderPicture before = picture();
  databaseWriteHook() = [](WriteStep step) { return step == WriteStep::Commit ? EIO : 0; };
  EXPECT_FALSE(write().written);
  databaseWriteHook() = nullptr;
  EXPECT_EQ(picture(), before);
  ASSERT_TRUE(write().written);
  EXPECT_EQ(readFile(dbDir() + "/doc.vrn"), records({"/n/z.doc", "/n/b.doc"}));
}

TEST_F(DbReplaceTest, AFailureAtAnyStepBeforeTheCommitKeepsTheOldDatabase) {
  writeOldDatabase();
  const std::vector<WriteStep> steps = testing::writeSteps([&] { write(); });
  const auto commit = std::find(steps.begin(), steps.end(), WriteStep::Commit);
  ASSERT_NE(commit, steps.end());
  const int commitAt = int(commit - steps.begin());
  ASSERT_GT(commitAt, 20);
  for (const int threads : {0, 2}) {
    for (int at = 0; at <= commitAt; ++at) {
      writeOldDatabase();
      const FolderPicture before = picture();
      const int error = at % 3 == 0 ? ENOSPC : at % 3 == 1 ? EIO : EPERM;
      std::atomic<int> step{0};  // helper threads count too
      databaseWriteHook() = [&](WriteStep) { return step++ == at ? error : 0; };
      const WriteResult r = write(threads);
      databaseWriteHook() = nullptr;
      ASSERT_GT(step.load(), at);
      SCOPED_TRACE("step " + std::to_string(at) + " of kind " + std::to_string(int(steps[size_t(at)])) + ", threads " +
                   std::to_string(threads));
      EXPECT_FALSE(r.written);
      EXPECT_EQ(r.error, error);
      EXPECT_EQ(picture(), before) << "the old database byte for byte, nothing staged left";
    }
  }
}

TEST_F(DbReplaceTest, AFailureAfterTheCommitEndsWithTheNewDatabaseOnceRecovered) {
  const FolderPicture expected = newDatabase();
  writeOldDatabase();
  const std::vector<WriteStep> steps = testing::writeSteps([&] { write(); });
  const int commitAt = int(std::find(steps.begin(), steps.end(), WriteStep::Commit) - steps.begin());
  ASSERT_LT(commitAt + 3, int(steps.size()));
  for (int at = commitAt + 1; at < int(steps.size()); ++at) {
    SCOPED_TRACE("step " + std::to_string(at));
    writeOldDatabase();
    int step = 0;
    databaseWriteHook() = [&](WriteStep) { return step++ == at ? EIO : 0; };
    const WriteResult r = write();
    databaseWriteHook() = nullptr;
    EXPECT_TRUE(r.written) << "committed: the new database is the database";
    EXPECT_TRUE(recoverDatabase(dbDir()));
    deleteBareList(dbDir(), {});
    EXPECT_EQ(picture(), expected);
  }
}

TEST_F(DbReplaceTest, AKillAtAnyStepLeavesTheWholeOldOrTheWholeNewDatabase) {
  const FolderPicture newer = newDatabase();
  writeOldDatabase();
  const FolderPicture older = picture();
  const int total = testing::countWriteSteps([&] { write(); });
  ASSERT_GT(total, 30);
  int oldSeen = 0, newSeen = 0;
  for (int at = 0; at < total; ++at) {
    SCOPED_TRACE("killed before step " + std::to_string(at));
    writeOldDatabase();
    ASSERT_TRUE(testing::killWriteAtStep(at, [&] { write(); }));
    // What start-up does before anything reads a list.
    EXPECT_TRUE(recoverDatabase(dbDir()));
    deleteBareList(dbDir(), {});
    const FolderPicture after = picture();
    if (after == older) ++oldSeen;
    else if (after == newer) ++newSeen;
    else ADD_FAILURE() << "a mix: " << after.keys().join(' ').toStdString();
  }
  EXPECT_GT(oldSeen, 0);
  EXPECT_GT(newSeen, 0);
}

TEST_F(DbReplaceTest, WritesOnHelperThreadsGiveTheSameBytes) {
  ext.assign(1, QByteArray());
  paths.assign(1, QByteArray());
  for (int i = 0; i < 20000; ++i) {
    ext.push_back(i < 500 ? "" : i < 9000 ? "a" : i < 9001 ? "b" : i < 15000 ? "c" : "d");
    paths.push_back(i < 500 ? QByteArray() : "/n/" + QByteArray::number(i) + "." + ext.back());
  }
  writeOldDatabase();
  ASSERT_TRUE(write(0).written);
  const FolderPicture one = picture();
  for (const int threads : {1, 3, 8}) {
    writeOldDatabase();
    int turns = 0;
    EventPump everyOffer(0);
    everyOffer.setBeforeTurn([&] { ++turns; });
    ASSERT_TRUE(writeListFiles(dbDir(), "/n", ext, paths, qint64(ext.size()) - 1, {}, &everyOffer, threads).written);
    EXPECT_EQ(picture(), one) << threads;
    EXPECT_GT(turns, 0) << "events run while the helper threads write, " << threads;
  }
  // Arrays not sorted by extension: a second run of "a" writes over the
  // first from record 1, which only one thread in order can do.
  ext = {"", "a", "a", "a", "b", "a"};
  paths = {"", "/1.a", "/2.a", "/3.a", "/4.b", "/5.a"};
  writeOldDatabase();
  ASSERT_TRUE(write(4).written);
  EXPECT_EQ(readFile(dbDir() + "/a.vrn"), records({"/5.a", "/2.a", "/3.a"}));
}

TEST_F(DbReplaceTest, AFullDiskKeepsTheOldDatabase) {
  // A small file system of its own for the database folder.
  if (::mount("tmpfs", encodePath(dbDir()).constData(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
  struct Unmount {
    QByteArray at;
    ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
  } unmount{encodePath(dbDir())};
  writeFile(dbDir() + "/der.rep", QByteArray("/old").leftJustified(1024, ' '));
  writeFile(dbDir() + "/doc.vrn", records({"/old/1.doc", "/old/2.doc"}));
  writeFile(dbDir() + "/affp.aff", QByteArray(30, '1'));
  const FolderPicture before = picture();
  ext.assign(1, QByteArray());
  paths.assign(1, QByteArray());
  for (int i = 0; i < 2000; ++i) {  // 600 KB of records
    ext.push_back(i < 1000 ? "doc" : "txt");
    paths.push_back("/n/" + QByteArray::number(i));
  }
  for (const int threads : {0, 2}) {
    const WriteResult r = write(threads);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.error, ENOSPC);
    EXPECT_EQ(picture(), before) << threads;
  }
}

TEST_F(DbReplaceTest, AnOldListThatCannotBeMovedFailsTheWholeWrite) {
  writeOldDatabase();
  const testing::ImmutableFile locked(dbDir() + "/jpg.vrn");
  if (!locked.made()) GTEST_SKIP() << "no immutable files here";
  const FolderPicture before = picture();
  const WriteResult r = write();
  EXPECT_FALSE(r.written);
  EXPECT_EQ(r.error, EPERM);
  EXPECT_EQ(picture(), before) << "no list moved, none written";
}

TEST_F(DbReplaceTest, AFolderStandingWhereANewListGoesFailsTheWrite) {
  writeOldDatabase();
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/txt.vrn"));
  const FolderPicture before = picture();
  const WriteResult r = write();
  EXPECT_FALSE(r.written);
  EXPECT_EQ(picture(), before);

  // der.rep a folder could never take the new source.
  ASSERT_TRUE(QDir().rmdir(dbDir() + "/txt.vrn"));
  ASSERT_TRUE(QFile::remove(dbDir() + "/der.rep"));
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/der.rep"));
  const FolderPicture before2 = picture();
  EXPECT_FALSE(write().written);
  EXPECT_EQ(picture(), before2);
}

TEST_F(DbReplaceTest, AnUnusableDatabaseFolderIsReported) {
  testing::removeTree(encodePath(dbDir()));
  writeFile(dbDir(), "a plain file");
  WriteResult r = write();
  EXPECT_FALSE(r.written);
  EXPECT_EQ(r.error, ENOTDIR);
  EXPECT_EQ(readFile(dbDir()), "a plain file");

  ASSERT_TRUE(QFile::remove(dbDir()));
  r = write();
  EXPECT_FALSE(r.written);
  EXPECT_EQ(r.error, ENOENT);
  EXPECT_FALSE(QFile::exists(dbDir())) << "nothing made in its place";
}

TEST_F(DbReplaceTest, TheBareListIsDeletedAndNeverCountedInAnyCase) {
  for (const char* name : {".vrn", ".VRN", ".Vrn"}) {
    writeFile(dbDir() + "/" + name, records({"/x/a", "/x/b"}));
    writeFile(dbDir() + "/txt.vrn", records({"/x/c.txt"}));
    EXPECT_EQ(countDatabaseRecords(dbDir(), catalogueFiles(dbDir())), 1) << name;
    QList<double> waits;
    EXPECT_TRUE(deleteBareList(dbDir(), [&](double s) { waits << s; }));
    EXPECT_EQ(waits, QList<double>{1});
    EXPECT_FALSE(QFile::exists(dbDir() + "/" + name));
    EXPECT_TRUE(QFile::exists(dbDir() + "/txt.vrn"));
  }
  EXPECT_TRUE(isBareListFile(".vRn"));
  EXPECT_FALSE(isBareListFile("a.vrn"));
  EXPECT_FALSE(isBareListFile("vrn"));
}

}  // namespace
}  // namespace vrn
