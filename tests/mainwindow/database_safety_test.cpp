// The database through the window: a source that is gone is never scanned,
// a write that fails or is cut short (full disk, undeletable lists, an
// unusable database folder, a quit, a kill) leaves the previous database
// whole and says so, paths a record cannot hold are not stored, and no
// source command runs while another job does.
#include <QCoreApplication>
#include <iostream>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>
#include <cerrno>
#include <fcntl.h>
#include <fnmatch.h>
#include <linux/fs.h>
#include <new>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "database/sourcemount.h"
#include "database/walk.h"
#include "mainwindow/copyloop.h"
#include "mainwindow/listloader.h"
#include "pages/FormEssai.h"
#include "platform/pathcodec.h"
#include "search/searchengine.h"
#include "support/TriRapide.h"
#include "support/VariablesVRN.h"
#include "support/touslesdossierssystem.h"
#include "tests/testing/immutable.h"
#include "tests/database/killpoint.h"
#include "tests/database/tree.h"
#include "tests/mainwindow/list_rows.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

const QString kFailureTitle = "Base de Données Conservée...";

// The database proper: the lists, der.rep, and anything in a folder (a
// write's leftovers), from a picture of the database folder.
FolderPicture databaseOf(const FolderPicture& all) {
  FolderPicture out;
  for (auto it = all.begin(); it != all.end(); ++it)
    if (it.key().contains('/') || it.key() == "der.rep" || ::fnmatch("*.vrn*", it.key().constData(), FNM_CASEFOLD) == 0)
      out.insert(it.key(), it.value());
  return out;
}

// Puts a picture back as files and folders under folder.
void restorePicture(const QByteArray& folder, const FolderPicture& picture) {
  removeTree(folder);
  makeFolder(folder);
  for (auto it = picture.begin(); it != picture.end(); ++it) {
    if (it.key().endsWith('/')) makeFolder(folder + '/' + it.key().chopped(1));
    else makeFile(folder + '/' + it.key(), it.value());
  }
}

// Many files, so the write takes several event turns.
void makeFiles(const QByteArray& root, int count) {
  for (int f = 0; f < count / 500 + 1; ++f) makeFolder(root + "/d" + QByteArray::number(f));
  static const char* exts[] = {"txt", "jpg", "doc", "mp3", "pdf", "notretained"};
  for (int i = 0; i < count; ++i)
    makeFile(root + "/d" + QByteArray::number(i / 500) + "/file-with-a-longer-name-" + QByteArray::number(i) + "." +
             exts[i % 6]);
}

template <class List>
QStringList itemsOf(const List* list) {
  QStringList out;
  for (int i = 0; i < list->ListCount(); ++i) out << list->List(i);
  return out;
}

// A small exFAT file system mounted on a folder through a loop device, as a
// USB stick carrying the program would be; unmounted and detached when it
// goes, whatever happened meanwhile.
class ExfatMount {
 public:
  explicit ExfatMount(const QString& at) : at_(encodePath(at)) {
    const QStringList sbin = {"/usr/sbin", "/sbin", "/usr/bin", "/bin"};
    const QString mkfs = QStandardPaths::findExecutable("mkfs.exfat", sbin);
    const QString mount = QStandardPaths::findExecutable("mount.exfat-fuse", sbin);
    const QString losetup = QStandardPaths::findExecutable("losetup", sbin);
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0) {
      why_ = "needs root and /dev/fuse";
      return;
    }
    if (mkfs.isEmpty() || mount.isEmpty() || losetup.isEmpty()) {
      why_ = "needs mkfs.exfat, mount.exfat-fuse and losetup";
      return;
    }
    const QString image = folder_.filePath("disk.img");
    QFile file(image);
    if (!folder_.isValid() || !file.open(QIODevice::WriteOnly) || !file.resize(16 << 20)) {
      why_ = "no room for a disk image";
      return;
    }
    file.close();
    if (run(mkfs, {image}) != 0) {
      why_ = "mkfs.exfat failed";
      return;
    }
    QByteArray device;
    if (run(losetup, {"-f", "--show", image}, &device) != 0 || device.trimmed().isEmpty()) {
      why_ = "no loop device";
      return;
    }
    device_ = device.trimmed();
    losetup_ = losetup;
    if (run(mount, {QString::fromUtf8(device_), QString::fromUtf8(at_)}) != 0) {
      why_ = "mount.exfat-fuse failed";
      return;
    }
    mounted_ = true;
  }
  ~ExfatMount() {
    if (mounted_) ::umount2(at_.constData(), MNT_DETACH);
    if (!device_.isEmpty()) run(losetup_, {"-d", QString::fromUtf8(device_)});
  }
  bool mounted() const { return mounted_; }
  QString why() const { return why_; }

 private:
  static int run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
      process.kill();
      process.waitForFinished();
      return -1;
    }
    if (out) *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  QByteArray at_;
  QTemporaryDir folder_;
  QString losetup_;
  QByteArray device_;
  bool mounted_ = false;
  QString why_;
};

}  // namespace

class DatabaseSafetyTest : public Main2Test {
 protected:
  void TearDown() override {
    databaseWriteHook() = nullptr;
    Main2Test::TearDown();
  }
  QString path(const TempTree& t) const { return decodePath(t.path()); }
  void writeDerRep(const QByteArray& source) { writeFile(dbDir() + "/der.rep", source.leftJustified(1024, ' ')); }
  // The previous database: two lists of the old source.
  void writeOldDatabase(const QByteArray& source) {
    writeDerRep(source);
    writeFile(dbDir() + "/txt.vrn", records({source + "/a.txt", source + "/b.txt"}));
    writeFile(dbDir() + "/jpg.vrn", records({source + "/c.jpg"}));
  }
  // Options that neither scan nor open pages at start, nor after a scan.
  void writeQuietOptions() { writeFile(dbDir() + "/affp.aff", QByteArray("11111110000000") + QByteArray(16, '0')); }
  FolderPicture database() const { return databaseOf(pictureOf(encodePath(dbDir()))); }
  // A started window with the old database of `tree` as it stands.
  Main2* startOn(const TempTree& tree) {
    writeOldDatabase(tree.path());
    writeQuietOptions();
    Main2* w = realStartWindow();
    EXPECT_TRUE(started);
    EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
    // The busy watcher ticks on real time, maybe amid a scan, maybe not; its
    // own test drives it.
    if (w) w->Timer5->setEnabled(false);
    return w;
  }
  // What a failed scan into the database must show and keep; `window` is
  // the window before the scan.
  void expectFailedScan(Main2* w, const WindowSnapshot& window, const FolderPicture& before, const QString& oldSource,
                        const QString& newSource, const QString& reason) {
    ASSERT_FALSE(svc->dialogs.boxes.isEmpty());
    const ShownBox& box = svc->dialogs.boxes.last();
    EXPECT_EQ(box.style, vbCritical);
    EXPECT_EQ(box.title, kFailureTitle);
    EXPECT_TRUE(box.text.contains(reason)) << box.text.toStdString();
    EXPECT_EQ(database(), before) << "the previous lists and der.rep byte for byte, nothing left over";
    EXPECT_EQ(w->Caption(), "Dernière demande de SCANN en Échec...");
    EXPECT_FALSE(w->lblAffich->Caption().startsWith("Tous vos (")) << "no success caption";
    EXPECT_EQ(vrnVars().SourceActuelle, oldSource);
    for (const QString& shown : {w->MyButton10->Caption(), w->Label1->Caption(), w->Check11->ToolTipText(),
                                 w->MyButton10->ToolTipText(), w->Caption()})
      EXPECT_FALSE(shown.contains(newSource)) << "the window never shows the new source: " << shown.toStdString();
    EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (3) Fichiers\n(" + oldSource + ")");
    // The scan's own traces: its caption, count and stop button, the folder
    // asked for and the failure box.
    expectOnlyChanged(window, {{"Main2", "Caption"},
                               {"lblAffich", "Caption"},
                               {"lblnbr", "Caption"},
                               {"Label1", "Caption"},
                               {"Label2", "Caption"},
                               {"MyButton6", "Caption"},
                               {"label4", "Left"},
                               {"Dialogs", "Boxes"},
                               {"Dialogs", "BrowserTitles"}});
    EXPECT_EQ(vrnVars().NombreFichiers, 3);
    EXPECT_EQ(vrnVars().ScanEnCours, "");
    EXPECT_EQ(vrnVars().DemandeArret, "");
    EXPECT_EQ(vrnVars().TabChemins.size(), 2u);
  }

