// The main list's events and menu, driven by real clicks where the list
// raises the event itself.
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>

#include "mainwindow/listactions.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/list_rows.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

const QString kWarningTitle = "Précaution sur certain Fichier...";

QString expectedWarning(const QString& path, const QString& ext) {
  return "Vous Voulez Exécuter ce Fichier :\n\n(" + path + ")\n\nCe Type de Fichier (" + ext +
         ") fait parti des Fichiers Risquant de Causer des Désagréements ou de Déstabiliser votre Sytème...!\n"
         "Seul un Utilisateur Expérimenté peut demander à Exécuter ce Type de Fichier...\n\n"
         "Si vous faites parti de ces personnes Expérimentées et que vous êtes sûr de ce que vous faites, Cliquez "
         "sur (Oui)...?\nou si vous ne savez pas Cliquez sur (Non)...?";
}

}  // namespace

class ListEventsTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    ASSERT_TRUE(files.isValid());
    w = startWindow();
    ASSERT_TRUE(started);
  }
  QString makeFile(const QString& relative) {
    const QString path = files.path() + "/" + relative;
    writeFile(path, "x");
    return path;
  }
  // Rows filled by the test as a load would show them: in report view.
  void showList() {
    w->setWidth(Main2::kWideWidth);
    w->ListView2->setView(ListView::lvwReport);
    w->ListView2->show();
    QApplication::processEvents();
  }
  QPoint cell(int row, int column = 0) {
    QAbstractItemView* v = w->ListView2->itemView();
    return v->visualRect(v->model()->index(row - 1, column)).center();
  }
  void click(int row) { QTest::mouseClick(w->ListView2->viewport(), Qt::LeftButton, Qt::NoModifier, cell(row, 1)); }
  void doubleClick(int row) {
    click(row);
    QTest::mouseDClick(w->ListView2->viewport(), Qt::LeftButton, Qt::NoModifier, cell(row, 1));
  }
  void rightClick(int row) {
    QTest::mousePress(w->ListView2->viewport(), Qt::RightButton, Qt::NoModifier, cell(row, 1));
    QTest::mouseRelease(w->ListView2->viewport(), Qt::RightButton, Qt::NoModifier, cell(row, 1));
  }
  void clickHeader(int k) {
    QHeaderView* h = w->ListView2->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(h->sectionViewportPosition(k - 1) + h->sectionSize(k - 1) / 2, h->height() / 2));
  }
  // A user's tick, through the view's own path.
  void userTick(int row, bool on) {
    QAbstractItemModel* m = w->ListView2->itemView()->model();
    m->setData(m->index(row - 1, 0), int(on ? Qt::Checked : Qt::Unchecked), Qt::CheckStateRole);
  }
  QStringList names() const {
    QStringList out;
    for (int r = 1; r <= w->ListView2->Count(); ++r) out << w->ListView2->Text(r);
    return out;
  }

  QTemporaryDir files;
  Main2* w = nullptr;
};

TEST_F(ListEventsTest, StartUpLoadsBothTablesSortedFromOne) {
  const VariablesVRN& v = vrnVars();
  ASSERT_EQ(tableUpper(v.TabExtensionsCourantes), 27);
  ASSERT_EQ(tableUpper(v.TabExtensionsRisquees), 85);
  EXPECT_EQ(tableAt(v.TabExtensionsCourantes, 5), "flv");
  EXPECT_EQ(tableAt(v.TabExtensionsCourantes, 14), "mov");
  EXPECT_EQ(tableAt(v.TabExtensionsRisquees, 53), "msh1");
  EXPECT_EQ(tableAt(v.TabExtensionsRisquees, 54), "msh1xml");
  // The staging boxes hold the same entries in the same order.
  ASSERT_EQ(w->Combo5->ListCount(), 27);
  ASSERT_EQ(w->Combo6->ListCount(), 85);
  for (int i = 0; i < 85; ++i) EXPECT_EQ(w->Combo6->List(i), tableAt(v.TabExtensionsRisquees, i + 1));
  for (int i = 0; i < 27; ++i) EXPECT_EQ(w->Combo5->List(i), tableAt(v.TabExtensionsCourantes, i + 1));
  // Loading again gives the same tables, not doubled ones.
  w->ChargerTabExtensionsRisquees();
  EXPECT_EQ(tableUpper(vrnVars().TabExtensionsRisquees), 85);
}

