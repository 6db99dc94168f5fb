// Page management from the main window: one page at a time on screen or in
// the task bar, the cascade, and the automatic display of every list.
#include <QSet>
#include <QTimer>
#include <functional>

#include "tests/pages/pages_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

QString question(const QString& opening, int open, int preferred) {
  return opening + QString::number(open) + ") Pages Affichées, mais votre Liste de Sélection en contient (" +
         QString::number(preferred) +
         ").\nQue dois-je faire...\nTout Recharger Cliquer sur (Oui)...?\nNon Laisser comme ça Cliquer sur (Non)...?";
}

}  // namespace

class ManagementTest : public PagesTest {
 protected:
  // `count` lists named l01, l02... of one existing file each, offered in order.
  Main2* startWithLists(int count, int filesEach = 1) {
    QStringList names;
    for (int i = 1; i <= count; ++i) {
      names << QString("l%1").arg(i, 2, 10, QChar('0'));
      writeListOf(names.last(), filesEach);
    }
    Main2* w = start();
    offer(names);
    return w;
  }
  static QList<int> states() {
    QList<int> out;
    for (Form* f : loadedPages()) out << f->WindowState();
    return out;
  }
};

TEST_F(ManagementTest, ThePageButtonsOpenAPageOnceAndFindItAgainByItsCaption) {
  writeListOf("html", 2);
  writeListOf("txt", 1);
  Main2* w = start();
  offer({"htm", "html", "txt"});
  pick("html");
  w->Command11->click();
  ASSERT_EQ(captions(), QStringList{"html (2)"});
  EXPECT_EQ(vrnVars().NbFenetresCascade, 1);

  // The same list again: the page comes up maximised, nothing opens.
  w->Command11->click();
  EXPECT_EQ(captions(), QStringList{"html (2)"});
  EXPECT_EQ(states(), QList<int>{vbMaximized});
  EXPECT_EQ(vrnVars().FenetreDejaOuverte, kYes);
  EXPECT_EQ(vrnVars().NbFenetresListes, 1);
  EXPECT_EQ(vrnVars().NbFenetresCascade, 1);

  // htm is found in the page of html: only the caption's start is compared.
  pages()[0]->setWindowState(vbMinimized);
  choose("htm");
  w->Command8->click();
  EXPECT_EQ(captions(), QStringList{"html (2)"});
  EXPECT_EQ(states(), QList<int>{vbMaximized});

  // The task-bar button opens a minimised page and leaves the cascade alone.
  pick("txt");
  const int left = vrnVars().PosGaucheFenetre, top = vrnVars().PosHautFenetre;
  w->Command8->click();
  EXPECT_EQ(captions(), QStringList({"html (2)", "txt (1)"}));
  EXPECT_EQ(states(), QList<int>({vbMaximized, vbMinimized}));
  EXPECT_EQ(vrnVars().PosGaucheFenetre, left);
  EXPECT_EQ(vrnVars().PosHautFenetre, top);
  EXPECT_EQ(vrnVars().NbFenetresCascade, 1);
  EXPECT_EQ(vrnVars().FenetreDejaOuverte, "");
}

TEST_F(ManagementTest, SearchResultPagesAreFoundByTheirExactCaption) {
  Main2* w = start();
  vrnVars().ModeRecherche = kYes;
  w->Text2->setText("facture");
  for (int i = 1; i <= 5; ++i) addFileRow(w->ListView2, QString("/x/facture%1.pdf").arg(i), i);
  w->Command11->click();
  w->Command11->click();
  EXPECT_EQ(captions(), QStringList{"facture (5)"});
  EXPECT_EQ(states(), QList<int>{vbMaximized});

  // Another count is another search result.
  w->ListView2->Clear();
  addFileRow(w->ListView2, "/x/facture.pdf", 1);
  w->Command8->click();
  EXPECT_EQ(captions(), QStringList({"facture (5)", "facture (1)"}));
}

