// The second half of start-up: options applied, the first-run offer, the scan
// and the pages at start, the view choosers and the closing texts.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "pages/FormEssai.h"
#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"
#include "support/touslesdossierssystem.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {
// Flags 1 to 7 on, then the given flags 8 to 14, then the filler.
QByteArray optionsWith(const char* flags8to14) { return QByteArray("1111111") + flags8to14 + QByteArray(16, '0'); }
}  // namespace

class StartOptionsTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    ASSERT_TRUE(source.isValid());
    ASSERT_TRUE(home.isValid());
    oldHome_ = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
  }
  void TearDown() override {
    closeEveryPage();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qputenv("HOME", oldHome_);
    Main2Test::TearDown();
  }
  void storeSource(const QString& folder) {
    writeFile(dbDir() + "/der.rep", encodePath(folder).leftJustified(1024, ' '));
  }
  void storeOptions(const char* flags8to14) { writeFile(dbDir() + "/affp.aff", optionsWith(flags8to14)); }
  QString file(const QTemporaryDir& dir, const QString& relative) {
    const QString p = dir.path() + "/" + relative;
    writeFile(p, "x");
    return p;
  }
  void writeList(const QString& name, const QStringList& paths) {
    QList<QByteArray> bytes;
    for (const QString& p : paths) bytes << encodePath(p);
    writeFile(dbDir() + "/" + name + ".vrn", records(bytes));
  }
  QStringList pageCaptions() const {
    QStringList out;
    for (Form* f : loadedPages()) out << f->Caption();
    return out;
  }
  QTemporaryDir source, home;

 private:
  QByteArray oldHome_;
};

TEST_F(StartOptionsTest, FirstRunYesScansTheProfileWithoutAskingThenAppliesTheDefaults) {
  file(home, "notes.txt");
  file(home, "Documents/lettre.txt");
  file(home, "Images/photo.jpg");
  svc->dialogs.answers = {vbYes};
  Main2* w = realStartWindow();
  ASSERT_TRUE(started);
  ASSERT_GE(svc->dialogs.boxes.size(), 1);
  const ShownBox& offer = svc->dialogs.boxes[0];
  EXPECT_EQ(offer.style, vbInformation + vbYesNo);
  EXPECT_EQ(offer.title, "Choix de la Source à Scanner...");
  const QString user = offer.text.section("(", 1, 1).section(")", 0, 0);
  EXPECT_FALSE(user.isEmpty());
  EXPECT_EQ(offer.text,
            "Actuellement il n'y a Aucune Source à Scanner de Définie...\nJe Vous propose de SCANNER le "
            "Profile Actif de (" +
                user +
                ")\nde votre Ordinateur, Cliquez sur (Oui)...?\nNon je préfère "
                "Choisir moi-même l'Endroit à SCANNER..(Non)...?");
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty()) << "the profile is scanned without the browser";
  EXPECT_EQ(readFile(dbDir() + "/der.rep").trimmed(), encodePath(home.path()) + "/");
  EXPECT_EQ(readFile(dbDir() + "/txt.vrn").size(), 600);
  EXPECT_EQ(readFile(dbDir() + "/jpg.vrn").size(), 300);
  EXPECT_TRUE(w->Caption().startsWith(" - (3 Fichiers) Obtenus en "));
  // The defaults, written and applied: start with the computer among them.
  EXPECT_EQ(readFile(dbDir() + "/affp.aff"), QByteArray("011111111110110000000000000000"));
  EXPECT_EQ(w->Check14->Value(), 1);
  EXPECT_GE(svc->registry.writes, 1);
  EXPECT_EQ(w->mnScannProfile->Caption(), "Scanner le Profile Complet de (" + user + ")");
  // Lists at start is a default: the common lists open as pages in the task bar.
  EXPECT_EQ(pageCaptions(), (QStringList{"jpg (1)", "txt (2)"}));
  for (Form* f : loadedPages()) EXPECT_EQ(f->WindowState(), vbMinimized);
  EXPECT_EQ(w->ListView2->Count(), 0);
  EXPECT_FALSE(w->ListView2->Visible());
  EXPECT_EQ(w->Label2->Caption(), "Faites votre Choix");
}

