// The scan's walk on real temporary trees, with the folders read on the
// calling thread (0) and by reader threads (4): both must give the same files
// in the same order with the same stops.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "database/walk.h"
#include "platform/eventpump.h"
#include "tests/database/tree.h"

namespace vrn {
namespace {

using testing::makeFile;
using testing::makeFolder;
using testing::removeTree;
using testing::TempTree;

struct Walked {
  WalkResult result = WalkResult::Completed;
  qint64 found = 0;
  std::vector<QByteArray> extensions = std::vector<QByteArray>(2);
  std::vector<QByteArray> paths = std::vector<QByteArray>(2);

  // The retained paths with their extensions, in walk order.
  QList<QPair<QByteArray, QByteArray>> retained() const {
    QList<QPair<QByteArray, QByteArray>> out;
    for (qint64 k = 1; k <= found; ++k)
      if (!paths[size_t(k)].isEmpty()) out.append({extensions[size_t(k)], paths[size_t(k)]});
    return out;
  }
};

Walked walk(const QByteArray& folder, int threads, const WalkHooks& hooks = {}) {
  Walked w;
  w.result = walkFolder(folder, {w.extensions, w.paths, w.found}, hooks, threads);
  return w;
}

// A walk on an event pump paced as the window paces it (the first chance at
// once, then one turn a slice; a slice of 0: a turn at every point the walk
// offers one), each turn first telling onTurn the count so far.
Walked walk(const QByteArray& folder, int threads, WalkHooks hooks, const std::function<void(qint64 found)>& onTurn,
            int sliceMs = 0) {
  Walked w;
  EventPump pump({.sliceMs = sliceMs, .firstOfferTurns = true});
  pump.setBeforeTurn([&] { onTurn(w.found); });
  hooks.events = &pump;
  w.result = walkFolder(folder, {w.extensions, w.paths, w.found}, hooks, threads);
  return w;
}

// Every non-folder entry under folder in the order the walk must give: the
// folder's entries as readdir lists them, then each subfolder's, depth first.
void expectedOrder(const QByteArray& folder, QList<QByteArray>* out) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return;
  QList<QByteArray> folders;
  while (dirent* e = ::readdir(dir)) {
    const QByteArray name(e->d_name);
    if (name == "." || name == "..") continue;
    struct stat st;
    ::lstat((folder + '/' + name).constData(), &st);
    if (S_ISDIR(st.st_mode)) folders << folder + '/' + name;
    else out->append(folder + '/' + name);
  }
  ::closedir(dir);
  for (const QByteArray& f : folders) expectedOrder(f, out);
}

class WalkTest : public ::testing::TestWithParam<int> {
 protected:
  int threads() const { return GetParam(); }
  TempTree tree;
};

TEST(ExtensionRuleTest, TakesTheTextAfterTheLastDotOfTheWholePath) {
  ExtensionRule rule;
  QByteArray ext;
  const auto verdict = [&](const char* path) {
    ext.clear();
    return rule.classify(path, &ext);
  };
  EXPECT_EQ(verdict("/d/a.TXT"), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "txt");
  EXPECT_EQ(verdict("/d/archive.tar.gz"), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "gz");
  EXPECT_EQ(verdict("/d/x. txt"), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "txt");
  EXPECT_EQ(verdict("/d/x.Txt  "), ExtensionVerdict::TrailingBlank) << "a trimmed record would name /d/x.Txt";
  EXPECT_EQ(verdict("/d/.gitignore"), ExtensionVerdict::Length) << "9 characters";
  EXPECT_EQ(verdict("/d/.bashrc"), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "bashrc");
  EXPECT_EQ(verdict("/d/abcdefgh.12345678"), ExtensionVerdict::Retained);
  EXPECT_EQ(verdict("/d/notes.backup2024"), ExtensionVerdict::Length);
  EXPECT_EQ(verdict("/d/x."), ExtensionVerdict::Length);
  EXPECT_EQ(verdict("/d/x.  "), ExtensionVerdict::TrailingBlank);
  EXPECT_EQ(verdict("/d/x. "), ExtensionVerdict::TrailingBlank);
  EXPECT_EQ(verdict("/d/README"), ExtensionVerdict::Slash) << "the whole path, 9 characters with a /";
  EXPECT_EQ(verdict("/v1.2/readme"), ExtensionVerdict::Slash) << "2/readme has 8 characters but names no file";
  EXPECT_EQ(verdict("/v1.2/a/b"), ExtensionVerdict::Slash);
}

TEST(ExtensionRuleTest, CountsCharactersAndLowersUnicode) {
  ExtensionRule rule;
  QByteArray ext;
  EXPECT_EQ(rule.classify("/d/photo.\xC3\x89T\xC3\x89", &ext), ExtensionVerdict::Retained);  // ÉTÉ
  EXPECT_EQ(ext, "\xC3\xA9t\xC3\xA9");                                                       // été
  // Eight two-byte characters are 16 bytes but 8 characters; nine are too many.
  EXPECT_EQ(rule.classify("/d/x." + QByteArray("\xC3\xA9").repeated(8).toStdString(), &ext),
            ExtensionVerdict::Retained);
  EXPECT_EQ(rule.classify("/d/x." + QByteArray("\xC3\xA9").repeated(9).toStdString(), &ext), ExtensionVerdict::Length);
  // A character above U+FFFF counts once.
  EXPECT_EQ(rule.classify("/d/x." + QByteArray("\xF0\x9F\x98\x80").repeated(8).toStdString(), &ext),
            ExtensionVerdict::Retained);
  // Undecodable bytes are kept as they are and count one each.
  EXPECT_EQ(rule.classify("/d/x.\xE9T", &ext), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "\xE9t");
  EXPECT_EQ(rule.classify("/d/x.\xC3\x89\xFF\xC3\x89", &ext), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "\xC3\xA9\xFF\xC3\xA9");
  // A value seen before gives the same answer (the rule keeps its results).
  EXPECT_EQ(rule.classify("/e/y.\xC3\x89T\xC3\x89", &ext), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "\xC3\xA9t\xC3\xA9");
}

TEST(ExtensionRuleTest, PathsLongerThanARecordAreNotRetained) {
  ExtensionRule rule;
  QByteArray ext;
  std::string path = "/" + std::string(294, 'a') + "/b.txt";  // 301 bytes
  ASSERT_EQ(path.size(), 301u);
  EXPECT_EQ(rule.classify(path, &ext), ExtensionVerdict::PathTooLong);
  path.erase(1, 1);
  EXPECT_EQ(rule.classify(path, &ext), ExtensionVerdict::Retained);
  EXPECT_EQ(ext, "txt");
}

TEST_P(WalkTest, ListsEveryNonFolderEntryDepthFirstInListingOrder) {
  const TempTree& t = tree;
  for (const char* f : {"a.TXT", "b.txt", "c.Txt", "archive.tar.gz", "x. txt", ".hidden", "notes.backup2024"})
    makeFile(t / f);
  makeFolder(t / "sub");
  makeFolder(t / "sub/deeper");
  makeFolder(t / "empty");
  makeFolder(t / "other");
  for (int i = 0; i < 40; ++i) makeFile(t / "sub/f" + QByteArray::number(i) + ".c");
  makeFile(t / "sub/deeper/z.h");
  makeFile(t / "other/y.jpg");
  makeFile(t / "readonly.cfg");
  ::chmod((t / "readonly.cfg").constData(), 0444);
  ASSERT_EQ(::mkfifo((t / "pipe.fifo").constData(), 0644), 0);
  ASSERT_EQ(::symlink("sub", (t / "tosub.lnk").constData()), 0);
  ASSERT_EQ(::symlink("missing", (t / "dangling").constData()), 0);

  QList<QByteArray> expected;
  expectedOrder(t.path(), &expected);
  ASSERT_EQ(expected.size(), 7 + 40 + 1 + 1 + 4);

  const Walked w = walk(t.path(), threads());
  EXPECT_EQ(w.result, WalkResult::Completed);
  ASSERT_EQ(w.found, expected.size()) << "folders are never counted, links are files";
  ASSERT_EQ(w.extensions.size(), size_t(w.found + 1));
  ASSERT_EQ(w.paths.size(), size_t(w.found + 1));
  for (qint64 k = 1; k <= w.found; ++k) {
    const QByteArray& path = expected[k - 1];
    if (path.endsWith("notes.backup2024") || path.endsWith("dangling")) {
      EXPECT_TRUE(w.paths[size_t(k)].isEmpty()) << path.constData();
      EXPECT_TRUE(w.extensions[size_t(k)].isEmpty()) << path.constData();
    } else {
      EXPECT_EQ(w.paths[size_t(k)], path) << k;
    }
  }
  const auto retained = w.retained();
  QMap<QByteArray, QByteArray> extOf;
  for (const auto& r : retained) extOf[r.second.mid(t.path().size() + 1)] = r.first;
  EXPECT_EQ(extOf["a.TXT"], "txt");
  EXPECT_EQ(extOf["c.Txt"], "txt");
  EXPECT_EQ(extOf["x. txt"], "txt");
  EXPECT_EQ(extOf["archive.tar.gz"], "gz");
  EXPECT_EQ(extOf[".hidden"], "hidden");
  EXPECT_EQ(extOf["readonly.cfg"], "cfg");
  EXPECT_EQ(extOf["pipe.fifo"], "fifo");
  EXPECT_EQ(extOf["tosub.lnk"], "lnk");
  EXPECT_EQ(extOf["sub/deeper/z.h"], "h");
  EXPECT_EQ(extOf["sub/f39.c"], "c");
  EXPECT_EQ(retained.size(), w.found - 2);
}

TEST_P(WalkTest, FilesWithoutADotInTheirNameAreCountedButNotRetained) {
  makeFolder(tree / "plain");
  makeFile(tree / "plain/README");
  makeFolder(tree / "v1.2");
  makeFile(tree / "v1.2/readme");  // the text after the last "." is 2/readme
  makeFile(tree / "v1.2/ok.md");
  const Walked w = walk(tree.path(), threads());
  EXPECT_EQ(w.found, 3);
  ASSERT_EQ(w.retained().size(), 1);
  EXPECT_EQ(w.retained()[0].first, "md");
}

TEST_P(WalkTest, AFolderWithNothingAddsNothing) {
  makeFolder(tree / "a");
  makeFolder(tree / "a/b");
  Walked w;
  w.found = 5;  // a count already there stays as it was, and so do the arrays
  w.extensions = {"", "x"};
  w.paths = {"", "/x"};
  w.result = walkFolder(tree.path(), {w.extensions, w.paths, w.found}, {}, threads());
  EXPECT_EQ(w.result, WalkResult::Completed);
  EXPECT_EQ(w.found, 5);
  EXPECT_EQ(w.extensions, (std::vector<QByteArray>{"", "x"}));
}

TEST_P(WalkTest, ASourceWithATrailingSlashGivesSinglySeparatedPaths) {
  makeFile(tree / "a.txt");
  makeFolder(tree / "s");
  makeFile(tree / "s/b.txt");
  const Walked w = walk(tree.path() + "//", threads());
  ASSERT_EQ(w.found, 2);
  EXPECT_EQ(w.paths[1], tree / "a.txt");
  EXPECT_EQ(w.paths[2], tree / "s/b.txt");
}

TEST_P(WalkTest, LinksToFoldersAreNeverFollowed) {
  makeFolder(tree / "d");
  makeFile(tree / "d/f.txt");
  ASSERT_EQ(::symlink("..", (tree / "d/up").constData()), 0);  // a loop when followed
  ASSERT_EQ(::symlink(".", (tree / "self").constData()), 0);
  const Walked w = walk(tree.path(), threads());
  EXPECT_EQ(w.result, WalkResult::Completed);
  EXPECT_EQ(w.found, 3);
}

TEST_P(WalkTest, ARootReachedThroughALinkIsWalked) {
  makeFolder(tree / "real");
  makeFile(tree / "real/a.txt");
  ASSERT_EQ(::symlink("real", (tree / "link").constData()), 0);
  const Walked w = walk(tree / "link", threads());
  ASSERT_EQ(w.found, 1);
  EXPECT_EQ(w.paths[1], tree / "link/a.txt");
}

TEST_P(WalkTest, PathsLongerThanARecordAreCountedNotListed) {
  // tree + "/" + folder + "/" + name: make the file's path exactly 301 bytes,
  // and its neighbour's 300.
  const QByteArray folder(200, 'd');
  makeFolder(tree / folder);
  const qsizetype base = (tree / folder).size() + 1;
  const QByteArray longName = QByteArray(301 - base - 4, 'n') + ".txt";
  const QByteArray fitName = QByteArray(300 - base - 4, 'm') + ".txt";
  makeFile(tree / folder + "/" + longName);
  makeFile(tree / folder + "/" + fitName);
  ASSERT_EQ((tree / folder + "/" + longName).size(), 301);
  const Walked w = walk(tree.path(), threads());
  EXPECT_EQ(w.found, 2);
  ASSERT_EQ(w.retained().size(), 1);
  EXPECT_EQ(w.retained()[0].second, tree / folder + "/" + fitName);
}

TEST_P(WalkTest, NamesThatAreNotUtf8KeepTheirBytes) {
  const QByteArray name("caf\xE9\xFF.T\xC9");
  makeFile(tree / name);
  const Walked w = walk(tree.path(), threads());
  ASSERT_EQ(w.found, 1);
  EXPECT_EQ(w.paths[1], tree / name);
  EXPECT_EQ(w.extensions[1], "t\xC9");
}

TEST_P(WalkTest, DeepTreesAreWalkedWithoutRecursion) {
  // Deeper than a path may be long (4096 bytes): each level is opened anyway.
  QByteArray path = tree.path();
  int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
  const int depth = 2500;
  for (int i = 0; i < depth && fd >= 0; ++i) {
    ::mkdirat(fd, "d", 0755);
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    if (i == 10) ::close(::openat(fd, "shallow.txt", O_CREAT | O_WRONLY, 0644));
    ::close(fd);
    fd = next;
  }
  ASSERT_GE(fd, 0);
  ::close(::openat(fd, "bottom.txt", O_CREAT | O_WRONLY, 0644));
  ::close(fd);
  const Walked w = walk(tree.path(), threads());
  EXPECT_EQ(w.result, WalkResult::Completed);
  EXPECT_EQ(w.found, 2) << "the file at the bottom is counted";
  EXPECT_EQ(w.retained().size(), 1) << "its path is far longer than a record";
}

TEST_P(WalkTest, UnreadableFoldersAreSkippedSilently) {
  makeFile(tree / "a.txt");
  makeFolder(tree / "closed");
  makeFile(tree / "closed/hidden.txt");
  makeFolder(tree / "closed/inner");
  makeFile(tree / "closed/inner/x.txt");
  makeFolder(tree / "open");
  makeFile(tree / "open/b.txt");
  ::chmod(tree.path().constData(), 0755);
  ::chmod((tree / "closed").constData(), 0);
  // Permissions do not bind the superuser: walk as nobody in a child process.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
    const Walked w = walk(tree.path(), threads());
    const bool ok = w.result == WalkResult::Completed && w.found == 2 && w.paths[1] == tree / "a.txt" &&
                    w.paths[2] == tree / "open/b.txt";
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_P(WalkTest, KernelPseudoFileSystemsAreNotEntered) {
  const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(proc, 0);
  EXPECT_TRUE(onPseudoFileSystem(proc));
  ::close(proc);
  const int tmp = ::open(tree.path().constData(), O_RDONLY | O_DIRECTORY);
  EXPECT_FALSE(onPseudoFileSystem(tmp));
  ::close(tmp);
  const Walked w = walk("/proc", threads());
  EXPECT_EQ(w.result, WalkResult::Completed);
  EXPECT_EQ(w.found, 0);

  // Mounted on folders deep inside the source, not only as the source: a
  // child process mounts them in a mount namespace of its own, so nothing
  // shows outside it and nothing is left mounted when it ends.
  makeFolder(tree / "a");
  makeFile(tree / "a/before.txt");
  makeFolder(tree / "a/b");
  makeFolder(tree / "a/b/proc");
  makeFolder(tree / "a/b/sys");
  makeFile(tree / "a/b/after.txt");
  makeFolder(tree / "a/dev");
  enum : int { Listed = 0, Entered = 1, NotHere = 77 };
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("proc", (tree / "a/b/proc").constData(), "proc", 0, nullptr) != 0 ||
        ::mount("sysfs", (tree / "a/b/sys").constData(), "sysfs", 0, nullptr) != 0)
      ::_exit(NotHere);
    // devtmpfs looks like tmpfs to fstatfs: only the mount table tells
    // (where the machine lets it be mounted).
    ::mount("devtmpfs", (tree / "a/dev").constData(), "devtmpfs", 0, nullptr);
    struct stat st;
    if (::stat((tree / "a/b/proc/self").constData(), &st) != 0 || ::stat((tree / "a/b/sys/kernel").constData(), &st))
      ::_exit(NotHere);
    const Walked inside = walk(tree.path(), threads());
    const bool listed = inside.result == WalkResult::Completed && inside.found == 2 &&
                        inside.paths[1] == tree / "a/before.txt" && inside.paths[2] == tree / "a/b/after.txt";
    ::_exit(listed ? Listed : Entered);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == NotHere) GTEST_SKIP() << "this machine does not let a process mount proc and sysfs";
  EXPECT_EQ(WEXITSTATUS(status), Listed) << "a pseudo file system inside the source was entered";
}

