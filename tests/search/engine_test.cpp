// The search engine through the window: scopes and their counts, the rows of
// found files, progress, stop, the end state, and the list channel of a job
// running meanwhile.
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <fcntl.h>
#include <unistd.h>

#include "tests/mainwindow/list_rows.h"
#include "database/dbfolder.h"
#include "mainwindow/listloader.h"
#include "mainwindow/listrows.h"
#include "platform/recordfile.h"
#include "search/searchscan.h"
#include "support/ModeFileInfoVRN.h"
#include "tests/search/search_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

QStringList databaseEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class EngineTest : public SearchTest {
 protected:
  // After a search the window shows its result, full width and with the
  // progress bar emptied, and is otherwise idle again, as before the search:
  // the launch button back, the scopes usable, the busy picture stopped.
  void expectIdleAgain(const WindowSnapshot& before, std::source_location where = std::source_location::current()) {
    Main2* w = win.get();
    EXPECT_EQ(w->etat0->Width(), 0);
    EXPECT_EQ(w->Width(), Main2::kWideWidth);
    expectOnlyChanged(before, kSearchResult, where);
    EXPECT_EQ(vrnVars().DemandeArret, "");
  }
  void expectListAndToolsHidden() {
    Main2* w = win.get();
    EXPECT_EQ(w->ListView2->Count(), 0);
    for (QWidget* c :
         std::initializer_list<QWidget*>{w->ListView2, w->Command4, w->Command5, w->Command8, w->Command11})
      EXPECT_TRUE(c->isHidden()) << c->objectName().toStdString();
  }
};

TEST_F(EngineTest, FindsTheCriterionInAnyCaseAnywhereInThePathsOfEveryList) {
  const QString gone = src() + "/img/parti.jpg";
  const QString photo = makeFile("img/IMG_01.JpG", 1234);
  const QString inFolder = makeFile("Vacances.JPG.d/Plage.PNG", 10);
  writeList("jpg", {gone, photo});
  writeList("jpeg", {makeFile("img/autre.jpeg")});
  writeList("png", {inFolder});
  writeList("txt", {makeFile("doc/lisez.txt")});
  const QByteArray jpgBytes = readFile(dbDir() + "/jpg.vrn");
  Main2* w = start();
  // Display options that hide every detail column of a list load.
  w->Check2->setValue(0);
  for (CheckBox* c : {w->Check4, w->Check5, w->Check6, w->Check7, w->Check8, w->Check9}) c->setValue(0);
  ASSERT_EQ(w->Check15->Value(), 0) << "sounds are off";
  openPanel();
  const WindowSnapshot before = snapshot();
  search("  JPG ", w->Check19);

  EXPECT_EQ(vrnVars().CritereRecherche, "jpg");
  // Rows in scope order (lists alphabetically, records in file order), named
  // in lower case but holding the stored path.
  ASSERT_EQ(w->ListView2->Count(), 2);
  EXPECT_EQ(column(0), QStringList({"img_01", "plage"}));
  EXPECT_EQ(column(1), QStringList({photo, inFolder}));
  EXPECT_EQ(column(7), QStringList({"img_01", "plage"}));
  EXPECT_EQ(column(8), QStringList({"00000002", "00000001"}));
  const QString sep = userGroupSeparator();
  EXPECT_EQ(column(2), QStringList({"000" + sep + "001" + sep + "234", "000" + sep + "000" + sep + "010"}));
  const InfoFichier facts = LireInfoFichier(photo);
  EXPECT_EQ(w->ListView2->SubItem(1, 3), facts.DateAcces);
  EXPECT_EQ(w->ListView2->SubItem(1, 4), facts.DateCreation);
  EXPECT_EQ(w->ListView2->SubItem(1, 5), facts.DateModification);
  EXPECT_EQ(w->ListView2->SubItem(1, 6), facts.Attributs);
  EXPECT_FALSE(facts.DateModification.isEmpty());
  EXPECT_FALSE(facts.Attributs.isEmpty());
  // One generic picture on every row.
  EXPECT_EQ(w->ListView2->SmallIcon(1), 1);
  EXPECT_EQ(w->ListView2->SmallIcon(2), 1);
  EXPECT_EQ(w->ListView2->SmallIcons(), w->ImageList1);
  EXPECT_EQ(w->ListView2->LargeIcons(), nullptr);
  ASSERT_EQ(w->ImageList1->Count(), 1);
  EXPECT_EQ(w->ImageList1->Image(1).cacheKey(), w->Image11->Picture().cacheKey());
  EXPECT_EQ(w->ListView2->View(), ListView::lvwReport);

  // Every record was analysed, the deleted file's too.
  EXPECT_EQ(vrnVars().TotalEnregistrements, 5);
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 5);
  EXPECT_EQ(vrnVars().NumEnregistrement, 1) << "the count of the last list read";
  EXPECT_EQ(w->Label28->Caption(), "Total Répertoires et Données (5) à Analyser");
  EXPECT_EQ(w->Label35->Caption(), percent("100", "00"));
  EXPECT_EQ(w->Label2->Caption(), "Résultat de la Recherche (2) Fichiers\n(" + src() + ")");
  EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (2) Fichiers");
  EXPECT_TRUE(w->Label32->Visible());
  for (QWidget* c : std::initializer_list<QWidget*>{w->ListView2, w->Command4, w->Command8, w->Command11})
    EXPECT_FALSE(c->isHidden()) << c->objectName().toStdString();
  EXPECT_FALSE(w->Command5->Visible());
  expectIdleAgain(before);
  EXPECT_EQ(svc->audio.plays, 1) << "the end sound plays whatever the sound option says";
  // The search writes nothing.
  EXPECT_EQ(readFile(dbDir() + "/jpg.vrn"), jpgBytes);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
}

