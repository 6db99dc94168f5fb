#include <QCloseEvent>
#include <QCoreApplication>
#include <QWindow>

#include "support/VariablesVRN.h"
#include "tests/mainwindow/main2_fixture.h"
#include "tests/testing/keyboard.h"

using namespace vrn;
using namespace vrn::testing;

class ShellTest : public Main2Test {};

TEST_F(ShellTest, WideningToTheFullWindowLaysThePanelsOut) {
  Main2* w = startWindow();
  ASSERT_EQ(w->Width(), Main2::kCompactWidth);
  ASSERT_EQ(w->Height(), Main2::kCompactHeight);
  EXPECT_EQ(w->MyButton10->Width(), 4920);
  EXPECT_FALSE(w->Image5->Visible());
  w->setWidth(Main2::kWideWidth);
  EXPECT_TRUE(w->Image5->Visible());
  EXPECT_EQ(w->MyButton10->Width(), 14010);
  EXPECT_EQ(w->MyFrame6->Width(), 8790);
  EXPECT_EQ(w->MyFrame6->Height(), 5980);
  EXPECT_EQ(w->MyFrame1->Height(), 6015);  // its floor
  EXPECT_EQ(w->MyFrame1->Width(), Main2::kWideWidth - 120 - 300);
  EXPECT_EQ(w->ListView2->Width(), 8550);
  EXPECT_EQ(w->ListView2->Height(), 4840);
  EXPECT_EQ(w->Check2->Top(), 5740);
  EXPECT_EQ(w->Check3->Top(), 5740);
  EXPECT_EQ(w->Label11->Top(), 5740);
  for (MyButton* b : {w->Command4, w->Command5, w->Command8, w->Command11}) EXPECT_EQ(b->Top(), 6540);
  // A taller window lets the preferences panel follow the result panel.
  w->setHeight(9000);
  EXPECT_EQ(w->MyFrame6->Height(), 9000 - 840 - 680);
  EXPECT_EQ(w->MyFrame1->Height(), w->MyFrame6->Height());
}

TEST_F(ShellTest, AHeightBelowTheFloorIsRaisedAndLaidOutOnce) {
  Main2* w = startWindow();
  w->setWidth(Main2::kWideWidth);
  w->setHeight(5000);
  EXPECT_EQ(w->Height(), 5970);
  EXPECT_EQ(w->MyFrame6->Height(), 5970 - 840 - 680);
  EXPECT_EQ(w->ListView2->Height(), 4450 - 840 - 300);
  EXPECT_EQ(w->Command4->Top(), 840 + 4450 - 240 - 40);
}

TEST_F(ShellTest, AMoveAndSizeFromTheWindowSystemAreKeptAndLaidOut) {
  Main2* w = startWindow();
  w->setWidth(Main2::kWideWidth);
  QWindow* window = w->windowHandle();
  ASSERT_TRUE(window);
  const QMargins m = w->frameMargins();
  // The user moves and sizes the window: the window system reports it.
  const QRect client(100, 80, 800, 450);
  window->setGeometry(client);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(window->geometry(), client) << "kept, not put back";
  const QRect frame = client.marginsAdded(m);
  EXPECT_EQ(w->Left(), toTwips(frame.x()));
  EXPECT_EQ(w->Top(), toTwips(frame.y()));
  EXPECT_EQ(w->Width(), toTwips(frame.width()));
  EXPECT_EQ(w->Height(), toTwips(frame.height()));
  EXPECT_EQ(w->MyButton10->Width(), w->Width() - 120);
  EXPECT_EQ(w->MyFrame6->Width(), w->Width() - 5040 - 300);
  EXPECT_EQ(w->MyFrame6->Height(), w->Height() - 840 - 680);

  // Lower than the floor: the floor applies, the user's width stands.
  window->resize(700, 200);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(w->Height(), 5970);
  EXPECT_EQ(w->Width(), toTwips(700 + m.left() + m.right()));
  EXPECT_EQ(window->geometry().size(), QSize(700, toPixels(5970) - m.top() - m.bottom()));
  EXPECT_EQ(w->MyFrame6->Height(), 5970 - 840 - 680);
}

