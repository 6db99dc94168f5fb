// The list sets: common and all lists read from the catalogue, the three set
// commands with their page-limit notice, and the select-all box.
#include <QFile>

#include "database/extensiontables.h"
#include "tests/mainwindow/options_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {
const QString kNoticeTitle = "Limiter le Nombre de Pages...";
QString notice(int count) {
  return "Vous avez Sélectionné (" + QString::number(count) +
         ") Pages à Afficher...\nMais pour éviter de Saturer l'écran et la Barre des Tâches, le programme "
         "n'affichera que les (24 premières) par Ordre Alphabétique...\nSi vous voulez en Ajouter d'autres , vous "
         "pourrez le faire en Manuel...";
}
}  // namespace

class ListSetsTest : public OptionsWindowTest {
 protected:
  void makeLists(const QStringList& names) {
    for (const QString& n : names) writeFile(dbDir() + "/" + n + ".vrn", QByteArray());
  }
  // Counts as if nothing had loaded them yet.
  static void forgetCounts() {
    vrnVars().NbExtensionsPreferees.reset();
    vrnVars().NbExtensionsCourantes.reset();
    vrnVars().NbExtensionsTotal.reset();
  }
};

TEST_F(ListSetsTest, CommonAndAllListsOfAviExeMp3) {
  makeLists({"avi", "exe", "mp3"});
  Main2* w = startQuiet();
  ASSERT_EQ(w->LstSources->ListCount(), 3);
  forgetCounts();
  tickAll(w->LstSources, {false, true, false});

  w->ChargerListesCourantes();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, false, true}));
  EXPECT_EQ(vrnVars().NbExtensionsCourantes, 2);
  EXPECT_EQ(w->Combo1->ToolTipText(), "(2) extensions...");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (2) Listes Couramment Utilisées Disponibles");
  EXPECT_EQ(w->Label10->Caption(), "(2/3) extensions");
  EXPECT_EQ(w->mnAfficherTout->Caption(), "Afficher les Extensions (les plus Couramment Utilisées) Disponibles (2)");
  EXPECT_EQ(w->mnToutesExtenInit->Caption(), "Afficher Toutes les Extensions pour (Initiés) Disponibles ()")
      << "not counted yet";
  EXPECT_EQ(w->mnAF1->Caption(), "Afficher que ma Sélection D'extensions (Préférées) Disponibles ()");

  w->ChargerToutesListes();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "exe", "mp3"}));
  EXPECT_EQ(comboItems(w->Combo10), (QStringList{" ", "avi", "exe", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, true, true}));
  EXPECT_EQ(vrnVars().NbExtensionsTotal, 3);
  EXPECT_EQ(w->Combo1->ToolTipText(), "(3) extensions...");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (3) Listes Disponibles pour Initiés");
  EXPECT_EQ(w->Label10->Caption(), "(3/3) extensions");
  EXPECT_EQ(w->mnToutesExtenInit->Caption(), "Afficher Toutes les Extensions pour (Initiés) Disponibles (3)");
  EXPECT_EQ(w->mnAfficherTout->Caption(), "Afficher les Extensions (les plus Couramment Utilisées) Disponibles (2)");

  // A list file that appears later is read by the next load; the ticks go
  // by position, so they land on the neighbours and the last one is lost.
  makeLists({"aaa"});
  w->ChargerListesCourantes();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{false, true, false}));
}

TEST_F(ListSetsTest, UpperCaseNamesAndTheBareList) {
  makeLists({"avi", "MP3"});
  Main2* w = startQuiet();
  ASSERT_EQ(w->LstSources->ListCount(), 2);
  forgetCounts();
  tickAll(w->LstSources, {false, false});
  w->ChargerListesCourantes();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, true}));
  w->ChargerToutesListes();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));

  // The bare ".vrn" comes first in the catalogue: the common reader skips it
  // and its position keeps its tick, so the later ticks move one place on and
  // the last one falls past the end.
  writeFile(dbDir() + "/.vrn", QByteArray());
  tickAll(w->LstSources, {false, false});
  w->ChargerListesCourantes();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{false, true}));
  EXPECT_EQ(w->Label10->Caption(), "(2/2) extensions");

  // The all-lists reader offers it as an empty item and counts it.
  w->ChargerToutesListes();
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"", "avi", "mp3"}));
  EXPECT_EQ(comboItems(w->Combo10), (QStringList{" ", "", "avi", "mp3"}));
  EXPECT_EQ(vrnVars().NbExtensionsTotal, 3);
  EXPECT_EQ(w->Label10->Caption(), "(3/2) extensions");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (2) Listes Disponibles pour Initiés");
}

