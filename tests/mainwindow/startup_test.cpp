#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/services.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/main2_fixture.h"
#include "tests/testing/smallfs.h"

using namespace vrn;
using namespace vrn::testing;

namespace {
const QString kMissingFolderStart =
    "Le Répertoire ci-dessous ayant servi pour la Base de Donnée Actuelle de Tous Vos Fichiers, n'éxiste plus ou "
    "a été Déplacé...!\nNom du Répertoire (Manquant) ou (Déconnecté):\n(";
const QString kMissingEnd =
    ")\nVeuillez Corriger ce problème afin que vous puissiez Utiliser ce programme, car pour l'instant les "
    "Données sont Introuvables...";
}  // namespace

class StartupTest : public Main2Test {
 protected:
  void writeDerRep(const QByteArray& source) { writeFile(dbDir() + "/der.rep", source.leftJustified(1024, ' ')); }
  // Stored options that neither scan nor open pages at start, so a test sees
  // what the first half of start-up leaves.
  void quietOptions() { writeFile(dbDir() + "/affp.aff", QByteArray("11111110000001") + QByteArray(16, '0')); }
  // Records the state the first half of start-up left when the first-run
  // offer shows (it is answered Non unless the test scripts otherwise).
  void watchFirstRunOffer() {
    svc->dialogs.onBox = [this](const ShownBox& box) {
      if (box.title != kFirstRunTitle) return;
      sourceAtOffer = vrnVars().SourceActuelle;
      headerAtOffer = win->MyButton10->Caption();
      captionAtOffer = win->Caption();
    };
  }
  bool onlyTheFirstRunOffer() const {
    return svc->dialogs.boxes.size() == 1 && svc->dialogs.boxes[0].title == kFirstRunTitle &&
           svc->dialogs.boxes[0].style == (vbInformation + vbYesNo);
  }
  // A database folder that cannot hold the lock: its own box, not the
  // duplicate one, then start-up goes on to the first-run offer.
  bool theLockBoxThenTheFirstRunOffer() const {
    const QString text =
        "Le Programme (Varnelo) ne peut pas Poser son Verrou dans le Dossier de sa Base de Donnée:\n(" + dbDir() +
        ")\nUn autre Programme pourrait donc Utiliser la même Base de Donnée en même Temps...\n"
        "Vérifiez que ce Dossier existe et que vous avez le Droit d'y Écrire....";
    const auto& b = svc->dialogs.boxes;
    return b.size() == 2 && b[0].title == "Verrou Impossible à Poser..." && b[0].style == vbExclamation &&
           b[0].text == text && b[1].title == kFirstRunTitle && b[1].style == (vbInformation + vbYesNo);
  }
  static inline const QString kFirstRunTitle = QStringLiteral("Choix de la Source à Scanner...");
  QString sourceAtOffer, headerAtOffer, captionAtOffer;
};

