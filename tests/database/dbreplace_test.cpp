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
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
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
#include "tests/testing/smallfs.h"

// Every flush this test program asks of the disk, by the path of what it
// flushed, while a test listens: the real calls, wrapped.
namespace {
std::mutex flushMutex;
std::function<void(const char* call, const QByteArray& path)> flushListener;

QByteArray pathOfDescriptor(int fd) {
  char target[4096];
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
  return QByteArray(target, n > 0 ? int(n) : 0);
}

void heardFlush(const char* call, int fd) {
  std::lock_guard lock(flushMutex);
  if (flushListener) flushListener(call, pathOfDescriptor(fd));
}
}  // namespace

extern "C" int fdatasync(int fd) {
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fdatasync"));
  heardFlush("fdatasync", fd);
  return real(fd);
}

extern "C" int fsync(int fd) {
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  heardFlush("fsync", fd);
  return real(fd);
}

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
  // Kills the write before each of its `total` steps, recovers as start-up
  // does, and counts the starts that find the old or the new database; any
  // other folder is a failure.
  struct Seen {
    int older = 0, newer = 0;
  };
  Seen killAtEachStep(int total, const FolderPicture& older, const FolderPicture& newer,
                      const std::function<WriteStepHook()>& also = {}) {
    Seen seen;
    for (int at = 0; at < total; ++at) {
      SCOPED_TRACE("killed before step " + std::to_string(at));
      writeOldDatabase();
      EXPECT_TRUE(testing::killWriteAtStep(
          at, [&] { write(); }, also ? also() : WriteStepHook{}));
      // What start-up does before anything reads a list.
      EXPECT_TRUE(recoverDatabase(dbDir()));
      deleteBareList(dbDir(), {});
      const FolderPicture after = picture();
      if (after == older) ++seen.older;
      else if (after == newer) ++seen.newer;
      else ADD_FAILURE() << "a mix: " << after.keys().join(' ').toStdString();
    }
    return seen;
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
  // The stored txt list: one byte apart from the new records, or the new
  // records and one more.
  QByteArray storedTxt = records({"/n/d.txt", "/n/E.txt", "/n/f.txt"});
  const auto writeOld = [&] {
    writeOldDatabase();
    writeFile(dbDir() + "/doc.vrn", records({"/n/a.doc", "/n/b.DOC"}));
    writeFile(dbDir() + "/txt.vrn", storedTxt);
    writeFile(target, records({"/n/c.odt"}));
    ASSERT_EQ(::symlink(encodePath(target).constData(), encodePath(dbDir() + "/odt.vrn").constData()), 0);
  };
  FolderPicture expected;
  for (const int run : {0, 1, 2, 3}) {
    const int threads = run % 2 == 0 ? 0 : 2;
    storedTxt = run < 2 ? records({"/n/d.txt", "/n/E.txt", "/n/f.txt"})
                        : records({"/n/d.txt", "/n/e.txt", "/n/f.txt", "/n/g.txt"});
    SCOPED_TRACE("threads " + std::to_string(threads) + ", stored txt of " + std::to_string(storedTxt.size() / 300));
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
    if (run == 0) expected = after;
    else EXPECT_EQ(after, expected) << "helper threads and a longer stored list give the same database";
  }

  // A failure at any step up to the commit still leaves the old database
  // whole, the file it kept included.
  storedTxt = records({"/n/d.txt", "/n/E.txt", "/n/f.txt"});
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

// After the commit the new database is the database: a step that fails
// once is tried again within the write; one that keeps failing leaves what
// it could not move for the next recovery, and says so.
TEST_F(DbReplaceTest, AFailureAfterTheCommitIsRetriedOrLeftToTheNextRecovery) {
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
    EXPECT_TRUE(r.settled);
    EXPECT_EQ(r.error, 0);
    deleteBareList(dbDir(), {});
    EXPECT_EQ(picture(), expected) << "finished within the write, nothing left over";
  }

  // A flush of the database folder, or a move of one new list, that keeps
  // failing: committed but not in place, and the old lists not deleted.
  for (const WriteStep failing : {WriteStep::MoveNew, WriteStep::SyncFolder}) {
    SCOPED_TRACE("failing step " + std::to_string(int(failing)));
    writeOldDatabase();
    bool committed = false;
    int moves = 0;
    databaseWriteHook() = [&](WriteStep s) {
      if (s == WriteStep::Commit) committed = true;
      if (!committed || s != failing) return 0;
      return failing == WriteStep::SyncFolder || ++moves > 1 ? EIO : 0;
    };
    const WriteResult r = write();
    databaseWriteHook() = nullptr;
    EXPECT_TRUE(r.written);
    EXPECT_FALSE(r.settled);
    EXPECT_EQ(r.error, EIO);
    const FolderPicture now = picture();
    EXPECT_TRUE(std::any_of(now.keyBegin(), now.keyEnd(), [](const QByteArray& k) {
      return k.startsWith("previous-database/");
    })) << "the old lists are kept until the new ones are in place";
    deleteBareList(dbDir(), {});  // as the scan does once the write returns
    EXPECT_TRUE(recoverDatabase(dbDir()));
    deleteBareList(dbDir(), {});
    EXPECT_EQ(picture(), expected);
  }
}