TEST_F(ListEventsTest, ARiskyFileAsksFirstAndOnlyYesOpensIt) {
  const QString setup = makeFile("setup.exe");
  addFileRow(w->ListView2, setup, 1);
  showList();
  doubleClick(1);
  EXPECT_EQ(vrnVars().CheminFichier, setup);
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbExclamation + vbYesNo);
  EXPECT_EQ(svc->dialogs.boxes[0].title, kWarningTitle);
  EXPECT_EQ(svc->dialogs.boxes[0].text, expectedWarning(setup, "exe"));
  EXPECT_EQ(vrnVars().Reponse, 7);
  EXPECT_TRUE(svc->shell.opened.isEmpty()) << "No opens nothing";

  svc->dialogs.answers = {vbYes};
  w->mnExecuterFichier->click();
  EXPECT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(vrnVars().Reponse, 6);
  EXPECT_EQ(svc->shell.opened, QStringList{setup});
}

TEST_F(ListEventsTest, OnlyALowerCaseRiskyExtensionWarns) {
  const QString upper = makeFile("SETUP.EXE");
  const QString dotInFolder = makeFile("a.b/readme");
  const QString plain = makeFile("notes.txt");
  const QString script = makeFile("x/run.vbs");
  for (const QString& p : {upper, dotInFolder, plain, script}) addFileRow(w->ListView2, p, 1);
  showList();
  for (int row = 1; row <= 3; ++row) doubleClick(row);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_EQ(svc->shell.opened, QStringList({upper, dotInFolder, plain}));
  EXPECT_EQ(vrnVars().ExtensionCourante, "txt");
  doubleClick(4);
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].text, expectedWarning(script, "vbs"));
  EXPECT_EQ(svc->shell.opened.size(), 3);
}

TEST_F(ListEventsTest, AFileGoneSinceTheLoadIsNeitherWarnedAboutNorOpened) {
  const QString setup = makeFile("gone/setup.exe");
  addFileRow(w->ListView2, setup, 1);
  showList();
  click(1);
  ASSERT_EQ(vrnVars().CheminFichier, setup);
  EXPECT_FALSE(w->Image1->Picture().isNull()) << "the clicked file's icon";
  ASSERT_TRUE(QDir(files.path() + "/gone").removeRecursively());
  const WindowSnapshot before = snapshot();
  w->mnExecuterFichier->click();
  w->mnVoirFichier->click();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_TRUE(svc->shell.opened.isEmpty());
  expectOnlyChanged(before);
  EXPECT_EQ(vrnVars().CheminFichier, files.path() + "/gone/");
}

TEST_F(ListEventsTest, ShowInFolderMakesTheFolderTheCurrentFile) {
  const QString file = makeFile("a.b/rapport.doc");
  const QString other = makeFile("c/other.txt");
  addFileRow(w->ListView2, file, 1);
  addFileRow(w->ListView2, other, 2);
  showList();
  click(1);
  w->mnVoirFichier->click();
  const QString folder = files.path() + "/a.b/";
  EXPECT_EQ(svc->shell.opened, QStringList{folder});
  EXPECT_EQ(svc->shell.shownItems, QStringList{file}) << "the file manager is asked to select the file";
  EXPECT_EQ(vrnVars().CheminFichier, folder);
  // Running the current file now opens the folder, with no warning.
  w->mnExecuterFichier->click();
  EXPECT_EQ(svc->shell.opened, QStringList({folder, folder}));
  click(2);
  w->mnExecuterFichier->click();
  EXPECT_EQ(svc->shell.opened.last(), other);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
}

