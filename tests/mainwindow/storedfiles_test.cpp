// The stored files of the database folder: never read or written through a
// symbolic link, on any road that opens one (start-up, the default options,
// the preferences, a list load, the count, the search, a scan), and still read
// when they can be read but not written.
#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/testing/immutable.h"
#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"
#include "tests/search/search_fixture.h"
#include "tests/testing/smallfs.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

const QByteArray kQuietOptions = QByteArray("11111110000001") + QByteArray(16, '0');

QStringList everything(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct LinkCase {
  const char* stored;  // the stored file made a link
  bool dangling;       // to nothing, or to a file outside the database folder
};

void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.stored << (c.dangling ? " dangling" : " to a file outside");
}

std::string caseName(const ::testing::TestParamInfo<LinkCase>& info) {
  std::string name = info.param.stored;
  for (char& c : name)
    if (c == '.') c = '_';
  if (name.front() == '_') name = "hidden" + name;
  return name + (info.param.dangling ? "_dangling" : "_toAFileOutside");
}

}  // namespace

class StoredFileLinkTest : public SearchTest, public ::testing::WithParamInterface<LinkCase> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    ASSERT_TRUE(outside.isValid());
  }
  QTemporaryDir outside;
};

TEST_P(StoredFileLinkTest, NothingOutsideTheDatabaseIsReadWrittenOrMade) {
  const LinkCase c = GetParam();
  const QString txt = makeFile("zqa.txt", 3);
  const QString jpg = makeFile("b.jpg", 4);
  writeFile(dbDir() + "/der.rep", encodePath(src()).leftJustified(1024, ' '));
  writeFile(dbDir() + "/affp.aff", kQuietOptions);
  writeFile(dbDir() + "/mesp.par", QByteArray("txt").leftJustified(30, ' '));
  writeList("txt", {txt});
  writeList("jpg", {jpg});

  // What the link points at holds what a reader would take for real.
  const QString stored = QString::fromLatin1(c.stored);
  const QMap<QString, QByteArray> lure{
      {"der.rep", encodePath(src()).leftJustified(1024, ' ')},
      {"affp.aff", QByteArray(30, '0')},
      {"mesp.par", QByteArray("jpg").leftJustified(30, ' ')},
      {"txt.vrn", records({encodePath(txt), encodePath(txt), encodePath(txt)})},
      {".varnelo.lock", "not a lock"},
  };
  const QString target = outside.path() + (c.dangling ? "/made-here" : "/victim");
  if (!c.dangling) writeFile(target, lure[stored]);
  QFile::remove(dbDir() + "/" + stored);
  ASSERT_TRUE(QFile::link(target, dbDir() + "/" + stored));

  Main2* w = realStartWindow();
  ASSERT_TRUE(started);
  // A linked der.rep names no source: the first-run offer comes.
  const bool offered = std::any_of(svc->dialogs.boxes.begin(), svc->dialogs.boxes.end(),
                                   [](const ShownBox& b) { return b.title == "Choix de la Source à Scanner..."; });
  EXPECT_EQ(offered, stored == "der.rep");
  if (stored == ".varnelo.lock") {
    EXPECT_TRUE(svc->dialogs.boxes.isEmpty()) << "the lock is made anew in its place";
  }
  if (stored == "mesp.par") {
    EXPECT_FALSE(vrnVars().NbExtensionsPreferees.has_value()) << "no preferred list read";
  }
  if (stored == "affp.aff") {
    EXPECT_EQ(vrnVars().Par[1], "") << "no option read";
  }

  // Every road that opens a stored file.
  w->MyButton13_Click();  // "Paramètres par Défaut"
  w->Check11->setValue(0);
  w->Check12->setValue(0);
  w->ChargerToutesListes();
  // The list load (a dangling list is no file, so not offered at all).
  const int txtIndex = w->Combo1->findText("txt");
  EXPECT_EQ(txtIndex < 0, stored == "txt.vrn" && c.dangling);
  if (txtIndex >= 0) w->Combo1->setListIndex(txtIndex);
  if (stored == "txt.vrn") {
    EXPECT_EQ(w->ListView2->Count(), 0) << "the list is not read through its link";
  }
  w->CompterFichiersBase();
  EXPECT_EQ(vrnVars().NombreFichiers, stored == "txt.vrn" ? 1 : 2);
  openPanel();
  search("zqa", w->Check19);
  EXPECT_EQ(w->ListView2->Count(), stored == "txt.vrn" ? 0 : 1) << "the search reads no list through a link";
  w->MyButton4_Click();  // the preferences saved with the options
  svc->dialogs.folders = {src()};
  w->Command1->click();  // a scan writes der.rep and the lists
  EXPECT_EQ(w->NbFichiersTrouves, 2);

  if (c.dangling) {
    EXPECT_EQ(everything(outside.path()), QStringList());
  } else {
    EXPECT_EQ(everything(outside.path()), QStringList{"victim"});
    EXPECT_EQ(readFile(target), lure[stored]);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryStoredFile, StoredFileLinkTest,
                         ::testing::Values(LinkCase{"der.rep", false}, LinkCase{"der.rep", true},
                                           LinkCase{"affp.aff", false}, LinkCase{"affp.aff", true},
                                           LinkCase{"mesp.par", false}, LinkCase{"mesp.par", true},
                                           LinkCase{"txt.vrn", false}, LinkCase{"txt.vrn", true},
                                           LinkCase{".varnelo.lock", false}, LinkCase{".varnelo.lock", true}),
                         caseName);

// Stored options and preferred lists that cannot be written are read at
// start-up all the same, and a save changes nothing.
class UnwritableStoredFilesTest : public Main2Test {
 protected:
  // Options unlike the defaults, none of which scans or opens pages at start.
  const QByteArray options = QByteArray("10101010000001") + QByteArray(16, '0');
  const QByteArray preferred = QByteArray("jpg").leftJustified(30, ' ');

  void fillDatabase() {
    writeFile(dbDir() + "/der.rep", encodePath(exeDir()).leftJustified(1024, ' '));
    writeFile(dbDir() + "/affp.aff", options);
    writeFile(dbDir() + "/mesp.par", preferred);
    writeFile(dbDir() + "/jpg.vrn", QByteArray());
    writeFile(dbDir() + "/txt.vrn", QByteArray());
  }
  void expectStoredOptionsAndListsShown() {
    for (int k = 1; k <= 14; ++k)
      EXPECT_EQ(win->optionBox(k)->Value(), options[k - 1] == '1' ? 1 : 0) << "option " << k;
    EXPECT_EQ(vrnVars().NbExtensionsPreferees, 1);
    ASSERT_EQ(win->Combo1->ListCount(), 1) << "the preferred lists are offered";
    EXPECT_EQ(win->Combo1->List(0), "jpg");
    // The default options and a save cannot write: the files stay as they are.
    win->MyButton13_Click();
    EXPECT_EQ(readFile(dbDir() + "/affp.aff"), options);
    EXPECT_EQ(readFile(dbDir() + "/mesp.par"), preferred);
  }
};

TEST_F(UnwritableStoredFilesTest, ImmutableOptionsAndPreferredListsAreRead) {
  fillDatabase();
  const QStringList files{dbDir() + "/affp.aff", dbDir() + "/mesp.par"};
  if (!setImmutable(files[0], true)) GTEST_SKIP() << "this file system has no immutable files";
  struct Clear {
    QStringList files;
    ~Clear() {
      for (const QString& f : files) setImmutable(f, false);
    }
  } clear{files};
  ASSERT_TRUE(setImmutable(files[1], true));
  realStartWindow();
  ASSERT_TRUE(started);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  expectStoredOptionsAndListsShown();
}

TEST_F(UnwritableStoredFilesTest, OptionsAndPreferredListsOnAReadOnlyMountAreRead) {
  ASSERT_TRUE(QDir().mkpath(dbDir()));
  const QByteArray mp = encodePath(dbDir());
  const SmallFileSystem disk(mp, "256k");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a file system is not permitted here";
  fillDatabase();
  ASSERT_EQ(::mount(nullptr, mp.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  realStartWindow();
  ASSERT_TRUE(started);
  // No lock file there and none can be made: said once, and start-up goes on.
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Verrou Impossible à Poser...");
  expectStoredOptionsAndListsShown();
  win.reset();

  // A lock file left there by a run made while the disk was writable: it is
  // locked as it is, without a box, and a second program is kept out.
  ASSERT_EQ(::mount(nullptr, mp.constData(), nullptr, MS_REMOUNT, nullptr), 0);
  writeFile(dbDir() + "/.varnelo.lock", QByteArray());
  ASSERT_EQ(::mount(nullptr, mp.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  svc->dialogs.boxes.clear();
  realStartWindow();
  ASSERT_TRUE(started);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty()) << svc->dialogs.boxes.value(0).title.toStdString();
  const int other = ::open((mp + "/.varnelo.lock").constData(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << "the running program holds the lock";
  expectStoredOptionsAndListsShown();
  win.reset();
  EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << "and gives it back when it ends";
  ::close(other);
}