// A rollback that cannot move the old lists back says so; the next
// recovery puts them back.
TEST_F(DbReplaceTest, ARollbackThatCannotFinishIsLeftToTheNextRecovery) {
  writeOldDatabase();
  const FolderPicture older = picture();
  databaseWriteHook() = [](WriteStep s) { return s == WriteStep::Commit || s == WriteStep::MoveBack ? EIO : 0; };
  const WriteResult r = write();
  databaseWriteHook() = nullptr;
  EXPECT_FALSE(r.written);
  EXPECT_FALSE(r.settled) << "old lists still set aside";
  EXPECT_EQ(r.error, EIO);
  EXPECT_NE(picture(), older);
  EXPECT_TRUE(recoverDatabase(dbDir()));
  EXPECT_EQ(picture(), older);

  // Back once within the write: nothing to leave over.
  int backs = 0;
  databaseWriteHook() = [&](WriteStep s) {
    return s == WriteStep::Commit || (s == WriteStep::MoveBack && ++backs == 1) ? EIO : 0;
  };
  const WriteResult again = write();
  databaseWriteHook() = nullptr;
  EXPECT_FALSE(again.written);
  EXPECT_TRUE(again.settled);
  EXPECT_EQ(picture(), older);
}

// The old database goes only once the new one is in place: a list lost or
// cut on its way in (a file system whose renames lose content) brings the
// old database back, and a kill at any step of that leaves one whole
// database.
TEST_F(DbReplaceTest, ANewDatabaseThatDoesNotArriveWholeIsTurnedDown) {
  const FolderPicture newer = newDatabase();
  writeOldDatabase();
  const FolderPicture older = picture();
  // At the first move of a new file, one still in the committed folder is
  // lost or cut.
  const auto damage = [&](bool cut) {
    return [this, cut, done = false](WriteStep s) mutable {
      if (s != WriteStep::MoveNew || done) return 0;
      done = true;
      QDir db(dbDir());
      for (const QString& folder : db.entryList({"new-database-complete*"}, QDir::Dirs | QDir::Hidden)) {
        const QString odt = dbDir() + "/" + folder + "/odt.vrn";
        if (cut) ::truncate(encodePath(odt).constData(), 100);
        else QFile::remove(odt);
      }
      return 0;
    };
  };
  for (const bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut" : "lost");
    writeOldDatabase();
    databaseWriteHook() = damage(cut);
    const WriteResult r = write();
    databaseWriteHook() = nullptr;
    EXPECT_FALSE(r.written);
    EXPECT_TRUE(r.settled);
    EXPECT_EQ(r.error, EIO);
    EXPECT_EQ(picture(), older) << "the old database whole, nothing of the new one left";
  }
  int total = 0;
  writeOldDatabase();
  databaseWriteHook() = [&total, d = damage(false)](WriteStep s) mutable {
    ++total;
    return d(s);
  };
  write();
  databaseWriteHook() = nullptr;
  const Seen seen = killAtEachStep(total, older, newer, [&] { return WriteStepHook(damage(false)); });
  EXPECT_GT(seen.older, 0);
  EXPECT_GT(seen.newer, 0) << "killed before the damage: the new database, checked, goes in";
}

