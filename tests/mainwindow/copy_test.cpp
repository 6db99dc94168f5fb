// The copy of the ticked files: numbered names, progress, stop, end state,
// and the guarantees that nothing is overwritten, only regular files are
// read, a failed copy leaves no partial file, each file is flushed whole
// before it takes its name, and the folder is the one opened at the start.
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QThread>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "mainwindow/copyloop.h"
#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"
#include "support/jobguard.h"
#include "tests/mainwindow/list_rows.h"
#include "tests/mainwindow/main2_fixture.h"
#include "tests/mainwindow/unnamed_files.h"
#include "tests/testing/smallfs.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

QStringList entries(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList allEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Whether another open file could lock the file now.
bool lockable(const QString& path) {
  const int fd = ::open(encodePath(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return locked;
}

// The flushes and renames of this program as the C library sees them (the
// calls below stand in for the library's while a watch lives): which file a
// flush covered at what size, and which one took a name at what size.
struct FileCall {
  bool flush;
  dev_t dev;
  ino_t ino;
  off_t size;
  QByteArray path;  // the flushed file, or the name it had before the rename
};

// A file the copy writes before it takes its name: hidden under a temporary
// name, or with no name at all.
bool isTemporary(const QByteArray& path) { return path.contains(".varnelo-part-") || isUnnamedFilePath(path); }

class FlushWatch {
 public:
  FlushWatch() { active().store(this); }
  ~FlushWatch() { active().store(nullptr); }
  static std::atomic<FlushWatch*>& active() {
    static std::atomic<FlushWatch*> watch{nullptr};
    return watch;
  }
  void note(const std::vector<FileCall>& done) {
    const std::lock_guard lock(mutex);
    calls.insert(calls.end(), done.begin(), done.end());
  }
  std::vector<FileCall> seen() {
    const std::lock_guard lock(mutex);
    return calls;
  }
  // Runs before each flush with the path and size of the file given; an
  // errno fails the flush.
  std::function<int(const QByteArray& path, off_t size, bool wholeFileSystem)> beforeFlush;
  // The folder whose temporaries (named or not) a flush of the whole file
  // system covers.
  QString folder;

 private:
  std::mutex mutex;
  std::vector<FileCall> calls;
};

template <typename F>
F real(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

FileCall callOn(const QByteArray& path, const struct stat& st, bool flush) {
  return {flush, st.st_dev, st.st_ino, st.st_size, path};
}

// What a flush covers is looked at before it starts: the file, or every
// temporary of the folder.
int watchedFlush(int fd, bool wholeFileSystem, const std::function<int(int)>& flush) {
  FlushWatch* watch = FlushWatch::active().load();
  if (!watch) return flush(fd);
  char link[64], target[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, target, sizeof target);
  const QByteArray path(target, n > 0 ? n : 0);
  struct stat st;
  if (watch->beforeFlush) {
    if (const int e = watch->beforeFlush(path, ::fstat(fd, &st) == 0 ? st.st_size : -1, wholeFileSystem)) {
      errno = e;
      return -1;
    }
  }
  std::vector<FileCall> covered;
  if (!wholeFileSystem) {
    if (::fstat(fd, &st) == 0) covered.push_back(callOn(path, st, true));
  } else {
    for (const QFileInfo& f : QDir(watch->folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
      const QByteArray other = encodePath(f.filePath());
      if (other.contains(".varnelo-part-") && ::lstat(other.constData(), &st) == 0)
        covered.push_back(callOn(other, st, true));
    }
    for (const UnnamedFile& f : unnamedFilesIn(watch->folder)) covered.push_back(callOn(f.descriptor, f.st, true));
  }
  const int result = flush(fd);
  if (result == 0) watch->note(covered);
  return result;
}

// A link made through a file's entry under /proc names the file it opens:
// the path noted is then the file's own (for one without a name,
// "<folder>/#<inode> (deleted)").
void noteRename(int dir, const char* from, bool followed = false) {
  FlushWatch* watch = FlushWatch::active().load();
  struct stat st;
  if (!watch || ::fstatat(dir, from, &st, followed ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return;
  QByteArray path = from;
  char target[4096];
  const ssize_t n = followed ? ::readlinkat(dir, from, target, sizeof target) : -1;
  if (n > 0) path = QByteArray(target, n);
  watch->note({callOn(path, st, false)});
}

}  // namespace

extern "C" {
int fsync(int fd) { return watchedFlush(fd, false, real<int (*)(int)>("fsync")); }
int fdatasync(int fd) { return watchedFlush(fd, false, real<int (*)(int)>("fdatasync")); }
int syncfs(int fd) noexcept { return watchedFlush(fd, true, real<int (*)(int)>("syncfs")); }
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) noexcept {
  noteRename(fromDir, from);
  return real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(fromDir, from, toDir, to, flags);
}
int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept {
  noteRename(fromDir, from);
  return real<int (*)(int, const char*, int, const char*)>("renameat")(fromDir, from, toDir, to);
}
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) noexcept {
  noteRename(fromDir, from, (flags & AT_SYMLINK_FOLLOW) != 0);
  return real<int (*)(int, const char*, int, const char*, int)>("linkat")(fromDir, from, toDir, to, flags);
}
}

class CopyTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    ASSERT_TRUE(src.isValid());
    ASSERT_TRUE(dst.isValid());
    w = startWindow();
    ASSERT_TRUE(started);
    {
      const QSignalBlocker quiet(w->Combo1);  // no list load
      w->Combo1->AddItem("txt");
      w->Combo1->setListIndex(0);
    }
    vrnVars().DossierDestination = dst.path();
  }
  void TearDown() override {
    copyTestHooks() = CopyTestHooks();
    Main2Test::TearDown();
  }
  QString source(const QString& relative, const QByteArray& bytes) {
    const QString path = src.path() + "/" + relative;
    writeFile(path, bytes);
    return path;
  }
  int addRow(const QString& path, bool ticked) {
    const int row = addFileRow(w->ListView2, path, w->ListView2->Count() + 1);
    if (ticked) {
      w->ListView2->setChecked(row, true);
      ++vrnVars().NombreSelection;
    }
    return row;
  }
  // Runs the copy as the copy command does once the folder is chosen.
  void copy() {
    vrnVars().ModeCopie = kYes;
    w->CopierFichiersCoches();
  }
  void expectIdleState() {
    EXPECT_EQ(vrnVars().ModeCopie, "");
    EXPECT_EQ(vrnVars().DemandeArret, "");
    EXPECT_FALSE(w->MyButton6->Enabled());
    EXPECT_EQ(w->MousePointer(), vbDefault);
    EXPECT_FALSE(JobGuard::isRunning(Job::Copy));
  }

  QTemporaryDir src, dst;
  Main2* w = nullptr;
};

TEST(CopyNames, NumberGoesBeforeTheLastDotOrAtTheEnd) {
  EXPECT_EQ(numberedCopyName("rapport.doc", 2), "rapport(2).doc");
  EXPECT_EQ(numberedCopyName("a.tar.gz", 3), "a.tar(3).gz");
  EXPECT_EQ(numberedCopyName("README", 2), "README(2)");
  EXPECT_EQ(numberedCopyName("a.", 12), "a(12).");

  // A name that the number would make too long is cut before the number,
  // keeping its extension, never inside a character.
  const QString longest = QString(251, u'n') + ".txt";  // 255 bytes
  EXPECT_EQ(numberedCopyName(longest, 2), QString(248, u'n') + "(2).txt");
  EXPECT_EQ(numberedCopyName(longest, 10), QString(247, u'n') + "(10).txt");
  const QString accented = "a" + QString(125, u'é') + ".txt";  // 1 + 250 + 4 bytes
  const QString cut = numberedCopyName(accented, 2);
  EXPECT_EQ(cut, "a" + QString(123, u'é') + "(2).txt");
  EXPECT_LE(encodePath(cut).size(), 255);
  // Bytes that are not UTF-8 count one each and come back exactly.
  const QString raw = decodePath(QByteArray(252, '\xe9') + ".gz");
  EXPECT_EQ(encodePath(numberedCopyName(raw, 3)), QByteArray(249, '\xe9') + "(3).gz");
  // No extension: cut at the end; an extension that leaves no room: the
  // whole name is cut and numbered at its end.
  EXPECT_EQ(numberedCopyName(QString(255, u'x'), 2), QString(252, u'x') + "(2)");
  EXPECT_EQ(numberedCopyName("a." + QString(253, u'x'), 2), "a." + QString(250, u'x') + "(2)");
  // A smaller limit (a file system that holds shorter names).
  EXPECT_EQ(numberedCopyName("abcdef.txt", 2, 9), "ab(2).txt");
}

TEST_F(CopyTest, ClashesTakeTheNextFreeNumberCountedFromTheOwnName) {
  addRow(source("a.txt", "new a"), true);
  addRow(source("skip.txt", "unticked"), false);
  addRow(source("b.txt", "new b"), true);
  // Its own name is the one the first file takes.
  addRow(source("x/a(3).txt", "new a3"), true);
  addRow(source("c", "no dot"), true);
  // The folder's names read once when the copy starts, or looked up one by
  // one (a folder too large to keep them in mind).
  for (const bool readOnce : {true, false}) {
    SCOPED_TRACE(readOnce ? "names read once" : "names looked up");
    QTemporaryDir into;
    vrnVars().DossierDestination = into.path();
    copyTestHooks().unreadableNames = !readOnce;
    writeFile(into.path() + "/a.txt", "old a");
    writeFile(into.path() + "/a(2).txt", "old a2");
    writeFile(into.path() + "/b.txt", "old b");
    writeFile(into.path() + "/c", "old c");
    svc->audio.devices = 1;
    svc->audio.plays = 0;
    w->Check15->setValue(1);
    copy();
    EXPECT_EQ(entries(into.path()),
              QStringList({"a(2).txt", "a(3)(2).txt", "a(3).txt", "a.txt", "b(2).txt", "b.txt", "c", "c(2)"}));
    EXPECT_EQ(readFile(into.path() + "/a(3).txt"), "new a");
    EXPECT_EQ(readFile(into.path() + "/a(3)(2).txt"), "new a3");
    EXPECT_EQ(readFile(into.path() + "/b(2).txt"), "new b") << "the next clash restarts at 2";
    EXPECT_EQ(readFile(into.path() + "/c(2)"), "no dot");
    EXPECT_EQ(readFile(into.path() + "/a.txt"), "old a");
    EXPECT_EQ(readFile(into.path() + "/a(2).txt"), "old a2");
    EXPECT_EQ(w->MyButton6->Caption(), "Arrêter Copie\ntxt-5/4") << "the row index, then the ticked count";
    EXPECT_EQ(vrnVars().NomCopie, "c(2)");
    EXPECT_EQ(svc->audio.plays, 1);
    expectIdleState();
  }
}

TEST_F(CopyTest, TwoFilesOfOneNameFromTwoFolders) {
  addRow(source("x/r.doc", "from x"), true);
  addRow(source("y/r.doc", "from y"), true);
  copy();
  EXPECT_EQ(entries(dst.path()), QStringList({"r(2).doc", "r.doc"}));
  EXPECT_EQ(readFile(dst.path() + "/r.doc"), "from x");
  EXPECT_EQ(readFile(dst.path() + "/r(2).doc"), "from y");
}

TEST_F(CopyTest, ProgressNamesTheRowIndexNotTheFilesCopied) {
  QStringList shown;
  for (int i = 1; i <= 50; ++i) addRow(source(QString("f%1.txt").arg(i), "x"), i == 5 || i == 40);
  copy();
  EXPECT_EQ(entries(dst.path()), QStringList({"f40.txt", "f5.txt"}));
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter Copie\ntxt-40/2");

  // The same rows through the loop itself show every caption in turn.
  ListViewCopyRows rows(w->ListView2);
  QTemporaryDir again;
  CopyOptions o;
  o.destination = again.path();
  o.listName = "txt";
  o.showProgress = [&](const QString& text) { shown << text; };
  const CopyOutcome r = copyTickedFiles(rows, o);
  EXPECT_EQ(r.end, CopyEnd::Finished);
  EXPECT_EQ(r.copied, 2);
  EXPECT_EQ(shown, QStringList({"Arrêter Copie\ntxt-5/2", "Arrêter Copie\ntxt-40/2"}));
}

TEST_F(CopyTest, StopEndsBeforeTheNextTickedRowAndKeepsWhatWasCopied) {
  for (int i = 1; i <= 4; ++i) addRow(source(QString("f%1.txt").arg(i), "x"), i != 2);
  // The stop button is pressed while the first file's events run.
  QMetaObject::invokeMethod(
      w, [] { vrnVars().DemandeArret = kStopRequest; }, Qt::QueuedConnection);
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  copy();
  EXPECT_EQ(entries(dst.path()), QStringList{"f1.txt"});
  EXPECT_EQ(w->MyButton6->Caption(), "Copie Arrêter\ntxt-3/3");
  EXPECT_EQ(svc->audio.plays, 1) << "a stopped copy still ends with the sound";
  expectIdleState();
}

TEST_F(CopyTest, FifosDevicesAndGoneFilesAreSkippedAtOnce) {
  const QString fifo = src.path() + "/pipe.txt";
  ASSERT_EQ(::mkfifo(encodePath(fifo).constData(), 0644), 0);
  const QString dangling = src.path() + "/link.txt";
  ASSERT_EQ(::symlink("/nonexistent/target", encodePath(dangling).constData()), 0);
  addRow(fifo, true);
  addRow("/dev/zero", true);
  addRow(dangling, true);
  addRow(src.path() + "/gone.txt", true);
  addRow(source("real.txt", "data"), true);
  copy();
  EXPECT_EQ(entries(dst.path()), QStringList{"real.txt"});
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter Copie\ntxt-5/5");
  expectIdleState();
  EXPECT_EQ(copyRegularFile(encodePath(fifo), encodePath(dst.path() + "/p")), FileCopyStatus::NotRegular);
  EXPECT_EQ(copyRegularFile(encodePath(dangling), encodePath(dst.path() + "/p")), FileCopyStatus::SourceMissing);
  EXPECT_EQ(entries(dst.path()), QStringList{"real.txt"});
}

TEST_F(CopyTest, ATargetNameThatIsADanglingLinkIsNeverWrittenThrough) {
  const QString outside = dst.path() + "/../outside-" + QFileInfo(dst.path()).fileName();
  ASSERT_EQ(::symlink(encodePath(outside).constData(), encodePath(dst.path() + "/a.txt").constData()), 0);
  addRow(source("a.txt", "mine"), true);
  copy();
  EXPECT_FALSE(QFileInfo::exists(outside));
  EXPECT_EQ(readFile(dst.path() + "/a(2).txt"), "mine");
  EXPECT_TRUE(QFileInfo(dst.path() + "/a.txt").isSymLink());
  // Straight onto the link: refused as existing, nothing created behind it.
  EXPECT_EQ(copyRegularFile(encodePath(src.path() + "/a.txt"), encodePath(dst.path() + "/a.txt")),
            FileCopyStatus::TargetExists);
  EXPECT_FALSE(QFileInfo::exists(outside));
}

TEST_F(CopyTest, AFileAppearingBeforeTheTargetIsCreatedKeepsItsContent) {
  addRow(source("a.txt", "mine"), true);
  // Linked in from no name, or renamed from a temporary one.
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "temporary names");
    QTemporaryDir into;
    vrnVars().DossierDestination = into.path();
    copyTestHooks().refuseUnnamedTemporaries = !unnamed;
    int appeared = 0;
    copyTestHooks().beforeCreate = [&](const QByteArray& target) {
      // Another program writes the very name just tested free, twice.
      if (appeared < 2) {
        QFile f(decodePath(target));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        f.write("theirs");
        ++appeared;
      }
    };
    copy();
    EXPECT_EQ(allEntries(into.path()), QStringList({"a(2).txt", "a(3).txt", "a.txt"}));
    EXPECT_EQ(readFile(into.path() + "/a.txt"), "theirs");
    EXPECT_EQ(readFile(into.path() + "/a(2).txt"), "theirs");
    EXPECT_EQ(readFile(into.path() + "/a(3).txt"), "mine");
  }
}

