#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSet>
#include <QTimer>
#include <QTreeView>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "mainwindow/listactions.h"
#include "mainwindow/listloader.h"
#include "mainwindow/listviewtools.h"
#include "support/ModeFileInfoVRN.h"
#include "support/formats.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

class LoaderTest : public SourceFolderTest {
 protected:
  void SetUp() override {
    SourceFolderTest::SetUp();
    oldSlice_ = listLoadEventSliceMs();
    listLoadEventSliceMs() = 0;  // a turn of the event loop after every record
  }
  void TearDown() override {
    listLoadEventSliceMs() = oldSlice_;
    SourceFolderTest::TearDown();
  }

  // Starts the window on the temporary source, with the given option boxes.
  Main2* start(bool details = true) {
    writeFile(dbDir() + "/der.rep", encodePath(src()).leftJustified(1024, ' '));
    Main2* w = startWindow();
    w->Check2->setValue(details ? 1 : 0);
    for (CheckBox* c : {w->Check4, w->Check5, w->Check6, w->Check7, w->Check8, w->Check9}) c->setValue(1);
    return w;
  }
  // Picks a list in the list of lists, as the user does.
  void pick(const QString& name) {
    const int i = win->Combo1->findText(name);
    ASSERT_GE(i, 0) << name.toStdString();
    win->Combo1->setListIndex(i);
  }
  QStringList column(int k) const {
    QStringList out;
    for (int r = 1; r <= win->ListView2->Count(); ++r) out << win->ListView2->SubItem(r, k);
    return out;
  }
  void expectListHidden() {
    EXPECT_EQ(win->ListView2->Count(), 0);
    for (QWidget* c : std::initializer_list<QWidget*>{win->ListView2, win->Command4, win->Command5, win->Command8,
                                                      win->Command11, win->MyButton5, win->Check2, win->Check3})
      EXPECT_TRUE(c->isHidden()) << c->objectName().toStdString();
  }

  int oldSlice_ = 8;
};

TEST_F(LoaderTest, AnEmptyListOrOneWhoseFilesAreAllGoneShowsNothing) {
  writeFile(dbDir() + "/abc.vrn", QByteArray());
  writeList("doc", {src() + "/a.doc", src() + "/b.doc", src() + "/c.doc"});
  Main2* w = start();
  const WindowSnapshot before = snapshot();
  pick("abc");
  expectListHidden();
  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (0) Fichiers (.abc) Disponibles");
  EXPECT_EQ(vrnVars().NumEnregistrement, 0);

  pick("doc");
  expectListHidden();
  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (0) Fichiers (.doc) Disponibles");
  EXPECT_EQ(vrnVars().NumEnregistrement, 3);
  EXPECT_EQ(vrnVars().IndiceBoucle, 3) << "every record was read";
  // The window is ready for the next choice: wide, with the list chosen and
  // its labels, and otherwise as it started.
  EXPECT_EQ(w->Label19->Caption(), "");
  expectOnlyChanged(before, kWidthChange + QList<Change>{{"Combo1", "ListIndex"},
                                                         {"Combo1", "Text"},
                                                         {"Label1", "Caption"},
                                                         {"Label2", "Caption"},
                                                         {"Label6", "Caption"},
                                                         {"Label19", "Caption"},
                                                         {"ImageList1", "Images"},
                                                         {"ListView2", "View"},
                                                         {"ListView2", "Sorted"},
                                                         {"ListView2", "SortKey"}});
  EXPECT_FALSE(fileChannel(kListChannel).isOpen());
}

TEST_F(LoaderTest, AListFileRemovedSinceStartUpIsCreatedEmpty) {
  writeList("png", {makeFile("a.png", 3)});
  Main2* w = start();
  ASSERT_TRUE(QFile::remove(dbDir() + "/png.vrn"));
  pick("png");
  expectListHidden();
  EXPECT_TRUE(QFile::exists(dbDir() + "/png.vrn"));
  EXPECT_EQ(QFile(dbDir() + "/png.vrn").size(), 0);
  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (0) Fichiers (.png) Disponibles");
}

