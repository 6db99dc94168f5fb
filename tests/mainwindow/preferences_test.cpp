// The preferred lists and the preferences panel: loading mesp.par, opening
// the panel, the live count, saving and the three ways of leaving.
#include <QFile>
#include <QTest>
#include <sys/mount.h>

#include "tests/mainwindow/options_fixture.h"
#include "tests/testing/smallfs.h"

using namespace vrn;
using namespace vrn::testing;

namespace {
const QString kLeaveTitle = "Changement de Liste de Fichiers...";
const QString kLeaveText =
    "La Liste des Types de Fichiers à éditer a Changée par rapport à votre Liste Enregistrée...\n"
    "Voulez-vous Enregistrer cette Nouvelle Liste (Oui)..?\n"
    "Non je veux juste l'Utiliser pour l'instant  (Non)..?\n"
    "Je préfère Remettre mes Listes Préférées Enregistrées (Annuler)..?";
}  // namespace

class PreferencesTest : public OptionsWindowTest {
 protected:
  Main2* startWithLists(const QStringList& names) {
    for (const QString& n : names) writeFile(dbDir() + "/" + n + ".vrn", QByteArray());
    Main2* w = startQuiet();
    vrnVars().NbExtensionsPreferees.reset();
    return w;
  }
  void storePreferred(const QList<QByteArray>& names) { writeFile(mesp(), records(names, 30)); }
};

TEST_F(PreferencesTest, StoredNamesTickTheirListsInAnyCaseAndUnknownOnesAreDropped) {
  Main2* w = startWithLists({"avi", "exe", "mp3", "txt"});
  storePreferred({"  MP3 ", "AVI", "zip", "avi"});
  tickAll(w->LstSources, {false, true, false, true});

  w->ChargerListesPreferees();
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, false, true, false}));
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"})) << "catalogue order, one entry each";
  EXPECT_EQ(comboItems(w->Combo8), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(vrnVars().NbExtensionsPreferees, 2);
  EXPECT_EQ(vrnVars().NumEnregistrement, 4);
  EXPECT_EQ(w->Combo1->ToolTipText(), "(2) extensions...");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (2) Listes Préférées Disponibles");
  EXPECT_EQ(w->Label10->Caption(), "(2/4) extensions");
  EXPECT_EQ(w->mnAF1->Caption(), "Afficher que ma Sélection D'extensions (Préférées) Disponibles (2)");

  // The next save keeps only lists that exist.
  w->MyButton4_Click();
  EXPECT_EQ(readFile(mesp()), records({"avi", "mp3"}, 30));
}

TEST_F(PreferencesTest, NothingStoredLoadsNothingAndClearsNothing) {
  Main2* w = startWithLists({"avi", "exe"});
  QFile::remove(mesp());
  tickAll(w->LstSources, {false, true});
  w->Combo1->Clear();
  w->Combo1->AddItem("shown");
  w->Combo8->Clear();
  w->Combo8->AddItem("loaded");
  w->lblAffich->setCaption("as it was");
  const WindowSnapshot before = snapshot();

  w->ChargerListesPreferees();
  ASSERT_TRUE(QFile::exists(mesp()));
  EXPECT_EQ(QFile(mesp()).size(), 0);
  expectOnlyChanged(before);
  EXPECT_FALSE(vrnVars().NbExtensionsPreferees.has_value());

  // A cut file holding less than one whole record stores nothing either.
  writeFile(mesp(), "avi");
  vrnVars().NumEnregistrement = 7;
  w->ChargerListesPreferees();
  EXPECT_EQ(vrnVars().NumEnregistrement, 0);
  expectOnlyChanged(before);
  EXPECT_FALSE(vrnVars().NbExtensionsPreferees.has_value());

  // A whole record and a cut one: the whole one is read.
  writeFile(mesp(), QByteArray("exe").leftJustified(30, ' ') + "avi");
  w->ChargerListesPreferees();
  EXPECT_EQ(vrnVars().NumEnregistrement, 1);
  EXPECT_EQ(comboItems(w->Combo1), QStringList{"exe"});
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{false, true}));
  EXPECT_EQ(vrnVars().NbExtensionsPreferees, 1);
  expectOnlyChanged(before, {{"Combo1", "List"},
                             {"Combo1", "ToolTipText"},
                             {"Combo8", "List"},
                             {"Label10", "Caption"},
                             {"lblAffich", "Caption"},
                             {"mnAF1", "Caption"}});
}