TEST_F(CopyTest, ACopyKeepsModeTimeAndTheExactNameBytes) {
  const QByteArray rawName = "caf\xe9 \xff.txt";  // not UTF-8
  const QByteArray rawPath = encodePath(src.path()) + "/" + rawName;
  const int fd = ::open(rawPath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0640);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "bytes", 5), 5);
  ::close(fd);
  ASSERT_EQ(::chmod(rawPath.constData(), 0640), 0);
  const struct timespec times[2] = {{1000000000, 0}, {1000000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, rawPath.constData(), times, 0), 0);
  addRow(decodePath(rawPath), true);
  copy();
  const QByteArray target = encodePath(dst.path()) + "/" + rawName;
  struct stat st;
  ASSERT_EQ(::stat(target.constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_size, 5);
  // Qt cannot name these bytes: remove them here.
  ::unlink(target.constData());
  ::unlink(rawPath.constData());
}

TEST_F(CopyTest, AFullFileSystemLeavesNoPartialFileAndEndsTheCopy) {
  const SmallFileSystem disk(encodePath(dst.path()), "64k");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small file system is not permitted here";
  addRow(source("big.bin", QByteArray(300 * 1024, 'z')), true);
  addRow(source("small.txt", "after"), true);
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  copy();
  EXPECT_TRUE(entries(dst.path()).isEmpty()) << "no partial big.bin, and the copy ended there";
  EXPECT_EQ(svc->audio.plays, 0) << "a failed copy plays no sound";
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter Copie\ntxt-1/2");
  expectIdleState();
}

