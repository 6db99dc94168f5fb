#include <QDir>
#include <QFile>

#include "database/dbfolder.h"
#include "database/extensiontables.h"
#include "platform/pathcodec.h"
#include "search/searchscan.h"
#include "tests/testing/fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

bool holds(const QString& criterion, const QByteArray& path) {
  return CriterionMatcher(searchCriterion(criterion)).matches(QByteArrayView(path));
}

}  // namespace

TEST(SearchCriterion, BlanksAroundGoAndCaseIsLowered) {
  EXPECT_EQ(searchCriterion("  JPG  "), "jpg");
  EXPECT_EQ(searchCriterion(" Été 2008 "), "été 2008");
  // Only blanks are trimmed, as the runtime's Trim does.
  EXPECT_EQ(searchCriterion("\tAb "), "\tab");
  EXPECT_EQ(searchCriterion("   "), "");
}

TEST(CriterionMatcher, FindsTheCriterionAnywhereWhateverTheCaseOnDisk) {
  EXPECT_TRUE(holds("jpg", "/home/u/Photos/IMG_001.JPG"));
  EXPECT_TRUE(holds("JPG", "/home/u/JpG-Vrac/readme.txt")) << "in a folder name";
  EXPECT_TRUE(holds("photos/img", "/home/u/PHOTOS/Img_1.png")) << "across the separator";
  EXPECT_FALSE(holds("jpeg", "/home/u/Photos/IMG_001.JPG"));
  // Non-ASCII letters are compared in lower case too.
  EXPECT_TRUE(holds("été", "/home/u/ÉTÉ 2008/plage.png"));
  EXPECT_TRUE(holds("ÉTÉ", "/home/u/été/plage.png"));
  EXPECT_FALSE(holds("été", "/home/u/ete/plage.png"));
  // A character outside ASCII can lower-case to an ASCII letter.
  EXPECT_TRUE(holds("kilo", QStringLiteral("/data/\u212AILO.bin").toUtf8()));
  // An ASCII path can never hold a criterion with other characters.
  EXPECT_FALSE(holds("é", "/home/u/e/plage.png"));
  // Undecodable bytes do not hide the rest of the path.
  EXPECT_TRUE(holds("notes", QByteArray("/tmp/caf\xe9/NOTES.txt")));
  EXPECT_FALSE(holds("cafe", QByteArray("/tmp/caf\xe9/NOTES.txt")));
}

TEST(CriterionMatcher, TheLastCharactersOfAFullRecordCount) {
  QByteArray path = "/" + QByteArray(295, 'a') + "/ZQX";
  ASSERT_EQ(path.size(), 300);
  const QByteArrayView stored = recordText(path);
  EXPECT_EQ(stored.size(), 300);
  EXPECT_TRUE(CriterionMatcher("zqx").matches(stored));
  EXPECT_TRUE(CriterionMatcher("/zqx").matches(stored));
  EXPECT_FALSE(CriterionMatcher("zqxy").matches(stored));
  // The same with a character outside ASCII ahead of it.
  path = "/é" + QByteArray(293, 'a') + "/ZQX";
  ASSERT_EQ(path.size(), 300);
  EXPECT_TRUE(CriterionMatcher("zqx").matches(recordText(path)));
}

TEST(StoredPath, BlanksTrimmedAndNothingFromAZeroByte) {
  const QByteArray record = QByteArray("  /a/b c.txt").leftJustified(300, ' ');
  EXPECT_EQ(recordText(record).toByteArray(), QByteArray("/a/b c.txt"));
  const QByteArray damaged = (QByteArray("/a/file.jpg") + QByteArray("\0/x.jpg", 7)).leftJustified(300, ' ');
  EXPECT_EQ(recordText(damaged).toByteArray(), QByteArray("/a/file.jpg"));
  // A record past the end of the file reads as zeros: no path.
  EXPECT_TRUE(recordText(QByteArray(300, '\0')).isEmpty());
  EXPECT_FALSE(CriterionMatcher("a").matches(recordText(QByteArray(300, '\0'))));
}

class ScopeCountTest : public AppFolderTest {};

TEST_F(ScopeCountTest, MissingOrUnopenableListsCountZeroAndAreNotCreated) {
  writeFile(dbDir() + "/jpg.vrn", records({"/a.jpg", "/b.jpg", "/c.jpg"}));
  // A partial record at the end is not a record.
  writeFile(dbDir() + "/txt.vrn", records({"/a.txt"}) + QByteArray(299, ' '));
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/dir.vrn"));
  EXPECT_EQ(listRecordCount(listFileOf("jpg")), 3);
  EXPECT_EQ(listRecordCount(listFileOf("txt")), 1);
  EXPECT_EQ(listRecordCount(listFileOf("zip")), 0);
  EXPECT_EQ(listRecordCount(listFileOf("dir")), 0);
  EXPECT_FALSE(QFile::exists(dbDir() + "/zip.vrn"));
  EXPECT_EQ(listFileOf("jpg"), fichierBase("jpg.vrn"));
}

TEST_F(ScopeCountTest, TheCommonScopeIsTheTableInItsOrder) {
  const QStringList table = tableFromItems(commonExtensionEntries());
  const QStringList files = commonScopeFiles(table);
  ASSERT_EQ(files.size(), 27);
  EXPECT_EQ(files.first(), listFileOf(commonExtensionEntries().first()));
  EXPECT_EQ(files.last(), listFileOf(commonExtensionEntries().last()));
  // A table not loaded yet names no list (not the bare ".vrn").
  EXPECT_TRUE(commonScopeFiles(QStringList()).isEmpty());
}
