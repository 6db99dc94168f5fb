// A page's list events, file actions and copy of its ticked files.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>

#include "mainwindow/copyloop.h"
#include "mainwindow/listactions.h"
#include "support/SaveDeleteReg.h"
#include "tests/pages/pages_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

const QString kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const QString kSaveTitle = "Destination de votre Sauvegarde de Données...";

QStringList entries(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class PageEventsTest : public PagesTest {
 protected:
  void TearDown() override {
    copyTestHooks() = CopyTestHooks();
    PagesTest::TearDown();
  }
  // A page of the list `name`, opened in the task bar.
  FormEssai* pageOf(const QString& name) {
    pick(name);
    win->Command8->click();
    for (FormEssai* p : pages())
      if (p->Caption().startsWith(name + " (")) return p;
    ADD_FAILURE() << "no page for " << name.toStdString();
    return nullptr;
  }
  // The user's tick of one row.
  static void tick(FormEssai* p, int row) {
    p->ListView2->setChecked(row, true);
    emit p->ListView2->ItemCheck(row, true);
  }
  static int rowOf(ListView* list, const QString& name) {
    for (int r = 1; r <= list->Count(); ++r)
      if (list->Text(r) == name) return r;
    return 0;
  }
  QTemporaryDir dst;
};

TEST_F(PageEventsTest, ClicksHeadersAndTicksUseThePagesOwnControls) {
  writeList("txt", {makeFile("b/Beta.txt", "bb"), makeFile("a/alpha.txt", "a"), makeFile("c/Gamma.txt", "ccc")});
  Main2* w = start();
  FormEssai* p = pageOf("txt");
  ASSERT_TRUE(p);
  // The main list is sorted by size; the page keeps that order, unsorted.
  ASSERT_EQ(p->ListView2->Text(1), "alpha");
  const qint64 mainIcon = w->Image1->Picture().cacheKey();
  w->Label3->setCaption(kAscendingNext);
  const WindowSnapshot mainBefore = snapshot();

  p->ListView2->setSelectedIndex(2);
  emit p->ListView2->Click();
  EXPECT_EQ(vrnVars().CheminFichier, src() + "/b/Beta.txt");
  EXPECT_NE(p->Image1->Picture().cacheKey(), mainIcon) << "the clicked file's icon goes to the page";
  EXPECT_EQ(w->Image1->Picture().cacheKey(), mainIcon);

  // The first header click only records the direction, the second sorts
  // descending; the main window's flag is not touched.
  emit p->ListView2->ColumnClick(1);
  EXPECT_EQ(p->Label3->Caption(), "1");
  EXPECT_EQ(p->ListView2->Text(1), "alpha");
  emit p->ListView2->ColumnClick(1);
  EXPECT_EQ(p->Label3->Caption(), "0");
  EXPECT_EQ((QStringList{p->ListView2->Text(1), p->ListView2->Text(2), p->ListView2->Text(3)}),
            (QStringList{"Gamma", "Beta", "alpha"}));
  EXPECT_EQ(w->Label3->Caption(), "0");

  tick(p, 1);
  tick(p, 3);
  EXPECT_EQ(p->Label9->Caption(), "2");
  EXPECT_EQ(w->Label9->Caption(), "0");
  EXPECT_EQ(vrnVars().NombreSelection, 2);
  expectOnlyChanged(mainBefore);
}

TEST_F(PageEventsTest, TheTickCountIsSharedAndEachWindowCopiesOnlyItsOwnRows) {
  writeList("txt", {makeFile("t1.txt"), makeFile("t2.txt"), makeFile("t3.txt")});
  writeList("csv", {makeFile("c1.csv"), makeFile("c2.csv")});
  Main2* w = start();
  FormEssai* a = pageOf("txt");
  FormEssai* b = pageOf("csv");
  ASSERT_TRUE(a && b);
  vrnVars().NombreSelection = 0;
  tick(a, rowOf(a->ListView2, "t1"));
  tick(a, rowOf(a->ListView2, "t3"));
  tick(b, rowOf(b->ListView2, "c2"));
  EXPECT_EQ(vrnVars().NombreSelection, 3);

  // Either page's menu offers the shared count, at the list's offsets.
  a->ListView2->setSelectedIndex(1);
  emit a->ListView2->Click();
  emit b->ListView2->MouseDown(2, 0, 100, 900);
  ASSERT_EQ(popups.size(), 1);
  EXPECT_EQ(popups[0].menu, "mnMenu");
  EXPECT_EQ(popups[0].x, 3600);
  EXPECT_EQ(popups[0].y, 400);
  EXPECT_EQ(b->mnCopierSelect->Caption(), "Copier ma Sélection de (3) Fichier(s)");
  EXPECT_TRUE(b->mnCopierSelect->Enabled());
  EXPECT_TRUE(b->mnExecuterFichier->Enabled());
  emit a->ListView2->MouseDown(1, 0, 100, 900);  // the left button pops nothing
  EXPECT_EQ(popups.size(), 1);

  svc->dialogs.saveNames = {dst.path() + "/a"};
  a->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/a"), QStringList({"t1.txt", "t3.txt"}));
  svc->dialogs.saveNames = {dst.path() + "/b"};
  b->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/b"), QStringList({"c2.csv"}));
  EXPECT_TRUE(w->ListView2->Count() > 0);
}

TEST_F(PageEventsTest, TickAllAndUntickAllSetTheCountTheCopyItemAndTheSound) {
  writeListOf("jpg", 4);
  Main2* w = start();
  FormEssai* p = pageOf("jpg");
  ASSERT_TRUE(p);
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  p->mnToutSelect->click();
  EXPECT_EQ(vrnVars().NombreSelection, 4);
  for (int r = 1; r <= 4; ++r) EXPECT_TRUE(p->ListView2->Checked(r));
  EXPECT_EQ(p->mnCopierSelect->Caption(), "Copier ma Sélection de (4) Fichier(s)");
  EXPECT_TRUE(p->mnCopierSelect->Enabled());
  EXPECT_EQ(svc->audio.plays, 1);

  w->Check15->setValue(0);
  p->mnToutDeselec->click();
  EXPECT_EQ(vrnVars().NombreSelection, 0);
  EXPECT_FALSE(p->ListView2->Checked(2));
  EXPECT_EQ(p->mnCopierSelect->Caption(), "Copier ma Sélection");
  EXPECT_FALSE(p->mnCopierSelect->Enabled());
  EXPECT_EQ(svc->audio.plays, 1) << "the sound follows the main window's option";
}

TEST_F(PageEventsTest, RunningAFileWarnsForRiskyTypesAndShowInFolderOpensTheFolder) {
  const QString setup = makeFile("prog/setup.exe");
  writeList("exe", {setup});
  start();
  FormEssai* p = pageOf("exe");
  ASSERT_TRUE(p);
  p->ListView2->setSelectedIndex(1);
  emit p->ListView2->Click();

  svc->dialogs.answers = {vbNo};
  emit p->ListView2->DblClick();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbExclamation + vbYesNo);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Précaution sur certain Fichier...");
  EXPECT_TRUE(svc->shell.opened.isEmpty());
  svc->dialogs.answers = {vbYes};
  p->mnExecuterFichier->click();
  EXPECT_EQ(svc->shell.opened, QStringList{setup});

  p->mnVoirFichier->click();
  EXPECT_EQ(svc->shell.opened.last(), src() + "/prog/");
  EXPECT_EQ(vrnVars().CheminFichier, src() + "/prog/");
}