// A huge stored file (a sparse gigabyte holding two names) is counted from
// its length and read only where it holds data, at every load of start-up:
// the start reads little and offers the two lists. A save that the disk
// cannot hold keeps the file as it was, and the lists with it.
TEST_F(PreferencesTest, AHugeStoredFileIsLoadedAtStartWithoutBeingReadWhole) {
  for (const char* n : {"avi", "exe", "mp3", "txt"}) writeFile(dbDir() + "/" + QString(n) + ".vrn", QByteArray());
  const qint64 size = qint64(1) << 30;
  {
    QFile file(mesp());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
    ASSERT_TRUE(file.seek(300000 * 30));
    ASSERT_EQ(file.write(QByteArray("MP3").leftJustified(30, ' ')), 30);
    ASSERT_TRUE(file.seek((size / 30 - 1) * 30));  // the last whole record
    ASSERT_EQ(file.write(QByteArray("avi").leftJustified(30, ' ')), 30);
  }
  const qint64 before = bytesReadSoFar();
  Main2* w = startQuiet();
  const qint64 read = bytesReadSoFar() - before;
  ASSERT_TRUE(started);
  w->ChargerListesPreferees();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, false, true, false}));
  EXPECT_EQ(vrnVars().NumEnregistrement, size / 30);
  if (before >= 0) {
    EXPECT_LT(read, qint64(256) << 20) << "start-up read " << read << " bytes, the stored file is " << size;
  }

  // The save: a disk with no room for the new records.
  const QByteArray stored = records({"avi", "mp3"}, 30);
  writeFile(mesp(), stored);
  const SmallFileSystem disk(encodePath(dbDir()), "64k");
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  for (const char* n : {"avi", "exe", "mp3", "txt"}) writeFile(dbDir() + "/" + QString(n) + ".vrn", QByteArray());
  writeFile(mesp(), stored);
  {
    QFile filler(dbDir() + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  w->ChargerToutesListes();
  tickAll(w->LstSources, {true, true, true, true});
  w->MyButton4_Click();
  EXPECT_EQ(readFile(mesp()), stored) << "the stored lists whole";
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"})) << "and offered as they are stored";
}

TEST_F(PreferencesTest, TheCounterShowsTheTicksAndDrivesTheSelectAllBox) {
  Main2* w = startWithLists({"avi", "exe", "mp3"});
  w->Combo1->Clear();
  tickAll(w->LstSources, {true, true, true});
  w->Check1->setValue(0);

  w->Timer2_Timer();
  EXPECT_EQ(w->Label10->Caption(), "(3/3) extensions...");
  EXPECT_EQ(w->Check1->Value(), 1);
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "exe", "mp3"})) << "ticked: every list offered";

  w->LstSources->setSelected(1, false);
  w->Timer2_Timer();
  EXPECT_EQ(vrnVars().NbSelectionnees, 2);
  EXPECT_EQ(vrnVars().NbNonSelectionnees, 1);
  EXPECT_EQ(w->Label10->Caption(), "(2/3) extensions...");
  EXPECT_EQ(w->Check1->Value(), 2);
  EXPECT_EQ(w->Combo1->ListCount(), 3) << "grey changes nothing more";

  tickAll(w->LstSources, {false, false, false});
  w->Timer2_Timer();
  EXPECT_EQ(w->Check1->Value(), 0);
  EXPECT_EQ(w->Combo1->ListCount(), 0) << "unticked: the list of lists is emptied";
  EXPECT_EQ(w->Label10->Caption(), "(0/3) extensions...");

  // The running timer does the same on its own.
  w->MyButton7->click();
  ASSERT_TRUE(w->Timer2->Enabled());
  w->LstSources->setSelected(2, true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w->Label10->Caption() == "(1/3) extensions..."; }, 2000));
  EXPECT_EQ(w->Check1->Value(), 2);
}

TEST_F(PreferencesTest, AnEmptyCatalogueCountsNothing) {
  Main2* w = startWithLists({});
  w->Check1->setValue(2);
  w->Combo1->AddItem("x");
  w->Timer2_Timer();
  EXPECT_EQ(w->Label10->Caption(), "(0/0) extensions...");
  EXPECT_EQ(w->Check1->Value(), 0);
  EXPECT_EQ(w->Combo1->ListCount(), 0);
}

