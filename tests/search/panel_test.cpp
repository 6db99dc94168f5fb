// The search panel: opening, the exclusive scopes and their guard, the two
// refusals, leaving, and where the window stands after a search.
#include <QSignalBlocker>

#include "tests/search/search_fixture.h"

using namespace vrn;
using namespace vrn::testing;

class PanelTest : public SearchTest {
 protected:
  QList<CheckBox*> scopes() const { return {win->Check17, win->Check18, win->Check19, win->Check20}; }
  QList<int> scopeValues() const {
    QList<int> v;
    for (CheckBox* c : scopes()) v << c->Value();
    return v;
  }
  // The user's click on a box.
  static void click(CheckBox* c) { c->click(); }
};

TEST_F(PanelTest, OpeningShowsThePanelWithTheCountsOfTheMoment) {
  writeList("jpg", {makeFile("a.jpg")});
  writeList("txt", {makeFile("a.txt")});
  writeList("zzz", {});
  Main2* w = start();
  ASSERT_EQ(w->File1->ListCount(), 3);
  vrnVars().NbExtensionsCourantes = 2;
  // Left-overs of an earlier list and search.
  w->ListView2->Add("old");
  w->ListView2->show();
  for (MyButton* b : {w->Command4, w->Command5, w->Command8, w->Command11}) b->show();
  for (CheckBox* c : scopes()) c->setEnabled(false);
  w->Combo10->setEnabled(false);
  w->Combo10->hide();
  w->Label32->setCaption("Recherche Terminée");

  const WindowSnapshot before = snapshot();
  openPanel();
  EXPECT_EQ(w->ListView2->Count(), 0);
  EXPECT_FALSE(w->ListView2->Visible());
  EXPECT_EQ(w->Label2->Caption(), "Recherche par Critère en Attente...");
  for (MyButton* b : {w->Command4, w->Command5, w->Command8, w->Command11})
    EXPECT_FALSE(b->Visible()) << b->objectName().toStdString();
  for (CheckBox* c : scopes()) EXPECT_TRUE(c->Enabled()) << c->objectName().toStdString();
  EXPECT_TRUE(w->Combo10->Enabled());
  EXPECT_TRUE(w->Combo10->Visible());
  EXPECT_EQ(w->Label30->Caption(), "Rechercher dans vos (3) Listes Préférées");
  EXPECT_EQ(w->Label31->Caption(), "Rechercher dans Toutes les (2) Listes Conventionnelles");
  EXPECT_EQ(w->Label33->Caption(), "Rechercher dans Toutes les (3) Listes Disponibles pour Initié");
  EXPECT_EQ(w->Label32->Caption(), "Recherche en Attente...");
  EXPECT_FALSE(w->Label32->Visible());
  EXPECT_TRUE(w->MyFrame3->Visible());
  EXPECT_EQ(w->Image1->Picture().cacheKey(), w->Image12->Picture().cacheKey());
  EXPECT_EQ(vrnVars().ModeRecherche, kYes);
  EXPECT_TRUE(w->Timer6->Enabled());
  EXPECT_EQ(w->Timer6->Interval(), 300);
  EXPECT_FALSE(w->Timer4->Enabled());
  // The window keeps its compact width: the panel lies beyond it.
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_GE(w->MyFrame3->Left(), w->Width());
  // Nothing else: what opening shows is all above.
  expectOnlyChanged(before, {{"MyFrame3", "Visible"},
                             {"Timer6", "Enabled"},
                             {"Image1", "Picture"},
                             {"ListView2", "*"},
                             {"Label2", "Caption"},
                             {"Label30", "Caption"},
                             {"Label31", "Caption"},
                             {"Label32", "Caption"},
                             {"Label33", "Caption"},
                             {"Combo10", "Enabled"},
                             {"Combo10", "Visible"},
                             {"Check17", "Enabled"},
                             {"Check18", "Enabled"},
                             {"Check19", "Enabled"},
                             {"Check20", "Enabled"},
                             {"Command4", "Visible"},
                             {"Command5", "Visible"},
                             {"Command8", "Visible"},
                             {"Command11", "Visible"}});

  // The other menu item opens it the same way, with the counts of its moment.
  w->Combo1->AddItem("png");
  vrnVars().NbExtensionsCourantes.reset();
  w->ListView2->Add("old");
  w->mnRechercheAffineCritere->click();
  EXPECT_EQ(w->Label30->Caption(), "Rechercher dans vos (4) Listes Préférées");
  EXPECT_EQ(w->Label31->Caption(), "Rechercher dans Toutes les () Listes Conventionnelles");
  EXPECT_EQ(w->ListView2->Count(), 0);
}

