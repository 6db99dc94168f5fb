// The executable's folder comes from its own path bytes: any byte survives,
// an executable replaced since it started still names its folder, and a path
// that cannot be read gives no folder rather than a guess.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include "platform/pathcodec.h"
#include "platform/services.h"

using namespace vrn;

namespace {

QByteArray makeExecutable(const QByteArray& folder) {
  EXPECT_EQ(::mkdir(folder.constData(), 0755), 0);
  const QByteArray program = folder + "/Varnelo";
  const int fd = ::open(program.constData(), O_WRONLY | O_CREAT | O_EXCL, 0755);
  EXPECT_GE(fd, 0);
  ::close(fd);
  return program;
}

// Qt cannot name these bytes, so the test removes its folders itself.
void removeTree(const QByteArray& path) {
  ::nftw(
      path.constData(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

}  // namespace

TEST(AppFolder, TakesTheFolderFromTheExecutablesPathBytes) {
  QTemporaryDir dir;
  const QByteArray base = encodePath(dir.path());
  const QByteArray folders[] = {base + "/Programme \xe9t\xe9", base + "/bytes \xff\xfe\x80", base + "/utf8 \xc3\xa9"};
  for (const QByteArray& folder : folders) {
    SCOPED_TRACE(folder.toHex().constData());
    const QByteArray program = makeExecutable(folder);
    const QByteArray link = folder + ".exe-link";
    ASSERT_EQ(::symlink(program.constData(), link.constData()), 0);
    const QString found = folderOfExecutable(link);
    EXPECT_EQ(encodePath(found), folder);
    EXPECT_EQ(encodePath(found + "/BDVRN"), folder + "/BDVRN");
    removeTree(folder);
    ::unlink(link.constData());
  }
}

TEST(AppFolder, AnExecutableRemovedSinceItStartedStillNamesItsFolder) {
  QTemporaryDir dir;
  const QByteArray folder = encodePath(dir.path()) + "/install \xe9";
  const QByteArray program = makeExecutable(folder);
  // The running executable's link reads "<path> (deleted)" once the file is
  // replaced; an open descriptor's link behaves the same.
  const int fd = ::open(program.constData(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::unlink(program.constData()), 0);
  EXPECT_EQ(encodePath(folderOfExecutable("/proc/self/fd/" + QByteArray::number(fd))), folder);
  ::close(fd);
  removeTree(folder);
}

TEST(AppFolder, NoFolderRatherThanAGuess) {
  QTemporaryDir dir;
  const QByteArray base = encodePath(dir.path());
  ASSERT_EQ(::symlink((base + "/nowhere/Varnelo").constData(), (base + "/dangling").constData()), 0);
  ASSERT_EQ(::symlink("relative/Varnelo", (base + "/relative").constData()), 0);
  EXPECT_EQ(folderOfExecutable(base + "/dangling"), QString());
  EXPECT_EQ(folderOfExecutable(base + "/relative"), QString());
  EXPECT_EQ(folderOfExecutable(base + "/missing"), QString());
  EXPECT_EQ(folderOfExecutable(base), QString()) << "not a link";

  // Through appFolder itself, with no folder given by a test.
  const QByteArray saved = executableLink();
  executableLink() = base + "/dangling";
  EXPECT_EQ(appFolder(), QString());
  executableLink() = saved;
  // The real link names this test program's folder.
  EXPECT_EQ(appFolder(), QCoreApplication::applicationDirPath());
}