TEST_F(LoaderTest, RowsCarryNameDetailsSizeAndRecordNumberAndAreSortedBySize) {
  const QString big = makeFile("Docs/Rapport.Final.TXT", 1234);
  const QString gone = src() + "/Docs/parti.txt";
  const QString empty = makeFile("Docs/vide.txt", 0);
  writeList("txt", {big, gone, empty});
  Main2* w = start();
  vrnVars().NombreFichiers = 3;
  const WindowSnapshot before = snapshot();
  pick("txt");

  ASSERT_EQ(w->ListView2->Count(), 2);
  // The empty size text sorts before every number.
  EXPECT_EQ(w->ListView2->Text(1), "vide");
  EXPECT_EQ(w->ListView2->Text(2), "Rapport.Final");
  const QString sep = userGroupSeparator();
  EXPECT_EQ(column(2), QStringList({"", "000" + sep + "001" + sep + "234"}));
  EXPECT_EQ(column(1), QStringList({empty, big}));
  EXPECT_EQ(column(7), QStringList({"vide", "rapport.final"}));
  EXPECT_EQ(column(8), QStringList({"00000003", "00000001"}));
  const InfoFichier facts = LireInfoFichier(big);
  EXPECT_EQ(w->ListView2->SubItem(2, 3), facts.DateAcces);
  EXPECT_EQ(w->ListView2->SubItem(2, 4), facts.DateCreation);
  EXPECT_EQ(w->ListView2->SubItem(2, 5), facts.DateModification);
  EXPECT_EQ(w->ListView2->SubItem(2, 6), facts.Attributs);
  EXPECT_FALSE(facts.DateModification.isEmpty());
  EXPECT_EQ(w->ListView2->SmallIcon(1), 1);

  EXPECT_TRUE(w->ListView2->Sorted());
  EXPECT_EQ(w->ListView2->SortKey(), 2);
  EXPECT_EQ(w->ListView2->SortOrder(), 0);
  EXPECT_EQ(w->ListView2->SelectedIndex(), 0);
  EXPECT_EQ(w->ListView2->View(), ListView::lvwReport);
  EXPECT_TRUE(w->ListView2->Visible());
  EXPECT_TRUE(w->Command4->Visible());
  EXPECT_TRUE(w->Command8->Visible());
  EXPECT_TRUE(w->Command11->Visible());

  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (2) Fichiers (.txt) Disponibles");
  EXPECT_EQ(w->Label1->Caption(), "Résultat du Scann (3) Fichiers\n(" + src() + ")");
  EXPECT_EQ(w->Width(), 14130);
  EXPECT_EQ(w->Shape1->Width(), 13815);
  EXPECT_EQ(w->Label1->Width(), 13575);
  // The rest of the window is as it was.
  expectOnlyChanged(before, kWidthChange + QList<Change>{{"ListView2", "*"},
                                                         {"Combo1", "ListIndex"},
                                                         {"Combo1", "Text"},
                                                         {"Command4", "Visible"},
                                                         {"Command8", "Visible"},
                                                         {"Command11", "Visible"},
                                                         {"Label1", "Caption"},
                                                         {"Label2", "Caption"},
                                                         {"Label6", "Caption"},
                                                         {"Label19", "Caption"},
                                                         {"Image1", "Picture"},
                                                         {"ImageList1", "Images"}});
  EXPECT_EQ(vrnVars().NombreSelection, 0);
  EXPECT_EQ(vrnVars().CheminFichier, "");
  EXPECT_EQ(vrnVars().ModeAffichageAuto, kNoAutoDisplay);
}

