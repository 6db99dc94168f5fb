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
    EXPECT_EQ(box.style, 48);
    EXPECT_EQ(box.title, "Impossibilité de se Connecter...");
    EXPECT_EQ(box.text, "Vous n'êtes pas Connecté à Internet, veuillez essayer ultérieurement.");
  }
  EXPECT_TRUE(svc->shell.pages.isEmpty());
  EXPECT_EQ(vrnVars().EtatConnexion, "Vous n'êtes pas Connecté au Réseau");
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
  EXPECT_EQ(vrnVars().EtatConnexion, "Vous êtes Connecté au Réseau");
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
