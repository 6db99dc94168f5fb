// The scan command through the window: browser answers, preset sources, the
// source menu, the stop buttons, refusing a second scan and the copy road.
#include <QDir>
#include <QFile>
#include <QTimer>
#include <algorithm>

#include "database/dbfolder.h"
#include "database/sourcemount.h"
#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"
#include "tests/database/tree.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

const QString kScanTitle = "Sélectionner le Disque, Lecteur, Répertoire à SCANNER...";
const QString kCopyTitle = "Sélectionnez le Dossier de Destination :";

// Twelve files in a folder whose path holds no ".": three without an
// extension and one whose extension has nine characters are not listed.
void makeTwelveFiles(const QByteArray& root) {
  for (const char* name : {"a.txt", "b.TXT", "c.jpg", "README", "e.tar.gz", "LICENSE", "g.abcdefghi"})
    makeFile(root + '/' + name);
  makeFolder(root + "/sub");
  for (const char* name : {"h.jpg", "Makefile", "j.c", "k.h", "l.txt"}) makeFile(root + "/sub/" + name);
}

// Folders of files, big enough for the walk to let events through midway.
qint64 makeWideTree(const QByteArray& root, int folders, int filesEach) {
  for (int f = 0; f < folders; ++f) {
    const QByteArray dir = root + "/d" + QByteArray::number(f);
    makeFolder(dir);
    for (int i = 0; i < filesEach; ++i) makeFile(dir + "/f" + QByteArray::number(i) + ".dat");
  }
  return qint64(folders) * filesEach;
}

// What a completed scan changes in the window: its caption and counts, the
// source it names, the lists offered, and the stop button's caption. The
// scan picture moves while it runs.
const QList<Change> kScanResult = {
    {"Main2", "Caption"},
    {"lblAffich", "Caption"},
    {"lblnbr", "Caption"},
    {"MyButton10", "Caption"},
    {"MyButton10", "ToolTipText"},
    {"Label1", "Caption"},
    {"Label2", "Caption"},
    {"Check11", "ToolTipText"},
    {"MyButton6", "Caption"},
    {"label4", "Left"},
    {"Dialogs", "BrowserTitles"},
    // The lists offered, counted and searched.
    {"Combo1", "List"},
    {"Combo1", "ToolTipText"},
    {"Combo1", "Visible"},
    {"MyFrame7", "Visible"},
    {"LstSources", "List"},
    {"LstSources", "Selected"},
    {"File1", "List"},
    {"Combo10", "List"},
    {"Label10", "Caption"},
    {"mnAfficherTout", "Caption"},
    {"mnToutesExtenInit", "Caption"},
};

}  // namespace

