// The list page itself: the copy it makes of the main list, its titles and
// icons, its layout, its window commands and the buttons acting on every page.
#include <QApplication>
#include <QScreen>
#include <QTest>

#include "mainwindow/listviewtools.h"
#include "tests/pages/pages_fixture.h"
#include "tests/testing/keyboard.h"

using namespace vrn;
using namespace vrn::testing;

TEST(PageSize, ATwelfthOfTheScreenLessTwoHundredTwips) {
  EXPECT_EQ(pageHeightFor(11520), 943);
  EXPECT_EQ(pageHeightFor(9000), 733);
  EXPECT_EQ(pageHeightFor(200), 0);
  EXPECT_EQ(pageHeightFor(190), -1) << "Int() rounds down";
}

class FormEssaiTest : public PagesTest {};

TEST_F(FormEssaiTest, APageIsAFrozenCopyOfTheListWithTheRecordCountInItsCaption) {
  writeListOf("pdf", 9, 3);
  Main2* w = start();
  pick("pdf");
  ASSERT_EQ(w->ListView2->Count(), 9);
  const QList<QStringList> shown = rowsOf(w->ListView2);

  w->Command11->click();
  ASSERT_EQ(pages().size(), 1);
  FormEssai* p = pages().first();
  EXPECT_EQ(p->Name(), "FormEssai");
  EXPECT_EQ(p->Caption(), "pdf (12)");
  EXPECT_EQ(p->Label2->Caption(), "Liste de mes (12) Fichiers (.pdf)");
  EXPECT_EQ(p->Label4->Caption(), "dans (" + src() + ")");
  EXPECT_EQ(rowsOf(p->ListView2), shown) << "every cell, in the main list's order";
  for (int r = 1; r <= 9; ++r) EXPECT_FALSE(p->ListView2->Checked(r));
  EXPECT_FALSE(p->ListView2->Sorted()) << "the page keeps the order it was given";
  EXPECT_EQ(p->ListView2->View(), ListView::lvwReport);
  EXPECT_EQ(p->Width(), kPageWidth);
  EXPECT_EQ(p->Height(), pageHeightFor(Screen::Height()));
  EXPECT_EQ(p->MyButton3->ToolTipText(),
            "Supprimer Toutes les Listes éditées\naussi bien de l'écran\ncomme de la Barre des Tâches.");

  // The list's icon: in the corner, in the rows and on the window.
  const qint64 icon = w->Image1->Picture().cacheKey();
  EXPECT_EQ(p->Image1->Picture().cacheKey(), icon);
  ASSERT_EQ(p->ImageList1->Count(), 1);
  EXPECT_EQ(p->ImageList1->Image(1).cacheKey(), icon);
  EXPECT_EQ(p->ListView2->SmallIcons(), p->ImageList1);
  EXPECT_EQ(p->ListView2->SmallIcon(1), 1);
  EXPECT_EQ(p->windowIcon().cacheKey(), icon);

  // Striped at once, no row selected.
  EXPECT_EQ(p->Label6->Caption(), kStripesOn);
  EXPECT_EQ(p->ListView2->RowColor(1), kStripeWhite);
  EXPECT_EQ(p->ListView2->RowColor(2), kStripeYellow);
  EXPECT_EQ(p->ListView2->SelectedIndex(), 0);

  // Later changes of the main list leave the page as it was.
  w->ListView2->Clear();
  EXPECT_EQ(rowsOf(p->ListView2), shown);
}

TEST_F(FormEssaiTest, ThePageListHasTheMainColumnsButForTheSizeCaptionAndTheAttributeWidth) {
  Main2* w = start();
  w->Command8->click();
  ASSERT_EQ(pages().size(), 1);
  const ListView* list = pages().first()->ListView2;
  ASSERT_EQ(list->ColumnCount(), 9);
  const QStringList captions = {"Nom des Fichiers Disponibles",
                                "Adresse des Fichiers",
                                "Taille Mbits",
                                "Date Accès",
                                "Date Création",
                                "Date Modification",
                                "Attribut",
                                "",
                                ""};
  const QList<int> widths = {4000, 1440, 1440, 1440, 1440, 1400, 1440, 0, 0};
  for (int k = 1; k <= 9; ++k) {
    EXPECT_EQ(list->ColumnCaption(k), captions[k - 1]) << k;
    EXPECT_EQ(list->ColumnWidth(k), widths[k - 1]) << k;
  }
  EXPECT_EQ(w->ListView2->ColumnCaption(3), "Taille Octets");
  EXPECT_EQ(w->ListView2->ColumnWidth(7), 1000);
}