TEST_F(StartupTest, FirstRunCreatesTheDatabaseAndShowsTheCompactWindow) {
  watchFirstRunOffer();
  Main2* w = realStartWindow();
  ASSERT_TRUE(started);
  EXPECT_TRUE(QDir(dbDir()).exists());
  ASSERT_TRUE(QFile::exists(dbDir() + "/der.rep"));
  EXPECT_EQ(QFile(dbDir() + "/der.rep").size(), 0);
  // No missing-source box: only the first-run offer, answered Non here, which
  // opens the browser (cancelled: nothing scanned) and applies the defaults.
  EXPECT_TRUE(onlyTheFirstRunOffer());
  EXPECT_EQ(sourceAtOffer, kNoSourceYet);
  EXPECT_EQ(headerAtOffer, "Résultat du Scann (0) Fichiers\n(Aucun pour l'Instant)");
  EXPECT_EQ(svc->dialogs.browserTitles, QStringList{"Sélectionner le Disque, Lecteur, Répertoire à SCANNER..."});
  EXPECT_EQ(w->Caption(), "Faire la Liste Complète de Varnelo dans le Répertoire de mon Choix...");
  EXPECT_EQ(w->Width(), 5040);
  EXPECT_EQ(w->Height(), 7500);
  EXPECT_EQ(w->Left(), (Screen::Width() - 5040) / 2);
  EXPECT_EQ(w->Top(), (Screen::Height() - 7500) / 2);
  EXPECT_EQ(vrnVars().SourceActuelle, "") << "Non leaves no source";
  EXPECT_EQ(vrnVars().SourceAScanner, kNoSourceYet);
  EXPECT_EQ(w->MyButton10->ToolTipText(), "(Aucun pour l'Instant)");
  EXPECT_FALSE(w->Combo1->Visible());
  EXPECT_FALSE(w->MyFrame7->Visible());
  EXPECT_EQ(w->Combo1->ToolTipText(), "(0) extensions...");
  EXPECT_FALSE(w->MyButton27->Enabled());
  EXPECT_FALSE(w->timer3->Enabled());
  EXPECT_EQ(w->timer3->Interval(), 10);
  EXPECT_EQ(w->lblnbr->Caption(), "0");
  EXPECT_EQ(w->MyFrame1->Left(), 120);
  EXPECT_EQ(w->MyFrame1->Top(), 840);
  EXPECT_EQ(w->Label1->Caption(), "Faites votre Choix");
  EXPECT_TRUE(w->isVisible());
  // Saved column widths are the design widths of the nine columns.
  const int widths[] = {4000, 1440, 1440, 1440, 1440, 1400, 1000, 0, 0};
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(vrnVars().LargeursColonnes[size_t(i)], widths[i - 1]) << i;
  EXPECT_EQ(vrnVars().AutoSizeActif, 0);
}

TEST_F(StartupTest, TheHelpTextRunsParagraphsSixAndSevenTogetherAndEndsWithFourEmptyLines) {
  Main2* w = realStartWindow();
  // The nine pieces as start-up appends them, each with its line breaks.
  const QStringList pieces = {
      "Par défaut le programme Sélectionnera les Extensions de Fichiers les plus couramment utilisés...tel que les "
      "Images, les Sons, et Divers Fichiers de Travails comme Texte, Word, Excel etc...\n\n",
      "Mais si vous aviez besoin de Rechercher ou d'Afficher d'autres Extensions de Fichiers, il vous suffira de les "
      "Sélectonner en Cochant les Cases Correspondantes dans la Liste des Fichiers Disponibles à votre Gauche (Liste "
      "en Bleu).\n\n",
      "Cette Liste correspond au Résultat du SCANN du Répertoire de votre Choix.\nAinsi vous Disposerez de l'ensemble "
      "de Tous les Fichiers se Trouvant dans ce même Répertoire...\n\n",
      "Ce Répertoire peut tout aussi bien être le Lecteur Actif en le Sélectionnant par exemple-> (c:) etc..., ou "
      "tout autre Source à Annalyser...\n\n",
      "Ainsi vous Disposerez des Listes de Tous vos Fichiers Classés par Type d' extensions, présents dans ce Lecteur "
      "ou Répertoire...\n\n",
      "Lors de l'Affichage des Listes, le programme en Affichera que (24) pour éviter de surcharger l'écran comme le "
      "Gestionnaire des Tâches...",
      "Mais vous pouvez Trés bien Sélectionner les Cases à Cocher dans les Paramètres, afin de Changer le Type de "
      "Fichiers que vous souhaitez Disposer.\n\n",
      "\n\n",
      "\n\n",
  };
  EXPECT_EQ(w->Text1->Text(), pieces.join(QString()));
  EXPECT_EQ(w->Label7->Caption(),
            "    Si vous Voulez Réduire le Nombre d'extensions à Afficher...Décochez celles que vous n'avez pas besoin "
            "d'Utiliser pour l'instant...");
  EXPECT_EQ(w->MyFrame3->Caption(),
            "Saisir ICI votre Critère de Recherche\ndans Tous les Répertoires et Tous les Fichiers");
  EXPECT_EQ(w->MyButton4->ToolTipText(),
            "Cliquez ICI pour Enregistrer:\n- vos Préférences d'Extensions à Afficher\n- ainsi que vos Paramètres "
            "d'Affichage...\net vos Paramètres de Démarrage...");
}