// A first run whose profile folder cannot be scanned, or is not there at
// all: the scan is refused before the window changes, and the next press of
// the scan button or of "Choisir moi Même la Source à Scanner" opens the
// browser.
TEST_F(StartOptionsTest, FirstRunYesWithAProfileThatCannotBeScannedLeavesTheWindowUsable) {
  const QString scanTitle = "Sélectionner le Disque, Lecteur, Répertoire à SCANNER...";
  struct Case {
    const char* what;
    // Makes the profile folder; false when this machine would scan it all the same.
    std::function<bool(const QByteArray& profile)> make;
  };
  const Case cases[] = {
      {"a profile whose path der.rep cannot hold",
       [](const QByteArray& profile) {
         QByteArray deep = profile;
         while (deep.size() <= 1024) deep += "/" + QByteArray(200, 'p');
         return QDir().mkpath(decodePath(deep)) && qputenv("HOME", deep);
       }},
      {"a profile folder that cannot be opened",
       [](const QByteArray& profile) {
         // The owner's permission bits do not stop root.
         return ::geteuid() != 0 && QDir().mkpath(decodePath(profile)) && ::chmod(profile.constData(), 0) == 0;
       }},
      {"no profile folder at all", [](const QByteArray&) { return true; }},
  };
  int ran = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    win.reset();
    svc->dialogs.boxes.clear();
    svc->dialogs.browserTitles.clear();
    QDir(dbDir()).removeRecursively();
    const QByteArray profile = encodePath(home.path()) + "/profile-" + QByteArray::number(ran);
    qputenv("HOME", profile);
    if (!c.make(profile)) continue;
    ++ran;
    svc->dialogs.answers = {vbYes};
    Main2* w = realStartWindow();
    ASSERT_TRUE(started);
    ASSERT_EQ(svc->dialogs.boxes.size(), 2);
    EXPECT_EQ(svc->dialogs.boxes[0].title, "Choix de la Source à Scanner...");
    EXPECT_EQ(svc->dialogs.boxes[1].text, "Dossier Incorect");
    EXPECT_EQ(svc->dialogs.boxes[1].title, "Refaire...");
    EXPECT_EQ(QFile(dbDir() + "/der.rep").size(), 0) << "nothing was scanned";
    EXPECT_EQ(vrnVars().SourceActuelle, "") << "no source: the next press asks";
    EXPECT_NE(w->MyButton6->Caption(), "Arrêter le Scann") << "the scan's first step never ran";
    EXPECT_FALSE(w->MyButton6->Enabled()) << "nothing runs";

    // The same refusal in a wide window changes nothing in it.
    w->setWidthCentred(Main2::kWideWidth);
    vrnVars().SourceActuelle = kNoSourceYet;
    vrnVars().SourceAScanner = CheminDossierSpecial(40);
    svc->dialogs.boxes.clear();
    const WindowSnapshot before = snapshot();
    w->Command1->click();
    expectOnlyChanged(before, {{"Dialogs", "Boxes"}});
    ASSERT_EQ(svc->dialogs.boxes.size(), 1);
    EXPECT_EQ(svc->dialogs.boxes[0].text, "Dossier Incorect");

    // Both roads now open the browser (cancelled here).
    w->Command1->click();
    EXPECT_EQ(svc->dialogs.browserTitles, QStringList{scanTitle});
    w->mnChoixPerso->click();
    EXPECT_EQ(svc->dialogs.browserTitles, QStringList({scanTitle, scanTitle}));
    EXPECT_EQ(svc->dialogs.boxes.size(), 1);
    ::chmod(profile.constData(), 0755);
  }
  EXPECT_GE(ran, 1);
}