// Each staged file's data, then the staging folder's entries, are on the
// disk before the commit; and the database folder's entries before the new
// files are checked in place.
TEST_F(DbReplaceTest, TheStagedFilesReachTheDiskBeforeTheCommit) {
  for (const int threads : {0, 2}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    writeOldDatabase();
    const QByteArray db = QDir(dbDir()).canonicalPath().toUtf8();
    QList<QByteArray> heard;  // "<call> <path below the database folder>", and the commit
    {
      std::lock_guard lock(flushMutex);
      flushListener = [&](const char* call, const QByteArray& path) {
        if (path.startsWith(db)) heard << QByteArray(call) + ' ' + path.mid(db.size());
      };
    }
    databaseWriteHook() = [&](WriteStep s) {
      if (s == WriteStep::Commit) {
        std::lock_guard lock(flushMutex);
        heard << "commit";
      }
      return 0;
    };
    const WriteResult r = write(threads);
    databaseWriteHook() = nullptr;
    {
      std::lock_guard lock(flushMutex);
      flushListener = nullptr;
    }
    ASSERT_TRUE(r.written);
    const qsizetype commit = heard.indexOf("commit");
    ASSERT_GT(commit, 0);
    const QList<QByteArray> before = heard.mid(0, commit), after = heard.mid(commit + 1);
    qsizetype lastFile = -1;
    for (const char* file : {"der.rep", ".vrn", "doc.vrn", "odt.vrn", "txt.vrn"}) {
      const qsizetype at = before.indexOf(QByteArray("fdatasync /new-database/") + file);
      EXPECT_GE(at, 0) << file << " flushed before the commit";
      lastFile = std::max(lastFile, at);
    }
    const qsizetype folder = before.lastIndexOf("fsync /new-database");
    EXPECT_GT(folder, lastFile) << "the staging folder's entries after its files";
    EXPECT_TRUE(before.contains("fsync ")) << "the old lists set aside, on the disk";
    EXPECT_TRUE(after.contains("fsync ")) << "the new lists moved in, on the disk";
  }
}