  // A scan that ended as a scan that wrote its database ends: the success
  // captions with the window's counts and no box.
  void expectNormalEnd(Main2* w, int found) {
    EXPECT_TRUE(svc->dialogs.boxes.isEmpty()) << svc->dialogs.boxes.value(0).text.toStdString();
    EXPECT_TRUE(w->Caption().startsWith(" - (" + QString::number(found) + " Fichiers) Obtenus en "))
        << w->Caption().toStdString();
    EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (" + QString::number(vrnVars().NombreFichiers) +
                                            ") Fichiers\n(" + vrnVars().SourceActuelle + ")");
    EXPECT_EQ(w->Label1->Caption(), w->MyButton10->Caption());
    EXPECT_TRUE(w->Combo1->isVisible());
    EXPECT_TRUE(w->MyFrame7->isVisible());
    EXPECT_EQ(vrnVars().ScanEnCours, "");
  }
  // The window shows what the database folder holds: its lists, their total,
  // and only lists that are there in the list of lists.
  void expectWindowShowsTheFolder(Main2* w) {
    const QStringList files = catalogueFiles(dbDir());
    const QStringList lists = listNames(files);
    EXPECT_EQ(itemsOf(w->LstSources), lists);
    EXPECT_EQ(vrnVars().NombreFichiers, countDatabaseRecords(dbDir(), files));
    for (const QString& shown : itemsOf(w->Combo1)) EXPECT_TRUE(lists.contains(shown)) << shown.toStdString();
    EXPECT_TRUE(w->MyButton10->Caption().startsWith("Résultat du Scann (" + QString::number(vrnVars().NombreFichiers) +
                                                    ") Fichiers"));
  }

  TempTree old, fresh;
};

// ---- A source that is gone ----