TEST_F(StartupTest, ARemovedSourceFolderShowsOnlyTheFolderBox) {
  QTemporaryDir gone;
  const QString source = gone.path() + "/photos";
  writeDerRep(encodePath(source));
  quietOptions();
  Main2* w = realStartWindow();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbOKOnly);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "");
  EXPECT_EQ(svc->dialogs.boxes[0].text, kMissingFolderStart + source + kMissingEnd);
  EXPECT_EQ(vrnVars().SourceActuelle, source);
  EXPECT_EQ(w->Caption(), "Faire la Liste Complète de Varnelo dans (" + source + ")");
  EXPECT_TRUE(started);
}

TEST_F(StartupTest, ASourceOnAMissingMediumShowsTheDriveBoxThenTheFolderBox) {
  const QString source = "/media/nobody-varnelo-test/CLE USB/Documents";
  writeDerRep(encodePath(source));
  quietOptions();
  realStartWindow();
  ASSERT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(svc->dialogs.boxes[0].text,
            "Le Disque ou Lecteur Contenant le Répertoire ci-dessous ayant servi pour la Base de Donnée Actuelle de "
            "Tous Vos Fichiers, n'éxiste plus ou a été Déplacé...!\nRacine ou Lecteur de ce Répertoire (Manquant) "
            "ou (Déconnecté): (/media/nobody-varnelo-test/CLE USB" +
                kMissingEnd)
      << svc->dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(svc->dialogs.boxes[1].text, kMissingFolderStart + source + kMissingEnd);
  EXPECT_TRUE(started);
}

TEST_F(StartupTest, AnExistingSourceShowsNoBoxAndNamesItInTheCaption) {
  writeDerRep(encodePath(exeDir()));
  quietOptions();
  Main2* w = realStartWindow();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_EQ(w->Caption(), "Faire la Liste Complète de Varnelo dans (" + exeDir() + ")");
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (0) Fichiers\n(" + exeDir() + ")");
}

TEST_F(StartupTest, ADerRepOfBlanksActsAsAMissingOne) {
  writeFile(dbDir() + "/der.rep", QByteArray(1024, ' '));
  quietOptions();
  watchFirstRunOffer();
  realStartWindow();
  EXPECT_TRUE(onlyTheFirstRunOffer());
  EXPECT_EQ(sourceAtOffer, kNoSourceYet);
  EXPECT_EQ(captionAtOffer, "Faire la Liste Complète de Varnelo dans le Répertoire de mon Choix...");
}

TEST_F(StartupTest, AShortOrUndecodableDerRepStillGivesItsExactSource) {
  // Ten bytes: the rest of the record reads as zeros, which are no part of the path.
  writeFile(dbDir() + "/der.rep", QByteArray("/tmp      "));
  quietOptions();
  realStartWindow();
  EXPECT_EQ(vrnVars().SourceActuelle, "/tmp");
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  win.reset();

  QTemporaryDir parent;
  const QByteArray raw = encodePath(parent.path()) + "/caf\xe9";  // Latin-1 byte, not UTF-8
  ASSERT_EQ(::mkdir(raw.constData(), 0755), 0);
  writeFile(dbDir() + "/der.rep", raw.leftJustified(1024, ' '));
  realStartWindow();
  EXPECT_EQ(encodePath(vrnVars().SourceActuelle), raw);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty()) << "the folder exists under its exact bytes";
}

TEST_F(StartupTest, TheCatalogueDropsTheBareListAndNamesListsByTheirFiles) {
  writeFile(dbDir() + "/.vrn", records({"/x/README"}));
  writeFile(dbDir() + "/abc.vrn", QByteArray());
  writeFile(dbDir() + "/jpg.vrn", records({"/p/a.jpg", "/p/b.jpg"}));
  writeFile(dbDir() + "/notes.txt", "not a list");
  writeDerRep(encodePath(exeDir()));
  quietOptions();
  Main2* w = realStartWindow();
  EXPECT_FALSE(QFile::exists(dbDir() + "/.vrn"));
  ASSERT_EQ(w->LstSources->ListCount(), 2);
  EXPECT_EQ(w->LstSources->List(0), "abc");
  EXPECT_EQ(w->LstSources->List(1), "jpg");
  // Without preferred lists the list of lists ends with the common ones.
  ASSERT_EQ(w->Combo1->ListCount(), 1);
  EXPECT_EQ(w->Combo1->List(0), "jpg");
  EXPECT_EQ(w->Combo1->ListIndex(), -1);
  EXPECT_FALSE(w->LstSources->Selected(0)) << "abc is not a common list";
  EXPECT_TRUE(w->LstSources->Selected(1));
  EXPECT_TRUE(w->Combo1->Visible());
  EXPECT_TRUE(w->MyFrame7->Visible());
  EXPECT_EQ(w->Combo1->ToolTipText(), "(1) extensions...");
  EXPECT_EQ(vrnVars().NombreFichiers, 2);
}