TEST_F(ShellTest, AutomaticModesLeaveThePanelsAlone) {
  Main2* w = startWindow();
  w->setWidth(Main2::kWideWidth);
  const int frameWidth = w->MyFrame6->Width();
  vrnVars().ModeAffichageAuto = kAutoPagesInTaskBar;
  w->setWidth(9000);
  EXPECT_EQ(w->MyFrame6->Width(), frameWidth) << "mode 1 resizes no panel";
  EXPECT_EQ(w->MyButton10->Width(), 9000 - 120) << "the header still follows";
  w->setHeight(5000);
  EXPECT_EQ(w->Height(), 5000) << "mode 1 does not raise the height either";

  vrnVars().ModeAffichageAuto = kAutoPagesOnScreen;
  w->setWidth(12000);
  EXPECT_EQ(w->MyFrame6->Width(), frameWidth) << "mode 2 leaves a wide window's panels";
  w->setWidth(Main2::kCompactWidth);
  EXPECT_EQ(w->Height(), 5970) << "mode 2 lays out a compact window";
  EXPECT_EQ(w->MyFrame6->Height(), 5970 - 840 - 680) << "the layout ran";
  EXPECT_EQ(w->MyFrame6->Width(), frameWidth) << "a negative width is refused, the panel keeps its own";
}

TEST_F(ShellTest, MinimisingAndRestoring) {
  Main2* w = startWindow();
  w->setWidth(Main2::kWideWidth);
  w->MyFrame1->show();
  w->Text1->show();
  const int frameHeight = w->MyFrame6->Height();
  w->mnReduire_Click();
  EXPECT_EQ(w->WindowState(), vbMinimized);
  EXPECT_FALSE(w->MyFrame1->Visible());
  EXPECT_FALSE(w->Text1->Visible());
  EXPECT_FALSE(w->Image5->Visible());
  EXPECT_EQ(w->MyFrame6->Height(), frameHeight) << "the forced height is not applied when minimised";
  w->MyButton8_Click();
  EXPECT_EQ(w->WindowState(), vbNormal);
  EXPECT_EQ(w->Width(), Main2::kWideWidth);
  EXPECT_TRUE(w->Image5->Visible());
  EXPECT_FALSE(w->MyFrame1->Visible());
  EXPECT_FALSE(w->Text1->Visible());
  // The restore button does nothing to a normal window.
  w->MyButton8_Click();
  EXPECT_EQ(w->WindowState(), vbNormal);
}

TEST_F(ShellTest, TheQuitMenuPopsAboveTheButtonAndQuitsAtOnce) {
  Main2* w = startWindow();
  w->Command2->click();
  ASSERT_EQ(popups.size(), 1);
  EXPECT_EQ(popups[0].menu, "mnMenu5");
  EXPECT_EQ(popups[0].x, 240 - 1000);
  EXPECT_EQ(popups[0].y, 4680 - (615 + 250));
  EXPECT_EQ(w->mnMenu5->captions(),
            (QStringList{"Réduire le Programme dans la Barre des Tâches", "-", "Arrêter et Quitter le Progamme"}));
  w->ListView2->Add("a");
  w->ListView1->Add("b");
  w->mnArreter->click();
  EXPECT_EQ(exitCodes, QList<int>{0});
  EXPECT_EQ(w->ListView2->Count(), 0);
  EXPECT_EQ(w->ListView1->Count(), 0);
}

TEST_F(ShellTest, CloseRequestsLeaveTheWindowOpen) {
  Main2* w = startWindow();
  for (int i = 0; i < 3; ++i) {
    QCloseEvent close;
    QCoreApplication::sendEvent(w, &close);
    EXPECT_FALSE(close.isAccepted());
  }
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(exitCodes.isEmpty());
}

TEST_F(ShellTest, TheBusyWatcherDisablesWhileAScanRuns) {
  Main2* w = startWindow();
  w->Combo1->show();
  w->MyFrame7->show();
  vrnVars().ScanEnCours = kYes;
  w->Timer5->setInterval(1);  // tick soon; the watcher itself runs on its timer
  QCoreApplication::processEvents();
  w->Timer5_Timer();
  for (MyButton* b : {w->MyButton2, w->MyButton7, w->MyButton9}) EXPECT_FALSE(b->Enabled());
  EXPECT_FALSE(w->Combo1->Visible());
  EXPECT_FALSE(w->MyFrame7->Visible());
  // Shown again by some command: hidden again at the next tick.
  w->Combo1->show();
  w->Timer5_Timer();
  EXPECT_FALSE(w->Combo1->Visible());
  vrnVars().ScanEnCours = "";
  w->Timer5_Timer();
  for (MyButton* b : {w->MyButton2, w->MyButton7, w->MyButton9}) EXPECT_TRUE(b->Enabled());
  EXPECT_FALSE(w->Combo1->Visible()) << "the watcher never shows the list of lists";
}