TEST_F(PageEventsTest, TheSaveBoxProposesTheCaptionAndTheNamedFolderIsMadeAndFilled) {
  QStringList paths;
  for (int i = 1; i <= 9; ++i) paths << makeFile(QString("d/f%1.pdf").arg(i), QByteArray(i, 'p'));
  for (int i = 1; i <= 3; ++i) paths << src() + QString("/d/gone%1.pdf").arg(i);
  writeList("pdf", paths);
  Main2* w = start();
  FormEssai* p = pageOf("pdf");
  ASSERT_TRUE(p);
  ASSERT_EQ(p->Caption(), "pdf (12)");

  // Nothing ticked: the one nothing-ticked box, no save box.
  p->mnCopierSelect_Click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbInformation);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Aucune Sélection...");
  EXPECT_TRUE(svc->dialogs.saveCalls.isEmpty());
  EXPECT_EQ(vrnVars().ModeCopie, "");

  svc->registry.writeValue(quint32(HKEY_CURRENT_USER), kShellFolders, "Personal", dst.path());
  tick(p, rowOf(p->ListView2, "f2"));
  tick(p, rowOf(p->ListView2, "f7"));
  const QString folder = dst.path() + "/Sauvegarde (pdf (12))";
  svc->dialogs.saveNames = {folder};
  bool copyModeDuringCopy = false;
  QTimer::singleShot(0, p, [&] { copyModeDuringCopy = vrnVars().ModeCopie == kYes; });
  const WindowSnapshot mainBefore = snapshot();
  p->mnCopierSelect->click();

  ASSERT_EQ(svc->dialogs.saveCalls.size(), 1);
  EXPECT_EQ(svc->dialogs.saveCalls[0].title, kSaveTitle);
  EXPECT_EQ(svc->dialogs.saveCalls[0].startFolder, dst.path());
  EXPECT_EQ(svc->dialogs.saveCalls[0].proposedName, "Sauvegarde (pdf (12))");
  EXPECT_TRUE(copyModeDuringCopy);
  EXPECT_EQ(vrnVars().DossierSauvegarde, folder);
  EXPECT_EQ(entries(folder), QStringList({"f2.pdf", "f7.pdf"}));
  EXPECT_EQ(readFile(folder + "/f7.pdf"), QByteArray(7, 'p'));
  // The page's stop button stays in view, disabled, with the last progress.
  EXPECT_FALSE(p->MyButton6->isHidden());
  EXPECT_FALSE(p->MyButton6->Enabled());
  const int last = rowOf(p->ListView2, "f7");
  EXPECT_EQ(p->MyButton6->Caption(), QString("Arrêter Copie\npdf (12)-%1/2").arg(last));
  EXPECT_EQ(p->MousePointer(), vbDefault);
  EXPECT_EQ(vrnVars().ModeCopie, "");
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter l'Opération en Cours") << "the main stop button is not the page's";
  expectOnlyChanged(mainBefore, {{"Dialogs", "SaveCalls"}});

  // An existing folder is used as it is; clashing names take numbers.
  writeFile(dst.path() + "/old/f2.pdf", "old");
  writeFile(dst.path() + "/old/f2(2).pdf", "old2");
  svc->dialogs.saveNames = {dst.path() + "/old"};
  p->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/old"), QStringList({"f2(2).pdf", "f2(3).pdf", "f2.pdf", "f7.pdf"}));
  EXPECT_EQ(readFile(dst.path() + "/old/f2.pdf"), "old");
  EXPECT_EQ(readFile(dst.path() + "/old/f2(3).pdf"), QByteArray(2, 'p'));
}