TEST_P(WalkTest, AStopAlreadyRequestedEndsTheWalkAtOnce) {
  makeFile(tree / "a.txt");
  int tests = 0, events = 0;
  WalkHooks hooks;
  hooks.stopRequested = [&] { return ++tests, true; };
  const Walked w = walk(tree.path(), threads(), hooks, [&](qint64) { ++events; });
  EXPECT_EQ(w.result, WalkResult::Stopped);
  EXPECT_EQ(w.found, 0);
  EXPECT_EQ(tests, 1);
  EXPECT_EQ(w.extensions.size(), 2u);
}

TEST_P(WalkTest, AStopAskedWhileEventsRunIsSeenAfterTheNextFile) {
  for (int i = 0; i < 5; ++i) makeFile(tree / "f" + QByteArray::number(i) + ".txt");
  bool stop = false;
  WalkHooks hooks;
  hooks.stopRequested = [&] { return stop; };
  const Walked w = walk(tree.path(), threads(), hooks, [&](qint64 found) {
    if (found == 2) stop = true;
  });
  EXPECT_EQ(w.result, WalkResult::Stopped);
  EXPECT_EQ(w.found, 3) << "the stop is tested after each file, before events run";
  EXPECT_EQ(w.retained().size(), 3);
  EXPECT_EQ(w.paths.size(), 4u);
}