TEST_F(DatabaseSafetyTest, AMissingSourceAtStartWithTheDefaultOptionsKeepsEveryList) {
  struct Case {
    const char* what;
    QByteArray source;
    QStringList boxes;  // the start of each box shown at start-up
  };
  const QString driveBox = "Le Disque ou Lecteur Contenant le Répertoire ci-dessous";
  const QString folderBox = "Le Répertoire ci-dessous ayant servi";
  const Case cases[] = {
      {"folder removed", old / "gone", {folderBox}},
      {"drive missing", "/media/varnelo-absent-user/disk/photos", {driveBox, folderBox}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    win.reset();
    svc->dialogs.boxes.clear();
    removeTree(encodePath(dbDir()));
    writeOldDatabase(c.source);
    // No affp.aff: the defaults scan at start and open the lists at start.
    const FolderPicture before = database();
    realStartWindow();
    ASSERT_TRUE(started);
    EXPECT_EQ(database(), before);
    EXPECT_EQ(readFile(dbDir() + "/affp.aff"), QByteArray("011111111110110000000000000000"));
    EXPECT_EQ(win->Check11->Value(), 1) << "the scan-at-start option is on";
    ASSERT_GE(svc->dialogs.boxes.size(), c.boxes.size());
    for (int i = 0; i < c.boxes.size(); ++i) {
      EXPECT_TRUE(svc->dialogs.boxes[i].text.startsWith(c.boxes[i])) << svc->dialogs.boxes[i].text.toStdString();
      EXPECT_EQ(svc->dialogs.boxes[i].style, vbOKOnly);
    }
    for (const ShownBox& box : svc->dialogs.boxes)
      EXPECT_NE(box.text, "Dossier Incorect") << "the scan at start is not even tried";
    EXPECT_FALSE(win->Caption().startsWith(" - (")) << "no scan ran";
    EXPECT_EQ(vrnVars().SourceActuelle, decodePath(c.source));
    EXPECT_EQ(vrnVars().NombreFichiers, 3);
    EXPECT_EQ(win->MyButton10->Caption(), "Résultat du Scann (3) Fichiers\n(" + decodePath(c.source) + ")");

    // The lists at start could not be walked: nothing runs, so nothing is
    // left to stop, and a press that reaches the stop button all the same
    // asks nothing of the next job.
    EXPECT_FALSE(win->MyButton6->Enabled());
    win->MyButton6_Click();
    EXPECT_EQ(vrnVars().DemandeArret, "");
    if (c.source.startsWith(old.path())) {
      // The folder back in place: its list loads whole.
      makeFolder(c.source);
      for (const char* f : {"/a.txt", "/b.txt"}) makeFile(c.source + f, "x");
      svc->dialogs.boxes.clear();
      win->Combo1->setListIndex(win->Combo1->findText("txt"));
      EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
      EXPECT_EQ(win->ListView2->Count(), 2);
      EXPECT_EQ(win->Label2->Caption(), "Liste de Mes (2) Fichiers (.txt) Disponibles");
      removeTree(c.source);
    }
  }
}

TEST_F(DatabaseSafetyTest, EverySourceRoadRefusesAFolderItCannotScanAndChangesNothing) {
  Main2* w = startOn(old);
  const QByteArray oldHome = qgetenv("HOME");
  struct RestoreHome {
    QByteArray home;
    ~RestoreHome() { qputenv("HOME", home); }
  } restoreHome{oldHome};
  makeFolder(fresh / "ends in a blank ");
  QByteArray deep = fresh.path();
  while (deep.size() <= 1024) {
    deep += "/" + QByteArray(200, 'd');
    makeFolder(deep);
  }
  makeFile(deep + "/a.txt");

  // Beside the refusal's box, what the road itself shows: the folder the
  // test added and picked, or the browser it asked.
  const QList<Change> picked = {{"Combo7", "List"}, {"Combo7", "ListIndex"}, {"Combo7", "Text"}};
  const QList<Change> browsed = {{"Dialogs", "BrowserTitles"}, {"MyButton6", "Caption"}};
  struct Road {
    const char* what;
    std::function<void()> run;
    QList<Change> shown = {};
  };
  const Road roads[] = {
      {"rescan of a folder that is gone",
       [&] {
         vrnVars().SourceActuelle = decodePath(fresh / "gone");
         w->mnReScannerActuel->click();
       }},
      {"special folder that is gone",
       [&] {
         w->Combo7->AddItem(decodePath(fresh / "gone/"));
         w->Combo7->setListIndex(w->Combo7->findText(decodePath(fresh / "gone/")));
       },
       picked},
      {"profile folder that is gone",
       [&] {
         qputenv("HOME", fresh / "no-home");
         // A profile folder that is not there is not found at all.
         ASSERT_EQ(CheminDossierSpecial(40), "");
         w->mnScannProfile->click();
       }},
      {"a folder whose name ends in a blank",
       [&] {
         svc->dialogs.folders = {decodePath(fresh / "ends in a blank ")};
         w->Command1->click();
       },
       browsed},
      {"a folder whose path der.rep cannot hold",
       [&] {
         svc->dialogs.folders = {decodePath(deep)};
         w->Command1->click();
       },
       browsed},
      {"a preset folder that went while the window waited",
       [&] {
         vrnVars().SourceActuelle = kScanPresetSource;
         vrnVars().SourceAScanner = decodePath(fresh / "gone");
         w->Command1_Click();
         EXPECT_EQ(vrnVars().SourceActuelle, decodePath(old.path())) << "the state word goes: the stored source";
         vrnVars().SourceActuelle = decodePath(old.path());
       }},
  };
  const FolderPicture before = pictureOf(encodePath(dbDir()));
  for (const Road& road : roads) {
    SCOPED_TRACE(road.what);
    vrnVars().SourceActuelle = decodePath(old.path());
    vrnVars().SourceAScanner = decodePath(old.path());
    svc->dialogs.boxes.clear();
    const WindowSnapshot window = snapshot();
    road.run();
    ASSERT_EQ(svc->dialogs.boxes.size(), 1);
    EXPECT_EQ(svc->dialogs.boxes[0].text, "Dossier Incorect");
    EXPECT_EQ(svc->dialogs.boxes[0].style, vbCritical);
    EXPECT_EQ(svc->dialogs.boxes[0].title, "Refaire...");
    if (QString(road.what) != "rescan of a folder that is gone" &&
        QString(road.what) != "a preset folder that went while the window waited") {
      EXPECT_EQ(vrnVars().SourceActuelle, decodePath(old.path()));
      EXPECT_EQ(vrnVars().SourceAScanner, decodePath(old.path()));
    }
    EXPECT_EQ(pictureOf(encodePath(dbDir())), before) << "lists, der.rep and affp.aff untouched";
    expectOnlyChanged(window, QList<Change>{{"Dialogs", "Boxes"}} + road.shown);
    EXPECT_EQ(vrnVars().ScanEnCours, "");
  }
}

// A disk scanned where it was mounted, then unmounted, leaves its mount
// point as an empty folder: a missing source, at start and on every road, as
// a folder that is gone. Another disk mounted there is scanned, and so is a
// plain folder its user emptied.
TEST_F(DatabaseSafetyTest, ADiskUnmountedSinceItsScanIsAMissingSourceOnEveryRoad) {
  // The mount point's name holds a blank, which the mount table escapes.
  const QByteArray point = fresh / "usb disk";
  makeFolder(point);
  TempTree elsewhere;  // a folder of the same disk, bound on the mount point
  struct Mounted {
    QByteArray at;
    bool on = false;
    bool mount(const char* source, const char* type, unsigned long flags, const char* data) {
      on = ::mount(source, at.constData(), type, flags, data) == 0;
      return on;
    }
    void unmount() {
      if (on) ::umount2(at.constData(), MNT_DETACH);
      on = false;
    }
    ~Mounted() { unmount(); }
  } disk{point};
  struct Kind {
    const char* what;
    std::function<bool()> mount;
  };
  const Kind kinds[] = {
      {"a file system of its own", [&] { return disk.mount("tmpfs", "tmpfs", 0, "size=1m"); }},
      {"a folder of the same disk bound there",
       [&] { return disk.mount(elsewhere.path(), nullptr, MS_BIND, nullptr); }},
  };
  const QString folderBox = "Le Répertoire ci-dessous ayant servi";
  const QString source = decodePath(point);
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.what);
    win.reset();
    removeTree(encodePath(dbDir()));
    removeTree(elsewhere / "photos");
    if (!kind.mount()) GTEST_SKIP() << "this machine allows no mount here";
    makeFolder(point + "/photos");
    for (const char* f : {"a.txt", "b.txt", "photos/c.jpg"}) makeFile(point + '/' + f, "x");

    // The disk scanned where it is mounted. What stands at the record's
    // name and at its temporary name (a link out of the database folder, a
    // write cut short) is replaced, never written through.
    Main2* w = startOn(old);
    const QByteArray outside = fresh / "outside";
    makeFile(outside, "kept");
    const QByteArray record = encodePath(dbDir()) + "/" + kSourceMountFile;
    ASSERT_EQ(::symlink(outside.constData(), record.constData()), 0);
    makeFile(record + ".new", "cut short");
    svc->dialogs.folders = {source};
    w->Command1->click();
    ASSERT_EQ(readFile(dbDir() + "/txt.vrn"), records({point + "/a.txt", point + "/b.txt"}));
    ASSERT_EQ(vrnVars().SourceActuelle, source);
    EXPECT_EQ(readFile(decodePath(outside)), "kept");
    EXPECT_FALSE(QFileInfo(decodePath(record)).isSymLink());
    EXPECT_FALSE(QFile::exists(decodePath(record + ".new")));
    EXPECT_EQ(w->Combo1->findText(kSourceMountFile), -1);
    removeTree(outside);
    disk.unmount();
    ASSERT_TRUE(QDir(source).isEmpty()) << "the mount point is left as an empty folder";

    // A start with the default options (scan and lists at start) keeps
    // every list and says the folder is missing.
    win.reset();
    svc->dialogs.boxes.clear();
    QFile::remove(dbDir() + "/affp.aff");
    const FolderPicture stored = pictureOf(encodePath(dbDir()));
    w = realStartWindow();
    ASSERT_TRUE(started);
    w->Timer5->setEnabled(false);
    FolderPicture after = pictureOf(encodePath(dbDir()));
    after.remove("affp.aff");  // the defaults, written at start
    EXPECT_EQ(after, stored) << "every list, der.rep and the mount record byte for byte";
    EXPECT_EQ(w->Check11->Value(), 1) << "the scan-at-start option is on";
    ASSERT_FALSE(svc->dialogs.boxes.isEmpty());
    for (const ShownBox& box : svc->dialogs.boxes) {
      EXPECT_TRUE(box.text.startsWith(folderBox)) << box.text.toStdString();
      EXPECT_EQ(box.style, vbOKOnly);
    }
    EXPECT_FALSE(w->Caption().startsWith(" - (")) << "no scan ran";
    EXPECT_EQ(vrnVars().SourceActuelle, source);
    EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (3) Fichiers\n(" + source + ")");

    // Every road to scan it again is refused and changes nothing; a list
    // picked says the folder is missing, as for a folder that is gone.
    const QList<Change> browsed = {{"Dialogs", "BrowserTitles"}, {"MyButton6", "Caption"}};
    const QList<Change> picked = {{"Combo7", "List"}, {"Combo7", "ListIndex"}, {"Combo7", "Text"}};
    struct Road {
      const char* what;
      std::function<void()> run;
      QString box = "Dossier Incorect";
      QList<Change> shown = {};
    };
    const Road roads[] = {
        {"rescan", [&] { w->mnReScannerActuel->click(); }},
        {"the scan at start pressed again",
         [&] {
           vrnVars().SourceActuelle = kScanPresetSource;
           w->Command1_Click();
         }},
        {"the folder chosen in the browser",
         [&] {
           svc->dialogs.folders = {source};
           w->Command1->click();
         },
         "Dossier Incorect", browsed},
        {"the folder as a special folder",
         [&] {
           w->Combo7->AddItem(source + "/");
           w->Combo7->setListIndex(w->Combo7->findText(source + "/"));
         },
         "Dossier Incorect", picked},
        {"a list picked",
         [&] { w->Combo1->setListIndex(w->Combo1->findText("txt")); },
         folderBox,
         {{"Combo1", "ListIndex"}, {"Combo1", "Text"}}},
    };
    for (const Road& road : roads) {
      SCOPED_TRACE(road.what);
      vrnVars().SourceActuelle = source;
      vrnVars().SourceAScanner = source;
      svc->dialogs.boxes.clear();
      const WindowSnapshot window = snapshot();
      road.run();
      ASSERT_EQ(svc->dialogs.boxes.size(), 1);
      EXPECT_TRUE(svc->dialogs.boxes[0].text.startsWith(road.box)) << svc->dialogs.boxes[0].text.toStdString();
      EXPECT_EQ(pictureOf(encodePath(dbDir())).value("txt.vrn"), stored.value("txt.vrn"));
      EXPECT_EQ(databaseOf(pictureOf(encodePath(dbDir()))), databaseOf(stored));
      expectOnlyChanged(window, QList<Change>{{"Dialogs", "Boxes"}} + road.shown);
      EXPECT_EQ(vrnVars().ScanEnCours, "");
      EXPECT_EQ(w->ListView2->Count(), 0);
    }

    // The record speaks only for the database whose source der.rep names
    // (a write cut short between the two leaves another source there).
    const QByteArray derRep = readFile(dbDir() + "/der.rep");
    writeDerRep(old.path());
    EXPECT_TRUE(scannableFolder(source));
    writeFile(dbDir() + "/der.rep", derRep);
    EXPECT_FALSE(scannableFolder(source));

    // Another disk mounted at the same place is there: it is scanned.
    ASSERT_TRUE(disk.mount("tmpfs", "tmpfs", 0, "size=1m"));
    makeFile(point + "/d.pdf", "x");
    vrnVars().SourceActuelle = source;
    svc->dialogs.boxes.clear();
    w->mnReScannerActuel->click();
    EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
    EXPECT_EQ(w->Caption().left(17), " - (1 Fichiers) O");
    EXPECT_EQ(readFile(dbDir() + "/pdf.vrn"), records({point + "/d.pdf"}));
    EXPECT_FALSE(QFile::exists(dbDir() + "/txt.vrn"));
    disk.unmount();
  }

  // A plain folder its user emptied is scanned empty, as before.
  win.reset();
  removeTree(encodePath(dbDir()));
  const QByteArray plain = fresh / "plain";
  makeFolder(plain);
  makeFile(plain + "/e.txt", "x");
  Main2* w = startOn(old);
  svc->dialogs.folders = {decodePath(plain)};
  w->Command1->click();
  ASSERT_TRUE(QFile::exists(dbDir() + "/txt.vrn"));
  QFile::remove(decodePath(plain + "/e.txt"));
  w->mnReScannerActuel->click();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_EQ(w->Caption().left(17), " - (0 Fichiers) O");
  EXPECT_EQ(database().keys(), QList<QByteArray>{"der.rep"}) << "every list deleted";
}