TEST_F(EngineTest, WhileSearchingTheLaunchGivesWayToStopAndProgressEndsExact) {
  const QString a = makeFile("d/un.dat"), b = makeFile("d/deux.dat");
  writeList("dat", {src() + "/x/autre.bin", a, src() + "/d/parti.dat", b});
  Main2* w = start();
  openPanel();
  QStringList status, percents;
  QList<int> bar;
  bool busy = true, listHidden = true;
  {
    EveryTurn watch([&] {
      if (!w->MyButton26->Visible()) return;
      busy = busy && !w->MyButton25->Visible() && w->Timer4->Enabled() && w->Shape4->Visible() &&
             w->Picture3->Visible() && w->Label32->Visible() && !w->Combo10->Enabled();
      for (CheckBox* c : {w->Check17, w->Check18, w->Check19, w->Check20}) busy = busy && !c->Enabled();
      listHidden = listHidden && !w->ListView2->Visible();
      if (status.isEmpty() || status.last() != w->Label32->Caption()) status << w->Label32->Caption();
      if (w->etat0->Visible() && (bar.isEmpty() || bar.last() != w->etat0->Width())) bar << w->etat0->Width();
      if (w->etat0->Visible() && (percents.isEmpty() || percents.last() != w->Label35->Caption()))
        percents << w->Label35->Caption();
    });
    searchList("d/", "dat");
  }
  EXPECT_TRUE(busy);
  EXPECT_TRUE(listHidden);
  EXPECT_EQ(status, QStringList({"Recherche Affinée en Cours...", "Recherche en Cours (1) Fichiers",
                                 "Recherche en Cours (2) Fichiers"}));
  EXPECT_EQ(bar, QList<int>({694, 1388, 2081, 2775}));
  EXPECT_EQ(percents,
            QStringList({percent("25", "00"), percent("50", "00"), percent("75", "00"), percent("100", "00")}));
  EXPECT_EQ(w->Label28->Caption(), "Total Répertoires et Données (4) à Analyser");
  EXPECT_EQ(column(1), QStringList({a, b}));
  EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (2) Fichiers");
}

TEST_F(EngineTest, ALongPathIsFoundByItsLastCharactersAndTheRecordNumberHasEightDigits) {
  // A path of exactly 300 bytes whose only "zqx9" is its end, at record 12.
  const QString folder = src() + "/" + QString(200, 'a');
  const QString name = QString(300 - folder.size() - 1 - 5, 'b') + "_ZQX9";
  QString longPath = folder + "/" + name;
  ASSERT_LE(name.size(), 255);
  longPath = makeFile(longPath.mid(src().size() + 1));
  ASSERT_EQ(encodePath(longPath).size(), 300);
  QStringList paths;
  for (int i = 1; i <= 11; ++i) paths << makeFile(QString("r%1.lng").arg(i));
  paths << longPath;
  writeList("lng", paths);
  Main2* w = start();
  openPanel();
  searchList("zqx9", "lng");
  ASSERT_EQ(w->ListView2->Count(), 1);
  EXPECT_EQ(w->ListView2->SubItem(1, 1), longPath);
  EXPECT_EQ(w->ListView2->SubItem(1, 8), "00000012");
  EXPECT_EQ(w->ListView2->Text(1), name.toLower());
  EXPECT_EQ(vrnVars().NumEnregistrement, 12);
}