TEST_F(ManagementTest, OnATallScreenElevenPagesFillAColumnAndTheTwelfthStartsTheNext) {
  Main2* w = startWithLists(0);
  QStringList names;
  for (int i = 1; i <= 13; ++i) names << QString("m%1").arg(i, 2, 10, QChar('0'));
  offer(names);
  w->Command14_Click();
  QList<QPoint> placed;
  for (const QString& n : names) {
    choose(n);
    w->showPageOnScreen(11520);
    placed << QPoint(pages().last()->Left(), pages().last()->Top());
  }
  ASSERT_EQ(pages().size(), 13);
  for (int k = 0; k < 11; ++k) EXPECT_EQ(placed[k], QPoint(100, 100 + 943 * k)) << k;
  EXPECT_EQ(placed[10].y(), 9530);
  EXPECT_EQ(placed[11], QPoint(3070, 100));
  EXPECT_EQ(placed[12], QPoint(3070, 1043));
  EXPECT_EQ(vrnVars().NbFenetresCascade, 13);
  for (FormEssai* p : pages()) EXPECT_EQ(p->WindowState(), vbNormal);

  // Closing every page from the main window starts again from the corner.
  w->mnToutEnlever->click();
  EXPECT_TRUE(loadedPages().isEmpty());
  choose("m01");
  w->showPageOnScreen(11520);
  EXPECT_EQ(QPoint(pages()[0]->Left(), pages()[0]->Top()), QPoint(0, 0));
}

TEST_F(ManagementTest, FiveListsOpenOnScreenOneAfterAnotherWithTheirStatus) {
  Main2* w = startWithLists(5, 2);
  listLoadEventSliceMs() = 0;
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  // A page left from before is closed first.
  pick("l03");
  w->Command8->click();
  vrnVars().NbExtensionsPreferees.reset();
  QSet<QString> seen;  // list being loaded -> status shown meanwhile
  {
    EveryTurn watch([&] {
      if (vrnVars().ModeAffichageAuto == kAutoPagesOnScreen)
        seen.insert(w->Combo1->Text() + " " + w->lblAffich->Caption());
    });
    w->mnAfficherEcran_Click();
  }
  // It was one page open and no preferred list: the page was only restored.
  EXPECT_EQ(captions(), QStringList{"l03 (2)"});
  EXPECT_TRUE(seen.isEmpty());

  w->mnToutEnlever->click();
  {
    EveryTurn watch([&] {
      if (vrnVars().ModeAffichageAuto == kAutoPagesOnScreen)
        seen.insert(w->Combo1->Text() + " " + w->lblAffich->Caption());
    });
    w->mnAfficherEcran->click();
  }
  EXPECT_EQ(captions(), QStringList({"l01 (2)", "l02 (2)", "l03 (2)", "l04 (2)", "l05 (2)"}));
  const int h = pageHeightFor(Screen::Height());
  ASSERT_LT(100 + 5 * h, Screen::Height() - 2 * h) << "the screen holds five pages in one column";
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(pages()[k]->Left(), 100);
    EXPECT_EQ(pages()[k]->Top(), 100 + k * h);
    EXPECT_EQ(pages()[k]->WindowState(), vbNormal);
    EXPECT_EQ(pages()[k]->ListView2->Count(), 2);
  }
  EXPECT_TRUE(seen.contains("l02 édition de mes Listes Préférées (2/5)"));
  EXPECT_TRUE(seen.contains("l05 édition de mes Listes Préférées (5/5)"));
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (5) Listes Préférées");
  EXPECT_EQ(svc->audio.lastRate, 22050) << "the end of the walk plays the second sound last";
  EXPECT_FALSE(w->MyButton6->Enabled());
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter l'Opération en Cours");
  EXPECT_EQ(w->Combo1->Text(), "l05");
  EXPECT_EQ(w->ListView2->Count(), 2) << "the main list shows the last list";
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_EQ(vrnVars().ModeAffichageAuto, kNoAutoDisplay);
  EXPECT_EQ(vrnVars().DernierIndexAuto, 0);
  EXPECT_EQ(vrnVars().NbFenetresCascade, 5);
}