class ScanTest : public Main2Test {
 protected:
  void writeDerRep(const QString& source) {
    writeFile(dbDir() + "/der.rep", encodePath(source).leftJustified(1024, ' '));
  }
  // A window whose last source is an existing folder, so the scan button asks.
  Main2* startWithSource(const QString& source) {
    writeDerRep(source);
    Main2* w = startWindow();
    // The pages opened after each scan are not the subject here; nor is the
    // busy watcher, which ticks on real time, maybe amid a scan, maybe not.
    if (w) {
      w->Check16->setValue(0);
      w->Timer5->setEnabled(false);
    }
    return w;
  }
  // The stored files; the running program's lock aside.
  QStringList dbEntries() const {
    QStringList entries = QDir(dbDir()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    entries.removeOne(".varnelo.lock");
    entries.removeOne(kSourceMountFile);
    return entries;
  }
  QStringList comboItems(ComboBox* c) const {
    QStringList items;
    for (int i = 0; i < c->ListCount(); ++i) items << c->List(i);
    return items;
  }
  QString path(const TempTree& t) const { return decodePath(t.path()); }
  // The records of a list, trimmed, in name order (the sort does not keep
  // the walk's order within one extension).
  QList<QByteArray> listed(const QString& list) const {
    const QByteArray bytes = readFile(dbDir() + "/" + list);
    QList<QByteArray> out;
    for (qsizetype at = 0; at + 300 <= bytes.size(); at += 300) out << bytes.mid(at, 300).trimmed();
    std::sort(out.begin(), out.end());
    if (bytes.size() % 300 != 0) out << "<partial record>";
    return out;
  }

  TempTree tree;
  TempTree other;
};

TEST_F(ScanTest, TwelveFilesChosenInTheBrowserGiveEightListedFiles) {
  makeTwelveFiles(tree.path());
  Main2* w = startWithSource(path(other));
  svc->dialogs.folders = {path(tree)};

  // What the window shows while the walk lets events through.
  struct During {
    bool seen = false, command1, menu, stop, combo1, lblnbr;
    QString scanning, label, button10, tip11, count;
    qint64 found = -1;
  } during;
  QTimer::singleShot(0, w, [&] {
    during.seen = true;
    during.scanning = vrnVars().ScanEnCours;
    during.command1 = w->Command1->isEnabled();
    during.menu = w->mnReScannerActuel->Enabled() || w->mnScannProfile->Enabled() || w->mnChoixPerso->Enabled() ||
                  w->mnDetailRepPerso->Enabled();
    during.stop = w->MyButton6->isEnabled();
    during.combo1 = w->Combo1->isVisible();
    during.lblnbr = w->lblnbr->isVisible();
    during.label = w->lblAffich->Caption();
    during.button10 = w->MyButton10->Caption();
    during.tip11 = w->Check11->ToolTipText();
    during.count = w->lblnbr->Caption();
    during.found = w->NbFichiersTrouves;
  });
  const WindowSnapshot before = snapshot();
  w->Command1->click();

  EXPECT_EQ(svc->dialogs.browserTitles, QStringList{kScanTitle});
  ASSERT_TRUE(during.seen);
  EXPECT_EQ(during.scanning, kYes);
  EXPECT_FALSE(during.command1);
  EXPECT_FALSE(during.menu);
  EXPECT_TRUE(during.stop);
  EXPECT_FALSE(during.combo1);
  EXPECT_TRUE(during.lblnbr);
  EXPECT_EQ(during.label, "Attendre pendant la Recherche de Tous vos Fichiers...");
  EXPECT_EQ(during.button10, "Scann en Cours\n(" + path(tree) + ")");
  EXPECT_EQ(during.tip11, "Scanner au Démarrage dans (" + path(tree) + ")");
  EXPECT_EQ(during.count, QString::number(during.found)) << "the count shown is the count so far";

  // The result: every file counted, eight listed. The writer waited 2 s after
  // writing and 1 s after deleting the list of files not retained.
  EXPECT_EQ(w->Caption(), " - (12 Fichiers) Obtenus en 00:00:03");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (3) Listes Couramment Utilisées Disponibles");
  EXPECT_EQ(w->lblnbr->Caption(), "12");
  EXPECT_EQ(w->NbFichiersTrouves, 12);
  EXPECT_EQ(vrnVars().NombreFichiers, 8);
  const QByteArray root = tree.path();
  EXPECT_EQ(listed("txt.vrn"), (QList<QByteArray>{root + "/a.txt", root + "/b.TXT", root + "/sub/l.txt"}));
  EXPECT_EQ(listed("jpg.vrn"), (QList<QByteArray>{root + "/c.jpg", root + "/sub/h.jpg"}));
  EXPECT_EQ(readFile(dbDir() + "/gz.vrn"), records({root + "/e.tar.gz"}));
  EXPECT_EQ(dbEntries(),
            (QStringList{"affp.aff", "c.vrn", "der.rep", "gz.vrn", "h.vrn", "jpg.vrn", "mesp.par", "txt.vrn"}));
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), root.leftJustified(1024, ' '));

  // No preferred list: the common lists are offered and ticked in the preferences.
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"gz", "jpg", "txt"}));
  EXPECT_EQ(w->Combo1->ToolTipText(), "(3) extensions...");
  ASSERT_EQ(w->LstSources->ListCount(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(w->LstSources->Selected(i), i != 0 && i != 2) << i;
  EXPECT_TRUE(w->Combo1->isVisible());
  EXPECT_TRUE(w->MyFrame7->isVisible());

  // Captions; every other control is idle again, as before the scan.
  const QString result = "Résultat du Scann (8) Fichiers\n(" + path(tree) + ")";
  EXPECT_EQ(w->MyButton10->Caption(), result);
  EXPECT_EQ(w->Label1->Caption(), result);
  EXPECT_EQ(w->MyButton10->ToolTipText(), "(" + path(tree) + ")");
  EXPECT_EQ(w->Check11->ToolTipText(), "Scanner au Démarrage dans (" + path(tree) + ")");
  EXPECT_EQ(w->Label2->Caption(), "Faites votre Choix");
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter le Scann");
  expectOnlyChanged(before, kScanResult);
  EXPECT_EQ(vrnVars().SourceActuelle, path(tree));
  EXPECT_EQ(vrnVars().ScanEnCours, "");
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_EQ(vrnVars().TabExtensions.size(), 2u);
  EXPECT_EQ(vrnVars().TabChemins.size(), 2u);
}

TEST_F(ScanTest, ACancelledBrowserScansNothingAndAFileIsRefused) {
  makeTwelveFiles(tree.path());
  writeFile(dbDir() + "/old.vrn", records({"/x/y.old"}));
  Main2* w = startWithSource(path(other));
  const QByteArray derRep = readFile(dbDir() + "/der.rep");

  // Asking for the folder names the scan on the stop button, nothing more.
  WindowSnapshot before = snapshot();
  w->Command1->click();  // no answer scripted: cancelled
  EXPECT_EQ(svc->dialogs.browserTitles, QStringList{kScanTitle});
  expectOnlyChanged(before, {{"Dialogs", "BrowserTitles"}, {"MyButton6", "Caption"}});
  EXPECT_EQ(vrnVars().SourceActuelle, path(other));
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), derRep);
  EXPECT_TRUE(QFile::exists(dbDir() + "/old.vrn"));

  svc->dialogs.folders = {decodePath(tree / "a.txt")};
  before = snapshot();
  w->Command1->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbCritical);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Refaire...");
  EXPECT_EQ(svc->dialogs.boxes[0].text, "Dossier Incorect");
  expectOnlyChanged(before, {{"Dialogs", "BrowserTitles"}, {"Dialogs", "Boxes"}});
  EXPECT_EQ(vrnVars().SourceActuelle, path(other));
  EXPECT_EQ(vrnVars().ScanEnCours, "");
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), derRep);
  EXPECT_TRUE(QFile::exists(dbDir() + "/old.vrn"));
  EXPECT_TRUE(w->Command1->isEnabled()) << "a refused folder leaves the command usable";
}