TEST_P(WalkTest, AStopIsSeenBeforeTheNextSubfolder) {
  makeFolder(tree / "a");
  makeFile(tree / "a/1.txt");
  makeFolder(tree / "b");
  makeFile(tree / "b/2.txt");
  bool stop = false;
  QList<qint64> calls;
  WalkHooks hooks;
  hooks.stopRequested = [&] { return stop; };
  const Walked w = walk(tree.path(), threads(), hooks, [&](qint64 found) {
    calls << found;
    if (found == 1) stop = true;
  });
  EXPECT_EQ(w.result, WalkResult::Stopped);
  EXPECT_EQ(w.found, 1);
  // Events before the first subfolder (0 found), after its file (1).
  EXPECT_EQ(calls.first(), 0);
  EXPECT_TRUE(calls.contains(1));
}

TEST_P(WalkTest, AStopDuringEventsBeforeASubfolderKeepsItUnlisted) {
  makeFolder(tree / "a");
  makeFile(tree / "a/1.txt");
  bool stop = false;
  WalkHooks hooks;
  hooks.stopRequested = [&] { return stop; };
  const Walked w = walk(tree.path(), threads(), hooks, [&](qint64) { stop = true; });
  EXPECT_EQ(w.result, WalkResult::Stopped);
  EXPECT_EQ(w.found, 0);
}