TEST_F(EngineTest, TheCommonScopeCountsMissingListsAsEmptyAndCreatesNone) {
  const QString photo = makeFile("a/photo.jpg");
  writeList("jpg", {photo, src() + "/a/parti.jpg"});
  writeList("abc", {makeFile("a/photo.abc")});  // not a common list
  Main2* w = start();
  const QStringList before = databaseEntries(dbDir());
  openPanel();
  search("photo", w->Check18);
  EXPECT_EQ(vrnVars().TotalEnregistrements, 2);
  EXPECT_EQ(w->Label28->Caption(), "Total Répertoires et Données (2) à Analyser");
  EXPECT_EQ(column(1), QStringList({photo}));
  EXPECT_EQ(w->Label35->Caption(), percent("100", "00"));
  EXPECT_EQ(databaseEntries(dbDir()), before) << "no list file was created";

  // With more than one box ticked only the first counts: common before all.
  {
    const QSignalBlocker quiet(w->Check19);
    w->Check19->setValue(1);
  }
  ASSERT_EQ(w->Check18->Value(), 1);
  w->MyButton25->click();
  EXPECT_EQ(vrnVars().TotalEnregistrements, 2);
  EXPECT_EQ(column(1), QStringList({photo}));
  // Preferred lists come before both: the lists of the list of lists.
  {
    const QSignalBlocker quiet(w->Check17);
    w->Check17->setValue(1);
  }
  w->Combo1->Clear();
  w->Combo1->AddItem("abc");
  w->Combo1->AddItem("vide");
  w->MyButton25->click();
  EXPECT_EQ(vrnVars().TotalEnregistrements, 1);
  EXPECT_EQ(column(1), QStringList({src() + "/a/photo.abc"}));
  EXPECT_EQ(databaseEntries(dbDir()), before);
}

TEST_F(EngineTest, AnEmptyOrMissingScopeFindsNothingAndKeepsThePercentage) {
  writeList("jpg", {makeFile("a.jpg")});
  Main2* w = start();
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/dossier.vrn"));  // cannot be read as a list
  w->Combo10->AddItem("absent");
  w->Combo10->AddItem("dossier");
  openPanel();
  searchList("a", "jpg");
  ASSERT_EQ(w->ListView2->Count(), 1);
  ASSERT_EQ(w->Label35->Caption(), percent("100", "00"));

  for (const QString& list : {QString("absent"), QString("dossier")}) {
    const WindowSnapshot before = snapshot();
    searchList("a", list);
    EXPECT_EQ(vrnVars().TotalEnregistrements, 0) << list.toStdString();
    EXPECT_EQ(w->Label28->Caption(), "Total Répertoires et Données (0) à Analyser");
    EXPECT_EQ(w->Label35->Caption(), percent("100", "00")) << "kept from the last search";
    EXPECT_EQ(w->Label2->Caption(), "Résultat de la Recherche (0) Fichiers\n(" + src() + ")");
    EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (0) Fichiers");
    expectListAndToolsHidden();
    expectIdleAgain(before);
  }
  EXPECT_FALSE(QFile::exists(dbDir() + "/absent.vrn"));
}

TEST_F(EngineTest, NothingFoundHidesTheListAndALeftOverStopRequestStopsNothing) {
  writeList("txt", {makeFile("un.txt"), makeFile("deux.txt"), makeFile("trois.txt")});
  Main2* w = start();
  openPanel();
  searchList("deux", "txt");
  ASSERT_TRUE(w->Command4->Visible());

  searchList("quatre", "txt");
  expectListAndToolsHidden();
  EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (0) Fichiers");
  EXPECT_EQ(w->Label2->Caption(), "Résultat de la Recherche (0) Fichiers\n(" + src() + ")");
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 3);

  vrnVars().DemandeArret = kStopRequest;  // left by an earlier job
  const WindowSnapshot before = snapshot();
  searchList(".TXT", "txt");
  EXPECT_EQ(w->ListView2->Count(), 3);
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 3);
  EXPECT_EQ(w->Label2->Caption(), "Résultat de la Recherche (3) Fichiers\n(" + src() + ")");
  expectIdleAgain(before);
}