TEST_F(PreferencesTest, ThePanelOpensOnlyOutsideTheAutomaticPageModes) {
  Main2* w = startWithLists({"avi"});
  w->Combo7->show();
  w->mnChoisir->click();
  EXPECT_FALSE(w->Combo7->Visible());
  EXPECT_TRUE(w->MyFrame1->Visible());
  EXPECT_TRUE(w->Text1->Visible());
  EXPECT_EQ(w->Width(), Main2::kWideWidth);
  EXPECT_EQ(w->Left(), (Screen::Width() - Main2::kWideWidth) / 2);
  EXPECT_TRUE(w->Timer2->Enabled());

  for (int mode : {kAutoPagesInTaskBar, kAutoPagesOnScreen}) {
    vrnVars().ModeAffichageAuto = mode;
    w->setWidth(Main2::kWideWidth);
    w->MyFrame1->show();
    w->Text1->show();
    w->Timer2->setEnabled(mode == 1);
    w->MyButton7->click();
    EXPECT_FALSE(w->MyFrame1->Visible()) << mode;
    EXPECT_FALSE(w->Text1->Visible()) << mode;
    EXPECT_EQ(w->Width(), Main2::kCompactWidth) << mode;
    EXPECT_EQ(w->Left(), (Screen::Width() - Main2::kCompactWidth) / 2) << mode;
    EXPECT_EQ(w->Timer2->Enabled(), mode == 1) << "the counter is left as it was";
  }
}

TEST_F(PreferencesTest, SavingWithNothingTickedLeavesAnEmptyFileAndEveryListOffered) {
  Main2* w = startWithLists({"avi", "exe", "mp3"});
  storePreferred({"avi"});
  w->ChargerListesPreferees();
  w->MyButton7_Click();
  tickAll(w->LstSources, {false, false, false});
  w->Check13->click();  // an option changed in the panel is saved with the lists
  QFile::remove(affp());
  w->ListView2->show();
  w->Label2->setCaption("Liste avi");
  const WindowSnapshot before = snapshot();

  w->MyButton4->click();
  ASSERT_TRUE(QFile::exists(mesp()));
  EXPECT_EQ(QFile(mesp()).size(), 0);
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "exe", "mp3"})) << "what the all-lists reader left";
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, true, true}));
  EXPECT_EQ(comboItems(w->Combo8), QStringList{"avi"}) << "the empty file loads nothing";
  EXPECT_EQ(vrnVars().ModeListes, kPreferredListSet);
  EXPECT_EQ(w->mnAF1->Caption(), "Afficher que ma Sélection D'extensions (Préférées) Disponibles (3)");
  EXPECT_EQ(readFile(affp()), QByteArray(11, ' ') + "1  " + QByteArray(16, '0'));
  EXPECT_FALSE(w->MyFrame1->Visible());
  EXPECT_FALSE(w->Text1->Visible());
  EXPECT_FALSE(w->Timer2->Enabled());
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_FALSE(w->ListView2->Visible());
  EXPECT_EQ(w->Label2->Caption(), "Faites votre Choix");
  EXPECT_TRUE(w->Combo1->Visible());
  EXPECT_EQ(w->Combo1->ToolTipText(), "(3) extensions...");
  expectOnlyChanged(before, kWidthChange + QList<Change>{{"Combo1", "List"},
                                                         {"Combo1", "ToolTipText"},
                                                         {"LstSources", "Selected"},
                                                         {"Label10", "Caption"},
                                                         {"Label2", "Caption"},
                                                         {"lblAffich", "Caption"},
                                                         {"mnAF1", "Caption"},
                                                         {"ListView2", "Visible"},
                                                         {"MyFrame1", "Visible"},
                                                         {"Text1", "Visible"},
                                                         {"Timer2", "Enabled"}});
}

TEST_F(PreferencesTest, SavingTheTickedListsStoresThemInListOrder) {
  Main2* w = startWithLists({"avi", "exe", "mp3"});
  QFile::remove(mesp());
  tickAll(w->LstSources, {true, false, true});
  w->MyButton4_Click();
  EXPECT_EQ(readFile(mesp()), records({"avi", "mp3"}, 30));
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(comboItems(w->Combo8), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, false, true}));
  EXPECT_EQ(vrnVars().NbExtensionsPreferees, 2);
  EXPECT_EQ(vrnVars().NumEnregistrement, 2);
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (2) Listes Préférées Disponibles");
  EXPECT_EQ(w->Label10->Caption(), "(2/3) extensions");
  EXPECT_EQ(w->mnAfficherTout->Caption(), "Afficher les Extensions (les plus Couramment Utilisées) Disponibles (2)");
  EXPECT_EQ(w->mnToutesExtenInit->Caption(), "Afficher Toutes les Extensions pour (Initiés) Disponibles (3)");
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
}