TEST_P(WalkTest, WithASliceEventsComeAtTheFirstChanceThenAtItsPace) {
  // Two files, then two folders of three. Without a slice, events come after
  // every file and before every subfolder; with a slice longer than the
  // walk, only after the first file. A stop asked then is seen after the
  // next file.
  makeFile(tree / "r0.txt");
  makeFile(tree / "r1.txt");
  for (const char* folder : {"a", "b"}) {
    makeFolder(tree / folder);
    for (int i = 0; i < 3; ++i) makeFile(tree / folder + "/f" + QByteArray::number(i) + ".txt");
  }
  struct Case {
    int sliceMs;
    bool stopInFirst;
    qint64 found;
    QList<qint64> calls;
  };
  const int hour = 3'600'000;
  for (const Case& c :
       {Case{0, false, 8, {1, 2, 2, 3, 4, 5, 5, 6, 7, 8}}, Case{hour, false, 8, {1}}, Case{hour, true, 2, {1}}}) {
    SCOPED_TRACE(c.sliceMs);
    QList<qint64> calls;
    bool stop = false;
    WalkHooks hooks;
    hooks.stopRequested = [&] { return stop; };
    const Walked w = walk(
        tree.path(), threads(), hooks,
        [&](qint64 found) {
          calls << found;
          stop = c.stopInFirst;
        },
        c.sliceMs);
    EXPECT_EQ(w.result, c.stopInFirst ? WalkResult::Stopped : WalkResult::Completed);
    if (threads() == 0) {
      EXPECT_EQ(w.found, c.found);
      EXPECT_EQ(calls, c.calls);
    } else if (c.sliceMs > 0) {
      // With reader threads, the first chance may also come while the walk
      // waits for the first listing, before any file.
      ASSERT_EQ(calls.size(), 1);
      EXPECT_LE(calls[0], 1);
      EXPECT_EQ(w.found, c.stopInFirst ? calls[0] + 1 : c.found);
    } else {
      // Calls while the walk waits for a listing come on top of these.
      EXPECT_EQ(w.found, c.found);
      for (qint64 found : c.calls) EXPECT_TRUE(calls.contains(found)) << found;
    }
  }
}