TEST_F(StartOptionsTest, BeforeTheFirstRunOfferTheDefaultsAndTheCommonListsAreInPlace) {
  // What the first run has done when its offer shows.
  struct AtOffer {
    bool seen = false, mesParExists = false, combo7Filled = false, shown = true;
    QByteArray options;
    int check14 = -1, registryWrites = -1, modeListes = -1;
    QString profileItem;
  } at;
  svc->dialogs.onBox = [&](const ShownBox& box) {
    if (box.title != "Choix de la Source à Scanner..." || at.seen) return;
    at.seen = true;
    at.mesParExists = QFile::exists(dbDir() + "/mesp.par");
    at.options = readFile(dbDir() + "/affp.aff");
    at.check14 = win->Check14->Value();
    at.registryWrites = svc->registry.writes;
    at.modeListes = vrnVars().ModeListes;
    at.combo7Filled = win->Combo7->ListCount() > 0;
    at.profileItem = win->mnScannProfile->Caption();
    at.shown = win->isVisible();
  };
  svc->dialogs.answers = {vbNo};
  realStartWindow();
  ASSERT_TRUE(at.seen);
  EXPECT_TRUE(at.mesParExists);
  EXPECT_EQ(at.options, QByteArray("011111111110110000000000000000"));
  EXPECT_EQ(at.check14, 1);
  EXPECT_EQ(at.registryWrites, 1) << "ticking the start-with-the-computer box wrote the autostart value";
  EXPECT_EQ(at.modeListes, kCommonListSet) << "no preferred list: the common set";
  EXPECT_TRUE(at.combo7Filled);
  EXPECT_TRUE(at.profileItem.startsWith("Scanner le Profile Complet de ("));
  EXPECT_FALSE(at.shown) << "the offer comes before the window is shown";
  EXPECT_EQ(vrnVars().SourceActuelle, "") << "Non: no source, the browser was offered";
}

TEST_F(StartOptionsTest, TheScanAtStartRunsOnAKnownSourceWithoutTheBrowser) {
  file(source, "a.pdf");
  file(source, "b.pdf");
  storeSource(source.path());
  storeOptions("1100000");  // details on, scan at start on
  Main2* w = realStartWindow();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
  EXPECT_EQ(readFile(dbDir() + "/pdf.vrn").size(), 600);
  EXPECT_TRUE(w->Caption().startsWith(" - (2 Fichiers) Obtenus en "));
  EXPECT_EQ(vrnVars().SourceActuelle, source.path());
  EXPECT_EQ(w->Check11->ToolTipText(), "Scanner au Démarrage dans (" + source.path() + ")");
}

TEST_F(StartOptionsTest, TheScanAtStartNeedsASource) {
  storeOptions("1100000");
  realStartWindow();
  // No source yet: the first-run offer instead (Non: the browser, cancelled).
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Choix de la Source à Scanner...");
  EXPECT_EQ(svc->dialogs.browserTitles.size(), 1);
  EXPECT_EQ(QFile(dbDir() + "/der.rep").size(), 0) << "nothing was scanned";
}

TEST_F(StartOptionsTest, ThePreferredListsOpenAsMinimisedPagesAtStart) {
  writeList("txt", {file(source, "a.txt"), file(source, "b.txt")});
  writeList("jpg", {file(source, "c.jpg")});
  writeList("exe", {file(source, "d.exe")});
  writeFile(dbDir() + "/mesp.par", records({"txt", "exe"}, 30));
  storeSource(source.path());
  storeOptions("1010000");  // details on, lists at start on
  Main2* w = realStartWindow();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  EXPECT_EQ(vrnVars().ModeListes, kPreferredListSet);
  ASSERT_EQ(w->Combo1->ListCount(), 2);
  EXPECT_EQ(w->Combo1->List(0), "exe");
  EXPECT_EQ(w->Combo1->List(1), "txt");
  EXPECT_EQ(pageCaptions(), (QStringList{"exe (1)", "txt (2)"}));
  for (Form* f : loadedPages()) EXPECT_EQ(f->WindowState(), vbMinimized);
  EXPECT_EQ(w->ListView2->Count(), 0);
  EXPECT_FALSE(w->ListView2->Visible());
  for (QWidget* c : std::initializer_list<QWidget*>{w->Command4, w->Command5, w->Command8, w->Command11})
    EXPECT_TRUE(c->isHidden());
  EXPECT_EQ(w->Label10->Caption(), "(2/3) extensions");
  EXPECT_EQ(w->Combo1->ToolTipText(), "(2) extensions...");
}