TEST_F(DbReplaceTest, AKillAtAnyStepLeavesTheWholeOldOrTheWholeNewDatabase) {
  const FolderPicture newer = newDatabase();
  writeOldDatabase();
  const FolderPicture older = picture();
  const int total = testing::countWriteSteps([&] { write(); });
  ASSERT_GT(total, 30);
  const Seen seen = killAtEachStep(total, older, newer);
  EXPECT_GT(seen.older, 0);
  EXPECT_GT(seen.newer, 0);
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
  const vrn::testing::SmallFileSystem disk(encodePath(dbDir()), "256k");
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(disk.error());
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

// A list the disk cannot hold loses only that list: a folder standing at
// its name (there before the write or made during it), or a name the disk
// refuses (characters FAT, exFAT, NTFS or SMB cannot hold, a name it folds
// onto another's). The folder holding the lists gone, or der.rep a folder,
// still fail the whole write.
TEST_F(DbReplaceTest, AListTheDiskCannotHoldLosesOnlyThatList) {
  const FolderPicture newer = newDatabase();
  const auto without = [&](const QByteArray& list) {
    FolderPicture out = newer;
    out.remove(list);
    return out;
  };
  for (const int threads : {0, 2}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    writeOldDatabase();
    ASSERT_TRUE(QDir().mkpath(dbDir() + "/txt.vrn"));
    WriteResult r = write(threads);
    EXPECT_TRUE(r.written);
    EXPECT_TRUE(r.settled);
    deleteBareList(dbDir(), {});
    FolderPicture expected = without("txt.vrn");
    expected["txt.vrn/"] = "";
    EXPECT_EQ(picture(), expected) << "every other list written, the folder kept";
  }

  // Made while the old lists were set aside: that list is left out then.
  writeOldDatabase();
  databaseWriteHook() = [this, done = false](WriteStep s) mutable {
    if (s == WriteStep::MoveOld && !done) done = QDir().mkpath(dbDir() + "/odt.vrn");
    return 0;
  };
  EXPECT_TRUE(write().written);
  databaseWriteHook() = nullptr;
  deleteBareList(dbDir(), {});
  FolderPicture expected = without("odt.vrn");
  expected["odt.vrn/"] = "";
  EXPECT_EQ(picture(), expected);

  // Names refused by the disk, one list at a time: the third file opened is
  // doc.vrn (after der.rep and the bare list); with helper threads, any one.
  for (const int error : {EINVAL, EILSEQ, ENOENT, ENAMETOOLONG, EEXIST}) {
    for (const int threads : {0, 2}) {
      SCOPED_TRACE("error " + std::to_string(error) + ", threads " + std::to_string(threads));
      writeOldDatabase();
      std::atomic<int> opens{0};
      databaseWriteHook() = [&](WriteStep s) { return s == WriteStep::OpenFile && ++opens == 3 ? error : 0; };
      const WriteResult r = write(threads);
      databaseWriteHook() = nullptr;
      EXPECT_TRUE(r.written);
      EXPECT_TRUE(r.settled);
      EXPECT_EQ(r.error, 0);
      const bool bareRefused = !picture().contains(".vrn");
      deleteBareList(dbDir(), {});
      const FolderPicture after = picture();
      int lost = bareRefused && after == newer ? 1 : 0;
      for (const QByteArray list : {"doc.vrn", "odt.vrn", "txt.vrn"}) {
        if (after == without(list)) ++lost;
        if (threads == 0) {
          EXPECT_EQ(after.contains(list), list != "doc.vrn") << list.constData();
        }
      }
      EXPECT_EQ(lost, 1) << "exactly one list lost, the rest written: " << after.keys().join(' ').toStdString();
    }
  }

  // The database folder gone while the lists are written: the write fails
  // and makes nothing.
  writeOldDatabase();
  databaseWriteHook() = [this, opens = 0](WriteStep s) mutable {
    if (s == WriteStep::OpenFile && ++opens == 3) testing::removeTree(encodePath(dbDir()));
    return 0;
  };
  const WriteResult gone = write();
  databaseWriteHook() = nullptr;
  EXPECT_FALSE(gone.written);
  EXPECT_EQ(gone.error, ENOENT);
  EXPECT_FALSE(QFile::exists(dbDir()));

  // der.rep a folder could never take the new source.
  writeOldDatabase();
  ASSERT_TRUE(QFile::remove(dbDir() + "/der.rep"));
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/der.rep"));
  const FolderPicture before = picture();
  const WriteResult derRep = write();
  EXPECT_FALSE(derRep.written);
  EXPECT_EQ(derRep.error, EISDIR);
  EXPECT_EQ(picture(), before);
}

// Entries a user put at the writer's working names (files, a folder with
// files in it, an empty folder, a file at a working folder's marker name)
// are never deleted, moved or read, and never make a write fail: not the
// first write, not the next, not a recovery, not one cut short anywhere.
TEST_F(DbReplaceTest, StrayEntriesAtTheWorkingNamesAreNeverTouched) {
  const FolderPicture newer = newDatabase();
  writeOldDatabase();
  const FolderPicture older = picture();
  FolderPicture strays;
  for (const char* name : {"new-database", "new-database-complete", "previous-database", "discarded-database",
                           "rejected-database", ".new-database-3.working"})
    strays[name] = QByteArray("a file of the user's: ") + name;
  strays["new-database-2/"] = "";
  strays["new-database-2/notes.txt"] = "kept";
  strays["new-database-complete-2/"] = "";
  strays["new-database-complete-2/evil.vrn"] = records({"/not/a/list"});
  strays["previous-database-2/"] = "";
  const auto withStrays = [&](const FolderPicture& database) {
    FolderPicture out = database;
    for (auto it = strays.begin(); it != strays.end(); ++it) out.insert(it.key(), it.value());
    return out;
  };
  const auto addStrays = [&] {
    for (auto it = strays.begin(); it != strays.end(); ++it) {
      if (it.key().endsWith('/')) testing::makeFolder(encodePath(dbDir()) + '/' + it.key().chopped(1));
      else testing::makeFile(encodePath(dbDir()) + '/' + it.key(), it.value());
    }
  };
  addStrays();
  EXPECT_TRUE(recoverDatabase(dbDir()));
  EXPECT_EQ(picture(), withStrays(older)) << "the recovery moves, reads and deletes none of them";
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE("write " + std::to_string(round));
    const WriteResult r = write();
    EXPECT_TRUE(r.written);
    EXPECT_TRUE(r.settled);
    deleteBareList(dbDir(), {});
    EXPECT_EQ(picture(), withStrays(newer)) << "nothing of the writer's left beside them";
  }
  EXPECT_TRUE(recoverDatabase(dbDir()));
  EXPECT_EQ(picture(), withStrays(newer));

  writeOldDatabase();
  addStrays();
  const int total = testing::countWriteSteps([&] { write(); });
  for (int at = 0; at < total; ++at) {
    SCOPED_TRACE("killed before step " + std::to_string(at));
    writeOldDatabase();
    addStrays();
    ASSERT_TRUE(testing::killWriteAtStep(at, [&] { write(); }));
    EXPECT_TRUE(recoverDatabase(dbDir()));
    deleteBareList(dbDir(), {});
    const FolderPicture after = picture();
    EXPECT_TRUE(after == withStrays(older) || after == withStrays(newer)) << after.keys().join(' ').toStdString();
  }
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