TEST_F(PageEventsTest, AnEmptyNameAsksAgainWithTheProposalOrGivesUp) {
  writeListOf("txt", 2);
  start();
  FormEssai* p = pageOf("txt");
  ASSERT_TRUE(p);
  p->mnToutSelect->click();

  // Cleared twice: Yes shows the box again with the proposal, No gives up.
  svc->dialogs.saveNames = {"", ""};
  svc->dialogs.answers = {vbYes, vbNo};
  p->mnCopierSelect->click();
  ASSERT_EQ(svc->dialogs.saveCalls.size(), 2);
  EXPECT_EQ(svc->dialogs.saveCalls[1].proposedName, "Sauvegarde (txt (2))");
  EXPECT_EQ(svc->dialogs.saveCalls[0].startFolder, "") << "no documents folder known";
  ASSERT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbExclamation + vbYesNo);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Sauvegarde sans Nom...");
  EXPECT_EQ(svc->dialogs.boxes[0].text,
            "Vous devez (Donner un Nom) à Votre Sauvegarde...!\nJe vous Propose (Sauvegarde (txt (2)))");
  EXPECT_EQ(vrnVars().Reponse, vbNo);
  EXPECT_EQ(vrnVars().ModeCopie, "") << "giving up leaves no copy mode for the scan command";
  EXPECT_TRUE(p->MyButton6->isHidden()) << "nothing was copied";
  EXPECT_EQ(vrnVars().NomCopie, "Sauvegarde (txt (2))");

  svc->dialogs.saveNames = {"", dst.path() + "/x"};
  svc->dialogs.answers = {vbYes};
  p->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/x").size(), 2);
}