// ---- A write that fails ----

TEST_F(DatabaseSafetyTest, AScanThatCannotWriteKeepsThePreviousListsAndSaysSo) {
  makeFiles(fresh.path(), 1200);  // 300 KB of records
  struct Case {
    const char* what;
    QString reason;
    // Readies the failure; false when this machine cannot.
    std::function<bool()> prepare;
  };
  std::function<void()> undo;
  const Case cases[] = {
      {"a write refused for want of space", "Le Disque est Plein...",
       [&] {
         int writes = 0;
         databaseWriteHook() = [writes](WriteStep s) mutable {
           return s == WriteStep::WriteData && ++writes == 1 ? ENOSPC : 0;
         };
         return true;
       }},
      {"a full file system", "Le Disque est Plein...",
       [&] {
         // The database folder on a small file system of its own, the old
         // database copied in.
         const FolderPicture all = pictureOf(encodePath(dbDir()));
         if (::mount("tmpfs", encodePath(dbDir()).constData(), "tmpfs", 0, "size=128k") != 0) return false;
         undo = [this] { ::umount2(encodePath(dbDir()).constData(), MNT_DETACH); };
         for (auto it = all.begin(); it != all.end(); ++it) makeFile(encodePath(dbDir()) + '/' + it.key(), it.value());
         return true;
       }},
      {"an old list that cannot be set aside", "Protégé en Écriture...",
       [&] {
         databaseWriteHook() = [](WriteStep s) { return s == WriteStep::MoveOld ? EPERM : 0; };
         return true;
       }},
      {"a sort that runs out of memory",
       "La Mémoire de l'Ordinateur est Insuffisante pour Trier les Fichiers Trouvés...",
       [&] {
         Main2::scanTestHooks().beforeSort = [] { throw std::bad_alloc(); };
         undo = [] { Main2::scanTestHooks().beforeSort = nullptr; };
         return true;
       }},
      {"a walk that runs out of memory", "La Mémoire de l'Ordinateur est Insuffisante...",
       [&] {
         Main2::scanTestHooks().afterWalk = [] { throw std::bad_alloc(); };
         undo = [] { Main2::scanTestHooks().afterWalk = nullptr; };
         return true;
       }},
      {"a staged file gone from a folder that is there",
       "Un Fichier de la Base de Données a Disparu pendant l'Écriture...",
       [&] {
         databaseWriteHook() = [](WriteStep s) { return s == WriteStep::Commit ? ENOENT : 0; };
         return true;
       }},
      {"a working folder's name refused", "Le Disque Refuse le Nom de l'un des Fichiers de la Base de Données...",
       [&] {
         databaseWriteHook() = [](WriteStep s) { return s == WriteStep::MakeFolder ? EINVAL : 0; };
         return true;
       }},
      {"an immutable old list", "Protégé en Écriture...",
       [&] {
         const QString list = dbDir() + "/jpg.vrn";
         if (!setImmutable(list, true)) return false;
         undo = [list] { setImmutable(list, false); };
         return true;
       }},
  };
  int ran = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    win.reset();
    svc->dialogs.boxes.clear();
    removeTree(encodePath(dbDir()));
    makeFolder(encodePath(dbDir()));
    Main2* w = startOn(old);
    if (!c.prepare()) continue;
    ++ran;
    const FolderPicture before = database();
    const QByteArray affp = readFile(dbDir() + "/affp.aff");
    svc->dialogs.folders = {path(fresh)};
    const WindowSnapshot window = snapshot();
    w->Command1->click();
    databaseWriteHook() = nullptr;
    expectFailedScan(w, window, before, path(old), path(fresh), c.reason);
    EXPECT_EQ(readFile(dbDir() + "/affp.aff"), affp);
    EXPECT_EQ(svc->dialogs.boxes.size(), 1);
    EXPECT_FALSE(svc->dialogs.boxes.last().text.contains("Introuvable")) << "the folder is there";
    if (undo) undo();
    undo = nullptr;
  }
  EXPECT_GE(ran, 5);
}

// A database folder on a disk that cannot hold some list names (exFAT, as a
// USB stick is, refusing "?", ":", control characters and bytes that are
// not UTF-8; or a refusal injected on one staged list): those lists are
// lost, every other one is written and the scan ends as any scan does.
TEST_F(DatabaseSafetyTest, ListsTheDatabaseDiskRefusesAreLostAloneAndTheScanEndsNormally) {
  struct Case {
    const char* what;
    int error;  // injected on the third file opened (doc.vrn), or 0 on exFAT
  };
  const Case cases[] = {{"EINVAL", EINVAL}, {"EILSEQ", EILSEQ}, {"ENOENT", ENOENT}, {"exFAT", 0}};
  int ran = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    win.reset();
    svc->dialogs.boxes.clear();
    removeTree(encodePath(dbDir()));
    makeFolder(encodePath(dbDir()));
    removeTree(fresh.path());
    makeFolder(fresh.path());
    std::unique_ptr<ExfatMount> disk;
    QStringList refused;
    if (c.error == 0) {
      disk = std::make_unique<ExfatMount>(dbDir());
      if (!disk->mounted()) {
        std::cout << "exFAT case skipped: " << disk->why().toStdString() << std::endl;
        continue;
      }
      for (const QByteArray name :
           {"index.php?id=3", "a.b:c", "x.a\\b", "x.a*b", "x.a<b>", "x.a|b", "x.q\"t", "x.c\x01x", "x.\xE9t"}) {
        makeFile(fresh / name);
        refused << decodePath(name.mid(name.lastIndexOf('.') + 1));
      }
      for (const char* name : {"a.txt", "b.txt", "c.jpg"}) makeFile(fresh / name);
    } else {
      makeFiles(fresh.path(), 60);
      refused << "doc";
    }
    ++ran;
    Main2* w = startOn(old);
    int opens = 0;
    databaseWriteHook() = [&](WriteStep s) { return s == WriteStep::OpenFile && ++opens == 3 ? c.error : 0; };
    svc->dialogs.folders = {path(fresh)};
    w->Command1->click();
    databaseWriteHook() = nullptr;
    const int found = c.error ? 60 : refused.size() + 3;
    expectNormalEnd(w, found);
    const QStringList lists = listNames(catalogueFiles(dbDir()));
    for (const QString& name : refused) EXPECT_FALSE(lists.contains(name, Qt::CaseInsensitive)) << name.toStdString();
    const QStringList written = c.error ? QStringList{"jpg", "mp3", "pdf", "txt"} : QStringList{"jpg", "txt"};
    EXPECT_EQ(lists, written) << "every other list written";
    EXPECT_EQ(vrnVars().NombreFichiers, c.error ? 40 : 3);
    EXPECT_EQ(readFile(dbDir() + "/der.rep"), encodePath(path(fresh)).leftJustified(1024, ' '));
    EXPECT_EQ(vrnVars().SourceActuelle, path(fresh));
    expectWindowShowsTheFolder(w);
    const QStringList left = QDir(dbDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& entry : left)
      EXPECT_FALSE(entry.contains("database")) << "a working folder left: " << entry.toStdString();
    win.reset();  // the window's lock goes before the disk does
  }
  EXPECT_GE(ran, 3);
}