TEST_F(ListEventsTest, RightClickSetsTheFileItemsAndTheCopyCaption) {
  for (int i = 1; i <= 5; ++i) addFileRow(w->ListView2, makeFile(QString("f%1.txt").arg(i)), i);
  showList();
  rightClick(2);
  ASSERT_EQ(popups.size(), 1);
  EXPECT_EQ(popups[0].menu, "mnMenu3");
  const QPoint inList = w->ListView2->viewport()->mapTo(w->ListView2, cell(2, 1));
  EXPECT_EQ(popups[0].x, toTwips(inList.x()) + 3500);
  EXPECT_EQ(popups[0].y, toTwips(inList.y()) - 500);
  EXPECT_FALSE(w->mnExecuterFichier->Enabled()) << "no row clicked yet";
  EXPECT_FALSE(w->mnVoirFichier->Enabled());
  EXPECT_FALSE(w->mnCopierSelect->Enabled());
  EXPECT_EQ(w->mnCopierSelect->Caption(), "Copier ma Sélection");

  click(2);
  rightClick(2);
  EXPECT_TRUE(w->mnExecuterFichier->Enabled());
  EXPECT_TRUE(w->mnVoirFichier->Enabled());
  EXPECT_FALSE(w->mnCopierSelect->Enabled()) << "nothing ticked decides the copy item";

  for (int row : {1, 3, 5}) userTick(row, true);
  EXPECT_EQ(w->Label9->Caption(), "3");
  vrnVars().CheminFichier.clear();
  rightClick(4);
  EXPECT_EQ(w->mnCopierSelect->Caption(), "Copier ma Sélection de (3) Fichier(s)");
  EXPECT_TRUE(w->mnCopierSelect->Enabled()) << "ticks enable the copy even without a current file";
  EXPECT_FALSE(w->mnExecuterFichier->Enabled());

  // A left or middle button pops nothing.
  QTest::mousePress(w->ListView2->viewport(), Qt::MiddleButton, Qt::NoModifier, cell(1, 1));
  QTest::mouseRelease(w->ListView2->viewport(), Qt::MiddleButton, Qt::NoModifier, cell(1, 1));
  EXPECT_EQ(popups.size(), 3);
}

TEST_F(ListEventsTest, HeaderClicksAlternateWhateverTheColumn) {
  const QStringList keys = {"b", "A", "c", "a"};
  const QStringList sizes = {"2", "9", "1", "5"};
  for (int i = 0; i < 4; ++i) {
    const int row = addFileRow(w->ListView2, files.path() + "/" + keys[i] + ".txt", i + 1);
    w->ListView2->setSubItem(row, 2, sizes[i]);
  }
  w->ListView2->setSorted(true);  // as a load leaves it
  showList();
  clickHeader(1);
  EXPECT_EQ(w->Label3->Caption(), kDescendingNext);
  EXPECT_EQ(w->ListView2->SortKey(), 7);
  EXPECT_EQ(names(), QStringList({"A", "a", "b", "c"})) << "the name sorts ignoring case, equal keys in order";
  clickHeader(3);  // another column: descending now
  EXPECT_EQ(w->Label3->Caption(), kAscendingNext);
  EXPECT_EQ(w->ListView2->SortKey(), 2);
  EXPECT_EQ(w->ListView2->SortOrder(), 1);
  EXPECT_EQ(names(), QStringList({"A", "a", "b", "c"}));
  clickHeader(3);
  EXPECT_EQ(names(), QStringList({"c", "b", "a", "A"}));
  EXPECT_EQ(w->Label3->Caption(), kDescendingNext);
  clickHeader(2);
  EXPECT_EQ(w->ListView2->SortKey(), 1);
  EXPECT_EQ(w->ListView2->SortOrder(), 1);
  EXPECT_EQ(names(), QStringList({"c", "b", "a", "A"}));
}