TEST_F(PageEventsTest, ThePagesStopEndsBeforeTheNextRowTheMainStopBeforeTheNextFile) {
  writeListOf("txt", 3);
  Main2* w = start();
  FormEssai* p = pageOf("txt");
  ASSERT_TRUE(p);
  p->mnToutSelect->click();

  // The page's button, pressed while the first file is copied.
  svc->dialogs.saveNames = {dst.path() + "/one"};
  QTimer::singleShot(0, p, [&] {
    EXPECT_TRUE(p->MyButton6->Enabled());
    EXPECT_EQ(p->MousePointer(), vbHourglass);
    p->MyButton6->click();
  });
  p->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/one").size(), 1);
  EXPECT_EQ(p->MyButton6->Caption(), "Copie Arrêter\ntxt (3)-2/3");
  EXPECT_EQ(vrnVars().DemandeArret, "");

  // The main window's stop button: the progress already names row 2.
  svc->dialogs.saveNames = {dst.path() + "/two"};
  QTimer::singleShot(0, w, [&] { w->MyButton6_Click(); });
  p->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/two").size(), 1);
  EXPECT_EQ(p->MyButton6->Caption(), "Arrêter Copie\ntxt (3)-2/3");
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_EQ(vrnVars().ModeCopie, "");

  // The copy over, its stop button is disabled, and a press that reaches it
  // all the same is no request: the next copy copies every file.
  EXPECT_FALSE(p->MyButton6->Enabled());
  p->MyButton6_Click();
  EXPECT_EQ(vrnVars().DemandeArret, "");
  svc->dialogs.saveNames = {dst.path() + "/three"};
  p->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/three").size(), 3);
}

TEST_F(PageEventsTest, AFailedFileIsSkippedAndTheCopyGoesOn) {
  writeListOf("txt", 3);
  Main2* w = start();
  FormEssai* p = pageOf("txt");
  ASSERT_TRUE(p);
  p->mnToutSelect->click();
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  const int playsBefore = svc->audio.plays;
  int calls = 0;
  copyTestHooks().failWrite = [&](qint64) { return calls++ == 0 ? ENOSPC : 0; };
  svc->dialogs.saveNames = {dst.path() + "/b"};
  p->mnCopierSelect->click();
  EXPECT_EQ(entries(dst.path() + "/b"), QStringList({"f02.txt", "f03.txt"})) << "no partial first file";
  EXPECT_EQ(svc->audio.plays, playsBefore + 1);
  EXPECT_EQ(vrnVars().ModeCopie, "");

  // A folder that cannot be made (a name holding "/" names a folder inside
  // one that does not exist): a box names it instead of the end sound, and
  // nothing is copied anywhere.
  copyTestHooks() = CopyTestHooks();
  const QString nested = dst.path() + "/Sauvegarde (photos/2008 (2))";
  svc->dialogs.saveNames = {nested};
  p->mnCopierSelect->click();
  EXPECT_FALSE(QFile::exists(dst.path() + "/Sauvegarde (photos"));
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbCritical);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Copie Impossible...");
  EXPECT_TRUE(svc->dialogs.boxes[0].text.contains("(" + nested + ")")) << svc->dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(svc->audio.plays, playsBefore + 1) << "no end sound";
  EXPECT_EQ(vrnVars().ModeCopie, "");
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_FALSE(p->MyButton6->Enabled());
  EXPECT_EQ(p->MousePointer(), vbDefault);

  // A file standing at the folder's name is no folder either.
  writeFile(dst.path() + "/plain", "x");
  svc->dialogs.saveNames = {dst.path() + "/plain"};
  p->mnCopierSelect->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(svc->dialogs.boxes[1].title, "Copie Impossible...");
  EXPECT_EQ(readFile(dst.path() + "/plain"), "x");
  EXPECT_EQ(svc->audio.plays, playsBefore + 1);
}

TEST_F(PageEventsTest, ASecondCopyIsRefusedWhileOneRuns) {
  writeListOf("txt", 2);
  writeListOf("csv", 2);
  Main2* w = start();
  FormEssai* a = pageOf("txt");
  FormEssai* b = pageOf("csv");
  ASSERT_TRUE(a && b);
  a->mnToutSelect->click();
  b->ListView2->setChecked(1, true);
  svc->dialogs.saveNames = {dst.path() + "/a", dst.path() + "/b"};
  QTimer::singleShot(0, b, [&] {
    b->mnCopierSelect->click();
    w->mnCopierSelect_Click();
  });
  a->mnCopierSelect->click();
  EXPECT_EQ(svc->dialogs.saveCalls.size(), 1) << "the second copy never asked";
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
  EXPECT_EQ(entries(dst.path() + "/a").size(), 2);
  EXPECT_FALSE(QFile::exists(dst.path() + "/b"));
  EXPECT_EQ(vrnVars().ModeCopie, "");
}