TEST_F(StartupTest, TheTotalCountsWholeRecordsOfEveryList) {
  writeFile(dbDir() + "/a.vrn", QByteArray());
  writeFile(dbDir() + "/b.vrn", QByteArray(600, 'x'));
  writeFile(dbDir() + "/c.vrn", QByteArray(301, 'y'));
  writeDerRep(encodePath(exeDir()));
  quietOptions();
  Main2* w = realStartWindow();
  EXPECT_EQ(vrnVars().NombreFichiers, 3);
  EXPECT_EQ(w->MyButton10->Caption(), "Résultat du Scann (3) Fichiers\n(" + exeDir() + ")");
  // Counting opened every list on the list channel and left it closed.
  EXPECT_FALSE(fileChannel(kListChannel).isOpen());
}

TEST_F(StartupTest, ListFilesWithUndecodableNamesAreListedAndCounted) {
  const QByteArray name = encodePath(dbDir()) + "/\xe9t\xe9.vrn";
  ASSERT_TRUE(QDir().mkpath(dbDir()));
  const QByteArray content = records({"/a/b.\xe9t\xe9"});
  const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
  ::close(fd);
  writeDerRep(encodePath(exeDir()));
  quietOptions();
  Main2* w = realStartWindow();
  ASSERT_EQ(w->LstSources->ListCount(), 1);
  EXPECT_EQ(encodePath(w->LstSources->List(0)), QByteArray("\xe9t\xe9"));
  EXPECT_EQ(vrnVars().NombreFichiers, 1);
}

TEST_F(StartupTest, ADatabaseFolderThatIsAFileDoesNotStopStartUp) {
  writeFile(dbDir(), "I am a file");
  watchFirstRunOffer();
  Main2* w = realStartWindow();
  EXPECT_TRUE(started);
  EXPECT_TRUE(theLockBoxThenTheFirstRunOffer());
  EXPECT_TRUE(exitCodes.isEmpty());
  EXPECT_EQ(sourceAtOffer, kNoSourceYet);
  EXPECT_EQ(vrnVars().NombreFichiers, 0);
  EXPECT_EQ(readFile(dbDir()), QByteArray("I am a file"));
  EXPECT_TRUE(w->isVisible());
}