TEST_F(ScanTest, TheSourceMenuRescansWithoutTheBrowser) {
  makeTwelveFiles(tree.path());
  Main2* w = startWithSource(path(other));
  svc->dialogs.folders = {path(tree)};
  w->Command1->click();
  ASSERT_EQ(w->NbFichiersTrouves, 12);

  makeFile(tree / "m.txt");
  w->Command1->RightClick();
  EXPECT_EQ(w->mnReScannerActuel->Caption(), "Re-Scanner la Source Actuelle (" + path(tree) + ")");
  ASSERT_EQ(popups.size(), 1);
  EXPECT_EQ(popups[0].menu, "mnMenu1");
  EXPECT_EQ(popups[0].x, 240 - 1000);
  EXPECT_EQ(popups[0].y, 3000 - 1600);

  svc->dialogs.folders = {path(other)};  // must not be asked for
  w->mnReScannerActuel->click();
  EXPECT_EQ(svc->dialogs.browserTitles.size(), 1);
  EXPECT_EQ(svc->dialogs.folders.size(), 1u);
  EXPECT_EQ(w->Caption(), " - (13 Fichiers) Obtenus en 00:00:05") << "old lists deleted first: one more wait";
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (3) Listes Couramment Utilisées Disponibles");
  EXPECT_EQ(vrnVars().SourceActuelle, path(tree));
  EXPECT_EQ(vrnVars().SourceAScanner, path(tree));

  // Choosing the source myself asks again, from the compact window.
  w->setWidth(9000);
  w->mnChoixPerso->click();
  EXPECT_EQ(svc->dialogs.browserTitles.size(), 2);
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_EQ(w->Left(), (Screen::Width() - Main2::kCompactWidth) / 2);
  EXPECT_EQ(vrnVars().SourceActuelle, path(other));
  EXPECT_EQ(w->Caption(), " - (0 Fichiers) Obtenus en 00:00:04");
}