TEST_F(ListEventsTest, UnsortedListOnlyRecordsTheFirstDirection) {
  for (const char* k : {"b", "c", "a"}) addFileRow(w->ListView2, files.path() + "/" + k + ".txt", 1);
  w->ListView2->setSorted(false);
  w->ListView2_ColumnClick(1);
  EXPECT_EQ(names(), QStringList({"b", "c", "a"}));
  EXPECT_FALSE(w->ListView2->Sorted());
  w->ListView2_ColumnClick(1);
  EXPECT_TRUE(w->ListView2->Sorted());
  EXPECT_EQ(names(), QStringList({"c", "b", "a"}));
  // Any other flag only switches sorting on, in the order already set.
  w->Label3->setCaption("7");
  w->ListView2->setSorted(false);
  w->ListView2_ColumnClick(1);
  EXPECT_TRUE(w->ListView2->Sorted());
  EXPECT_EQ(w->ListView2->SortOrder(), 1);
  EXPECT_EQ(w->Label3->Caption(), "7");
}

TEST_F(ListEventsTest, TickAllCountsEveryRowAndUserTicksFollow) {
  svc->audio.devices = 1;
  for (int i = 1; i <= 120; ++i) addFileRow(w->ListView2, files.path() + QString("/f%1.txt").arg(i), i);
  showList();
  w->Check15->setValue(1);
  w->mnToutSelect->click();
  EXPECT_EQ(vrnVars().NombreSelection, 120);
  EXPECT_TRUE(w->ListView2->Checked(1));
  EXPECT_TRUE(w->ListView2->Checked(120));
  EXPECT_EQ(w->Label9->Caption(), "0") << "tick all leaves the label";
  EXPECT_EQ(svc->audio.plays, 1);
  userTick(7, false);
  EXPECT_EQ(vrnVars().NombreSelection, 119);
  EXPECT_EQ(w->Label9->Caption(), "119");
  w->mnToutSelect->click();  // counts from 0 again, not from 119
  EXPECT_EQ(vrnVars().NombreSelection, 120);
  w->Check15->setValue(0);
  w->mnToutDeselec->click();
  EXPECT_EQ(vrnVars().NombreSelection, 0);
  EXPECT_FALSE(w->ListView2->Checked(1));
  EXPECT_FALSE(w->ListView2->Checked(7));
  EXPECT_EQ(svc->audio.plays, 2) << "no sound with the option off";
  userTick(3, true);
  EXPECT_EQ(w->Label9->Caption(), "1");
}

TEST_F(ListEventsTest, AnEmptyListIgnoresClicksHeadersAndRightClicks) {
  showList();
  vrnVars().CheminFichier = "/kept";
  w->Label3->setCaption(kAscendingNext);
  const WindowSnapshot before = snapshot();
  QTest::mouseClick(w->ListView2->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
  QTest::mousePress(w->ListView2->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
  clickHeader(2);
  w->ListView2_Click();
  w->ListView2_ColumnClick(1);
  w->ListView2_MouseDown(2, 0, 100, 100);
  EXPECT_EQ(vrnVars().CheminFichier, "/kept");
  expectOnlyChanged(before);
}

TEST_F(ListEventsTest, CopyWithNothingTickedShowsTheBoxOnly) {
  addFileRow(w->ListView2, makeFile("a.txt"), 1);
  const WindowSnapshot before = snapshot();
  w->mnCopierSelect->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbInformation);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Aucune Sélection...");
  EXPECT_EQ(svc->dialogs.boxes[0].text, "Vous n' avez rien Sélectionné...!");
  EXPECT_EQ(vrnVars().ModeCopie, "");
  expectOnlyChanged(before, {{"Dialogs", "Boxes"}});
}

TEST(ListActions, ExtensionAndCaptionValue) {
  EXPECT_EQ(extensionAfterLastDot("/d/setup.exe"), "exe");
  EXPECT_EQ(extensionAfterLastDot("/d/a.b/readme"), "b/readme");
  EXPECT_EQ(extensionAfterLastDot("/d/readme"), "/d/readme");
  EXPECT_EQ(captionValue("1"), 1);
  EXPECT_EQ(captionValue(" 1x"), 1);
  EXPECT_EQ(captionValue("oui"), 0);
  EXPECT_EQ(captionValue(""), 0);
}