// The end of a scan, written or failed, shows the list of lists even when
// the busy watcher ticks at every turn of events, the freeing of the work
// arrays included.
TEST_F(DatabaseSafetyTest, TheEndOfAScanShowsTheListOfListsWhateverTheBusyWatcherDoes) {
  makeFiles(fresh.path(), 300);
  Main2::scanTestHooks().freeArraysSliceMs = 0;
  struct Restore {
    ~Restore() { Main2::scanTestHooks().freeArraysSliceMs = 5; }
  } restore;
  for (const bool failing : {false, true}) {
    SCOPED_TRACE(failing ? "failed write" : "written");
    win.reset();
    removeTree(encodePath(dbDir()));
    makeFolder(encodePath(dbDir()));
    Main2* w = startOn(old);
    svc->dialogs.boxes.clear();
    int ticks = 0, ticksAtTheEnd = 0;
    EveryTurn watcher([&] {
      ++ticks;
      // The scan's own end: no longer busy, its job not yet over.
      if (vrnVars().ScanEnCours.isEmpty() && JobGuard::isRunning(Job::Scan)) ++ticksAtTheEnd;
      w->Timer5_Timer();
    });
    if (failing) databaseWriteHook() = [](WriteStep s) { return s == WriteStep::Commit ? EIO : 0; };
    svc->dialogs.folders = {path(fresh)};
    w->Command1->click();
    databaseWriteHook() = nullptr;
    EXPECT_GT(ticks, ticksAtTheEnd);
    EXPECT_GT(ticksAtTheEnd, 0) << "the spent arrays are freed with turns of events";
    EXPECT_TRUE(w->Combo1->isVisible());
    EXPECT_TRUE(w->MyFrame7->isVisible());
    EXPECT_TRUE(w->MyButton7->isEnabled()) << "the watcher saw the scan over";
    EXPECT_EQ(svc->dialogs.boxes.size(), failing ? 1 : 0);
    EXPECT_EQ(vrnVars().TabChemins.size(), 2u);
  }
}

// A write whose end cannot be finished within the session says so, the
// window shows what the database folder holds, and the next start finishes
// it: after the commit (the new lists not all moved in) the new database;
// in the rollback (the old lists not all moved back) the old one. A failure
// that passes on a second try ends as if there had been none.
TEST_F(DatabaseSafetyTest, AWriteLeftUnfinishedSaysSoAndTheWindowShowsWhatTheFolderHolds) {
  makeFiles(fresh.path(), 300);
  struct Case {
    const char* what;
    std::function<WriteStepHook()> hook;
    bool committed;  // the new database is the database
    QString title;   // of the box, or none
  };
  const Case cases[] = {
      {"a move of a new list refused once",
       [] { return [n = 0](WriteStep s) mutable { return s == WriteStep::MoveNew && ++n == 2 ? EIO : 0; }; }, true, ""},
      {"moves of new lists refused for good",
       [] { return [n = 0](WriteStep s) mutable { return s == WriteStep::MoveNew && ++n > 2 ? EIO : 0; }; }, true,
       "Base de Données Incomplète..."},
      {"the database folder never flushed after the commit",
       [] {
         return [committed = false](WriteStep s) mutable {
           committed = committed || s == WriteStep::Commit;
           return committed && s == WriteStep::SyncFolder ? EIO : 0;
         };
       },
       true, "Base de Données Incomplète..."},
      {"a rollback that cannot move the old lists back",
       [] {
         return [n = 0](WriteStep s) mutable {
           if (s == WriteStep::Commit) return ENOSPC;
           return s == WriteStep::MoveBack && ++n > 1 ? EIO : 0;
         };
       },
       false, "Base de Données à Rétablir..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    win.reset();
    svc->dialogs.boxes.clear();
    removeTree(encodePath(dbDir()));
    makeFolder(encodePath(dbDir()));
    Main2* w = startOn(old);
    const FolderPicture older = database();
    databaseWriteHook() = c.hook();
    svc->dialogs.folders = {path(fresh)};
    w->Command1->click();
    databaseWriteHook() = nullptr;
    expectWindowShowsTheFolder(w);
    if (c.title.isEmpty()) {
      expectNormalEnd(w, 300);
      EXPECT_EQ(vrnVars().NombreFichiers, 250);
      continue;
    }
    ASSERT_EQ(svc->dialogs.boxes.size(), 1);
    const ShownBox box = svc->dialogs.boxes[0];
    EXPECT_EQ(box.title, c.title);
    EXPECT_TRUE(box.text.contains("Prochain Démarrage")) << box.text.toStdString();
    EXPECT_FALSE(box.text.contains("Aucune Liste n'a été Modifiée")) << "lists were moved";
    EXPECT_EQ(box.style, c.committed ? vbExclamation : vbCritical);
    EXPECT_TRUE(box.text.contains(c.committed ? "Erreur d'Écriture sur le Disque (5)..." : "Le Disque est Plein..."))
        << box.text.toStdString();
    EXPECT_TRUE(w->Combo1->isVisible());
    EXPECT_EQ(vrnVars().ScanEnCours, "");
    if (c.committed) {
      EXPECT_TRUE(w->Caption().startsWith(" - (300 Fichiers) Obtenus en "));
      EXPECT_EQ(vrnVars().SourceActuelle, path(fresh));
      // A scan stopped next writes nothing and has nothing to say.
      {
        EveryTurn stopper([&] {
          if (vrnVars().ScanEnCours == kYes) w->MyButton5_Click();
        });
        svc->dialogs.folders = {path(fresh)};
        w->Command1->click();
      }
      EXPECT_LT(w->NbFichiersTrouves, 300) << "stopped";
      EXPECT_EQ(svc->dialogs.boxes.size(), 1) << svc->dialogs.boxes.last().title.toStdString();
    } else {
      EXPECT_EQ(w->Caption(), "Dernière demande de SCANN en Échec...");
      EXPECT_NE(database(), older) << "old lists still set aside";
    }

    // The next start puts the whole database in place.
    win.reset();
    svc->dialogs.boxes.clear();
    realStartWindow();
    ASSERT_TRUE(started);
    const FolderPicture after = database();
    if (c.committed) {
      EXPECT_EQ(vrnVars().NombreFichiers, 250);
      EXPECT_EQ(vrnVars().SourceActuelle, path(fresh));
    } else {
      EXPECT_EQ(after, older);
      EXPECT_EQ(vrnVars().NombreFichiers, 3);
      EXPECT_EQ(vrnVars().SourceActuelle, path(old));
    }
    for (const QByteArray& key : after.keys()) EXPECT_FALSE(key.contains('/')) << "left over: " << key.constData();
  }
}

TEST_F(DatabaseSafetyTest, ADatabaseFolderThatIsAPlainFileEndsTheScanLikeAFailedWrite) {
  makeFiles(fresh.path(), 30);
  Main2* w = startOn(old);
  removeTree(encodePath(dbDir()));
  writeFile(dbDir(), "not a folder");
  svc->dialogs.folders = {path(fresh)};
  w->Command1->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbCritical);
  EXPECT_EQ(svc->dialogs.boxes[0].title, kFailureTitle);
  EXPECT_TRUE(svc->dialogs.boxes[0].text.contains("n'est pas un Dossier..."))
      << svc->dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(readFile(dbDir()), "not a folder");
  EXPECT_EQ(w->Caption(), "Dernière demande de SCANN en Échec...");
  EXPECT_EQ(vrnVars().SourceActuelle, "") << "no stored source can be read: the next press asks";
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (3) Fichiers\n()");
  EXPECT_FALSE(w->Check11->ToolTipText().contains(path(fresh)));
  EXPECT_FALSE(w->lblAffich->Caption().startsWith("Tous vos ("));
  EXPECT_EQ(vrnVars().ScanEnCours, "");
}

