#include <gtest/gtest.h>

#include <QLocale>

#include "mainwindow/listloader.h"
#include "mainwindow/listrows.h"
#include "support/ModeFileInfoVRN.h"
#include "support/formats.h"

using namespace vrn;

TEST(ListRows, TheNameIsWhatLiesBetweenTheLastSlashAndTheLastDot) {
  EXPECT_EQ(nameWithoutExtension("/home/a/Photo.Vacances.JPG"), "Photo.Vacances");
  EXPECT_EQ(nameWithoutExtension("/home/a/.htaccess"), "");
  EXPECT_EQ(nameWithoutExtension("/home/a/fin."), "fin");
  EXPECT_EQ(nameWithoutExtension("relatif.txt"), "relatif");
  // No extension of its own: the whole name rather than a piece of the folder.
  EXPECT_EQ(nameWithoutExtension("/home/v1.2/LISEZMOI"), "LISEZMOI");
  EXPECT_EQ(nameWithoutExtension("/home/a/sans"), "sans");
}

TEST(ListRows, SizesAndRecordNumbersSortAsTheirNumbers) {
  const QString sep = userGroupSeparator();
  EXPECT_EQ(sizeColumnText("1" + sep + "234"), "000" + sep + "001" + sep + "234");
  EXPECT_EQ(sizeColumnText("7"), "000" + sep + "000" + sep + "007");
  EXPECT_EQ(sizeColumnText("12" + sep + "345" + sep + "678" + sep + "901"),
            "12" + sep + "345" + sep + "678" + sep + "901");
  EXPECT_EQ(sizeColumnText(""), "");
  EXPECT_LT(sizeColumnText("999"), sizeColumnText("1" + sep + "000"));
  EXPECT_EQ(recordColumnText(12), "00000012");
  EXPECT_EQ(recordColumnText(123456789), "123456789");
}

TEST(ListRows, DetailsOffIgnoresTheColumnChoices) {
  InfoFichier facts;
  facts.Taille = "5";
  facts.DateAcces = facts.DateCreation = facts.DateModification = "01/02/2003 04:05:06";
  facts.Attributs = "A";
  DetailColumns off;
  off.details = false;
  off.path = false;
  ColonnesListe row = makeRow("/d/Été.TXT", 7, off, &facts);
  EXPECT_EQ(row.cells[0], "Été");
  EXPECT_EQ(row.cells[1], "/d/Été.TXT");
  for (int k = 2; k <= 6; ++k) EXPECT_EQ(row.cells[size_t(k)], "") << k;
  EXPECT_EQ(row.cells[7], "été");
  EXPECT_EQ(row.cells[8], "00000007");

  DetailColumns on;
  on.access = false;
  row = makeRow("/d/x.txt", 1, on, &facts);
  EXPECT_EQ(row.cells[1], "/d/x.txt");
  EXPECT_EQ(row.cells[2], sizeColumnText("5"));
  EXPECT_EQ(row.cells[3], "");
  EXPECT_EQ(row.cells[4], facts.DateCreation);
  EXPECT_EQ(row.cells[6], "A");
}

TEST(ListRows, ARecordPathStopsAtBlanksAndZeroBytes) {
  EXPECT_EQ(recordPath(QByteArray("  /a/b c.txt   ")), "/a/b c.txt");
  EXPECT_EQ(recordPath(QByteArray("/a/b.txt\0/a/b.txt.old", 21)), "/a/b.txt");
  EXPECT_EQ(recordPath(QByteArray(300, '\0')), "");
}
