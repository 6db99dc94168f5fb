#include <QAbstractItemView>
#include <QHeaderView>

#include "tests/mainwindow/list_rows.h"
#include "mainwindow/listrows.h"
#include "mainwindow/listviewtools.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

const int kDesignWidths[] = {4000, 1440, 1440, 1440, 1440, 1400, 1000, 0, 0};

// A row whose texts are far wider than the narrow columns below.
ColonnesListe wideRow(int n) {
  ColonnesListe row =
      makeRow("/un/dossier/au/nom/vraiment/très/très/long/Fichier numéro " + QString::number(n) + ".txt", n,
              DetailColumns{false}, nullptr);
  row.cells[2] = "000,123,456,789,000";
  row.cells[3] = row.cells[4] = row.cells[5] = "25/12/2008 14:03:07";
  row.cells[6] = "R H A";
  return row;
}

QList<int> widths(const ListView& list) {
  QList<int> out;
  for (int k = 1; k <= list.ColumnCount(); ++k) out << list.ColumnWidth(k);
  return out;
}

}  // namespace

class PresentationTest : public Main2Test {};

TEST_F(PresentationTest, FittingSizesAllButTheLastThreeColumns) {
  ListView list;
  for (int k = 0; k < 9; ++k) list.AddColumn(k < 7 ? QString("C%1").arg(k) : QString(), k < 7 ? 150 : 0);
  for (int i = 1; i <= 5; ++i) addRow(&list, wideRow(i));
  list.resize(600, 300);
  list.show();
  fitListColumns(&list);
  const QList<int> w = widths(list);
  for (int k = 0; k < 6; ++k) EXPECT_GT(w[k], 150) << "column " << k << " fits its texts";
  EXPECT_EQ(w[6], 150);
  EXPECT_EQ(w[7], 0);
  EXPECT_EQ(w[8], 0);

  // Three columns or fewer: nothing to fit.
  ListView small;
  for (int k = 0; k < 3; ++k) small.AddColumn("Colonne " + QString::number(k), 30);
  addRow(&small, wideRow(1));
  fitListColumns(&small);
  EXPECT_EQ(widths(small), QList<int>({30, 30, 30}));
  ListView none;
  fitListColumns(&none);
  EXPECT_EQ(none.ColumnCount(), 0);
}

TEST_F(PresentationTest, StripesNeedAReportViewWithRows) {
  ListView list;
  list.AddColumn("Nom", 1000);
  stripeListRows(&list, kStripeWhite, kStripeYellow);
  EXPECT_EQ(list.RowColor(2), 0xFFFFFFu) << "an empty list is left alone";
  list.Add("a");
  list.Add("b");
  list.setView(ListView::lvwIcon);
  stripeListRows(&list, kStripeWhite, kStripeYellow);
  EXPECT_EQ(list.RowColor(2), 0xFFFFFFu) << "an icon view is left alone";
  list.setView(ListView::lvwReport);
  stripeListRows(&list, kStripeWhite, kStripeYellow);
  EXPECT_EQ(list.RowColor(1), 0xFFFFFFu);
  EXPECT_EQ(list.RowColor(2), 0xC0FFFFu);
}

TEST_F(PresentationTest, TheStripeButtonFollowsItsStateLabel) {
  Main2* w = startWindow();
  w->ListView2->setView(ListView::lvwReport);  // as every load shows its list
  w->ListView2->Add("a");
  w->ListView2->Add("b");
  w->Label6->setCaption(kStripesOff);
  w->Command5->click();
  EXPECT_EQ(w->Label6->Caption(), kStripesOn);
  EXPECT_EQ(w->ListView2->RowColor(2), 0xC0FFFFu);
  w->Command5->click();
  EXPECT_EQ(w->Label6->Caption(), kStripesOff);
  EXPECT_EQ(w->ListView2->RowColor(1), 0xFFFFFFu);
  EXPECT_EQ(w->ListView2->RowColor(2), 0xFFFFFFu);
  w->Label6->setCaption("peut-être");
  w->Command5->click();
  EXPECT_EQ(w->Label6->Caption(), "peut-être");
  EXPECT_EQ(w->ListView2->RowColor(2), 0xFFFFFFu);
}

TEST_F(PresentationTest, PressingAutoSizeTwiceReturnsEveryColumnToItsStartUpWidth) {
  Main2* w = startWindow();
  for (int i = 1; i <= 20; ++i) addRow(w->ListView2, wideRow(i));
  w->ListView2->show();
  ASSERT_EQ(widths(*w->ListView2), QList<int>(std::begin(kDesignWidths), std::end(kDesignWidths)));

  w->Command4->click();
  EXPECT_EQ(vrnVars().AutoSizeActif, 1);
  EXPECT_EQ(w->Command4->Caption(), "AutoSize/Non");
  const QList<int> fitted = widths(*w->ListView2);
  EXPECT_GT(fitted[1], 1440) << "the long paths widen the path column";
  EXPECT_EQ(fitted.mid(6), QList<int>({1000, 0, 0}));

  w->Command4->click();
  EXPECT_EQ(vrnVars().AutoSizeActif, 0);
  EXPECT_EQ(w->Command4->Caption(), "AutoSize/Oui");
  EXPECT_EQ(widths(*w->ListView2), QList<int>(std::begin(kDesignWidths), std::end(kDesignWidths)));
  EXPECT_TRUE(w->ListView2->header()->isSectionHidden(7));
}

TEST_F(PresentationTest, TheViewCombosSetTheViewFromTheirItemData) {
  Main2* w = startWindow();
  // As start-up filled them: four views, then the three arrangements, the
  // last without item data.
  ASSERT_EQ(w->Combo2->ListCount(), 4);
  ASSERT_EQ(w->Combo3->ListCount(), 3);
  struct Pick {
    ComboBox* combo;
    int index;
    const char* text;
    int view;
  };
  const Pick picks[] = {
      {w->Combo2, 0, "Grandes Icônes", ListView::lvwIcon},     {w->Combo2, 2, "Liste", ListView::lvwList},
      {w->Combo2, 1, "Petite Icônes", ListView::lvwSmallIcon}, {w->Combo2, 3, "Détails", ListView::lvwReport},
      {w->Combo3, 1, "Left", ListView::lvwSmallIcon},          {w->Combo3, 0, "Non", ListView::lvwIcon},
      {w->Combo2, 3, "Détails", ListView::lvwReport},          {w->Combo3, 2, "Top", ListView::lvwIcon},
  };
  for (const Pick& p : picks) {
    EXPECT_EQ(p.combo->List(p.index), QString::fromUtf8(p.text));
    p.combo->setListIndex(p.index);
    EXPECT_EQ(w->ListView2->View(), p.view) << p.text;
  }
  // No selection: nothing changes.
  w->Combo2->setCurrentIndex(-1);
  w->Combo2_Click();
  EXPECT_EQ(w->ListView2->View(), ListView::lvwIcon);
}

TEST_F(PresentationTest, ChoosingTheListTypeDropsDownTheListOfLists) {
  Main2* w = startWindow();
  w->Combo1->AddItem("jpg");
  ASSERT_FALSE(w->Combo1->Visible());
  w->mnChoisirTypeFichier->click();
  EXPECT_TRUE(w->Combo1->Visible());
  EXPECT_TRUE(w->MyFrame7->Visible());
  EXPECT_TRUE(w->Combo1->view()->isVisible()) << "the list is dropped down";
  w->Combo1->hidePopup();
}