TEST_F(StartupTest, ASecondInstanceIsRefusedAndEnds) {
  // Another program holds the lock of the database, whatever the runtime folder.
  ASSERT_TRUE(QDir().mkpath(dbDir()));
  const int first = ::open(encodePath(dbDir() + "/.varnelo.lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(first, 0);
  ASSERT_EQ(::flock(first, LOCK_EX | LOCK_NB), 0);
  struct Close {
    int fd;
    ~Close() { ::close(fd); }
  } close{first};
  realStartWindow();
  EXPECT_FALSE(started);
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbExclamation);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Programme en double Détecté...");
  EXPECT_EQ(svc->dialogs.boxes[0].text,
            "Le Programme (Varnelo) est Déjà Démarré, il ne peut être en Double.\nSi vous rencontrez un Problème et "
            "que vous n'arrivez plus à le Relancer, Alors Redémarrez votre Ordinateur....");
  EXPECT_EQ(exitCodes, QList<int>{0});
  // Nothing else of start-up ran.
  EXPECT_EQ(QDir(dbDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{".varnelo.lock"});
  EXPECT_FALSE(win->isVisible());
}

TEST_F(StartupTest, TheLockOfACrashedRunIsTakenOver) {
  // A lock left by a process that no longer exists.
  writeFile(dbDir() + "/.varnelo.lock", "999999\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                                            QSysInfo::machineHostName().toUtf8() + "\n");
  realStartWindow();
  EXPECT_TRUE(started);
  EXPECT_TRUE(onlyTheFirstRunOffer()) << "no duplicate-instance box";
}

TEST_F(StartupTest, EveryRequestToCloseTheMainWindowIsRefused) {
  Main2* w = realStartWindow();
  QCloseEvent close;
  QCoreApplication::sendEvent(w, &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->Loaded());
  EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(StartupTest, AReadOnlyExecutableFolderDoesNotStopStartUp) {
  // A read-only file system over the executable folder: nothing can be created.
  const SmallFileSystem disk(encodePath(exeDir()), "64k", MS_RDONLY);
  if (!disk.mounted()) GTEST_SKIP() << "mounting a read-only file system is not permitted here";
  watchFirstRunOffer();
  Main2* w = realStartWindow();
  EXPECT_TRUE(started);
  EXPECT_FALSE(QDir(dbDir()).exists());
  EXPECT_TRUE(theLockBoxThenTheFirstRunOffer());
  EXPECT_EQ(sourceAtOffer, kNoSourceYet);
  EXPECT_EQ(w->Combo1->ListCount(), 0);
  EXPECT_EQ(headerAtOffer, "Résultat du Scann (0) Fichiers\n(Aucun pour l'Instant)");
  EXPECT_TRUE(w->isVisible());
}

// The program's folder comes from the executable's own path bytes (here a
// link of the test's standing for /proc/self/exe).
class ExecutableFolderTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    ASSERT_TRUE(place.isValid());
    savedLink_ = executableLink();
    setAppFolderForTests(QString());  // no folder given: the link is read
  }
  void TearDown() override {
    executableLink() = savedLink_;
    StartupTest::TearDown();
  }
  QTemporaryDir place;

 private:
  QByteArray savedLink_;
};

TEST_F(ExecutableFolderTest, AFolderNamedWithByteE9HoldsTheDatabaseAndTheAutostartEntry) {
  const QByteArray folder = encodePath(place.path()) + "/Programme \xe9t\xe9";
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  const int fd = ::open((folder + "/Varnelo").constData(), O_WRONLY | O_CREAT | O_EXCL, 0755);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const QByteArray link = encodePath(place.path()) + "/exe";
  ASSERT_EQ(::symlink((folder + "/Varnelo").constData(), link.constData()), 0);
  executableLink() = link;

  realStartWindow();  // the first run: the offer answered Non, then the defaults
  ASSERT_TRUE(started);
  struct stat st;
  EXPECT_EQ(::stat((folder + "/BDVRN/der.rep").constData(), &st), 0);
  EXPECT_EQ(::stat((folder + "/BDVRN/affp.aff").constData(), &st), 0);
  // The default options start the program with the session: the entry names
  // the program by its exact bytes.
  ASSERT_EQ(svc->registry.values.size(), 1);
  EXPECT_EQ(encodePath(svc->registry.values.first()), '"' + folder + "/Varnelo\"");
  win.reset();
  ::system(("rm -rf '" + folder + "'").constData());  // Qt cannot name these bytes
}

TEST_F(ExecutableFolderTest, AnExecutableWhoseFolderCannotBeFoundSaysSoAndStops) {
  executableLink() = encodePath(place.path()) + "/no-such-link";
  const QString current = QDir::currentPath();
  const bool rootHadOne = QFileInfo::exists("/BDVRN"), currentHadOne = QFileInfo::exists("BDVRN");
  realStartWindow();
  EXPECT_FALSE(started);
  EXPECT_EQ(exitCodes, QList<int>{1});
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbCritical);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Dossier du Programme Introuvable...");
  EXPECT_EQ(svc->dialogs.boxes[0].text,
            "Le Programme (Varnelo) ne Trouve pas le Dossier où il est Installé, il ne peut donc pas y Ranger sa "
            "Base de Donnée (BDVRN).\nRelancez le Programme depuis son Dossier d'Installation....");
  EXPECT_EQ(QFileInfo::exists("/BDVRN"), rootHadOne);
  EXPECT_EQ(QFileInfo::exists(current + "/BDVRN"), currentHadOne);
  EXPECT_FALSE(win->isVisible());
}