TEST_F(CopyTest, AFailedWriteRemovesThePartialFile) {
  addRow(source("big.bin", QByteArray(3 << 20, 'q')), true);
  addRow(source("next.txt", "next"), true);
  int failures = 0;
  copyTestHooks().failWrite = [&](qint64 written) {
    if (written > 0 && failures == 0) {
      ++failures;
      return ENOSPC;
    }
    return 0;
  };
  // The main window's copy ends at the failed file.
  copy();
  EXPECT_EQ(failures, 1);
  EXPECT_TRUE(entries(dst.path()).isEmpty());
  expectIdleState();

  // A page's copy skips it and goes on.
  failures = 0;
  const CopyOptions page = pageCopyOptions(dst.path(), "");
  const CopyOutcome r = copyTickedFiles(ListViewCopyRows(w->ListView2), page);
  EXPECT_EQ(r.end, CopyEnd::Finished);
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.copied, 1);
  EXPECT_EQ(entries(dst.path()), QStringList{"next.txt"});
}

TEST_F(CopyTest, AnUnwritableFolderEndsTheCopyWithTheIdleState) {
  addRow(source("a.txt", "a"), true);
  // A folder that is gone by the time the copy starts: a box names it, no
  // end sound.
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  vrnVars().DossierDestination = dst.path() + "/missing-folder";
  copy();
  EXPECT_FALSE(QFileInfo::exists(dst.path() + "/missing-folder"));
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbCritical);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Copie Impossible...");
  EXPECT_TRUE(svc->dialogs.boxes[0].text.contains("(" + dst.path() + "/missing-folder)"));
  EXPECT_EQ(svc->audio.plays, 0);
  expectIdleState();
  // An empty destination never falls back to the root.
  vrnVars().DossierDestination = "";
  vrnVars().DemandeArret = kStopRequest;
  copy();
  expectIdleState();
}