TEST_F(PanelTest, OneScopeIsTickedAfterEveryClickAndTheGuardTicksTheFirst) {
  Main2* w = start();
  openPanel();
  EXPECT_EQ(scopeValues(), QList<int>({0, 0, 0, 1})) << "the chosen-list scope at first";
  click(w->Check19);
  EXPECT_EQ(scopeValues(), QList<int>({0, 0, 1, 0}));
  click(w->Check17);
  EXPECT_EQ(scopeValues(), QList<int>({1, 0, 0, 0}));
  click(w->Check20);
  EXPECT_EQ(scopeValues(), QList<int>({0, 0, 0, 1}));
  click(w->Check18);
  EXPECT_EQ(scopeValues(), QList<int>({0, 1, 0, 0}));

  // Unticking the only ticked box leaves none until the guard's next tick.
  click(w->Check18);
  EXPECT_EQ(scopeValues(), QList<int>({0, 0, 0, 0}));
  emit w->Timer6->Timer_();
  EXPECT_EQ(scopeValues(), QList<int>({1, 0, 0, 0}));
  // With a box ticked the guard leaves the choice alone.
  click(w->Check19);
  emit w->Timer6->Timer_();
  EXPECT_EQ(scopeValues(), QList<int>({0, 0, 1, 0}));
}

TEST_F(PanelTest, ALaunchWithoutAChosenListOrWithoutACriterionIsRefused) {
  writeList("jpg", {makeFile("a.jpg")});
  Main2* w = start();
  openPanel();
  const QString typeBox =
      "Pour Lancer une Recherche, vous Devez Choisir un (Type d'Extension) dans la Liste déroulante pour votre "
      "Recherche...";
  const QString wordBox = "Pour Lancer une Recherche, vous Devez Saisir un Mot ou une Fraction de Mot à Rechercher...";
  // Nothing starts: the box is all that changes.
  const QList<Change> theBox = {{"Dialogs", "Boxes"}};

  // At the first opening the blank item is shown: the criterion is not even looked at.
  WindowSnapshot before = snapshot();
  w->MyButton25->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 1);
  EXPECT_EQ(svc->dialogs.boxes[0].style, vbInformation);
  EXPECT_EQ(svc->dialogs.boxes[0].title, "Aucun Type Sélectionné...");
  EXPECT_EQ(svc->dialogs.boxes[0].text, typeBox);
  expectOnlyChanged(before, theBox);

  // A chooser with nothing chosen at all is refused the same way.
  {
    const QSignalBlocker quiet(w->Combo10);
    w->Combo10->setListIndex(-1);
  }
  w->Text2->setText("a");
  before = snapshot();
  w->MyButton25->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 2);
  EXPECT_EQ(svc->dialogs.boxes[1].title, "Aucun Type Sélectionné...");
  expectOnlyChanged(before, theBox);

  // A criterion of blanks only is no criterion.
  w->Combo10->setListIndex(w->Combo10->findText("jpg"));
  w->Text2->setText("    ");
  before = snapshot();
  w->MyButton25->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 3);
  EXPECT_EQ(svc->dialogs.boxes[2].style, vbInformation);
  EXPECT_EQ(svc->dialogs.boxes[2].title, "Aucun Mot à Rechercher...");
  EXPECT_EQ(svc->dialogs.boxes[2].text, wordBox);
  expectOnlyChanged(before, theBox);

  // With another scope the chooser does not matter, the criterion does.
  w->Check17->setValue(1);
  w->Combo10->setListIndex(0);
  w->Text2->setText("");
  before = snapshot();
  w->MyButton25->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 4);
  EXPECT_EQ(svc->dialogs.boxes[3].title, "Aucun Mot à Rechercher...");
  expectOnlyChanged(before, theBox);
}