TEST_F(LoaderTest, EachDetailColumnHoldsItsOwnFact) {
  // Every fact made different from the others, so that a cell filled from
  // its neighbour's fact shows.
  const QString f = makeFile("Rapport.dat", 12345);
  const qint64 access = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)).toSecsSinceEpoch();
  const qint64 modification = QDateTime(QDate(2010, 11, 12), QTime(13, 14, 15)).toSecsSinceEpoch();
  const timespec times[2] = {{time_t(access), 0}, {time_t(modification), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, encodePath(f).constData(), times, 0), 0);
  ASSERT_EQ(::chmod(encodePath(f).constData(), 0444), 0);
  writeList("dat", {f});
  Main2* w = start();
  pick("dat");
  ASSERT_EQ(w->ListView2->Count(), 1);
  const QString sep = userGroupSeparator();
  EXPECT_EQ(w->ListView2->Text(1), "Rapport");
  EXPECT_EQ(w->ListView2->SubItem(1, 1), f);
  EXPECT_EQ(w->ListView2->SubItem(1, 2), "000" + sep + "012" + sep + "345");
  EXPECT_EQ(w->ListView2->SubItem(1, 3), "03/02/2001 04:05:06");
  EXPECT_EQ(w->ListView2->SubItem(1, 5), "12/11/2010 13:14:15");
  // The birth time cannot be set: it is the file's own, known or not.
  const QString creation = LireInfoFichier(f).DateCreation;
  EXPECT_EQ(w->ListView2->SubItem(1, 4), creation);
  EXPECT_NE(creation, w->ListView2->SubItem(1, 3));
  EXPECT_NE(creation, w->ListView2->SubItem(1, 5));
  EXPECT_TRUE(w->ListView2->SubItem(1, 6).contains(u'R')) << w->ListView2->SubItem(1, 6).toStdString();
  EXPECT_EQ(w->ListView2->SubItem(1, 7), "rapport");
  EXPECT_EQ(w->ListView2->SubItem(1, 8), "00000001");
}

TEST_F(LoaderTest, DetailsOffGivesOnlyThePathAndKeepsTheFileOrder) {
  const QStringList paths = {makeFile("b.log", 10), makeFile("a.log", 20000), makeFile("c.log", 5)};
  writeList("log", paths);
  Main2* w = start(/*details=*/false);
  pick("log");
  ASSERT_EQ(w->ListView2->Count(), 3);
  EXPECT_EQ(column(1), paths);
  for (int k = 2; k <= 6; ++k) EXPECT_EQ(column(k), QStringList({"", "", ""})) << k;
  EXPECT_EQ(column(8), QStringList({"00000001", "00000002", "00000003"}));
}

TEST_F(LoaderTest, EachDetailBoxSwitchedOffEmptiesItsOwnColumnOnly) {
  const QString f = makeFile("x.ini", 4000);
  writeList("ini", {f});
  Main2* w = start();
  pick("ini");
  pick("ini");  // the file's access date as the first load left it
  ASSERT_EQ(w->ListView2->Count(), 1);
  QStringList details;
  for (int k = 1; k <= 6; ++k) details << w->ListView2->SubItem(1, k);
  // The creation date only where the file system keeps one.
  for (int k : {1, 2, 3, 5, 6}) ASSERT_FALSE(details[k - 1].isEmpty()) << k;

  struct Box {
    CheckBox* box;
    int column;
    const char* what;
  };
  const Box boxes[] = {{w->Check4, 1, "path"},     {w->Check5, 2, "size"},         {w->Check8, 3, "last access"},
                       {w->Check6, 4, "creation"}, {w->Check7, 5, "modification"}, {w->Check9, 6, "attributes"}};
  for (const Box& b : boxes) {
    b.box->setValue(0);
    pick("ini");
    ASSERT_EQ(w->ListView2->Count(), 1) << b.what;
    for (int k = 1; k <= 6; ++k)
      EXPECT_EQ(w->ListView2->SubItem(1, k), k == b.column ? QString() : details[k - 1])
          << b.what << " off, column " << k;
    EXPECT_EQ(w->ListView2->SubItem(1, 7), "x");
    b.box->setValue(1);
  }
}