TEST_F(CopyTest, ASecondCopyIsRefusedWhileOneRuns) {
  addRow(source("a.txt", "a"), true);
  addRow(source("b.txt", "b"), true);
  bool sawRunning = false;
  QMetaObject::invokeMethod(
      w,
      [&] {
        sawRunning = JobGuard::isRunning(Job::Copy);
        w->mnCopierSelect_Click();
        w->CopierFichiersCoches();
        w->Command1_Click();  // the scan button too: no browser, no scan caption
        EXPECT_NE(w->MyButton6->Caption(), "Arrêter le Scann");
        CopyOptions again;
        again.destination = dst.path();
        EXPECT_EQ(copyTickedFiles(ListViewCopyRows(w->ListView2), again).end, CopyEnd::Refused);
        EXPECT_TRUE(w->MyButton6->Enabled()) << "the running copy keeps its stop button";
      },
      Qt::QueuedConnection);
  copy();
  EXPECT_TRUE(sawRunning);
  EXPECT_EQ(entries(dst.path()), QStringList({"a.txt", "b.txt"})) << "nothing copied twice";
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
  expectIdleState();
}

TEST_F(CopyTest, PageStopWordsAreTestedWhereThePageTestsThem) {
  for (int i = 1; i <= 3; ++i) addRow(source(QString("f%1.txt").arg(i), "x"), true);
  CopyOptions page = pageCopyOptions(dst.path(), "txt (3)");
  QStringList shown;
  page.showProgress = [&](const QString& t) { shown << t; };
  // The main window's stop word stops the page before the next existing file.
  page.afterFileCopied = [] { vrnVars().DemandeArret = kStopRequest; };
  CopyOutcome r = copyTickedFiles(ListViewCopyRows(w->ListView2), page);
  EXPECT_EQ(r.end, CopyEnd::Stopped);
  EXPECT_EQ(r.copied, 1);
  EXPECT_EQ(shown.last(), "Arrêter Copie\ntxt (3)-2/3");
  // The page's own word stops it before the next ticked row, with its caption.
  QTemporaryDir other;
  page.destination = other.path();
  page.afterFileCopied = [] { vrnVars().DemandeArret = kPageStopRequest; };
  r = copyTickedFiles(ListViewCopyRows(w->ListView2), page);
  EXPECT_EQ(r.end, CopyEnd::Stopped);
  EXPECT_EQ(r.copied, 1);
  EXPECT_EQ(shown.last(), "Copie Arrêter\ntxt (3)-2/3");
  EXPECT_EQ(vrnVars().DemandeArret, "");
}