TEST_F(PanelTest, LeavingEmptiesTheResultAndCentresTheCompactWindow) {
  writeList("jpg", {makeFile("a.jpg")});
  Main2* w = start();
  openPanel();
  searchList("a", "jpg");
  ASSERT_EQ(w->ListView2->Count(), 1);
  ASSERT_EQ(w->Width(), Main2::kWideWidth);
  w->Combo1->hide();
  w->MyFrame7->hide();
  w->setWindowState(vbMaximized);

  w->MyButton24->click();
  EXPECT_FALSE(w->Timer6->Enabled());
  EXPECT_EQ(vrnVars().ModeRecherche, "");
  EXPECT_TRUE(w->MyButton25->Visible());
  EXPECT_FALSE(w->MyButton26->Visible());
  EXPECT_FALSE(w->Timer4->Enabled());
  for (QWidget* c : std::initializer_list<QWidget*>{w->MyFrame3, w->Label32, w->Shape4, w->Picture3, w->Command4,
                                                    w->Command5, w->Command8, w->Command11, w->ListView2, w->Combo10})
    EXPECT_FALSE(c->isVisibleTo(w)) << c->objectName().toStdString();
  EXPECT_EQ(w->ListView2->Count(), 0);
  EXPECT_EQ(w->Label2->Caption(), "Faites votre Choix...");
  EXPECT_EQ(w->WindowState(), vbNormal);
  EXPECT_EQ(w->Width(), Main2::kCompactWidth);
  EXPECT_EQ(w->Left(), (Screen::Width() - Main2::kCompactWidth) / 2);
  EXPECT_TRUE(w->Combo1->Visible());
  EXPECT_TRUE(w->MyFrame7->Visible());
}

TEST_F(PanelTest, AfterASearchTheWindowsRightEdgeIsBroughtBackOnScreen) {
  writeList("jpg", {makeFile("a.jpg")});
  Main2* w = start();
  openPanel();
  w->Combo10->setListIndex(w->Combo10->findText("jpg"));
  w->setLeft(600);
  searchList("a", "jpg");
  ASSERT_EQ(w->Width(), Main2::kWideWidth);
  ASSERT_GT(Main2::kWideWidth + 600, Screen::Width());
  EXPECT_EQ(w->Left(), Screen::Width() - Main2::kWideWidth);

  // Minimised or maximised windows are left as they are.
  for (int state : {vbMinimized, vbMaximized}) {
    w->setWindowState(vbNormal);
    w->setLeft(900);
    w->setWindowState(state);
    const int left = w->Left();
    w->MyButton25->click();
    EXPECT_EQ(w->WindowState(), state);
    // (A maximised window's position is the platform's.)
    if (state == vbMinimized) {
      EXPECT_EQ(w->Left(), left);
    }
  }
}

TEST_F(PanelTest, TheBusyPictureMovesOnlyWhileASearchRuns) {
  writeList("jpg", {makeFile("a.jpg"), makeFile("b.jpg")});
  Main2* w = start();
  openPanel();
  QList<int> positions;
  bool timerOn = true;
  {
    EveryTurn watch([&] {
      if (w->etat0->Visible()) {
        timerOn = timerOn && w->Timer4->Enabled() && w->Timer4->Interval() == 10;
        emit w->Timer4->Timer_();
        positions << w->Picture3->Left();
      }
    });
    searchList("jpg", "jpg");
  }
  ASSERT_GE(positions.size(), 2);
  EXPECT_TRUE(timerOn);
  EXPECT_NE(positions.first(), positions.last());
  EXPECT_FALSE(w->Timer4->Enabled());
  EXPECT_FALSE(w->Picture3->Visible());
}