TEST_F(FormEssaiTest, ASearchResultPageShowsTheCriterionTheFoundCountAndTheProgramIcon) {
  Main2* w = start();
  vrnVars().ModeRecherche = kYes;
  vrnVars().NumEnregistrement = 40;  // the last list file read: not the search's count
  w->Text2->setText("facture");
  for (int i = 1; i <= 5; ++i) addFileRow(w->ListView2, QString("/x/facture%1.pdf").arg(i), i);

  w->Command11->click();
  ASSERT_EQ(pages().size(), 1);
  FormEssai* p = pages().first();
  EXPECT_EQ(p->Caption(), "facture (5)");
  EXPECT_EQ(p->Label2->Caption(), "Résultat de ma Recherche (5) Fichiers avec le Critère (facture)");
  const qint64 program = p->Image3->Picture().cacheKey();
  EXPECT_FALSE(p->Image3->Picture().isNull());
  EXPECT_EQ(p->ImageList1->Image(1).cacheKey(), program);
  EXPECT_EQ(p->windowIcon().cacheKey(), program);
  EXPECT_EQ(p->ListView2->Count(), 5);

  // The criterion is taken as typed; an empty result still makes a page.
  w->Text2->setText("  devis ");
  w->ListView2->Clear();
  w->Command8->click();
  ASSERT_EQ(pages().size(), 2);
  EXPECT_EQ(pages()[1]->Caption(), "  devis  (0)");
  EXPECT_EQ(pages()[1]->ListView2->Count(), 0);
  EXPECT_EQ(pages()[1]->Label6->Caption(), kStripesOn);
}

TEST_F(FormEssaiTest, DoubleClickAlternatesMaximisedAndNormalAndTheLayoutFollows) {
  writeListOf("txt", 2);
  Main2* w = start();
  pick("txt");
  w->Command11->click();
  FormEssai* p = pages().first();
  ASSERT_EQ(p->WindowState(), vbNormal);
  // A page too small for its list leaves the list at its design size.
  EXPECT_EQ(p->ListView2->Width(), 9255);
  EXPECT_EQ(p->ListView2->Height(), 2895);
  EXPECT_EQ(p->Command4->Top(), 840 + 2895 + 200);
  EXPECT_EQ(p->MyButton6->Top(), p->Command4->Top()) << "the copy's stop button goes with the row";

  // A real double click on the page's free area; the window system then
  // gives the page the whole work area.
  QTest::mouseDClick(p, Qt::LeftButton, {}, QPoint(toPixels(1500), toPixels(200)));
  EXPECT_EQ(p->WindowState(), vbMaximized);
  const QRect area = p->screen()->availableGeometry();
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->frameGeometry() == area; }, 5000));
  QApplication::processEvents();
  // The list covers the page, as far from the right and bottom edges as it
  // stands from the left and top ones; the buttons stand 200 twips under it.
  const QRect list = p->ListView2->geometry();
  EXPECT_EQ(list.topLeft(), QPoint(toPixels(120), toPixels(840)));
  EXPECT_EQ(p->width() - 1 - list.right(), list.left());
  EXPECT_EQ(p->height() - 1 - list.bottom(), list.top());
  // The copy's stop button, shown once a copy starts, stands in that row.
  p->MyButton6->show();
  for (MyButton* b : {p->Command4, p->Command5, p->MyButton1, p->MyButton2, p->MyButton3, p->MyButton6})
    EXPECT_EQ(b->Top(), p->ListView2->Top() + p->ListView2->Height() + 200) << b->objectName().toStdString();
  for (MyButton* b : {p->Command4, p->MyButton1, p->MyButton2, p->MyButton3, p->MyButton6}) {
    EXPECT_TRUE(b->isVisible()) << b->objectName().toStdString();
    EXPECT_TRUE(p->rect().contains(b->geometry())) << b->objectName().toStdString() << " lies inside the page";
  }
  EXPECT_EQ(p->MyButton1->Left(), 1800) << "no left position changes";

  p->Form_DblClick();
  EXPECT_EQ(p->WindowState(), vbNormal);
  EXPECT_EQ(p->Width(), kPageWidth);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !p->isMaximized(); }, 5000));
  EXPECT_EQ(p->frameGeometry().size(), QSize(toPixels(kPageWidth), toPixels(pageHeightFor(Screen::Height()))))
      << "the page's frame takes its normal size again";

  // A minimised page stays minimised; its menu item minimises only it.
  w->Command11->click();  // the same list: brought up maximised, no new page
  ASSERT_EQ(pages().size(), 1);
  EXPECT_EQ(p->WindowState(), vbMaximized);
  p->mnFermer->click();
  EXPECT_EQ(p->WindowState(), vbMinimized);
  p->Form_DblClick();
  EXPECT_EQ(p->WindowState(), vbMinimized);
  EXPECT_EQ(w->WindowState(), vbNormal);
}