// The descriptors the process holds, from /proc/self/fd.
int openDescriptors() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return -1;
  int n = 0;
  while (dirent* e = ::readdir(dir))
    if (e->d_name[0] != '.') ++n;
  ::closedir(dir);
  return n - 1;  // the listing's own
}

// Makes a chain of depth folders named "d" below folder, opened one level at
// a time (the chain is longer than a path may be). At each level: the files
// named in files, and when side is not empty a folder of that name holding
// one file. Returns false when the tree could not be made.
bool makeChain(const QByteArray& folder, int depth, const QList<QByteArray>& files, const QByteArray& side = {}) {
  int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < depth && fd >= 0; ++level) {
    ::mkdirat(fd, "d", 0755);
    if (!side.isEmpty() && ::mkdirat(fd, side.constData(), 0755) == 0) {
      const int s = ::openat(fd, side.constData(), O_RDONLY | O_DIRECTORY);
      ::close(::openat(s, "side.txt", O_CREAT | O_WRONLY, 0644));
      ::close(s);
    }
    for (const QByteArray& name : files) ::close(::openat(fd, name.constData(), O_CREAT | O_WRONLY, 0644));
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// A folder name that the file system lists after "d" when both are made in
// that order, so that each level of a chain still has a folder to enter once
// the chain below is done.
QByteArray nameListedAfterD(const TempTree& tree) {
  for (int i = 0; i < 20; ++i) {
    const QByteArray probe = tree / "probe" + QByteArray::number(i), name = "s" + QByteArray::number(i);
    makeFolder(probe);
    makeFolder(probe + "/d");
    makeFolder(probe + '/' + name);
    QList<QByteArray> order;
    DIR* dir = ::opendir(probe.constData());
    while (dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') order << QByteArray(e->d_name);
    ::closedir(dir);
    removeTree(probe);
    if (order == QList<QByteArray>{"d", name}) return name;
  }
  return {};
}

TEST_P(WalkTest, AFolderSwappedForALinkAfterItsParentWasListedIsNotFollowed) {
  // The walk has listed a folder; before it enters a subfolder, that
  // subfolder or the listed folder itself is replaced by a link to a folder
  // outside the source. Neither link is followed: the files beyond it are
  // never listed under the source's name.
  struct Case {
    const char* name;
    QByteArray swapped;  // relative to the source
  };
  for (const Case& c : {Case{"the subfolder itself", "a/b"}, Case{"its parent", "a"}}) {
    SCOPED_TRACE(c.name);
    TempTree outside;
    TempTree source;
    makeFolder(outside / "b");
    makeFile(outside / "b/secret.txt");
    makeFile(outside / "b/other.txt");
    makeFolder(source / "a");
    makeFolder(source / "a/b");
    makeFile(source / "a/b/real.txt");
    bool swapped = false;
    WalkHooks hooks;
    hooks.folderListed = [&](const QByteArray& folder) {
      if (folder != source / "a") return;
      // The real folder moves away (still under the source) and a link to
      // the outside takes its name.
      const QByteArray place = source / c.swapped;
      ASSERT_EQ(::rename(place.constData(), (place + ".moved").constData()), 0);
      const QByteArray target = c.swapped == "a" ? outside.path() : outside / "b";
      ASSERT_EQ(::symlink(target.constData(), place.constData()), 0);
      swapped = true;
    };
    const Walked w = walk(source.path(), threads(), hooks);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(w.result, WalkResult::Completed);
    for (qint64 k = 1; k <= w.found; ++k) {
      EXPECT_FALSE(w.paths[size_t(k)].endsWith("secret.txt")) << w.paths[size_t(k)].constData();
      EXPECT_FALSE(w.paths[size_t(k)].endsWith("other.txt")) << w.paths[size_t(k)].constData();
    }
    if (c.swapped == "a") {
      // The folder listed is entered through its own descriptor: what it
      // held is found, under the path it had when listed.
      ASSERT_EQ(w.found, 1);
      EXPECT_EQ(w.paths[1], source / "a/b/real.txt");
    } else {
      EXPECT_EQ(w.found, 0) << "the link is not entered, and it was not there when its folder was listed";
    }
  }
}

TEST_P(WalkTest, EveryDescriptorIsReleased) {
  // A tree with several levels, an unreadable folder and a link, walked to
  // the end and stopped early (readers may then be ahead of the walk).
  for (int i = 0; i < 6; ++i) {
    const QByteArray top = tree / "t" + QByteArray::number(i);
    makeFolder(top);
    for (int j = 0; j < 5; ++j) {
      makeFolder(top + "/u" + QByteArray::number(j));
      makeFile(top + "/u" + QByteArray::number(j) + "/f.txt");
      makeFolder(top + "/u" + QByteArray::number(j) + "/v");
      makeFile(top + "/u" + QByteArray::number(j) + "/v/g.txt");
    }
  }
  ASSERT_TRUE(makeChain(tree.path(), 300, {"c.txt"}, "s"));
  ASSERT_EQ(::symlink("t0", (tree / "link").constData()), 0);
  ASSERT_EQ(::mkfifo((tree / "pipe").constData(), 0644), 0);
  const int before = openDescriptors();
  ASSERT_GT(before, 0);

  const Walked all = walk(tree.path(), threads());
  EXPECT_EQ(all.result, WalkResult::Completed);
  EXPECT_EQ(all.found, 6 * 5 * 2 + 300 * 2 + 2);
  EXPECT_EQ(openDescriptors(), before) << "after a whole walk";

  for (const qint64 stopAt : {1, 5, 200}) {
    WalkHooks hooks;
    qint64 seen = 0;
    hooks.stopRequested = [&] { return seen >= stopAt; };
    const Walked stopped = walk(tree.path(), threads(), hooks, [&](qint64 found) { seen = found; });
    EXPECT_EQ(stopped.result, WalkResult::Stopped);
    // Seen before the next subfolder, or after the next file.
    EXPECT_GE(stopped.found, stopAt);
    EXPECT_LE(stopped.found, stopAt + 1);
    EXPECT_EQ(openDescriptors(), before) << "after a walk stopped at file " << stopAt;
  }
}

TEST_P(WalkTest, AChainDeeperThanAPathMayBeIsWalkedInOrder) {
  // 3,000 levels with two files each, then a file in a folder beside the
  // chain: depth first, each level's files before the level below, and the
  // folder beside after the whole chain when the listing gives it later.
  const int depth = 3000;
  ASSERT_TRUE(makeChain(tree.path(), depth, {"one.txt", "two.txt"}));
  makeFolder(tree / "e");
  makeFile(tree / "e/last.txt");
  QList<QByteArray> top;  // the root's subfolders in listing order
  DIR* dir = ::opendir(tree.path().constData());
  while (dirent* e = ::readdir(dir))
    if (e->d_name[0] != '.') top << QByteArray(e->d_name);
  ::closedir(dir);
  ASSERT_EQ(top.size(), 4);

  const Walked w = walk(tree.path(), threads());
  EXPECT_EQ(w.result, WalkResult::Completed);
  ASSERT_EQ(w.found, 2 * depth + 1);
  // The root's own files, then the subfolders in listing order.
  QList<QByteArray> expected;
  for (const QByteArray& name : top)
    if (name.endsWith(".txt")) expected << tree / name;
  const bool chainFirst = top.indexOf("d") < top.indexOf("e");
  if (!chainFirst) expected << tree / "e/last.txt";
  QByteArray level = tree.path();
  for (int i = 1; i < depth; ++i) {
    level += "/d";
    // Each level's files in its own listing order.
    QList<QByteArray> files;
    if (level.size() + 8 <= kPathMaxBytes) {
      DIR* d = ::opendir(level.constData());
      while (dirent* e = ::readdir(d))
        if (QByteArray(e->d_name).endsWith(".txt")) files << level + '/' + e->d_name;
      ::closedir(d);
      ASSERT_EQ(files.size(), 2) << i;
    } else {
      files = {QByteArray(), QByteArray()};  // too long for a record: counted only
    }
    expected << files;
  }
  if (chainFirst) expected << tree / "e/last.txt";
  ASSERT_EQ(expected.size(), w.found);
  for (qint64 k = 1; k <= w.found; ++k) ASSERT_EQ(w.paths[size_t(k)], expected[k - 1]) << "slot " << k;
}

TEST_P(WalkTest, FewDescriptorsAreEnoughForADeepTree) {
  // Each level of the chain still has a folder to enter once the levels
  // below are done, so their descriptors cannot all be kept: with a limit
  // of 64 open files the walk reaches those folders again from the nearest
  // one it kept, and finds every file in the same order as without a limit.
  const QByteArray side = nameListedAfterD(tree);
  ASSERT_FALSE(side.isEmpty());
  const int depth = 600;
  ASSERT_TRUE(makeChain(tree.path(), depth, {"c.txt"}, side));
  QList<QByteArray> expected;
  expectedOrder(tree.path(), &expected);
  ASSERT_EQ(expected.size(), 2 * depth);
  ASSERT_TRUE(expected.last().endsWith("/" + side + "/side.txt")) << "the root's side folder comes last";

  const Walked unlimited = walk(tree.path(), threads());
  ASSERT_EQ(unlimited.found, expected.size());
  for (qint64 k = 1; k <= unlimited.found; ++k) {
    const QByteArray& path = expected[k - 1];
    ASSERT_EQ(unlimited.paths[size_t(k)], path.size() <= kPathMaxBytes ? path : QByteArray()) << "slot " << k;
  }

  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    struct rlimit limit {
      64, 64
    };
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(90);
    const Walked w = walk(tree.path(), threads());
    bool same = w.result == WalkResult::Completed && w.found == unlimited.found;
    for (qint64 k = 1; same && k <= w.found; ++k)
      same = w.paths[size_t(k)] == unlimited.paths[size_t(k)] &&
             w.extensions[size_t(k)] == unlimited.extensions[size_t(k)];
    ::_exit(same ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(Readers, WalkTest, ::testing::Values(0, 4));

}  // namespace
}  // namespace vrn