TEST_F(EngineTest, StopEmptiesTheResultAndTheNextSearchRunsInFull) {
  QStringList paths;
  for (int i = 1; i <= 6; ++i) paths << makeFile(QString("f%1.log").arg(i));
  writeList("log", paths);
  Main2* w = start();
  openPanel();
  int shownWhenStopped = -1;
  const WindowSnapshot before = snapshot();
  {
    EveryTurn user([&] {
      if (shownWhenStopped < 0 && vrnVars().NbEnregistrementsLus == 2) {
        shownWhenStopped = w->ListView2->Count();
        w->MyButton26->click();
      }
    });
    searchList("log", "log");
  }
  ASSERT_EQ(shownWhenStopped, 2);
  // Seen at the next record, which counts as analysed but is not read.
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 3);
  EXPECT_EQ(w->Label35->Caption(), percent("33", "33"));
  EXPECT_EQ(w->Label2->Caption(), "La Recherche à été Stoppée par l'Utilisateur...");
  EXPECT_EQ(w->Label32->Caption(), "Recherche Stoppée par l'Utilisateur...");
  expectListAndToolsHidden();
  expectIdleAgain(before);
  EXPECT_EQ(svc->audio.plays, 1);

  // A press reaching the stop button once nothing runs is no request: the
  // next list picked and the next search run in full.
  w->MyButton26_Click();
  EXPECT_EQ(vrnVars().DemandeArret, "");
  w->Combo1->setListIndex(w->Combo1->findText("log"));
  EXPECT_EQ(w->ListView2->Count(), 6);
  EXPECT_EQ(w->Label2->Caption(), "Liste de Mes (6) Fichiers (.log) Disponibles");
  searchList("log", "log");
  EXPECT_EQ(w->ListView2->Count(), 6);
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 6);
  EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (6) Fichiers");
}

TEST_F(EngineTest, TheListChannelOfAnotherJobIsLeftAlone) {
  QStringList bins;
  for (int i = 1; i <= 5; ++i) bins << makeFile(QString("b%1.bin").arg(i), i);
  writeList("bin", bins);
  writeList("jpg", {makeFile("p.jpg")});
  Main2* w = start();
  openPanel();

  // A file held open on the list channel stays open and readable.
  RecordFile& channel = fileChannel(kListChannel);
  ASSERT_TRUE(channel.open(databaseFile("bin.vrn"), kRecFichier, false));
  searchList("p.jpg", "jpg");
  ASSERT_EQ(w->ListView2->Count(), 1);
  EXPECT_TRUE(channel.isOpen());
  EXPECT_EQ(channel.recordCount(), 5);
  EXPECT_TRUE(channel.read(5).startsWith(encodePath(bins[4])));
  channel.close();

  // A search launched while a list loads: the loader goes on reading its
  // own file to the end afterwards.
  const int oldSlice = listLoadEventSliceMs();
  listLoadEventSliceMs() = 0;
  bool launched = false;
  {
    EveryTurn user([&] {
      if (!launched && vrnVars().IndiceBoucle == 2 && fileChannel(kListChannel).isOpen()) {
        launched = true;
        searchList("p.jpg", "jpg");
      }
    });
    w->Combo1->setListIndex(w->Combo1->findText("bin"));
  }
  listLoadEventSliceMs() = oldSlice;
  ASSERT_TRUE(launched);
  EXPECT_TRUE(column(8).contains("00000005")) << "the last record of the loaded list became a row";
  EXPECT_FALSE(fileChannel(kListChannel).isOpen());
}