TEST_F(FormEssaiTest, ThePointerOverANormalPageMakesItTheActiveWindow) {
  writeListOf("txt", 1);
  Main2* w = start();
  pick("txt");
  w->Command11->click();
  FormEssai* p = pages().first();
  w->activateWindow();
  QApplication::processEvents();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));

  p->mnFermer_Click();
  p->Form_MouseMove();
  QApplication::processEvents();
  EXPECT_NE(QApplication::activeWindow(), p) << "a minimised page is left alone";

  p->setWindowState(vbNormal);
  QTest::mouseMove(p, QPoint(toPixels(1500), toPixels(200)));
  EXPECT_TRUE(QTest::qWaitForWindowActive(p));
}

TEST_F(FormEssaiTest, ThePageButtonsActOnEveryPageAndNeverOnTheMainWindow) {
  for (const char* n : {"doc", "odt", "rtf"}) writeListOf(n, 1);
  Main2* w = start();
  pick("doc");
  w->Command11->click();
  pick("odt");
  w->Command8->click();
  pick("rtf");
  w->Command11->click();
  ASSERT_EQ(captions(), QStringList({"doc (1)", "odt (1)", "rtf (1)"}));
  const QList<FormEssai*> p = pages();
  EXPECT_EQ(p[1]->WindowState(), vbMinimized);
  // The main window sees the pages' states change, and nothing of its own.
  const WindowSnapshot mainBefore = snapshot();

  p[0]->MyButton1->click();  // "Tout Barre des Tâches"
  for (FormEssai* page : p) EXPECT_EQ(page->WindowState(), vbMinimized);
  EXPECT_EQ(w->WindowState(), vbNormal);
  expectOnlyChanged(mainBefore, {{"Main2", "OtherWindows"}});

  p[1]->MyButton2->click();  // "Tout Ecran"
  for (FormEssai* page : p) EXPECT_EQ(page->WindowState(), vbNormal);
  EXPECT_EQ(w->WindowState(), vbNormal);
  expectOnlyChanged(mainBefore, {{"Main2", "OtherWindows"}});

  // "Supprimer Toutes les Fenêtres" closes them all, its own page too, and
  // the next page on screen goes to the very corner.
  EXPECT_EQ(vrnVars().NbFenetresCascade, 2);
  p[2]->MyButton3->click();
  EXPECT_TRUE(loadedPages().isEmpty());
  EXPECT_TRUE(w->Loaded());
  EXPECT_EQ(vrnVars().PosGaucheFenetre, 0);
  EXPECT_EQ(vrnVars().PosHautFenetre, 0);
  EXPECT_EQ(vrnVars().NbFenetresCascade, 0);
  w->Command11->click();
  ASSERT_EQ(pages().size(), 1);
  EXPECT_EQ(pages()[0]->Left(), 0);
  EXPECT_EQ(pages()[0]->Top(), 0);
}

TEST_F(FormEssaiTest, OneAutoSizeFlagServesEveryPage) {
  writeListOf("txt", 3);
  writeListOf("log", 3);
  Main2* w = start();
  pick("txt");
  w->Command11->click();
  pick("log");
  w->Command11->click();
  FormEssai* a = pages()[0];
  FormEssai* b = pages()[1];
  b->ListView2->setColumnWidth(1, 777);
  b->ListView2->setColumnWidth(6, 3333);

  a->Command4->click();
  EXPECT_EQ(vrnVars().AutoSizeActif, 1);
  EXPECT_EQ(a->Command4->Caption(), "AutoSize/Non");

  // B's button still says "Oui", but the shared flag makes it restore.
  b->Command4->click();
  EXPECT_EQ(vrnVars().AutoSizeActif, 0);
  EXPECT_EQ(b->Command4->Caption(), "AutoSize/Oui");
  EXPECT_EQ(a->Command4->Caption(), "AutoSize/Non");
  for (int k = 1; k <= 9; ++k) EXPECT_EQ(b->ListView2->ColumnWidth(k), vrnVars().LargeursColonnes[size_t(k)]) << k;
  EXPECT_EQ(b->ListView2->ColumnWidth(6), w->ListView2->ColumnWidth(6)) << "the main list's width, not the page's";
  EXPECT_FALSE(b->ListView2->isHidden()) << "shown again after the restore";
}