TEST_F(ShellTest, TheSpecialFolderPickerClosesOnMouseMovesAndTheHeader) {
  Main2* w = startWindow();
  for (auto close :
       {&Main2::Form_MouseMove, &Main2::MyFrame6_MouseMove, &Main2::MyButton10_MouseMove, &Main2::MyButton10_Click}) {
    w->Combo7->show();
    (w->*close)();
    EXPECT_FALSE(w->Combo7->Visible());
  }
}

TEST_F(ShellTest, AClickOnTheBackgroundHidesTheListOfListsOnlyAtWidth5010) {
  Main2* w = startWindow();
  w->Combo1->show();
  w->MyFrame7->show();
  w->Form_Click();
  EXPECT_TRUE(w->Combo1->Visible());
  w->setWidth(5010);
  w->Form_Click();
  EXPECT_FALSE(w->Combo1->Visible());
  EXPECT_FALSE(w->MyFrame7->Visible());
}

TEST_F(ShellTest, TheScanAnimationMovesTheCounterPictureOnEachTick) {
  Main2* w = startWindow();
  const int start = w->label4->Left();
  w->timer3_Timer();
  const int first = w->label4->Left();
  EXPECT_EQ(std::abs(first - start), 50);
  w->timer3_Timer();
  EXPECT_EQ(std::abs(w->label4->Left() - first), 50);
}

TEST_F(ShellTest, TabGoesRoundTheCommandsInReadingOrderAndTheKeysPressThem) {
  Main2* w = startWindow();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));

  // The compact window: the left column by rows; the header bar, the
  // disabled stop button and the focus target of the list loader, kept out
  // of sight, are passed by.
  w->Command1->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(tabRound(), "Command1 MyButton2 Command2 MyButton9 MyButton7");
  EXPECT_EQ(tabRound(true), "Command1 MyButton7 MyButton9 Command2 MyButton2");

  // The focused button shows it, and Space, Return or Enter press it.
  QTest::keyClick(w->Command1, Qt::Key_Tab);
  QTest::keyClick(w->MyButton2, Qt::Key_Tab);
  ASSERT_EQ(focusedControl(), "Command2");
  EXPECT_TRUE(w->Command2->showsFocus());
  QTest::keyClick(w->Command2, Qt::Key_Space);
  QTest::keyClick(w->Command2, Qt::Key_Return);
  QTest::keyClick(w->Command2, Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_EQ(popups.size(), 3);
  for (const Popup& p : popups) EXPECT_EQ(p.menu, "mnMenu5");

  // The preferences panel lies over the left column: Tab stays on what it
  // shows, by columns, and passes by the program buttons its frame cuts off.
  QTest::keyClick(w->Command2, Qt::Key_Tab);
  QTest::keyClick(w->MyButton9, Qt::Key_Tab);
  ASSERT_EQ(focusedControl(), "MyButton7");
  QTest::keyClick(w->MyButton7, Qt::Key_Return);
  ASSERT_TRUE(w->MyFrame1->isVisible());
  EXPECT_EQ(focusedControl(), "LstSources") << "the focus goes on to the panel laid over the button";
  EXPECT_EQ(tabRound(),
            "LstSources Check1 MyButton8 MyButton13 MyButton4 MyButton1 Text1 Check11 Check12 Check14 Check13 "
            "Check15 Check16");
  // Tab leaves the help text rather than typing into it.
  const QString help = w->Text1->Text();
  w->Text1->editor()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w->Text1->editor(), Qt::Key_Tab);
  EXPECT_EQ(focusedControl(), "Check11");
  EXPECT_EQ(w->Text1->Text(), help);

  // The search panel beside the left column.
  w->MyButton1->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w->MyButton1, Qt::Key_Space);
  ASSERT_FALSE(w->MyFrame1->isVisible());
  w->mnRechercheAffineCritere->click();
  ASSERT_TRUE(w->MyFrame3->isVisible());
  w->Command1->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(tabRound(),
            "Command1 MyButton2 Command2 MyButton9 MyButton7 Text2 Combo10 Check20 Check17 Check18 Check19 "
            "MyButton24 MyButton25");
}