TEST_F(LoaderTest, NamesComeFromTheLastSlashAndTheLastDot) {
  const QString hidden = makeFile("site/.htaccess", 1);
  writeList("htaccess", {hidden});
  // A name that is not UTF-8 is shown escaped and still names the same file.
  const QByteArray raw = encodePath(src()) + "/caf\xe9.tar.gz";
  const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  writeFile(dbDir() + "/gz.vrn", records({raw}));
  Main2* w = start();
  pick("htaccess");
  ASSERT_EQ(w->ListView2->Count(), 1);
  EXPECT_EQ(w->ListView2->Text(1), "");
  EXPECT_EQ(w->ListView2->SubItem(1, 7), "");
  EXPECT_EQ(w->ListView2->SubItem(1, 1), hidden);

  pick("gz");
  ASSERT_EQ(w->ListView2->Count(), 1);
  EXPECT_EQ(encodePath(w->ListView2->Text(1)), QByteArray("caf\xe9.tar"));
  EXPECT_EQ(encodePath(w->ListView2->SubItem(1, 1)), raw);
}

TEST_F(LoaderTest, ADamagedRecordNamesNoShorterPath) {
  const QString f = makeFile("notes.md", 2);
  QByteArray rec = encodePath(f) + QByteArray("\0\0tail", 6);
  writeFile(dbDir() + "/md.vrn", rec.leftJustified(300, ' '));
  Main2* w = start();
  pick("md");
  ASSERT_EQ(w->ListView2->Count(), 1);
  EXPECT_EQ(w->ListView2->SubItem(1, 1), f);
}

TEST_F(LoaderTest, ProgramsShowTheFixedProgramPictureOthersTheFirstFilesIcon) {
  writeList("exe", {makeFile("setup.exe", 100)});
  writeList("txt", {makeFile("lisez.txt", 100)});
  Main2* w = start();
  pick("exe");
  const qint64 program = w->Picture2->Picture().cacheKey();
  ASSERT_FALSE(w->Picture2->Picture().isNull());
  EXPECT_EQ(w->Image1->Picture().cacheKey(), program);
  ASSERT_EQ(w->ImageList1->Count(), 1);
  EXPECT_EQ(w->ImageList1->Image(1).cacheKey(), program);
  EXPECT_EQ(w->ListView2->SmallIcons(), w->ImageList1);

  pick("txt");
  ASSERT_EQ(w->ImageList1->Count(), 1) << "one icon per list";
  EXPECT_NE(w->ImageList1->Image(1).cacheKey(), program);
  EXPECT_NE(w->Image1->Picture().cacheKey(), program);
}

TEST_F(LoaderTest, AStopDuringTheLoadEndsWithAnEmptyHiddenList) {
  QStringList paths;
  for (int i = 0; i < 6; ++i) paths << makeFile(QString("f%1.dat").arg(i), i);
  writeList("dat", paths);
  Main2* w = start();
  vrnVars().DernierIndexAuto = 4;
  // The stop is pressed at the first turn of the event loop once record 1 is
  // in (turns may come before it while its facts are gathered).
  {
    EveryTurn stopAfterFirstRow([w] {
      if (w->ListView2->Count() >= 1 && vrnVars().DemandeArret.isEmpty() && vrnVars().IndiceBoucle < 6)
        vrnVars().DemandeArret = kStopRequest;
    });
    pick("dat");
  }
  expectListHidden();
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_EQ(vrnVars().IndiceBoucle, 6);
  EXPECT_EQ(vrnVars().DernierIndexAuto, 0);
  // The count was taken when the loop ended: one row after the stop.
  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (2) Fichiers (.dat) Disponibles");
  EXPECT_TRUE(w->Combo1->Visible());
  EXPECT_FALSE(fileChannel(kListChannel).isOpen());
}