TEST_F(ScanTest, ARescanOfAFolderThatIsGoneIsRefusedAndKeepsTheDatabase) {
  const QByteArray gone = tree / "gone";
  makeFolder(gone);
  makeFile(gone + "/a.txt");
  writeFile(dbDir() + "/txt.vrn", records({gone + "/a.txt"}));
  writeFile(dbDir() + "/jpg.vrn", records({gone + "/b.jpg"}));
  Main2* w = startWithSource(decodePath(gone));
  ASSERT_EQ(vrnVars().NombreFichiers, 2);
  const QStringList entries = dbEntries();
  const QByteArray txt = readFile(dbDir() + "/txt.vrn"), jpg = readFile(dbDir() + "/jpg.vrn");
  const QByteArray derRep = readFile(dbDir() + "/der.rep"), affp = readFile(dbDir() + "/affp.aff");
  removeTree(gone);
  w->Check13->setValue(1);

  // Its empty walk would have deleted every list.
  const WindowSnapshot before = snapshot();
  w->mnReScannerActuel->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].text, "Dossier Incorect");
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbCritical);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Refaire...");
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
  EXPECT_EQ(dbEntries(), entries);
  EXPECT_EQ(readFile(dbDir() + "/txt.vrn"), txt);
  EXPECT_EQ(readFile(dbDir() + "/jpg.vrn"), jpg);
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), derRep);
  EXPECT_EQ(readFile(dbDir() + "/affp.aff"), affp);
  EXPECT_EQ(vrnVars().SourceActuelle, decodePath(gone));
  EXPECT_EQ(vrnVars().NombreFichiers, 2);
  expectOnlyChanged(before, {{"Dialogs", "Boxes"}});
  EXPECT_EQ(vrnVars().ScanEnCours, "");

  // Back again, the same command rescans it without asking, minimising the
  // window when asked to.
  makeFolder(gone);
  makeFile(gone + "/c.txt");
  w->mnReScannerActuel->click();
  EXPECT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
  EXPECT_EQ(w->WindowState(), vbMinimized) << "a preset scan minimises the window when asked to";
  EXPECT_EQ(dbEntries(), (QStringList{"affp.aff", "der.rep", "mesp.par", "txt.vrn"}));
  EXPECT_EQ(readFile(dbDir() + "/txt.vrn"), records({gone + "/c.txt"}));
  EXPECT_EQ(w->Caption(), " - (1 Fichiers) Obtenus en 00:00:04");
}