// The whole road: a list loaded from the database, tick all, the menu's copy
// through the scan command's copy mode, and the stop button.
class CopyFromALoadedListTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    ASSERT_TRUE(src.isValid());
    QList<QByteArray> paths;
    for (int i = 1; i <= 3; ++i) {
      const QString p = src.path() + QString("/d%1/f%1.txt").arg(i);
      writeFile(p, QByteArray(i, 'x'));
      paths << encodePath(p);
    }
    writeFile(dbDir() + "/txt.vrn", records(paths));
    writeFile(dbDir() + "/der.rep", encodePath(src.path()).leftJustified(1024, ' '));
    w = startWindow();
    ASSERT_TRUE(started);
    w->Combo1->setListIndex(w->Combo1->findText("txt"));
    ASSERT_EQ(w->ListView2->Count(), 3);
    w->mnToutSelect->click();
  }
  QTemporaryDir src, dst;
  Main2* w = nullptr;
};

TEST_F(CopyFromALoadedListTest, TheMenuAsksTheFolderThenCopies) {
  svc->dialogs.folders = {dst.path()};
  w->mnCopierSelect->click();
  EXPECT_EQ(svc->dialogs.browserTitles, QStringList{"Sélectionnez le Dossier de Destination :"});
  EXPECT_EQ(entries(dst.path()), QStringList({"f1.txt", "f2.txt", "f3.txt"}));
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter Copie\ntxt-3/3");
  EXPECT_FALSE(w->MyButton6->Enabled());
  EXPECT_EQ(vrnVars().ModeCopie, "");

  // Cancelling the folder copies nothing and leaves no copy mode behind.
  w->mnCopierSelect->click();
  EXPECT_EQ(svc->dialogs.browserTitles.size(), 2);
  EXPECT_EQ(entries(dst.path()).size(), 3);
  EXPECT_EQ(vrnVars().ModeCopie, "");
}

TEST_F(CopyFromALoadedListTest, TheStopButtonEndsTheCopy) {
  svc->dialogs.folders = {dst.path()};
  QMetaObject::invokeMethod(
      w, [this] { w->MyButton6->click(); }, Qt::QueuedConnection);
  w->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path()).size(), 1);
  EXPECT_EQ(w->MyButton6->Caption(), "Copie Arrêter\ntxt-2/3");
  EXPECT_EQ(vrnVars().DemandeArret, "") << "no stop left for the next job";
  EXPECT_EQ(vrnVars().ModeCopie, "");
}