TEST_F(ListSetsTest, AnEmptyDatabaseOffersNothingAndNoNotice) {
  Main2* w = startQuiet();
  forgetCounts();
  w->mnAfficherTout->click();
  EXPECT_EQ(w->Combo1->ListCount(), 0);
  EXPECT_EQ(vrnVars().NbExtensionsCourantes, 0);
  EXPECT_EQ(w->Label10->Caption(), "(0/0) extensions");
  w->mnToutesExtenInit->click();
  EXPECT_EQ(comboItems(w->Combo10), QStringList{" "});
  EXPECT_EQ(vrnVars().NbExtensionsTotal, 0);
  EXPECT_EQ(w->mnToutesExtenInit->Caption(), "Afficher Toutes les Extensions pour (Initiés) Disponibles (0)");
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
}

TEST_F(ListSetsTest, TheSetCommandsAndTheNoticeFromTwentyFivePages) {
  const QStringList common = commonExtensionEntries();
  makeLists(common.mid(0, 24) + QStringList{"exe"});
  Main2* w = startQuiet();
  forgetCounts();
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  w->setWidth(Main2::kWideWidth);

  w->mnAfficherTout->click();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty()) << "24 pages: no notice";
  EXPECT_EQ(vrnVars().ModeListes, kCommonListSet);
  EXPECT_EQ(w->Combo1->ListCount(), 24);
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_EQ(w->Height(), Main2::kCompactHeight);
  EXPECT_EQ(w->Left(), (Screen::Width() - Main2::kCompactWidth) / 2);
  EXPECT_EQ(svc->audio.plays, 1);

  makeLists({common[24]});
  w->mnAfficherTout_Click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbInformation);
  EXPECT_EQ(svc->dialogs.boxes[0].title, kNoticeTitle);
  EXPECT_EQ(svc->dialogs.boxes[0].text, notice(25));
  EXPECT_EQ(w->Combo1->ListCount(), 25) << "the notice only informs";

  w->Check15->setValue(0);
  w->mnToutesExtenInit->click();
  EXPECT_EQ(vrnVars().ModeListes, kAllListSet);
  ASSERT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(svc->dialogs.boxes[1].text, notice(26));
  EXPECT_EQ(svc->audio.plays, 2) << "no sound with the option off";

  // No preferred list: no notice, whatever the list of lists holds.
  QFile::remove(mesp());
  w->mnAF1->click();
  EXPECT_EQ(vrnVars().ModeListes, kPreferredListSet);
  EXPECT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(w->Combo1->ListCount(), 26) << "an empty preferred file loads nothing";

  // Twenty-five preferred lists: the notice counts them.
  QByteArray stored;
  for (const QString& name : common.mid(0, 24) + QStringList{"exe"}) stored += name.toUtf8().leftJustified(30, ' ');
  writeFile(mesp(), stored);
  w->mnAF1_Click();
  EXPECT_EQ(vrnVars().NbExtensionsPreferees, 25);
  ASSERT_EQ(svc->dialogs.boxes.size(), 3);
  EXPECT_EQ(svc->dialogs.boxes[2].text, notice(25));
}

TEST_F(ListSetsTest, TheSelectAllBoxFillsOrEmptiesTheListOfLists) {
  makeLists({"avi", "exe", "mp3"});
  Main2* w = startQuiet();
  tickAll(w->LstSources, {true, false, false});
  w->Combo1->Clear();
  w->Combo1->AddItem("avi");
  w->Check1->setValue(2);  // grey: nothing more
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, false, false}));
  w->Combo1->AddItem("too");
  w->Check1->setValue(1);
  EXPECT_EQ(comboItems(w->Combo1), (QStringList{"avi", "exe", "mp3"}));
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{true, true, true}));
  EXPECT_EQ(w->Combo1->ToolTipText(), "(3) extensions...");

  w->Combo1->setToolTipText("before");
  w->Check1->click();  // the user unticks it
  EXPECT_EQ(w->Check1->Value(), 0);
  EXPECT_EQ(w->Combo1->ListCount(), 0);
  EXPECT_EQ(ticks(w->LstSources), (QList<bool>{false, false, false}));
  EXPECT_EQ(w->Combo1->ToolTipText(), "before") << "emptying leaves the tooltip";
}