TEST_F(ManagementTest, WithNoPageTheTaskBarDisplayOpensOnScreenThenAgainMinimised) {
  Main2* w = startWithLists(3);
  listLoadEventSliceMs() = 0;
  QList<int> modes;
  {
    EveryTurn watch([&] {
      const int m = vrnVars().ModeAffichageAuto;
      if (m != kNoAutoDisplay && (modes.isEmpty() || modes.last() != m)) modes << m;
    });
    w->mnAfficherSystray->click();
  }
  EXPECT_EQ(modes, QList<int>({kAutoPagesOnScreen, kAutoPagesInTaskBar}));
  EXPECT_EQ(captions(), QStringList({"l01 (1)", "l02 (1)", "l03 (1)"}));
  EXPECT_EQ(states(), QList<int>({vbMinimized, vbMinimized, vbMinimized}));
  EXPECT_EQ(vrnVars().NbPagesOuvertes, 0);
  EXPECT_EQ(vrnVars().PosHautFenetre, 100) << "task-bar pages take no cascade place";
  EXPECT_EQ(vrnVars().NbFenetresCascade, 0);
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (3) Listes Préférées");

  // With pages open and no more preferred lists, they are only minimised.
  pages()[0]->setWindowState(vbNormal);
  vrnVars().NbExtensionsPreferees = 3;
  w->mnAfficherSystray_Click();
  EXPECT_EQ(states(), QList<int>({vbMinimized, vbMinimized, vbMinimized}));
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
}

TEST_F(ManagementTest, ThirtyListsGiveTwentyFourPagesAndTheWalkStopsAtTheNext) {
  Main2* w = startWithLists(30);
  w->Command12->click();
  ASSERT_EQ(pages().size(), 24);
  EXPECT_EQ(captions().last(), "l24 (1)");
  EXPECT_EQ(w->Combo1->Text(), "l25") << "the 25th list is loaded without a page";
  EXPECT_EQ(w->ListView2->Count(), 1);
  EXPECT_EQ(vrnVars().NbFenetresListes, 0);
  EXPECT_EQ(vrnVars().DernierIndexAuto, 0);
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (30) Listes Préférées");
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());

  // The same in the task bar, which starts by closing the pages.
  w->Command9->click();
  ASSERT_EQ(pages().size(), 24);
  EXPECT_EQ(states(), QList<int>(24, vbMinimized));
  EXPECT_EQ(w->Combo1->Text(), "l25");
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
}

TEST_F(ManagementTest, TheDisplayMenuAsksWhenFewerPagesThanPreferredListsAreOpen) {
  Main2* w = startWithLists(5);
  for (const char* n : {"l01", "l02", "l03"}) {
    pick(n);
    w->Command8->click();
  }
  vrnVars().NbExtensionsPreferees = 5;

  svc->dialogs.answers = {vbNo};
  w->mnAfficherEcran_Click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbInformation + vbYesNo);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Définir l'action...");
  EXPECT_EQ(svc->dialogs.boxes[0].text, question("Actuellement il n'y a que (", 3, 5));
  EXPECT_EQ(vrnVars().Reponse, vbNo);
  EXPECT_EQ(states(), QList<int>({vbNormal, vbNormal, vbNormal})) << "No restores the pages";
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_EQ(w->Height(), Main2::kCompactHeight);
  EXPECT_EQ(w->Left(), (Screen::Width() - Main2::kCompactWidth) / 2);

  svc->dialogs.answers = {vbNo};
  w->mnAfficherSystray_Click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(svc->dialogs.boxes[1].text, question("Actuellement il n'y que (", 3, 5));
  EXPECT_EQ(states(), QList<int>({vbMinimized, vbMinimized, vbMinimized}))
      << "No in the task-bar display minimises them";

  svc->dialogs.answers = {vbYes};
  w->mnAfficherEcran_Click();
  EXPECT_EQ(captions(), QStringList({"l01 (1)", "l02 (1)", "l03 (1)", "l04 (1)", "l05 (1)"}));
  EXPECT_EQ(states(), QList<int>({vbNormal, vbNormal, vbNormal, vbNormal, vbNormal}));
  EXPECT_EQ(pages()[0]->Top(), 100);
}