// A copied file bears its name only once complete: a quit, a stop or another
// program taking the name in the middle of a large file never leaves a cut
// file under a real name, nor the temporary file behind; whether the file is
// written without a name (true) or under a temporary one.
class LargeCopyTest : public CopyTest, public ::testing::WithParamInterface<bool> {
 protected:
  static constexpr int kBigSize = 24 << 20;
  void SetUp() override {
    CopyTest::SetUp();
    if (GetParam() && !unnamedFilesAllowed(dst.path())) GTEST_SKIP() << "no file without a name here";
    copyTestHooks().refuseUnnamedTemporaries = !GetParam();
    addRow(source("big.bin", QByteArray(kBigSize, 'B')), true);
    addRow(source("next.txt", "next"), true);
    // Once part of the file is written, the copy waits until the test has
    // seen it (a deadline against a hang), so that the test acts mid-file.
    copyTestHooks().failWrite = [this](qint64 written) {
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (written > 0 && partialSeen < 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return 0;
    };
  }
  // The file being written, if any: whatever its name, the first that holds
  // data (a real name seen here counts against the copy), else the one the
  // program holds without a name.
  QFileInfo partial() {
    for (const QFileInfo& f : QDir(dst.path()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
      if (f.fileName() == "big.bin" && partialSeen < 0) realNameSeenEarly = true;
      if (f.fileName().startsWith(".big.bin.varnelo-part-") || f.fileName() == "big.bin") return f;
    }
    // Only once it holds data: the caller acts on the first file with data,
    // and this one must be known as unnamed when it does.
    for (const UnnamedFile& f : unnamedFilesIn(dst.path())) {
      if (f.st.st_size == 0) continue;
      if (partialSeen < 0) seenUnnamed = true;
      return QFileInfo(decodePath(f.descriptor));
    }
    return QFileInfo();
  }
  std::atomic<qint64> partialSeen{-1};  // its size when the test acted
  bool realNameSeenEarly = false;
  bool seenUnnamed = false;  // the file written had no name
};

INSTANTIATE_TEST_SUITE_P(Temporaries, LargeCopyTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Unnamed" : "Named"; });

TEST_P(LargeCopyTest, AQuitInTheMiddleOfAFileLeavesNothingBehind) {
  bool lockedWhileWritten = false;
  QStringList entriesWhileWritten;
  EveryTurn turns([&] {
    const QFileInfo p = partial();
    if (partialSeen >= 0 || !p.exists() || p.size() == 0) return;
    partialSeen = p.size();
    // Held by the copy: a later copy into the folder can tell it from one
    // left by a killed program. One without a name needs no lock: nothing of
    // it outlives the program.
    lockedWhileWritten = !lockable(p.filePath());
    entriesWhileWritten = allEntries(dst.path());
    w->mnArreter_Click();
  });
  copy();
  ASSERT_GT(partialSeen.load(), 0) << "the quit came while the file was being written";
  EXPECT_EQ(seenUnnamed, GetParam());
  EXPECT_EQ(lockedWhileWritten, !GetParam());
  if (GetParam()) {
    EXPECT_EQ(entriesWhileWritten, QStringList());
  }
  EXPECT_LT(partialSeen.load(), kBigSize);
  EXPECT_EQ(exitCodes, QList<int>{0});
  EXPECT_FALSE(realNameSeenEarly);
  EXPECT_EQ(entries(dst.path()), QStringList()) << "neither big.bin nor its temporary file, and nothing after it";
  EXPECT_FALSE(JobGuard::isRunning(Job::Copy));
}

TEST_P(LargeCopyTest, AStopInTheMiddleOfAFileEndsItWholeAndGoesNoFurther) {
  EveryTurn turns([&] {
    const QFileInfo p = partial();
    if (partialSeen >= 0 || !p.exists() || p.size() == 0) return;
    partialSeen = p.size();
    w->MyButton6->click();
  });
  copy();
  ASSERT_GT(partialSeen.load(), 0);
  EXPECT_EQ(seenUnnamed, GetParam());
  EXPECT_LT(partialSeen.load(), kBigSize);
  EXPECT_FALSE(realNameSeenEarly);
  EXPECT_EQ(entries(dst.path()), QStringList{"big.bin"});
  EXPECT_EQ(QFileInfo(dst.path() + "/big.bin").size(), kBigSize);
  EXPECT_EQ(w->MyButton6->Caption(), "Copie Arrêter\ntxt-2/2");
  expectIdleState();
}

TEST_P(LargeCopyTest, ANameTakenDuringTheCopyKeepsItsContentAndTheCopyTakesTheNextNumber) {
  EveryTurn turns([&] {
    const QFileInfo p = partial();
    if (partialSeen >= 0 || !p.exists() || p.size() == 0) return;
    partialSeen = p.size();
    QFile theirs(dst.path() + "/big.bin");
    ASSERT_TRUE(theirs.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    theirs.write("theirs");
  });
  copy();
  ASSERT_GT(partialSeen.load(), 0);
  EXPECT_EQ(entries(dst.path()), QStringList({"big(2).bin", "big.bin", "next.txt"}));
  EXPECT_EQ(readFile(dst.path() + "/big.bin"), "theirs");
  EXPECT_EQ(QFileInfo(dst.path() + "/big(2).bin").size(), kBigSize);
  EXPECT_EQ(vrnVars().NomCopie, "next.txt");
  expectIdleState();
}

TEST_F(CopyTest, ANameOfTheLongestLengthIsCopiedUnderThatName) {
  const QString name = QString(251, u'n') + ".txt";  // 255 bytes, the most a name can hold
  addRow(source(name, "long"), true);
  copy();
  EXPECT_EQ(entries(dst.path()), QStringList{name});
  EXPECT_EQ(readFile(dst.path() + "/" + name), "long");

  // Copied again, it clashes: the numbered name is cut to fit, and the copy
  // ends as any other, with its sound.
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  copy();
  const QString numbered = QString(248, u'n') + "(2).txt";
  EXPECT_EQ(entries(dst.path()), QStringList({numbered, name}));
  EXPECT_EQ(readFile(dst.path() + "/" + numbered), "long");
  EXPECT_EQ(vrnVars().NomCopie, numbered);
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter Copie\ntxt-1/1");
  EXPECT_EQ(svc->audio.plays, 1);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  expectIdleState();
}

TEST_F(CopyTest, WhereTheFileSystemRefusesTheNoReplaceRenameNothingIsReplacedEither) {
  const struct {
    const char* what;
    bool refuseLinks;
  } systems[] = {{"a hard link instead", false}, {"a look, then a rename", true}};
  for (const auto& fs : systems) {
    SCOPED_TRACE(fs.what);
    QTemporaryDir into;
    vrnVars().DossierDestination = into.path();
    writeFile(into.path() + "/a.txt", "old a");
    w->ListView2->Clear();
    vrnVars().NombreSelection = 0;
    addRow(source("a.txt", "new a"), true);
    // Such file systems make no file without a name either.
    copyTestHooks().refuseUnnamedTemporaries = true;
    copyTestHooks().refuseNoReplaceRename = true;
    copyTestHooks().refuseLinks = fs.refuseLinks;
    bool appeared = false;
    copyTestHooks().beforeCreate = [&](const QByteArray& target) {
      // Another program takes the free name just before the copy does.
      if (appeared) return;
      appeared = true;
      QFile f(decodePath(target));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::NewOnly));
      f.write("theirs");
    };
    copy();
    EXPECT_EQ(entries(into.path()), QStringList({"a(2).txt", "a(3).txt", "a.txt"}));
    EXPECT_EQ(readFile(into.path() + "/a.txt"), "old a");
    EXPECT_EQ(readFile(into.path() + "/a(2).txt"), "theirs");
    EXPECT_EQ(readFile(into.path() + "/a(3).txt"), "new a");
    expectIdleState();
  }
}

TEST_F(CopyTest, TemporariesOfCopiesThatNoLongerRunAreRemovedAndNothingElse) {
  const QString d = dst.path();
  // Left by a copy that was killed: nobody holds it.
  writeFile(d + "/.old.txt.varnelo-part-AbC123", "cut");
  // Written by a copy that runs (another program): it holds a lock.
  writeFile(d + "/.held.txt.varnelo-part-XyZ789", "held");
  const int held = ::open(encodePath(d + "/.held.txt.varnelo-part-XyZ789").constData(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  // Look-alikes that are no temporary of the program.
  ASSERT_TRUE(QDir().mkdir(d + "/.dir.varnelo-part-QQQQQQ"));
  ASSERT_EQ(::symlink("elsewhere", encodePath(d + "/.link.txt.varnelo-part-LLLLLL").constData()), 0);
  QStringList kept = {".dir.varnelo-part-QQQQQQ", ".held.txt.varnelo-part-XyZ789", ".link.txt.varnelo-part-LLLLLL"};
  for (const QString& name : {QString(".short.varnelo-part-ABC"), QString("shown.varnelo-part-ABCDEF"),
                              QString(".odd.varnelo-part-AB-DEF"), QString(".varnelo-part-ABCDEF.txt")}) {
    writeFile(d + "/" + name, "theirs");
    kept << name;
  }
  // Another user's is not the program's to judge.
  writeFile(d + "/.other.txt.varnelo-part-OtHeR1", "other");
  if (::chown(encodePath(d + "/.other.txt.varnelo-part-OtHeR1").constData(), 65534, 65534) == 0)
    kept << ".other.txt.varnelo-part-OtHeR1";
  else ::unlink(encodePath(d + "/.other.txt.varnelo-part-OtHeR1").constData());
  addRow(source("a.txt", "a"), true);
  copy();
  QStringList expected = kept;
  expected << "a.txt";
  expected.sort();
  EXPECT_EQ(allEntries(d), expected);
  EXPECT_EQ(readFile(d + "/.held.txt.varnelo-part-XyZ789"), "held");

  // Once its program lets go, the next copy there removes it too.
  ::close(held);
  copy();
  expected.removeOne(".held.txt.varnelo-part-XyZ789");
  expected << "a(2).txt";
  expected.sort();
  EXPECT_EQ(allEntries(d), expected);
  expectIdleState();
}

TEST_F(CopyTest, TheFolderIsTheOneOpenedWhenTheCopyStarts) {
  // The folder chosen may be reached through a link in its path.
  QTemporaryDir real;
  ASSERT_TRUE(real.isValid());
  ASSERT_EQ(::symlink(encodePath(real.path()).constData(), encodePath(dst.path() + "/via").constData()), 0);
  vrnVars().DossierDestination = dst.path() + "/via";
  addRow(source("a.txt", "a"), true);
  copy();
  EXPECT_EQ(entries(real.path()), QStringList{"a.txt"});

  // Swapped for a link to another folder while the first file is written:
  // every file still lands in the folder opened, none through the link.
  w->ListView2->Clear();
  vrnVars().NombreSelection = 0;
  for (const char* name : {"b.txt", "c.txt", "d.txt"}) addRow(source(name, name), true);
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString folder = home.path() + "/backup", moved = home.path() + "/moved",
                elsewhere = home.path() + "/elsewhere";
  ASSERT_TRUE(QDir().mkdir(folder) && QDir().mkdir(elsewhere));
  vrnVars().DossierDestination = folder;
  bool swapped = false;
  copyTestHooks().failWrite = [&](qint64) {
    if (!swapped) {
      swapped = ::rename(encodePath(folder).constData(), encodePath(moved).constData()) == 0 &&
                ::symlink(encodePath(elsewhere).constData(), encodePath(folder).constData()) == 0;
    }
    return 0;
  };
  copy();
  ASSERT_TRUE(swapped);
  EXPECT_EQ(allEntries(elsewhere), QStringList());
  EXPECT_EQ(allEntries(moved), QStringList({"b.txt", "c.txt", "d.txt"}));
  EXPECT_EQ(readFile(moved + "/d.txt"), "d.txt");
  expectIdleState();
}

TEST_F(CopyTest, EachFileIsFlushedWholeBeforeItTakesItsNameWhileEventsRun) {
  for (int i = 1; i <= 5; ++i) addRow(source(QString("f%1.txt").arg(i), QByteArray(i * 100, 'x')), true);
  addRow(source("big.bin", QByteArray(3 << 20, 'B')), true);
  addRow(source("last.txt", "z"), true);
  const QStringList inOrder = {"f1.txt", "f2.txt", "f3.txt", "f4.txt", "f5.txt", "big.bin", "last.txt"};
  const QStringList all = {"big.bin", "f1.txt", "f2.txt", "f3.txt", "f4.txt", "f5.txt", "last.txt"};
  // Files made without a name and linked in, or under temporary names and
  // renamed; where the file system is flushed whole, and where that fails
  // (each file is then flushed on its own); in one batch, or in batches of
  // two, several in the helpers' hands at once.
  for (int mode = 0; mode < 8; ++mode) {
    const bool unnamed = mode & 1, wholeFails = mode & 2, smallBatches = mode & 4;
    SCOPED_TRACE(unnamed ? "unnamed" : "temporary names");
    SCOPED_TRACE(wholeFails ? "file by file" : "as the file system allows");
    SCOPED_TRACE(smallBatches ? "batches of two" : "one batch");
    QTemporaryDir into;
    vrnVars().DossierDestination = into.path();
    copyTestHooks().refuseUnnamedTemporaries = !unnamed;
    copyTestHooks().batchFiles = smallBatches ? 2 : 0;
    FlushWatch watch;
    watch.folder = into.path();
    // The first flush waits until an event has run on the window thread: it
    // never comes while the window thread itself flushes.
    std::atomic<bool> posted{false}, eventRan{false}, ranDuringFlush{false};
    watch.beforeFlush = [&](const QByteArray&, off_t, bool wholeFileSystem) {
      if (wholeFileSystem && wholeFails) return EIO;
      if (posted.exchange(true)) return 0;
      QMetaObject::invokeMethod(
          w, [&] { eventRan = true; }, Qt::QueuedConnection);
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!eventRan && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ranDuringFlush = eventRan.load();
      return 0;
    };
    copy();
    EXPECT_EQ(allEntries(into.path()), all);
    EXPECT_TRUE(ranDuringFlush);
    const std::vector<FileCall> calls = watch.seen();
    int linkedIn = 0;
    std::vector<ino_t> namedInOrder, rowsInOrder;
    for (size_t i = 0; i < calls.size(); ++i) {
      const FileCall& rename = calls[i];
      if (rename.flush || !isTemporary(rename.path)) continue;
      namedInOrder.push_back(rename.ino);
      linkedIn += isUnnamedFilePath(rename.path);
      bool flushedWhole = false;
      for (size_t j = 0; j < i; ++j)
        flushedWhole |=
            calls[j].flush && calls[j].dev == rename.dev && calls[j].ino == rename.ino && calls[j].size == rename.size;
      EXPECT_TRUE(flushedWhole) << rename.path.constData() << " named before it was flushed whole";
    }
    for (const QString& name : inOrder) {
      struct stat st;
      ASSERT_EQ(::stat(encodePath(into.path() + "/" + name).constData(), &st), 0);
      rowsInOrder.push_back(st.st_ino);
    }
    EXPECT_EQ(namedInOrder, rowsInOrder) << "each file named once, in the order of the rows";
    EXPECT_EQ(linkedIn, unnamed && unnamedFilesAllowed(into.path()) ? 7 : 0);
  }
}

TEST_F(CopyTest, AFileWhoseFlushFailsNeverTakesItsName) {
  // f2.txt alone holds two bytes, f3.txt three.
  for (int i = 1; i <= 4; ++i)
    addRow(source(QString("f%1.txt").arg(i), QByteArray(i == 2 || i == 3 ? i : 1, 'x')), true);
  // Without a name or under a temporary one; in one batch, or one file a
  // batch, the next batch already flushed by its helper when f2.txt fails.
  for (int mode = 0; mode < 4; ++mode) {
    const bool unnamed = mode & 1, batchEach = mode & 2;
    SCOPED_TRACE(unnamed ? "unnamed" : "temporary names");
    SCOPED_TRACE(batchEach ? "a batch each" : "one batch");
    QTemporaryDir into;
    vrnVars().DossierDestination = into.path();
    copyTestHooks().refuseUnnamedTemporaries = !unnamed;
    copyTestHooks().batchFiles = batchEach ? 1 : 0;
    FlushWatch watch;
    // The flush of the whole file system reports a failure; so does the
    // flush of that one file, once f3.txt is being flushed (a deadline
    // against a hang).
    std::atomic<bool> thirdFlushed{false};
    watch.beforeFlush = [&](const QByteArray&, off_t size, bool wholeFileSystem) {
      if (wholeFileSystem) return EIO;
      if (size == 3) thirdFlushed = true;
      if (size != 2) return 0;
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (batchEach && !thirdFlushed && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return EIO;
    };
    // The main window's copy ends at that file, as it ends at a failed write.
    svc->audio.devices = 1;
    svc->audio.plays = 0;
    w->Check15->setValue(1);
    copy();
    EXPECT_EQ(allEntries(into.path()), QStringList{"f1.txt"}) << "nothing after it, no temporary";
    EXPECT_TRUE(unnamedFilesIn(into.path()).empty());
    EXPECT_EQ(w->MyButton6->Caption(), "Arrêter Copie\ntxt-2/4");
    EXPECT_EQ(vrnVars().NomCopie, "f2.txt");
    EXPECT_EQ(svc->audio.plays, 0);
    expectIdleState();

    // A page's copy skips it and goes on.
    thirdFlushed = false;
    QTemporaryDir other;
    const CopyOptions page = pageCopyOptions(other.path(), "");
    const CopyOutcome r = copyTickedFiles(ListViewCopyRows(w->ListView2), page);
    EXPECT_EQ(r.end, CopyEnd::Finished);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.copied, 3);
    EXPECT_EQ(allEntries(other.path()), QStringList({"f1.txt", "f3.txt", "f4.txt"}));
  }
}
