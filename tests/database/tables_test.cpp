// The two fixed extension tables and their membership rule.
#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>

#include "database/extensiontables.h"
#include "support/VariablesVRN.h"

using namespace vrn;

TEST(ExtensionTables, SizesOrderAndKnownElements) {
  const QStringList common = tableFromItems(commonExtensionEntries());
  const QStringList risky = tableFromItems(riskyExtensionEntries());
  ASSERT_EQ(tableUpper(common), 27);
  ASSERT_EQ(tableUpper(risky), 85);
  EXPECT_EQ(tableAt(common, 0), "") << "slot 0 is unused";
  EXPECT_EQ(tableAt(common, 1), "aac");
  EXPECT_EQ(tableAt(common, 5), "flv");
  EXPECT_EQ(tableAt(common, 14), "mov");
  EXPECT_EQ(tableAt(common, 27), "zip");
  EXPECT_EQ(tableAt(risky, 1), "ade");
  EXPECT_EQ(tableAt(risky, 20), "exe");
  EXPECT_EQ(tableAt(risky, 52), "msh");
  EXPECT_EQ(tableAt(risky, 53), "msh1");
  EXPECT_EQ(tableAt(risky, 54), "msh1xml");
  EXPECT_EQ(tableAt(risky, 55), "msh2");
  EXPECT_EQ(tableAt(risky, 85), "wsh");
  EXPECT_EQ(tableAt(risky, 86), "");
  // Both are listed in the order a sorted box gives them, without repeats.
  for (const QStringList* t : {&commonExtensionEntries(), &riskyExtensionEntries()}) {
    EXPECT_TRUE(std::is_sorted(t->begin(), t->end()));
    EXPECT_EQ(QSet<QString>(t->begin(), t->end()).size(), t->size());
    for (const QString& e : *t) EXPECT_EQ(e, e.toLower()) << e.toStdString();
  }
}

TEST(ExtensionTables, MembershipIsExactAndCaseSensitive) {
  const QStringList common = tableFromItems(commonExtensionEntries());
  const QStringList risky = tableFromItems(riskyExtensionEntries());
  EXPECT_TRUE(tableContains(risky, "exe"));
  EXPECT_FALSE(tableContains(risky, "EXE"));
  EXPECT_FALSE(tableContains(risky, "ex"));
  EXPECT_FALSE(tableContains(risky, "exe "));
  EXPECT_FALSE(tableContains(risky, "")) << "the unused slot is no entry";
  for (const char* e : {"jpe", "jpeg", "jpg", "htm", "html"}) EXPECT_TRUE(tableContains(common, e)) << e;
  for (const char* e : {"shtm", "shtml", "msh1xml"}) EXPECT_TRUE(tableContains(risky, e)) << e;
  EXPECT_FALSE(tableContains(common, "jp"));
  EXPECT_FALSE(tableContains(QStringList(), "exe"));
}