TEST_F(LoaderTest, WhileLoadingTheWindowShowsProgressAndAStopButton) {
  writeList("csv", {makeFile("1.csv"), src() + "/gone.csv", makeFile("3.csv")});
  Main2* w = start();
  w->Check3->setValue(1);
  vrnVars().NombreFichiers = 7;
  QStringList progress;
  QSet<QString> button10, label1, label2, button6;
  bool stopShown = true, comboHidden = true, listShown = true, toolsHidden = true;
  {
    EveryTurn watch([&] {
      const QString shown = w->Label19->Caption();
      if (shown.contains('/') && (progress.isEmpty() || progress.last() != shown)) progress << shown;
      stopShown = stopShown && w->MyButton5->Visible() && w->MyButton7->Visible() && w->MyButton6->Enabled();
      comboHidden = comboHidden && !w->Combo1->Visible();
      listShown = listShown && w->ListView2->Visible();
      for (QWidget* c :
           std::initializer_list<QWidget*>{w->Check2, w->Check3, w->Command4, w->Command5, w->Command8, w->Command11})
        toolsHidden = toolsHidden && c->isHidden();
      button10 << w->MyButton10->Caption();
      label1 << w->Label1->Caption();
      label2 << w->Label2->Caption();
      button6 << w->MyButton6->Caption();
    });
    pick("csv");
  }
  EXPECT_EQ(progress, QStringList({"1/3", "2/3", "3/3"}));
  EXPECT_TRUE(stopShown);
  EXPECT_TRUE(comboHidden);
  EXPECT_TRUE(toolsHidden);
  // While the records are read: the list file's record count and the source.
  EXPECT_EQ(button10, QSet<QString>({"Lister les Fichiers (csv)\n(" + src() + ")"}));
  EXPECT_EQ(label1, QSet<QString>({"Résultat du Scann (7) Fichiers\n(" + src() + ")"}));
  EXPECT_EQ(label2, QSet<QString>({"Liste de Mes (3) Fichiers (.csv) Disponibles"}));
  EXPECT_EQ(button6, QSet<QString>({"Arrêter l'Opération en Cours"}));
  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (2) Fichiers (.csv) Disponibles");
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (7) Fichiers\n(" + src() + ")");
  EXPECT_TRUE(listShown) << "Check3 keeps the list in sight while it fills";
  EXPECT_EQ(w->ListView2->Count(), 2);

  // Without Check3 the list fills hidden.
  w->Check3->setValue(0);
  listShown = false;
  {
    EveryTurn watch([&] { listShown = listShown || w->ListView2->Visible(); });
    pick("csv");
  }
  EXPECT_FALSE(listShown);
  EXPECT_TRUE(w->ListView2->Visible());
}

TEST_F(LoaderTest, AListPickedWhileAnotherIsReadIsIgnored) {
  writeList("a", {makeFile("1.a"), makeFile("2.a"), makeFile("3.a")});
  writeList("b", {makeFile("1.b")});
  Main2* w = start();
  int picks = 0;
  {
    EveryTurn user([&] {
      if (picks++ == 0) {
        w->mnChoisirTypeFichier->click();
        w->Combo1->hidePopup();
        w->Combo1->setListIndex(w->Combo1->findText("b"));
      }
    });
    pick("a");
  }
  ASSERT_GT(picks, 0);
  EXPECT_EQ(w->ListView2->Count(), 3);
  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (3) Fichiers (.a) Disponibles");
  EXPECT_EQ(column(8), QStringList({"00000001", "00000002", "00000003"}));
}