TEST_F(ManagementTest, PagesOfOneCaptionFollowingEachOtherCountOnce) {
  Main2* w = startWithLists(2);
  pick("l01");
  w->Command8->click();
  vrnVars().NbExtensionsPreferees = 1;
  for (int use = 0; use < 2; ++use) {
    pages()[0]->setWindowState(vbMinimized);
    w->mnAfficherEcran->click();
    EXPECT_EQ(states(), QList<int>{vbNormal}) << use;
  }
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());

  // A second page of the same caption right after the first is not counted.
  (new FormEssai(w))->Show();
  ASSERT_EQ(captions(), QStringList({"l01 (1)", "l01 (1)"}));
  vrnVars().NbExtensionsPreferees = 2;
  svc->dialogs.answers = {vbNo};
  w->mnAfficherEcran_Click();
  EXPECT_EQ(vrnVars().NbPagesOuvertes, 1);
  EXPECT_EQ(vrnVars().DernierTitrePage, "l01 (1)");
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].text, question("Actuellement il n'y a que (", 1, 2));

  // With another page between them, both count.
  pages()[1]->Unload();
  pick("l02");
  w->Command8->click();
  choose("l01");
  (new FormEssai(w))->Show();
  ASSERT_EQ(captions(), QStringList({"l01 (1)", "l02 (1)", "l01 (1)"}));
  vrnVars().NbExtensionsPreferees = 3;
  w->mnAfficherEcran_Click();
  EXPECT_EQ(vrnVars().NbPagesOuvertes, 3);
  EXPECT_EQ(svc->dialogs.boxes.size(), 1) << "three pages for three lists: no question";
}

TEST_F(ManagementTest, AStopDuringTheWalkGivesThePartialListItsPageAndEndsTheWalk) {
  Main2* w = startWithLists(0);
  QStringList names{"l01", "l02", "l03", "l04"};
  for (const QString& n : names) writeListOf(n, 4);
  offer(names);
  listLoadEventSliceMs() = 0;
  {
    EveryTurn watch([&] {
      if (w->Combo1->Text() == "l02" && w->ListView2->Count() == 2 && vrnVars().DemandeArret.isEmpty())
        w->MyButton5->click();
    });
    w->Command12_Click();
  }
  ASSERT_EQ(captions(), QStringList({"l01 (4)", "l02 (4)"}));
  EXPECT_EQ(pages()[0]->ListView2->Count(), 4);
  EXPECT_GE(pages()[1]->ListView2->Count(), 2);
  EXPECT_LT(pages()[1]->ListView2->Count(), 4);
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (4) Listes Préférées");
  EXPECT_EQ(w->ListView2->Count(), 0) << "the stopped list is cleared from the main list";
  EXPECT_EQ(vrnVars().DemandeArret, "");
  EXPECT_EQ(vrnVars().ModeAffichageAuto, kNoAutoDisplay);
  EXPECT_EQ(vrnVars().DernierIndexAuto, 0);
}