TEST_F(StartOptionsTest, APreferredFileWithoutAWholeRecordStartsOnTheCommonLists) {
  writeList("txt", {file(source, "a.txt")});
  writeList("exe", {file(source, "d.exe")});
  writeFile(dbDir() + "/mesp.par", "txt");  // cut short: not one whole record
  storeSource(source.path());
  storeOptions("1000000");
  Main2* w = realStartWindow();
  EXPECT_FALSE(vrnVars().NbExtensionsPreferees.has_value());
  EXPECT_EQ(vrnVars().ModeListes, kCommonListSet);
  ASSERT_EQ(w->Combo1->ListCount(), 1);
  EXPECT_EQ(w->Combo1->List(0), "txt");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (1) Listes Couramment Utilisées Disponibles");
}

TEST_F(StartOptionsTest, TheAutostartValueFollowsItsStoredFlagAtEveryStart) {
  storeSource(source.path());
  storeOptions("0001000");  // start with the computer on
  realStartWindow();
  EXPECT_EQ(svc->registry.writes, 1);
  EXPECT_EQ(svc->registry.deletes, 0);
  EXPECT_FALSE(svc->registry.values.isEmpty());
  win.reset();

  svc->registry.writes = 0;
  svc->registry.values.clear();
  storeOptions("0000000");
  realStartWindow();
  EXPECT_EQ(svc->registry.writes, 0) << "an unset flag neither writes";
  EXPECT_EQ(svc->registry.deletes, 0) << "nor deletes the value";
}

TEST_F(StartOptionsTest, StartMinimisedAndTheViewChoosers) {
  storeSource(source.path());
  storeOptions("0000100");  // start minimised
  Main2* w = realStartWindow();
  EXPECT_EQ(w->WindowState(), vbMinimized);
  ASSERT_EQ(w->Combo2->ListCount(), 4);
  EXPECT_EQ(w->Combo2->List(0), "Grandes Icônes");
  EXPECT_EQ(w->Combo2->List(1), "Petite Icônes");
  EXPECT_EQ(w->Combo2->ItemDataAt(3), 3);
  EXPECT_EQ(w->Combo2->ListIndex(), 3);
  ASSERT_EQ(w->Combo3->ListCount(), 3);
  EXPECT_EQ(w->Combo3->ListIndex(), 1);
  EXPECT_EQ(w->Combo3->ItemDataAt(2), 0);
  // "Détails" then "Left": the list ends in the small-icon view until a load.
  EXPECT_EQ(w->ListView2->View(), ListView::lvwSmallIcon);
}

TEST_F(StartOptionsTest, MoreThan24CommonListsShowThePageLimitNoticeAtStartWithoutSound) {
  const char* common[] = {"aac", "avi",  "bmp", "doc", "flv",     "gif", "gz",  "htm", "html",
                          "jpe", "jpeg", "jpg", "mkv", "mov",     "mp3", "pdf", "png", "pps",
                          "ppt", "rar",  "swf", "tar", "torrent", "txt", "wav"};
  for (const char* ext : common) writeFile(dbDir() + "/" + ext + ".vrn", QByteArray());
  storeSource(source.path());
  storeOptions("0000010");  // sounds on once the options are applied
  svc->audio.devices = 1;
  Main2* w = realStartWindow();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbInformation);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Limiter le Nombre de Pages...");
  EXPECT_TRUE(svc->dialogs.boxes[0].text.startsWith("Vous avez Sélectionné (25) Pages à Afficher...\n"));
  EXPECT_EQ(svc->audio.plays, 0) << "the options were not applied yet when the notice came";
  EXPECT_EQ(w->Check15->Value(), 1);
  EXPECT_EQ(w->Combo1->ListCount(), 25);
  EXPECT_EQ(w->Label10->Caption(), "(25/25) extensions");
}
