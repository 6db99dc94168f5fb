#include <QSet>

#include "support/VariablesVRN.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

class LinksTest : public Main2Test {};

TEST_F(LinksTest, OfflineTheProgramButtonsWarnAndOpenNothing) {
  Main2* w = startWindow();
  svc->network.up = false;
  for (MyButton* b : {w->MyButton11, w->MyButton12, w->MyButton17, w->MyButton18, w->MyButton19, w->MyButton21,
                      w->MyButton22, w->MyButton23})
    b->click();
  ASSERT_EQ(svc->dialogs.boxes.size(), 8);
  for (const ShownBox& box : svc->dialogs.boxes) {
    EXPECT_EQ(box.style, vbExclamation);
    EXPECT_EQ(box.title, "Impossibilité de se Connecter...");
    EXPECT_EQ(box.text, "Vous n'êtes pas Connecté à Internet, veuillez essayer ultérieurement.");
  }
  EXPECT_TRUE(svc->shell.pages.isEmpty());
  EXPECT_EQ(vrnVars().EtatConnexion, kNotConnected);
  // The menu link does not test the connection.
  w->mnRenseignerExtensFichiers->click();
  EXPECT_EQ(svc->shell.pages.size(), 1);
}

TEST_F(LinksTest, OnlineEachButtonOpensItsOwnPage) {
  Main2* w = startWindow();
  svc->network.up = true;
  for (MyButton* b : {w->MyButton11, w->MyButton12, w->MyButton17, w->MyButton18, w->MyButton19, w->MyButton21,
                      w->MyButton22, w->MyButton23})
    b->click();
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
  ASSERT_EQ(svc->shell.pages.size(), 8);
  EXPECT_EQ(QSet<QString>(svc->shell.pages.begin(), svc->shell.pages.end()).size(), 8) << "eight different pages";
  EXPECT_EQ(vrnVars().EtatConnexion, kConnected);
  // The last button is disabled at start and nothing enables it.
  EXPECT_FALSE(w->MyButton27->Enabled());
}

TEST_F(LinksTest, BothAuthorItemsOpenTheSamePage) {
  Main2* w = startWindow();
  w->mnsavoir->click();
  w->mnSavoirPlus->click();
  ASSERT_EQ(svc->shell.pages.size(), 2);
  EXPECT_EQ(svc->shell.pages[0], svc->shell.pages[1]);
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
}

TEST_F(LinksTest, TheNineProgramButtonsStandInTwoRowsOfFourAndANinthAtTheirRight) {
  win = std::make_unique<Main2>();  // as designed
  Main2* w = win.get();
  const QList<MyButton*> grid = {w->MyButton11, w->MyButton12, w->MyButton17, w->MyButton18,
                                 w->MyButton19, w->MyButton21, w->MyButton22, w->MyButton23};
  const QList<MyButton*> nine = grid + QList<MyButton*>{w->MyButton27};
  QSet<QString> captions;
  QSet<int> tops;
  for (MyButton* b : nine) {
    const std::string name = b->objectName().toStdString();
    EXPECT_EQ(b->parentWidget(), w->MyFrame5) << name;
    EXPECT_FALSE(b->Caption().trimmed().isEmpty()) << name << ": the name of a program";
    captions << b->Caption();
    // Inside the panel.
    EXPECT_GE(b->Left(), 0) << name;
    EXPECT_GE(b->Top(), 0) << name;
    EXPECT_LE(b->Left() + b->Width(), w->MyFrame5->Width()) << name;
    EXPECT_LE(b->Top() + b->Height(), w->MyFrame5->Height()) << name;
    // No two overlap.
    for (MyButton* o : nine) {
      if (o == b) continue;
      EXPECT_FALSE(QRect(b->Left(), b->Top(), b->Width(), b->Height())
                       .intersects(QRect(o->Left(), o->Top(), o->Width(), o->Height())))
          << name << " and " << o->objectName().toStdString();
    }
  }
  EXPECT_EQ(captions.size(), 9) << "nine programs";
  int right = 0;
  for (MyButton* b : grid) {
    EXPECT_EQ(QSize(b->Width(), b->Height()), QSize(2655, 855)) << b->objectName().toStdString();
    EXPECT_EQ(b->ToolTipText(), "Cliquez ICI pour en Savoir Plus sur ce Logiciel...Gratuit");
    tops << b->Top();
    right = std::max(right, b->Left() + b->Width());
  }
  ASSERT_EQ(tops.size(), 2) << "two rows";
  for (int top : tops) {
    QSet<int> lefts;
    for (MyButton* b : grid)
      if (b->Top() == top) lefts << b->Left();
    EXPECT_EQ(lefts.size(), 4) << "four buttons in the row at " << top;
  }
  EXPECT_EQ(QSize(w->MyButton27->Width(), w->MyButton27->Height()), QSize(1935, 1095));
  EXPECT_EQ(w->MyButton27->ToolTipText(), "Cliquez ICI pour en Savoir Plus sur ce Logiciel... Gratuit");
  EXPECT_GE(w->MyButton27->Left(), right) << "the ninth stands at the right of the grid";
}