TEST_F(LoaderTest, TheSourceMustStillExistBeforeAnythingLoads) {
  writeList("txt", {makeFile("a.txt", 1)});
  Main2* w = start();
  pick("txt");
  ASSERT_EQ(w->ListView2->Count(), 1);
  const WindowSnapshot before = snapshot();
  const QString drive =
      "Le Disque ou Lecteur Contenant le Répertoire ci-dessous ayant servi pour la Base de Donnée Actuelle de Tous "
      "Vos Fichiers, n'éxiste plus ou a été Déplacé...!\nRacine ou Lecteur de ce Répertoire (Manquant) ou "
      "(Déconnecté): (";

  vrnVars().SourceActuelle = kNoSourceYet;
  pick("txt");
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbOKOnly);
  EXPECT_TRUE(svc->dialogs.boxes[0].text.startsWith(drive + "Auc)\n"));

  vrnVars().SourceActuelle = "/media/nobody-varnelo-test/CLE USB/Docs";
  pick("txt");
  ASSERT_EQ(svc->dialogs.boxes.size(), 2) << "a missing medium shows only the drive box";
  EXPECT_TRUE(svc->dialogs.boxes[1].text.startsWith(drive + "/media/nobody-varnelo-test/CLE USB)\n"));

  vrnVars().SourceActuelle = src() + "/parti";
  pick("txt");
  ASSERT_EQ(svc->dialogs.boxes.size(), 3);
  EXPECT_TRUE(
      svc->dialogs.boxes[2].text.contains("Nom du Répertoire (Manquant) ou (Déconnecté):\n(" + src() + "/parti)"));
  // Nothing was touched.
  expectOnlyChanged(before, {{"Dialogs", "Boxes"}});
}

TEST_F(LoaderTest, TheEndOfALoadPlaysTheSoundAndStripesTheRows) {
  writeList("wav", {makeFile("a.wav", 1), makeFile("b.wav", 2), makeFile("c.wav", 3)});
  Main2* w = start();
  svc->audio.devices = 1;
  pick("wav");
  EXPECT_EQ(svc->audio.plays, 0);
  w->Check15->setValue(1);
  pick("wav");
  EXPECT_EQ(svc->audio.plays, 1);

  EXPECT_EQ(w->Label6->Caption(), kStripesOn);
  EXPECT_EQ(w->ListView2->RowColor(1), 0xFFFFFFu);
  EXPECT_EQ(w->ListView2->RowColor(2), 0xC0FFFFu);
  EXPECT_EQ(w->ListView2->RowColor(3), 0xFFFFFFu);
  // Stripes line up with the rows because every row has the same height.
  auto* view = w->ListView2->itemView();
  const int h = w->ListView2->RowHeightPixels();
  ASSERT_GT(h, 0);
  for (int r = 0; r < 3; ++r) {
    const QRect rect = view->visualRect(view->model()->index(r, 0));
    EXPECT_EQ(rect.height(), h) << r;
    EXPECT_EQ(rect.top() - view->visualRect(view->model()->index(0, 0)).top(), r * h) << r;
  }
  // A stripe state left on by the user is set on again by the next load.
  w->Command5->click();
  EXPECT_EQ(w->ListView2->RowColor(2), 0xFFFFFFu);
  pick("wav");
  EXPECT_EQ(w->ListView2->RowColor(2), 0xC0FFFFu);
}

TEST_F(LoaderTest, AutomaticModesKeepTheNarrowWindowAndTheChooserResetsTheMode) {
  writeList("txt", {makeFile("a.txt", 1)});
  Main2* w = start();
  vrnVars().ModeAffichageAuto = kAutoPagesOnScreen;
  pick("txt");
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_EQ(w->Left(), (Screen::Width() - Main2::kCompactWidth) / 2);
  EXPECT_EQ(vrnVars().ModeAffichageAuto, kNoAutoDisplay);
  pick("txt");
  EXPECT_EQ(w->Width(), Main2::kWideWidth);
}

TEST_F(LoaderTest, AListFileNamedInUpperCaseIsTheListOfItsLowerCaseName) {
  writeList("MP3", {makeFile("a.mp3", 10), makeFile("b.mp3", 20)});
  start();
  // The catalogue offers it as "mp3"; loading it reads that very file.
  pick("mp3");
  EXPECT_EQ(win->ListView2->Count(), 2);
  EXPECT_EQ(win->Label2->Caption(), "Liste de Mes (2) Fichiers (.mp3) Disponibles");
  EXPECT_FALSE(QFile::exists(dbDir() + "/mp3.vrn")) << "no second, empty list file is made";
}