TEST_F(PreferencesTest, LeavingThePanelWithAndWithoutChanges) {
  Main2* w = startWithLists({"avi", "exe", "mp3", "txt"});
  storePreferred({"avi", "mp3"});
  w->ChargerListesPreferees();
  ASSERT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  // The lists are not opened as pages after each change here (the pages' own tests cover that road).
  w->Check16->setValue(0);

  // Unchanged: the panel closes without a question, the window keeps its width.
  w->MyButton7_Click();
  WindowSnapshot before = snapshot();
  w->MyButton1->click();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_FALSE(w->MyFrame1->Visible());
  EXPECT_FALSE(w->Text1->Visible());
  EXPECT_FALSE(w->Timer2->Enabled());
  EXPECT_EQ(w->Width(), Main2::kWideWidth);
  expectOnlyChanged(before, {{"MyFrame1", "Visible"}, {"Text1", "Visible"}, {"Timer2", "Enabled"}, {"Combo9", "List"}});

  // Cancel: the saved lists are ticked again, the extra tick stays.
  tickAll(w->LstSources, {false, true, false, false});
  svc->dialogs.answers = {vbCancel};
  before = snapshot();
  w->MyButton1_Click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbInformation + vbYesNoCancel);
  EXPECT_EQ(svc->dialogs.boxes[0].title, kLeaveTitle);
  EXPECT_EQ(svc->dialogs.boxes[0].text, kLeaveText);
  EXPECT_EQ(vrnVars().Reponse, vbCancel);
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, true, true, false}));
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(comboItems(w->Combo9), (QStringList{"exe"}));
  expectOnlyChanged(before, {{"Dialogs", "Boxes"}, {"LstSources", "Selected"}, {"Combo9", "List"}});

  // No: the ticked lists are used for now, nothing is stored.
  svc->dialogs.answers = {vbNo};
  w->MyButton1_Click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(vrnVars().NbIdentiques, 1);
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "exe", "mp3"}));
  EXPECT_EQ(w->Combo1->ToolTipText(), "(3) extensions...");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (3) Listes Préférées Provisoires");
  EXPECT_EQ(readFile(mesp()), records({"avi", "mp3"}, 30));
  EXPECT_EQ(comboItems(w->Combo8), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(vrnVars().NbExtensionsPreferees, 2);

  // Yes: stored and loaded.
  svc->dialogs.answers = {vbYes};
  w->MyButton1_Click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 3);
  EXPECT_EQ(readFile(mesp()), records({"avi", "exe", "mp3"}, 30));
  EXPECT_EQ(comboItems(w->Combo8), (QStringList{"avi", "exe", "mp3"}));
  EXPECT_EQ(vrnVars().NbExtensionsPreferees, 3);
  EXPECT_EQ(w->Width(), Main2::kCompactWidth) << "saving shows the preferred set in the compact window";

  // The comparison goes position by position up to the count shown: a list
  // ticked after the saved ones passes as unchanged.
  w->LstSources->setSelected(3, true);
  w->MyButton1_Click();
  EXPECT_EQ(svc->dialogs.boxes.size(), 3);
  EXPECT_EQ(vrnVars().NbIdentiques, 3);
}

TEST_F(PreferencesTest, TheExtensionsMenuPopsAboveItsButton) {
  Main2* w = startWithLists({});
  w->Combo7->show();
  emit w->MyButton2->RightClick();
  ASSERT_EQ(popups.size(), 1);
  EXPECT_EQ(popups[0].menu, "mnMenu2");
  EXPECT_EQ(popups[0].x, 2520);
  EXPECT_EQ(popups[0].y, 3000 - (975 + 300));
  EXPECT_TRUE(w->Combo7->Visible()) << "the second click leaves the folder list";

  w->MyButton2->click();
  ASSERT_EQ(popups.size(), 2);
  EXPECT_EQ(popups[1].x, 2520 - 2000);
  EXPECT_EQ(popups[1].y, 3000 - (975 + 970));
  EXPECT_FALSE(w->Combo7->Visible());
}