TEST_F(ScanTest, StoppingWithMyButton6KeepsTheOldDatabaseAndSource) {
  const qint64 total = makeWideTree(tree.path(), 4, 100);
  makeFile(other / "a.txt");
  makeFile(other / "b.txt");
  writeFile(dbDir() + "/txt.vrn", records({other / "a.txt", other / "b.txt"}));
  Main2* w = startWithSource(path(other));
  const QByteArray lists = readFile(dbDir() + "/txt.vrn");
  const QByteArray derRep = readFile(dbDir() + "/der.rep");
  svc->dialogs.folders = {path(tree)};
  QString sourceAtStop;
  QTimer::singleShot(0, w, [&] {
    w->MyButton6->click();
    sourceAtStop = vrnVars().SourceActuelle;
  });
  const WindowSnapshot before = snapshot();
  w->Command1->click();

  EXPECT_EQ(sourceAtStop, path(other)) << "the stop reads the source back from der.rep";
  EXPECT_LT(w->NbFichiersTrouves, total);
  EXPECT_EQ(readFile(dbDir() + "/txt.vrn"), lists);
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), derRep);
  EXPECT_EQ(dbEntries(), (QStringList{"affp.aff", "der.rep", "mesp.par", "txt.vrn"}));
  EXPECT_EQ(vrnVars().SourceActuelle, path(other));
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (2) Fichiers\n(" + path(other) + ")");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (1) Listes Couramment Utilisées Disponibles");
  EXPECT_EQ(w->Caption(), " - (" + QString::number(w->NbFichiersTrouves) + " Fichiers) Obtenus en 00:00:00");
  expectOnlyChanged(before, {{"Main2", "Caption"},
                             {"lblAffich", "Caption"},
                             {"lblnbr", "Caption"},
                             {"Label1", "Caption"},
                             {"Label2", "Caption"},
                             {"MyButton6", "Caption"},
                             {"MyButton10", "ToolTipText"},
                             {"label4", "Left"},
                             {"Dialogs", "BrowserTitles"}});
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_EQ(vrnVars().ScanEnCours, "");
  EXPECT_EQ(vrnVars().TabExtensions.size(), 2u);
  EXPECT_DOUBLE_EQ(svc->clock.waited, 0.0) << "nothing was written";
}

TEST_F(ScanTest, StoppingWithMyButton5KeepsTheDatabaseButNotTheSource) {
  makeWideTree(tree.path(), 4, 100);
  writeFile(dbDir() + "/txt.vrn", records({"/x/a.txt"}));
  Main2* w = startWithSource(path(other));
  const QByteArray derRep = readFile(dbDir() + "/der.rep");
  svc->dialogs.folders = {path(tree)};
  QTimer::singleShot(0, w, [&] { w->MyButton5->click(); });
  w->Command1->click();

  EXPECT_EQ(readFile(dbDir() + "/der.rep"), derRep);
  EXPECT_EQ(readFile(dbDir() + "/txt.vrn"), records({"/x/a.txt"}));
  EXPECT_EQ(vrnVars().SourceActuelle, path(tree)) << "only MyButton6 reads the stored source back";
  EXPECT_EQ(w->Check11->ToolTipText(), "Scanner au Démarrage dans (" + path(other) + ")");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (1) Listes Couramment Utilisées Disponibles");
  EXPECT_EQ(vrnVars().DemandeArret, "");
}

TEST_F(ScanTest, MyButton6ReadsTheStoredSourceBackOrKeepsItWhenDerRepCannotBeOpened) {
  Main2* w = startWithSource(path(other));
  QFile::remove(dbDir() + "/der.rep");
  vrnVars().SourceActuelle = "/somewhere";
  // With nothing running a press is no press: no request that the next job
  // would take for its own, and nothing read.
  w->MyButton6_Click();
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_EQ(vrnVars().SourceActuelle, "/somewhere");
  EXPECT_FALSE(QFile::exists(dbDir() + "/der.rep"));

  // While a job runs (the test holds its place).
  const JobGuard running(Job::ListLoad);
  w->MyButton6->click();
  EXPECT_EQ(vrnVars().SourceActuelle, "") << "a missing der.rep is made empty: no stored source, the next press asks";
  EXPECT_EQ(vrnVars().DemandeArret, kStopRequest);
  ASSERT_TRUE(QFile::exists(dbDir() + "/der.rep"));
  EXPECT_EQ(QFile(dbDir() + "/der.rep").size(), 0);
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (0) Fichiers\n()");

  // A der.rep that cannot be opened leaves the source as it is.
  QFile::remove(dbDir() + "/der.rep");
  ASSERT_TRUE(QDir().mkdir(dbDir() + "/der.rep"));
  vrnVars().SourceActuelle = "/somewhere";
  vrnVars().DemandeArret.clear();
  w->MyButton6->click();
  EXPECT_EQ(vrnVars().SourceActuelle, "/somewhere");
  EXPECT_EQ(vrnVars().DemandeArret, kStopRequest);
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (0) Fichiers\n(/somewhere)");
}