TEST_F(EngineTest, LeavingAndReopeningDuringASearchLetsItFinishAndStartsNoOther) {
  QStringList paths;
  for (int i = 1; i <= 4; ++i) paths << makeFile(QString("m%1.mp3").arg(i));
  writeList("mp3", paths);
  Main2* w = start();
  openPanel();
  bool relaunched = false;
  {
    EveryTurn user([&] {
      if (!relaunched && vrnVars().NbEnregistrementsLus == 1) {
        relaunched = true;
        w->MyButton24->click();
        EXPECT_FALSE(w->MyFrame3->Visible());
        EXPECT_EQ(w->ListView2->Count(), 0);
        w->mnRechercheCritere->click();
        ASSERT_TRUE(w->MyButton25->Visible());
        w->MyButton25->click();
      }
    });
    searchList("mp3", "mp3");
  }
  ASSERT_TRUE(relaunched);
  EXPECT_EQ(svc->audio.plays, 1) << "one search ran";
  // Rows found after the panel was left and opened again.
  EXPECT_EQ(column(1), paths.mid(1));
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 4);
  EXPECT_TRUE(w->ListView2->Visible());
  EXPECT_EQ(w->Width(), Main2::kWideWidth);
  EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (3) Fichiers");
}

TEST_F(EngineTest, HandlersUsingTheSharedLoopCountersBetweenRecordsDoNotDisturbIt) {
  const QString a = makeFile("x/a.aaa"), b = makeFile("x/b.bbb"), c = makeFile("x/c.ccc");
  writeList("aaa", {a});
  writeList("bbb", {b, b});
  writeList("ccc", {c});
  Main2* w = start();
  openPanel();
  {
    // As the table loaders and the list loader do with them.
    EveryTurn other([] {
      vrnVars().IndiceBoucle = 0;
      vrnVars().IndiceBoucle2 = 0;
    });
    search("/x/", w->Check19);
  }
  EXPECT_EQ(column(1), QStringList({a, b, b, c}));
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 4);
}

TEST_F(EngineTest, AListOfManyBlocksGivesItsRowsInOrderWhetherEventsRunAfterEachRecordOrNot) {
  // Hits on both sides of the reader's block ends, a stored file that is
  // gone, and a path outside ASCII.
  QStringList paths;
  for (int i = 1; i <= 5000; ++i) paths << src() + QString("/nulle/part/%1.bin").arg(i);
  QStringList found;
  QStringList numbers;
  for (int r : {1, 256, 257, 4352, 4353, 5000}) {
    paths[r - 1] = makeFile(QString("Cible/%1.BIN").arg(r));
    found << paths[r - 1];
    numbers << QString("%1").arg(r, 8, 10, QChar('0'));
  }
  paths[3000 - 1] = src() + "/partie/cible.bin";
  paths[3001 - 1] = makeFile("Été/CIBLE.bin");
  found.insert(3, paths[3001 - 1]);
  numbers.insert(3, "00003001");
  writeList("big", paths);
  Main2* w = start();
  openPanel();
  for (int slice : {0, 1000}) {
    SCOPED_TRACE(slice);
    searchEventSliceMs() = slice;
    const WindowSnapshot before = snapshot();
    searchList("cible", "big");
    EXPECT_EQ(column(1), found);
    EXPECT_EQ(column(8), numbers);
    EXPECT_EQ(vrnVars().NbEnregistrementsLus, 5000);
    EXPECT_EQ(vrnVars().NumEnregistrement, 5000);
    EXPECT_EQ(w->Label35->Caption(), percent("100", "00"));
    EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (7) Fichiers");
    expectIdleAgain(before);
  }

  // A stop in the middle of the list is seen at the next record, which
  // counts but shows no percentage.
  searchEventSliceMs() = 0;
  const WindowSnapshot before = snapshot();
  {
    EveryTurn user([&] {
      if (vrnVars().NbEnregistrementsLus == 1000 && w->MyButton26->Visible()) w->MyButton26->click();
    });
    searchList("cible", "big");
  }
  EXPECT_EQ(vrnVars().NbEnregistrementsLus, 1001);
  EXPECT_EQ(w->Label35->Caption(), percent("20", "00"));
  EXPECT_EQ(w->etat0->Width(), 0);
  EXPECT_EQ(w->Label32->Caption(), "Recherche Stoppée par l'Utilisateur...");
  expectListAndToolsHidden();
  expectIdleAgain(before);
}