TEST_F(DatabaseSafetyTest, AReadOnlyDatabaseFolderEndsTheScanLikeAFailedWrite) {
  makeFiles(fresh.path(), 30);
  Main2* w = startOn(old);
  const FolderPicture kept = database();
  const QByteArray at = encodePath(dbDir());
  bool readOnly = false;
  std::function<void()> undo;
  if (::geteuid() == 0) {
    // The owner's write bit does not stop root: a read-only mount does.
    if (::mount(at.constData(), at.constData(), nullptr, MS_BIND, nullptr) == 0) {
      undo = [at] { ::umount2(at.constData(), MNT_DETACH); };
      readOnly = ::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
  } else {
    readOnly = ::chmod(at.constData(), 0555) == 0;
    undo = [at] { ::chmod(at.constData(), 0755); };
  }
  struct Undo {
    std::function<void()>& fn;
    ~Undo() {
      if (fn) fn();
    }
  } undoAtEnd{undo};
  if (!readOnly) GTEST_SKIP() << "no read-only folder can be made here";
  svc->dialogs.folders = {path(fresh)};
  const WindowSnapshot window = snapshot();
  w->Command1->click();
  expectFailedScan(w, window, kept, path(old), path(fresh), "Protégé en Écriture...");
  EXPECT_EQ(svc->dialogs.boxes.size(), 1);
}

// ---- A write cut short ----

TEST_F(DatabaseSafetyTest, AQuitDuringTheWriteLeavesThePreviousOrTheNewDatabaseWhole) {
  makeFiles(fresh.path(), 3000);
  Main2* w = startOn(old);
  const FolderPicture older = database();
  const FolderPicture others = pictureOf(encodePath(dbDir()));

  // The quit ends the process at once: what the database folder holds at
  // that moment is what the next start finds.
  struct Snapshot {
    FolderPicture picture;
    bool midWrite;  // taken while records were written
  };
  QList<Snapshot> snapshots;
  bool inRecords = false;
  Main2::exitHook() = [&](int) {
    // The waits repeat one moment many times over: one picture each.
    const FolderPicture now = pictureOf(encodePath(dbDir()));
    if (inRecords || snapshots.isEmpty() || snapshots.last().picture != now) snapshots.append({now, inRecords});
  };
  const QString writing = "Création et Traitement de la Base de Données en Cours...";
  bool quitNow = false;
  EveryTurn user([&] {
    if (quitNow && w->lblAffich->Caption() == writing) {
      quitNow = false;
      w->mnArreter->click();
    }
  });
  svc->clock.onWait = [&] { quitNow = true; };  // in each of the writer's waits
  int records = 0;
  databaseWriteHook() = [&](WriteStep s) {
    if (s == WriteStep::Record && ++records % 700 == 0) {
      quitNow = true;
      inRecords = true;
      QCoreApplication::processEvents();  // an event turn amid the records
      inRecords = false;
    }
    return 0;
  };
  svc->dialogs.folders = {path(fresh)};
  w->Command1->click();
  databaseWriteHook() = nullptr;
  svc->clock.onWait = nullptr;
  Main2::exitHook() = [this](int code) { exitCodes.append(code); };
  ASSERT_EQ(w->Caption().left(4), " - (") << "the window went on: the test's quit ends nothing";
  const FolderPicture newer = database();
  ASSERT_NE(newer, older);

  int midWrite = 0;
  for (const Snapshot& s : snapshots) {
    win.reset();
    restorePicture(encodePath(dbDir()), s.picture);
    realStartWindow();
    ASSERT_TRUE(started);
    const FolderPicture after = database();
    EXPECT_TRUE(after == older || after == newer) << "a mix";
    if (s.midWrite) {
      ++midWrite;
      EXPECT_EQ(after, older) << "records still being written: the previous database";
    }
    for (const QByteArray& other : {QByteArray("affp.aff"), QByteArray("mesp.par")})
      EXPECT_EQ(pictureOf(encodePath(dbDir())).value(other), others.value(other));
  }
  EXPECT_GE(midWrite, 3);
  EXPECT_GE(snapshots.size(), midWrite + 2) << "the writer's waits too";
}

TEST_F(DatabaseSafetyTest, AKillAtAnyPointOfAScansWriteLeavesTheWholeOldOrTheWholeNewDatabase) {
  makeFiles(fresh.path(), 3000);
  writeOldDatabase(old.path());
  writeQuietOptions();
  writeFile(dbDir() + "/mesp.par", QByteArray("jpg").leftJustified(30, ' '));
  const FolderPicture start = pictureOf(encodePath(dbDir()));
  const FolderPicture older = databaseOf(start);

  // The scan's arrays, walked and sorted as the scan does.
  std::vector<QByteArray> ext(2), paths(2);
  qint64 found = 0;
  ASSERT_EQ(walkFolder(fresh.path(), {ext, paths, found}, {}), WalkResult::Completed);
  ASSERT_EQ(found, 3000);
  ASSERT_TRUE(TriRapide(1, found, ext, true, paths));
  const auto write = [&] { writeListFiles(dbDir(), path(fresh), ext, paths, found, {}, {}, 0); };

  const std::vector<WriteStep> steps = writeSteps(write);
  const FolderPicture newer = [&] {
    deleteBareList(dbDir(), {});
    return database();
  }();
  ASSERT_NE(newer, older);
  // Every step but the records, and records spread across the write.
  std::vector<int> points;
  std::vector<int> recordSteps;
  for (int i = 0; i < int(steps.size()); ++i) {
    if (steps[size_t(i)] == WriteStep::Record) recordSteps.push_back(i);
    else points.push_back(i);
  }
  ASSERT_GE(recordSteps.size(), 2500u);
  for (int k = 0; k < 12; ++k) points.push_back(recordSteps[recordSteps.size() * size_t(k) / 12]);
  ASSERT_GE(points.size(), 20u);

  int oldSeen = 0, newSeen = 0;
  for (const int at : points) {
    SCOPED_TRACE("killed before step " + std::to_string(at));
    win.reset();
    restorePicture(encodePath(dbDir()), start);
    ASSERT_TRUE(killWriteAtStep(at, write));
    svc->dialogs.boxes.clear();
    realStartWindow();
    ASSERT_TRUE(started);
    const FolderPicture after = database();
    if (after == older) {
      ++oldSeen;
      EXPECT_EQ(vrnVars().SourceActuelle, path(old));
      EXPECT_EQ(vrnVars().NombreFichiers, 3);
    } else if (after == newer) {
      ++newSeen;
      EXPECT_EQ(vrnVars().SourceActuelle, path(fresh));
      EXPECT_EQ(vrnVars().NombreFichiers, 2500) << "3000 found, 500 with no extension";
    } else {
      ADD_FAILURE() << "a mix: " << after.keys().join(' ').toStdString();
    }
    const FolderPicture all = pictureOf(encodePath(dbDir()));
    EXPECT_EQ(all.value("affp.aff"), start.value("affp.aff"));
    EXPECT_EQ(all.value("mesp.par"), start.value("mesp.par"));
    EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  }
  EXPECT_GT(oldSeen, 0);
  EXPECT_GT(newSeen, 0);
}

// ---- What a record cannot hold ----

TEST_F(DatabaseSafetyTest, AFileNameEndingInABlankIsCountedButNeverListed) {
  Main2* w = startOn(old);
  w->Check2->setValue(1);
  makeFile(fresh / "t.txt", "plain");
  makeFile(fresh / "t.txt ", "blank");
  svc->dialogs.folders = {path(fresh)};
  w->Command1->click();
  EXPECT_EQ(w->Caption(), " - (2 Fichiers) Obtenus en 00:00:05") << "both counted";
  EXPECT_EQ(readFile(dbDir() + "/txt.vrn"), records({fresh / "t.txt"}));
  listLoadEventSliceMs() = 0;
  w->Combo1->setListIndex(w->Combo1->findText("txt"));
  listLoadEventSliceMs() = 8;
  ASSERT_EQ(w->ListView2->Count(), 1) << "one row for t.txt";
  EXPECT_EQ(w->ListView2->SubItem(1, 1), path(fresh) + "/t.txt");
}

TEST_F(DatabaseSafetyTest, ABareListInAnyCaseIsNeitherCountedNorKept) {
  writeFile(dbDir() + "/.VRN", records({"/x/1", "/x/2", "/x/3"}));
  Main2* w = startOn(old);
  EXPECT_FALSE(QFile::exists(dbDir() + "/.VRN"));
  EXPECT_EQ(vrnVars().NombreFichiers, 3);
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (3) Fichiers\n(" + path(old) + ")");

  // One that appears later is not counted either.
  writeFile(dbDir() + "/.Vrn", records({"/x/1"}));
  w->CompterFichiersBase();
  EXPECT_EQ(vrnVars().NombreFichiers, 3);
}

// ---- One job at a time ----

// Each job in turn (a list load, a copy, a search, a scan): at its first
// event turn every road that would start a scan or change the source is shown
// disabled and, used all the same, changes nothing; once the job has ended
// each is usable again.
TEST_F(DatabaseSafetyTest, NoSourceCommandRunsWhileAnyJobRuns) {
  for (const char* f : {"a.txt", "b.txt"}) makeFile(old / f, "x");
  makeFile(old / "c.jpg");
  makeFiles(fresh.path(), 12);
  TempTree special;  // the folder the special-folder box offers
  makeFile(special / "s.txt");
  QTemporaryDir backup;
  ASSERT_TRUE(backup.isValid());
  Main2* w = startOn(old);
  w->Check16->setValue(0);
  const int loadSlice = listLoadEventSliceMs(), searchSlice = searchEventSliceMs();
  listLoadEventSliceMs() = 0;  // a turn after every record
  searchEventSliceMs() = 0;

  struct JobCase {
    const char* what;
    bool scans;  // the job itself scans (fresh, chosen in the browser)
    std::function<void()> run;
  };
  const JobCase jobs[] = {
      {"a list load", false, [&] { w->Combo1->setListIndex(w->Combo1->findText("txt")); }},
      {"a copy", false,
       [&] {
         w->ListView2->Clear();
         for (int i = 1; i <= 2; ++i) {
           addFileRow(w->ListView2, path(old) + (i == 1 ? "/a.txt" : "/b.txt"), i);
           w->ListView2->setChecked(i, true);
         }
         vrnVars().NombreSelection = 2;
         vrnVars().DossierDestination = backup.path();
         vrnVars().ModeCopie = kYes;
         w->CopierFichiersCoches();
       }},
      {"a search", false,
       [&] {
         w->mnRechercheCritere->click();
         w->Text2->setText("txt");
         w->Check19->setValue(1);
         w->MyButton25->click();
         EXPECT_GT(w->ListView2->Count(), 0) << "the search itself went on";
         w->MyButton24->click();
       }},
      {"a scan", true, [&] { w->Command1->click(); }},
  };
  const QString combo7Item = decodePath(special.path()) + "/";
  w->Combo7->AddItem(combo7Item);
  for (const JobCase& job : jobs) {
    SCOPED_TRACE(job.what);
    const FolderPicture before = pictureOf(encodePath(dbDir()));
    const QString source = vrnVars().SourceActuelle, toScan = vrnVars().SourceAScanner;
    svc->dialogs.folders = {path(fresh)};  // for the scan job's own browser; must stay unused otherwise
    svc->dialogs.browserTitles.clear();
    svc->dialogs.boxes.clear();
    bool during = false;
    QStringList enabled, changed;
    QTimer::singleShot(0, w, [&] {
      during = true;
      if (w->Command1->isEnabled()) enabled << "Command1";
      for (MenuItem* m : {w->mnReScannerActuel, w->mnScannProfile, w->mnChoixPerso, w->mnDetailRepPerso})
        if (m->Enabled()) enabled << m->objectName();
      if (w->Combo7->isEnabled()) enabled << "Combo7";
      // What the job has made of the state so far: the roads leave it so.
      const VariablesVRN& v = vrnVars();
      const QStringList state = {v.SourceActuelle, v.SourceAScanner, v.ModeCopie, v.ScanEnCours,
                                 w->MyButton10->Caption()};
      const FolderPicture files = pictureOf(encodePath(dbDir()));
      const qsizetype titles = svc->dialogs.browserTitles.size();
      w->Command1_Click();
      w->mnReScannerActuel_Click();
      w->mnScannProfile_Click();
      w->mnChoixPerso_Click();
      w->mnDetailRepPerso_Click();
      w->Combo7->setListIndex(w->Combo7->findText(combo7Item));
      w->Combo7_Click();
      if (state !=
          QStringList({v.SourceActuelle, v.SourceAScanner, v.ModeCopie, v.ScanEnCours, w->MyButton10->Caption()}))
        changed << "state";
      if (pictureOf(encodePath(dbDir())) != files) changed << "database folder";
      if (svc->dialogs.browserTitles.size() != titles) changed << "browser";
      if (!svc->dialogs.boxes.isEmpty()) changed << "box";
      if (w->Combo7->isVisible()) changed << "Combo7 shown";
    });
    job.run();
    ASSERT_TRUE(during);
    EXPECT_TRUE(enabled.isEmpty()) << "shown enabled: " << enabled.join(' ').toStdString();
    EXPECT_TRUE(changed.isEmpty()) << "changed: " << changed.join(", ").toStdString();
    const FolderPicture after = pictureOf(encodePath(dbDir()));
    if (job.scans) {
      EXPECT_EQ(vrnVars().SourceActuelle, path(fresh)) << "the scan went on with its own folder";
      EXPECT_EQ(vrnVars().SourceAScanner, toScan);
      EXPECT_EQ(after.value("affp.aff"), before.value("affp.aff"));
      EXPECT_EQ(after.value("mesp.par"), before.value("mesp.par"));
      EXPECT_EQ(svc->dialogs.browserTitles.size(), 1) << "the scan's own folder choice only";
    } else {
      EXPECT_EQ(vrnVars().SourceActuelle, source);
      EXPECT_EQ(vrnVars().SourceAScanner, toScan);
      EXPECT_EQ(after, before) << "der.rep, affp.aff and the lists untouched";
      EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
    }
    EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
    EXPECT_FALSE(w->Combo7->isVisible());
    EXPECT_NE(w->MyButton10->Caption().left(14), "Scann en Cours");
    EXPECT_TRUE(w->Command1->isEnabled()) << "usable again once the job ended";
    EXPECT_TRUE(w->mnScannProfile->Enabled());
  }
  listLoadEventSliceMs() = loadSlice;
  searchEventSliceMs() = searchSlice;
  EXPECT_EQ(QDir(backup.path()).entryList(QDir::Files), (QStringList{"a.txt", "b.txt"})) << "the copy itself went on";
}

// The one rule (mayStart) both ways: for each job, every road that must wait
// is refused before it changes anything, every road that may run alongside
// runs, and the page buttons, which a list load and a search hide, are not
// offered. Refused roads are tried together at one turn of the job; each road
// that runs gets a job of its own.
TEST_F(DatabaseSafetyTest, EachRoadRunsOrIsRefusedWhileEachJobRunsAsTheOneRuleSays) {
  for (const char* f : {"a.txt", "b.txt", "c.jpg"}) makeFile(old / f, "x");
  makeFiles(fresh.path(), 12);
  const int loadSlice = listLoadEventSliceMs(), searchSlice = searchEventSliceMs();
  listLoadEventSliceMs() = 0;  // a turn after every record
  searchEventSliceMs() = 0;
  struct RestoreSlices {
    int load, search;
    ~RestoreSlices() {
      listLoadEventSliceMs() = load;
      searchEventSliceMs() = search;
    }
  } restoreSlices{loadSlice, searchSlice};

  enum Expect { Runs, Refused, NotOffered };
  const QString scanTitle = "Sélectionner le Disque, Lecteur, Répertoire à SCANNER...";
  Main2* w = nullptr;
  QPointer<FormEssai> page;
  std::unique_ptr<QTemporaryDir> backup;  // each instance's destinations
  auto destination = [&](const char* name) {
    QString folder = backup->path() + "/" + name;
    QDir().mkpath(folder);
    return folder;
  };
  auto filesIn = [&](const char* name) { return QDir(backup->path() + "/" + name).entryList(QDir::Files); };

  struct Road {
    const char* what;
    std::function<void()> take;      // the user's action
    std::function<bool()> ran = {};  // what shows that it ran, right after
    Expect scan, load, search, copy;
    std::function<void()> prepare = {};  // before the job starts
    QList<Change> own = {};              // what a refused action itself changes (a pick)
    std::function<bool()> offered = {};  // for the roads a job may hide
  };
  const Road roads[] = {
      {"the scan button",
       [&] {
         svc->dialogs.folders = {path(fresh)};
         w->Command1->click();
       },
       {},
       Refused,
       Refused,
       Refused,
       Refused},
      {"rescan", [&] { w->mnReScannerActuel->click(); }, {}, Refused, Refused, Refused, Refused},
      {"profile scan", [&] { w->mnScannProfile->click(); }, {}, Refused, Refused, Refused, Refused},
      {"a folder of my choice", [&] { w->mnChoixPerso->click(); }, {}, Refused, Refused, Refused, Refused},
      {"the special folders' menu", [&] { w->mnDetailRepPerso->click(); }, {}, Refused, Refused, Refused, Refused},
      {"a special folder picked",
       [&] { w->Combo7->setListIndex(0); },
       {},
       Refused,
       Refused,
       Refused,
       Refused,
       {},
       {{"Combo7", "ListIndex"}, {"Combo7", "Text"}}},
      {"a list picked", [&] { w->Combo1->setListIndex(w->Combo1->findText("jpg")); },
       [&] { return w->Label2->Caption() == "Liste de Mes (1) Fichiers (.jpg) Disponibles"; }, Runs, Refused, Runs,
       Runs},
      {"a search launched", [&] { w->MyButton25->click(); },
       [&] { return w->Label32->Caption().startsWith("Recherche Terminée"); }, Runs, Runs, Refused, Runs},
      {"the main window's copy",
       [&] {
         w->mnToutSelect_Click();
         svc->dialogs.folders = {destination("main")};
         w->mnCopierSelect->click();
       },
       // It asked where to copy, and copied the ticked files (a load's first
       // turn may come before its first row: nothing to tick then).
       [&] {
         return svc->dialogs.browserTitles.contains("Sélectionnez le Dossier de Destination :") &&
                (!filesIn("main").isEmpty() || w->ListView2->Count() == 0);
       },
       Runs, Runs, Runs, Refused},
      {"a page's copy",
       [&] {
         ASSERT_TRUE(page);
         page->mnToutSelect->click();
         svc->dialogs.saveNames = {destination("page")};
         page->mnCopierSelect->click();
       },
       [&] { return !filesIn("page").isEmpty(); }, Runs, Runs, Runs, Refused,
       [&] {
         page = new FormEssai(w);
         page->Show();
         page->mnToutSelect->click();
       }},
      {"the lists as pages on screen", [&] { w->mnAfficherEcran->click(); }, [&] { return loadedPages().size() == 2; },
       Runs, Refused, Runs, Runs},
      {"the lists as pages in the task bar", [&] { w->mnAfficherSystray->click(); },
       [&] {
         bool minimised = loadedPages().size() == 2;
         for (Form* f : loadedPages()) minimised = minimised && f->WindowState() == vbMinimized;
         return minimised;
       },
       Runs, Refused, Runs, Runs},
      {"a page on screen",
       [&] { w->Command11->click(); },
       [&] { return loadedPages().size() == 1; },
       Runs,
       NotOffered,
       NotOffered,
       Runs,
       {},
       {},
       [&] { return w->Command11->Visible(); }},
      {"a page in the task bar",
       [&] { w->Command8->click(); },
       [&] { return loadedPages().size() == 1; },
       Runs,
       NotOffered,
       NotOffered,
       Runs,
       {},
       {},
       [&] { return w->Command8->Visible(); }},
  };

  struct JobCase {
    const char* what;
    Expect Road::*expect;
    std::function<void()> start;
    // The turn at which the roads are taken: the first one, or for the
    // search the first once it reads (its pause before comes first).
    std::function<bool()> ready = [] { return true; };
  };
  const JobCase jobs[] = {
      {"a scan", &Road::scan,
       [&] {
         svc->dialogs.folders = {path(fresh)};
         w->Command1->click();
       }},
      {"a list load", &Road::load, [&] { w->Combo1->setListIndex(w->Combo1->findText("txt")); }},
      {"a search", &Road::search, [&] { w->MyButton25->click(); },
       [&] {
         return w->Label2->Caption() == "Recherche Affinée par Critère de Recherche en Cours..." &&
                w->ListView2->Count() > 0;
       }},
      {"a copy", &Road::copy,
       [&] {
         vrnVars().DossierDestination = destination("job");
         vrnVars().ModeCopie = kYes;
         w->CopierFichiersCoches();
       }},
  };

  // A started window showing the txt list with both rows ticked, the search
  // panel ready to look for "txt" in every list, and what the roads need.
  auto startInstance = [&](const QList<const Road*>& taken) {
    closeEveryPage();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    win.reset();
    removeTree(encodePath(dbDir()));
    makeFolder(encodePath(dbDir()));
    svc->dialogs.boxes.clear();
    svc->dialogs.browserTitles.clear();
    backup = std::make_unique<QTemporaryDir>();
    w = startOn(old);
    w->mnRechercheCritere->click();
    w->Text2->setText("txt");
    w->Check19->setValue(1);
    w->Combo1->setListIndex(w->Combo1->findText("txt"));
    w->mnToutSelect_Click();
    for (const Road* road : taken)
      if (road->prepare) road->prepare();
    svc->dialogs.boxes.clear();
  };

  for (const JobCase& job : jobs) {
    SCOPED_TRACE(job.what);
    QList<const Road*> waiting, running;
    for (const Road& road : roads) (road.*job.expect == Runs ? running : waiting) << &road;

    // Every road that must wait (or is not offered), at one turn of the job.
    startInstance(waiting);
    bool during = false;
    std::optional<EveryTurn> user;
    user.emplace([&] {
      if (during || !jobRunning() || !job.ready()) return;
      during = true;
      for (const Road* road : waiting) {
        SCOPED_TRACE(road->what);
        if (road->*job.expect == NotOffered) {
          EXPECT_FALSE(road->offered()) << "hidden while the job runs";
          continue;
        }
        const FolderPicture files = pictureOf(encodePath(dbDir()));
        const QStringList state = {vrnVars().SourceActuelle, vrnVars().SourceAScanner, vrnVars().ModeCopie,
                                   vrnVars().ScanEnCours, vrnVars().DemandeArret};
        const qsizetype pages = loadedPages().size();
        const WindowSnapshot window = snapshot();
        road->take();
        expectOnlyChanged(window, road->own);
        EXPECT_EQ(pictureOf(encodePath(dbDir())), files);
        EXPECT_EQ(state, QStringList({vrnVars().SourceActuelle, vrnVars().SourceAScanner, vrnVars().ModeCopie,
                                      vrnVars().ScanEnCours, vrnVars().DemandeArret}));
        EXPECT_EQ(loadedPages().size(), pages);
      }
    });
    job.start();
    user.reset();
    ASSERT_TRUE(during);
    EXPECT_FALSE(jobRunning());
    if (job.expect == &Road::load) {
      // The load refused the pick and the display walk: it ends showing its
      // own list, named in the list of lists, in the wide window.
      EXPECT_EQ(w->Combo1->Text(), "txt");
      EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (2) Fichiers (.txt) Disponibles");
      EXPECT_EQ(w->ListView2->Count(), 2);
      EXPECT_EQ(w->Width(), Main2::kWideWidth);
    }

    // Each road that may run alongside, in a job of its own.
    for (const Road* road : running) {
      SCOPED_TRACE(road->what);
      startInstance({road});
      bool ran = false, tried = false;
      std::optional<EveryTurn> alongside;
      alongside.emplace([&] {
        if (tried || !jobRunning() || !job.ready()) return;
        tried = true;
        road->take();
        ran = road->ran();
      });
      job.start();
      alongside.reset();
      ASSERT_TRUE(tried);
      EXPECT_TRUE(ran) << "it ran inside the job";
      EXPECT_FALSE(jobRunning());
      EXPECT_EQ(vrnVars().DemandeArret, "");
    }
  }
  closeEveryPage();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
