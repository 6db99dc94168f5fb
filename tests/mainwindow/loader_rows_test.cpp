#include <gtest/gtest.h>

#include <QLocale>

#include "tests/mainwindow/list_rows.h"
#include "mainwindow/listloader.h"
#include "mainwindow/listrows.h"
#include "support/formats.h"

using namespace vrn;
using namespace vrn::testing;

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

TEST(ListRows, ARecordPathStopsAtBlanksAndZeroBytes) {
  EXPECT_EQ(recordPath(QByteArray("  /a/b c.txt   ")), "/a/b c.txt");
  EXPECT_EQ(recordPath(QByteArray("/a/b.txt\0/a/b.txt.old", 21)), "/a/b.txt");
  EXPECT_EQ(recordPath(QByteArray(300, '\0')), "");
}