namespace {

// The stored paths of one list, in record order.
struct StoredList {
  QString name;
  QStringList paths;
};

// The rows a search of `criterion` shows over these lists, made one at a
// time the plain way: a record is a hit when its path in lower case holds
// the criterion; the stored path names the file, whose facts fill the row;
// the row's name and sub-item 7 come from the path in lower case.
QList<QStringList> plainSearchRows(const QList<StoredList>& lists, const QString& criterion) {
  QList<QStringList> rows;
  for (const StoredList& list : lists) {
    for (qsizetype i = 0; i < list.paths.size(); ++i) {
      const QString& path = list.paths[i];
      if (!path.toLower().contains(criterion)) continue;
      const InfoFichier info = LireInfoFichier(path);
      if (!info.Existe) continue;
      ColonnesListe row = makeRow(path, i + 1, DetailColumns{}, &info);
      row.cells[0] = nameWithoutExtension(path.toLower());
      row.cells[7] = row.cells[0];
      rows << QStringList(row.cells.begin(), row.cells.end());
    }
  }
  return rows;
}

}  // namespace

class FoundRowsTest : public EngineTest {
 protected:
  QList<QStringList> shownRows() const {
    QList<QStringList> rows;
    for (int r = 1; r <= win->ListView2->Count(); ++r) {
      QStringList cells{win->ListView2->Text(r)};
      for (int k = 1; k < ColonnesListe::kCells; ++k) cells << win->ListView2->SubItem(r, k);
      rows << cells;
    }
    return rows;
  }

  // A file whose name is not UTF-8 (QFile would not keep its bytes).
  QString rawFile(const QByteArray& relative, int size) {
    const QByteArray path = encodePath(src()) + "/" + relative;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, size), 0);
    ::close(fd);
    rawFiles_ << path;
    return decodePath(path);
  }
  void TearDown() override {
    for (const QByteArray& path : rawFiles_) ::unlink(path.constData());
    EngineTest::TearDown();
  }
  QList<QByteArray> rawFiles_;

  // Two lists of awkward stored paths: upper case and non-ASCII names whose
  // lower-case path names no file or another one, bytes outside UTF-8,
  // files gone since the scan, a folder, a dangling link, a hidden name, a
  // path listed twice, and records without the criterion in between.
  QList<StoredList> makeAwkwardLists() {
    const QString bas = makeFile("trouve/cas/a.txt", 20000);  // what "Trouve/Cas/A.TXT" lowers to
    const QString haut = makeFile("Trouve/Cas/A.TXT", 10);
    EXPECT_TRUE(QDir().mkpath(src() + "/Trouve/Sous.Dossier"));
    EXPECT_TRUE(QFile::link(src() + "/nulle-part", src() + "/Trouve/Lien.LNK"));
    StoredList first{"awk",
                     {
                         makeFile("Autre/Rien.txt"),
                         makeFile("Trouve/Rapport.PDF", 3000),
                         src() + "/Trouve/Parti.txt",
                         haut,
                         makeFile("Autre/Encore.doc"),
                         makeFile("Trouve/Été/ÇA VA.TXT", 5),
                         makeFile(QString("TROUVE/İZMİR.JPG"), 7),
                         bas,
                         makeFile("Trouve/STRASSE.Tar.GZ", 1),
                         rawFile(QByteArray("Trouve/Brut\xe9-\xff.BIN"), 70000),
                         src() + "/Trouve/Sous.Dossier",
                         src() + "/Trouve/Lien.LNK",
                         makeFile("Trouve/.Cache"),
                         haut,
                         src() + "/TROUVE/PARTI AUSSI.txt",
                     }};
    StoredList second{"awl",
                      {
                          makeFile("Autre/Deux.txt"),
                          makeFile("Trouve/Fin.XLS", 1234567),
                      }};
    writeList(first.name, first.paths);
    writeList(second.name, second.paths);
    return {first, second};
  }
};