TEST_F(ScanTest, ASecondScanIsRefusedWhileOneRunsAndTheFirstCompletes) {
  makeTwelveFiles(tree.path());
  makeFile(other / "z.zip");
  Main2* w = startWithSource(path(other));
  svc->dialogs.folders = {path(tree)};
  bool pressed = false;
  qsizetype answersLeft = -1;
  QTimer::singleShot(0, w, [&] {
    pressed = true;
    svc->dialogs.folders.push_back(path(other));  // a second browser answer the scan roads leave unused
    w->Command1->click();
    w->Command1_Click();
    w->mnReScannerActuel->click();
    w->mnScannProfile->click();
    w->mnChoixPerso->click();
    w->mnDetailRepPerso->click();
    w->Combo7->setListIndex(0);
    answersLeft = svc->dialogs.folders.size();
    // A copy may run during a scan: it asks for its destination (nothing is
    // ticked, so nothing is copied).
    vrnVars().ModeCopie = kYes;
    w->Command1_Click();
  });
  const WindowSnapshot before = snapshot();
  w->Command1->click();

  ASSERT_TRUE(pressed);
  EXPECT_EQ(answersLeft, 1);
  EXPECT_EQ(svc->dialogs.browserTitles, QStringList({kScanTitle, kCopyTitle}));
  EXPECT_EQ(vrnVars().ModeCopie, "") << "the copy leaves no copy mode behind";
  EXPECT_FALSE(w->Combo7->isVisible());
  EXPECT_EQ(w->Caption(), " - (12 Fichiers) Obtenus en 00:00:03");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (3) Listes Couramment Utilisées Disponibles");
  const QByteArray root = tree.path();
  EXPECT_EQ(listed("txt.vrn"), (QList<QByteArray>{root + "/a.txt", root + "/b.TXT", root + "/sub/l.txt"}));
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), root.leftJustified(1024, ' '));
  EXPECT_EQ(vrnVars().SourceActuelle, path(tree));
  // The special folder picked meanwhile stays picked, unscanned.
  QList<Change> changed = kScanResult;
  changed << Change{"Combo7", "ListIndex"} << Change{"Combo7", "Text"};
  expectOnlyChanged(before, changed);
}

TEST_F(ScanTest, ACancelledCopyDestinationCopiesNothingAndTheNextPressScans) {
  makeTwelveFiles(tree.path());
  Main2* w = startWithSource(path(other));
  vrnVars().ModeCopie = kYes;
  vrnVars().DossierDestination = "/previous";
  w->Command1->click();  // cancelled
  EXPECT_EQ(svc->dialogs.browserTitles, QStringList{kCopyTitle});
  EXPECT_EQ(vrnVars().ModeCopie, "");
  EXPECT_EQ(vrnVars().DossierDestination, "");
  EXPECT_EQ(vrnVars().ScanEnCours, "");

  vrnVars().ModeCopie = kYes;
  svc->dialogs.folders = {decodePath(tree / "a.txt")};
  w->Command1->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].text, "Dossier Incorect");
  EXPECT_EQ(vrnVars().ModeCopie, "");

  svc->dialogs.folders = {path(tree)};
  w->Command1->click();
  EXPECT_EQ(svc->dialogs.browserTitles, (QStringList{kCopyTitle, kCopyTitle, kScanTitle}));
  EXPECT_EQ(w->Caption(), " - (12 Fichiers) Obtenus en 00:00:03");
}

TEST_F(ScanTest, TheElapsedTimeIsRightAcrossMidnight) {
  makeTwelveFiles(tree.path());
  Main2* w = startWithSource(path(other));
  svc->clock.now = 86400.0 - 1.0;  // 23:59:59; the writer's waits cross midnight
  svc->dialogs.folders = {path(tree)};
  w->Command1->click();
  EXPECT_LT(svc->clock.now, 10.0);
  EXPECT_EQ(w->Caption(), " - (12 Fichiers) Obtenus en 00:00:03");
}