TEST_F(ManagementTest, AWalkWithNothingToLoadLeavesNoModeOrCountBehind) {
  writeListOf("txt", 1);
  writeListOf("csv", 1);
  Main2* w = start();
  offer({});
  w->mnAfficherEcran_Click();  // enables the stop button, then walks nothing
  EXPECT_TRUE(loadedPages().isEmpty());
  EXPECT_FALSE(w->MyButton6->Enabled()) << "nothing is left to stop";
  EXPECT_EQ(vrnVars().ModeAffichageAuto, kNoAutoDisplay);
  EXPECT_EQ(vrnVars().DernierIndexAuto, 0);

  // A later ordinary load opens no page and walks no further, even with a
  // negative count left by some other road.
  offer({"csv", "txt"});
  vrnVars().DernierIndexAuto = -1;
  pick("csv");
  EXPECT_TRUE(loadedPages().isEmpty());
  EXPECT_EQ(w->Combo1->Text(), "csv");
  EXPECT_EQ(vrnVars().DernierIndexAuto, 0);
  EXPECT_EQ(w->Width(), Main2::kWideWidth);
}

TEST_F(ManagementTest, TheDisplayMenuPopsAtItsButtonsAndAllPagesObeyTogether) {
  Main2* w = startWithLists(2);
  w->Combo7->show();
  w->MyButton9->click();
  EXPECT_TRUE(w->Combo7->isHidden());
  emit w->MyButton9->RightClick();
  emit w->Command8->RightClick();
  ASSERT_EQ(popups.size(), 3);
  EXPECT_EQ(popups[0].menu, "mnMenu4");
  EXPECT_EQ(QPoint(popups[0].x, popups[0].y), QPoint(240 - 400, 5520 - 1200));
  EXPECT_EQ(QPoint(popups[1].x, popups[1].y), QPoint(240 - 400, 5520 - 1200));
  EXPECT_EQ(popups[2].menu, "mnMenu4");
  EXPECT_EQ(QPoint(popups[2].x, popups[2].y),
            QPoint(w->Command8->Left(), w->Command8->Top() - (w->Command8->Height() + 1000)));

  pick("l01");
  w->Command11->click();
  pick("l02");
  w->Command8->click();
  w->ReduirePages();
  EXPECT_EQ(states(), QList<int>({vbMinimized, vbMinimized}));
  w->RestaurerPages();
  EXPECT_EQ(states(), QList<int>({vbNormal, vbNormal}));
  EXPECT_EQ(w->WindowState(), vbNormal);
  w->Command14->click();
  EXPECT_TRUE(loadedPages().isEmpty());
  EXPECT_TRUE(w->Loaded());
  EXPECT_EQ(vrnVars().PosGaucheFenetre, 100);
  EXPECT_EQ(vrnVars().PosHautFenetre, 100);
  EXPECT_EQ(vrnVars().NbFenetresCascade, 0);
}

TEST_F(ManagementTest, AScanWithTheListsAfterEachChangeOptionOpensTheOfferedListsAsPages) {
  makeFile("a.txt");
  makeFile("b.txt");
  makeFile("c.odt");
  Main2* w = start();
  w->Check16->setValue(1);
  svc->dialogs.folders = {src()};
  w->Command1->click();
  // Without preferred lists the scan ends offering the common lists: only txt.
  EXPECT_EQ(captions(), QStringList({"txt (2)"}));
  EXPECT_EQ(states(), QList<int>({vbNormal}));
  EXPECT_EQ(w->lblAffich->Caption(), "Choix de mes (1) Listes Préférées");
  EXPECT_EQ(vrnVars().ModeAffichageAuto, kNoAutoDisplay);
  EXPECT_FALSE(w->MyButton6->Enabled());

  // A scan that lists nothing has no list to open: the stop button that the
  // display command enabled is left with nothing to stop.
  QTemporaryDir empty;
  svc->dialogs.folders = {empty.path()};
  w->Command1->click();
  EXPECT_TRUE(loadedPages().isEmpty());
  EXPECT_EQ(w->Combo1->ListCount(), 0);
  EXPECT_EQ(w->MyButton6->Caption(), "Arrêter la Sélection");
  EXPECT_FALSE(w->MyButton6->Enabled());
}