TEST_F(FormEssaiTest, TheStripeButtonClearsTheSelectionAndFollowsLabel6) {
  writeListOf("txt", 3);
  Main2* w = start();
  pick("txt");
  w->Command8->click();
  FormEssai* p = pages().first();
  const WindowSnapshot mainBefore = snapshot();
  p->ListView2->setSelectedIndex(2);
  p->Command5_Click();
  EXPECT_EQ(p->ListView2->SelectedIndex(), 0);
  EXPECT_EQ(p->Label6->Caption(), kStripesOff);
  EXPECT_EQ(p->ListView2->RowColor(2), kStripeWhite);
  p->ListView2->setSelectedIndex(1);
  p->Command5_Click();
  EXPECT_EQ(p->ListView2->SelectedIndex(), 0);
  EXPECT_EQ(p->Label6->Caption(), kStripesOn);
  EXPECT_EQ(p->ListView2->RowColor(2), kStripeYellow);
  EXPECT_EQ(w->Label6->Caption(), kStripesOn) << "each window keeps its own stripe state";
  expectOnlyChanged(mainBefore);
}

TEST_F(FormEssaiTest, ThePageMenuHoldsItsItemsInOrder) {
  Main2* w = start();
  w->Command8->click();
  FormEssai* p = pages().first();
  EXPECT_EQ(p->mnMenu->captions(), QStringList({"Voir ou Exécuter ce Fichier", "-", "Voir ce Fichier dans son Dossier",
                                                "-", "Copier la Sélection", "-", "Tout Sélectionner", "-",
                                                "Tout DéSélectionner", "-", "Réduire cette Fenêtre"}));
  EXPECT_TRUE(p->MyButton6->isHidden());
  EXPECT_EQ(p->MyButton6->Caption(), "Arrêter la Copie");
  EXPECT_TRUE(p->Label3->isHidden());
  EXPECT_EQ(p->Label3->Caption(), "0");
}

TEST_F(FormEssaiTest, TabGoesFromTheListAlongTheButtonsTheWindowShowsAndTheKeysPressThem) {
  writeListOf("txt", 3);
  Main2* w = start();
  pick("txt");
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  // The main window with a list: the left column, then the list and the
  // buttons under it.
  w->Combo1->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(tabRound(), "Combo1 Command1 MyButton2 Command2 MyButton9 MyButton7 ListView2 Command4 Command8 Command11");
  w->Command8->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w->Command8, Qt::Key_Tab);
  ASSERT_EQ(focusedControl(), "Command11");
  QTest::keyClick(w->Command11, Qt::Key_Return);  // the page, on screen
  ASSERT_EQ(pages().size(), 1);
  FormEssai* p = pages().first();
  ASSERT_EQ(p->WindowState(), vbNormal);

  // A page at its normal size shows its list only: its buttons lie below
  // its bottom edge, and Tab does not go there.
  p->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(p));
  p->ListView2->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(tabRound(), "ListView2");

  // Maximised, the row of buttons shows under the list, left to right.
  p->Form_DblClick();
  const QRect area = p->screen()->availableGeometry();
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->frameGeometry() == area; }, 5000));
  QApplication::processEvents();
  EXPECT_EQ(tabRound(), "ListView2 Command4 MyButton1 MyButton2 MyButton3");
  EXPECT_EQ(tabRound(true), "ListView2 MyButton3 MyButton2 MyButton1 Command4");

  QTest::keyClick(p->ListView2->itemView(), Qt::Key_Tab);
  ASSERT_EQ(focusedControl(), "Command4");
  EXPECT_TRUE(p->Command4->showsFocus());
  QTest::keyClick(p->Command4, Qt::Key_Return);
  EXPECT_EQ(p->Command4->Caption(), "AutoSize/Non");
  QTest::keyClick(p->Command4, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(p->Command4->Caption(), "AutoSize/Oui");
  QTest::keyClick(p->Command4, Qt::Key_Tab);
  ASSERT_EQ(focusedControl(), "MyButton1");
  QTest::keyClick(p->MyButton1, Qt::Key_Space);  // "Tout Barre des Tâches"
  EXPECT_EQ(p->WindowState(), vbMinimized);
  EXPECT_EQ(w->WindowState(), vbNormal);
}
