// mesp.par: reading the stored names, matching them with lists, rewriting
// the file; and the names of catalogue entries.
#include <QDir>
#include <QFile>

#include "database/listsets.h"
#include "database/preferredlists.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "tests/testing/fixture.h"

using namespace vrn;
using namespace vrn::testing;

class PreferredListsTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    QDir().mkpath(dbDir());
  }
  QString mesp() const { return dbDir() + "/mesp.par"; }
};

TEST_F(PreferredListsTest, AMissingFileIsCreatedEmptyAndHoldsNothing) {
  const auto stored = readPreferredRecords();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->length, 0);
  EXPECT_TRUE(stored->names.isEmpty());
  EXPECT_TRUE(QFile::exists(mesp()));
  EXPECT_FALSE(fileChannel(3).isOpen());
}

TEST_F(PreferredListsTest, WholeRecordsAreReadTrimmedOfBlanks) {
  // Blanks around a name go, other characters stay; a trailing part record
  // counts in the length but is not a name.
  writeFile(mesp(), records({"  MP3  ", "avi", "\tdoc"}, 30) + "jpg");
  const auto stored = readPreferredRecords();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->length, 93);
  EXPECT_EQ(stored->names, (QStringList{"MP3", "avi", "\tdoc"}));

  writeFile(mesp(), "short");
  EXPECT_EQ(readPreferredRecords()->length, 5);
  EXPECT_TRUE(readPreferredRecords()->names.isEmpty());
}

TEST_F(PreferredListsTest, NamesMatchInAnyLetterCase) {
  EXPECT_TRUE(samePreferredName("mp3", "MP3"));
  EXPECT_TRUE(samePreferredName("Été", "éTÉ"));
  EXPECT_FALSE(samePreferredName("mp3", "mp4"));
  EXPECT_FALSE(samePreferredName("mp3", " mp3")) << "the reader trims, the match does not";
}

TEST_F(PreferredListsTest, SavingReplacesTheFileInOrder) {
  writeFile(mesp(), records({"old1", "old2", "old3"}, 30));
  const auto last = writePreferredLists({"txt", "avi"});
  ASSERT_TRUE(last);
  EXPECT_EQ(*last, 2);
  EXPECT_EQ(readFile(mesp()), records({"txt", "avi"}, 30));
  EXPECT_FALSE(fileChannel(3).isOpen());

  EXPECT_EQ(writePreferredLists({}), std::optional<qint64>(0));
  ASSERT_TRUE(QFile::exists(mesp()));
  EXPECT_EQ(QFile(mesp()).size(), 0) << "nothing ticked leaves an empty file";
}

TEST_F(PreferredListsTest, NamesLongerThanARecordAreLeftOutAndUndecodableNamesRoundTrip) {
  // 29 ASCII bytes then "é" (two bytes): cut, it would name the list "aaa...a"
  // or none, so it is not saved at all. Thirty bytes fit whole.
  const QString tooLong = QString(29, 'a') + QString::fromUtf8("é");
  const QString fits = QString(28, 'b') + QString::fromUtf8("é");
  const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(8);  // 8 characters, 32 bytes
  const QString raw =
      decodePath(QByteArray("b\xFF"
                            "c"));
  EXPECT_EQ(writePreferredLists({tooLong, fits, emoji, raw}), std::optional<qint64>(2));
  const QByteArray bytes = readFile(mesp());
  ASSERT_EQ(bytes.size(), 60);
  EXPECT_EQ(bytes.left(30), encodePath(fits));
  EXPECT_EQ(bytes.mid(30, 3), QByteArray("b\xFF"
                                         "c"));
  const auto stored = readPreferredRecords();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->names, (QStringList{fits, raw}));
}

TEST_F(PreferredListsTest, AFileThatCannotBeOpenedIsReported) {
  ASSERT_TRUE(QDir().mkpath(mesp()));
  EXPECT_FALSE(readPreferredRecords());
}

TEST(ListNames, CatalogueEntriesLessTheirSuffixInLowerCase) {
  EXPECT_EQ(listNameOfEntry("MP3.vrn"), "mp3");
  EXPECT_EQ(listNameOfEntry("jpg.VRN"), "jpg");
  EXPECT_EQ(listNameOfEntry(".vrn"), "");
  EXPECT_EQ(listNameOfEntry(" a b .vrn"), "a b");
  EXPECT_EQ(listNameOfEntry("vrn"), "");
}