TEST_F(FoundRowsTest, RowsAreTheStoredFilesUnderTheirLowerCaseNamesInScopeOrder) {
  const QList<StoredList> lists = makeAwkwardLists();
  Main2* w = start();
  openPanel();
  const QString sep = userGroupSeparator();
  struct Case {
    QString typed;
    int rows;  // as counted from the table above
  };
  const QString izmir = QString::fromUtf8("i\u0307zmi\u0307r");  // "İZMİR" in lower case
  for (const Case& c :
       {Case{" TROUVE ", 12}, Case{"/ça", 1}, Case{izmir, 1}, Case{".txt", 6}, Case{"BRUT", 1}, Case{"zqx", 0}}) {
    for (int slice : {0, 1000}) {
      SCOPED_TRACE(c.typed.toStdString() + " slice " + std::to_string(slice));
      searchEventSliceMs() = slice;
      const WindowSnapshot before = snapshot();
      search(c.typed, w->Check19);
      const QList<QStringList> expected = plainSearchRows(lists, searchCriterion(c.typed));
      EXPECT_EQ(expected.size(), c.rows);
      EXPECT_EQ(shownRows(), expected);
      EXPECT_EQ(w->Label32->Caption(), "Recherche Terminée\nTrouvé (" + QString::number(c.rows) + ") Fichiers");
      EXPECT_EQ(vrnVars().NbEnregistrementsLus, 17);
      expectIdleAgain(before);
    }
  }

  // A few cells spelled out: the stored file's own facts, not those of the
  // file its lower-case path names.
  search("trouve", w->Check19);
  const QList<QStringList> rows = shownRows();
  ASSERT_EQ(rows.size(), 12);
  EXPECT_EQ(rows[0].mid(0, 3), QStringList({"rapport", lists[0].paths[1], "000" + sep + "003" + sep + "000"}));
  EXPECT_EQ(rows[1].mid(0, 3), QStringList({"a", lists[0].paths[3], "000" + sep + "000" + sep + "010"}));
  EXPECT_EQ(rows[1][8], "00000004");
  EXPECT_EQ(rows[2][0], "ça va");
  EXPECT_EQ(rows[3][0], izmir);
  EXPECT_EQ(rows[3][1], src() + "/TROUVE/İZMİR.JPG");
  EXPECT_EQ(rows[4].mid(0, 3), QStringList({"a", lists[0].paths[7], "000" + sep + "020" + sep + "000"}));
  EXPECT_EQ(rows[5][0], "strasse.tar");
  // A byte outside UTF-8 keeps its place in the path; the lower-case name
  // shows it as the case rule gives it (a replacement character).
  EXPECT_EQ(rows[6][0], QString::fromUtf8("brut\uFFFD-\uFFFD"));
  EXPECT_EQ(encodePath(rows[6][1]), encodePath(src()) + "/Trouve/Brut\xe9-\xff.BIN");
  EXPECT_EQ(rows[7][0], "sous");
  EXPECT_EQ(rows[7][2], "");
  EXPECT_EQ(rows[7][6], "D");
  EXPECT_EQ(rows[8][0], "lien");
  EXPECT_EQ(rows[9][0], "");
  EXPECT_EQ(rows[10], rows[1].mid(0, 8) << "00000014");
  EXPECT_EQ(rows[11].mid(0, 3), QStringList({"fin", lists[1].paths[1], "001" + sep + "234" + sep + "567"}));
  // The shared variables of the path in hand name the last row.
  EXPECT_EQ(vrnVars().ExtensionCourante, lists[1].paths[1]);
  EXPECT_EQ(vrnVars().NomSansExt, "fin");
}

TEST_F(FoundRowsTest, AStopAtAnyRecordShowsTheRowsOfTheRecordsBefore) {
  const QList<StoredList> lists = makeAwkwardLists();
  Main2* w = start();
  openPanel();
  w->Check19->setValue(1);
  const int total = 17;
  for (int k = 1; k < total; ++k) {
    SCOPED_TRACE(k);
    // The lists cut after the k-th record of the scope.
    QList<StoredList> before = lists;
    int left = k;
    for (StoredList& l : before) {
      l.paths = l.paths.mid(0, left);
      left -= int(l.paths.size());
    }
    QList<QStringList> atStop;
    bool clicked = false;
    const WindowSnapshot idle = snapshot();
    {
      EveryTurn user([&] {
        if (!clicked && vrnVars().NbEnregistrementsLus == k && w->MyButton26->Visible()) {
          clicked = true;
          atStop = shownRows();
          w->MyButton26->click();
        }
      });
      search("trouve", w->Check19);
    }
    ASSERT_TRUE(clicked);
    EXPECT_EQ(atStop, plainSearchRows(before, "trouve"));
    EXPECT_EQ(vrnVars().NbEnregistrementsLus, k + 1);
    EXPECT_EQ(w->Label32->Caption(), "Recherche Stoppée par l'Utilisateur...");
    expectListAndToolsHidden();
    expectIdleAgain(idle);
  }
}