// The elapsed time is the difference of the times of day in whole seconds at
// the start and at the end, not the rounded span between them.
TEST_F(ScanTest, TheElapsedTimeIsTheDifferenceOfTwoWholeSecondTimesOfDay) {
  makeTwelveFiles(tree.path());
  Main2* w = startWithSource(path(other));
  struct Case {
    double start, end;
    const char* shown;
  };
  const Case cases[] = {
      {36000.6, 36003.0, "00:00:03"},  // 10:00:00.6 to 10:00:03.0: from 10:00:00 to 10:00:03
      {36059.9, 36062.0, "00:00:03"},  // 10:00:59.9 to 10:01:02.0: from 10:00:59 to 10:01:02
      {36000.4, 36003.0, "00:00:03"},  // 10:00:00.4 to 10:00:03.0: from 10:00:00 to 10:00:03
  };
  for (const Case& c : cases) {
    // No old lists to delete: the writer waits 3 s.
    for (const QString& f : QDir(dbDir()).entryList({"*.vrn"}, QDir::Files)) QFile::remove(dbDir() + "/" + f);
    svc->clock.now = c.start;
    const double waitedBefore = svc->clock.waited;
    // Once the walk runs, the clock is set so that the writer's waits end at `end`.
    bool walking = false;
    QTimer::singleShot(0, w, [&] {
      walking = vrnVars().ScanEnCours == kYes;
      svc->clock.now = c.end - 3.0;
    });
    svc->dialogs.folders = {path(tree)};
    w->Command1->click();
    ASSERT_TRUE(walking);
    ASSERT_DOUBLE_EQ(svc->clock.waited - waitedBefore, 3.0);
    ASSERT_DOUBLE_EQ(svc->clock.now, c.end);
    EXPECT_EQ(w->Caption(), QString(" - (12 Fichiers) Obtenus en ") + c.shown) << c.start << " to " << c.end;
  }
}

TEST_F(ScanTest, AStopAlreadyRequestedEndsTheWalkAtOnceWithTheStopResult) {
  makeTwelveFiles(tree.path());
  Main2* w = startWithSource(path(other));
  vrnVars().SourceAScanner = "/the/preset";
  vrnVars().DemandeArret = kStopRequest;
  w->ScannerDossier(path(tree), "*.*");
  EXPECT_EQ(w->NbFichiersTrouves, 0);
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (0) Fichiers\n(/the/preset)");
  EXPECT_EQ(w->Check11->ToolTipText(), "Scanner au Démarrage dans (/the/preset)");
  EXPECT_EQ(w->lblnbr->Caption(), "0");
}

TEST_F(ScanTest, TheHiddenWriterButtonWritesTheArraysAndRefillsTheLists) {
  writeFile(dbDir() + "/old.vrn", records({"/o/x.old"}));
  writeFile(dbDir() + "/keep.txt", "not a list");
  Main2* w = startWithSource(path(other));
  VariablesVRN& v = vrnVars();
  v.TabExtensions = {"", "", "pdf", "pdf", "png"};
  v.TabChemins = {"", "", "/s/a.pdf", "/s/B.PDF", "/s/c.png"};
  w->NbFichiersTrouves = 4;
  v.SourceActuelle = "/s";
  w->Command3->click();
  EXPECT_EQ(dbEntries(), (QStringList{"affp.aff", "der.rep", "keep.txt", "mesp.par", "pdf.vrn", "png.vrn"}));
  EXPECT_EQ(readFile(dbDir() + "/pdf.vrn"), records({"/s/a.pdf", "/s/B.PDF"}));
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"pdf", "png"}));
  EXPECT_EQ(w->Combo1->ToolTipText(), "(2) extensions...");
  EXPECT_EQ(w->LstSources->ListCount(), 2);
  EXPECT_TRUE(w->LstSources->Selected(1));
  EXPECT_EQ(v.NombreFichiers, 3);
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (3) Fichiers\n(/s)");
  EXPECT_EQ(w->Check11->ToolTipText(), "Scanner au Démarrage dans (/s)");
  EXPECT_NEAR(svc->clock.waited, 5.0, 1e-6) << "2 s after deleting, 2 s after writing, 1 s after the bare list";
}
