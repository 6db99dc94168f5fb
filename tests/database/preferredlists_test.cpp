// mesp.par: reading the stored names, matching them with lists, rewriting
// the file; and the names of catalogue entries.
#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "database/listsets.h"
#include "database/preferredlists.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "tests/database/killpoint.h"
#include "tests/testing/fixture.h"
#include "tests/testing/immutable.h"
#include "tests/testing/smallfs.h"

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
  const auto stored = readPreferredRecords({"txt"});
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->length, 0);
  EXPECT_EQ(stored->count, 0);
  EXPECT_EQ(stored->stored, std::vector<bool>{false});
  EXPECT_TRUE(QFile::exists(mesp()));
  EXPECT_FALSE(fileChannel(3).isOpen());
}

TEST_F(PreferredListsTest, WholeRecordsAreReadTrimmedOfBlanks) {
  // Blanks around a name go, other characters stay; a trailing part record
  // counts in the length but is not a name.
  writeFile(mesp(), records({"  MP3  ", "avi", "\tdoc"}, 30) + "jpg");
  const QStringList lists = {"mp3", "AVI", "doc", "\tdoc", "jpg", "mp"};
  const auto stored = readPreferredRecords(lists);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->length, 93);
  EXPECT_EQ(stored->count, 3);
  EXPECT_EQ(stored->stored, (std::vector<bool>{true, true, false, true, false, false}));

  writeFile(mesp(), "short");
  EXPECT_EQ(readPreferredRecords(lists)->length, 5);
  EXPECT_EQ(readPreferredRecords(lists)->count, 0);
  EXPECT_EQ(readPreferredRecords(lists)->stored, std::vector<bool>(6, false));

  // A record holding a zero byte names no list.
  writeFile(mesp(), QByteArray("avi") + QByteArray(27, '\0') + records({"doc"}, 30));
  EXPECT_EQ(readPreferredRecords(lists)->stored, (std::vector<bool>{false, false, true, false, false, false}));
}

// A huge mesp.par (a sparse file of a gigabyte, as a damaged disk or a
// stray copy can leave) is counted from its length and read only where it
// holds data, once: the reads stay small, and the names in it are found.
TEST_F(PreferredListsTest, AHugeSparseFileIsReadOnlyWhereItHoldsData) {
  const qint64 size = qint64(1) << 30;
  {
    QFile file(mesp());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
    for (const auto& [record, name] :
         {std::pair<qint64, QByteArray>{1000, "txt"}, {17000000, "  MP3"}, {35791394, "avi"}}) {
      ASSERT_TRUE(file.seek((record - 1) * 30));
      ASSERT_EQ(file.write(name.leftJustified(30, ' ')), 30);
    }
  }
  {
    const int fd = ::open(encodePath(mesp()).constData(), O_RDONLY);
    const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
    ::close(fd);
    if (hole < 0 || hole >= size) GTEST_SKIP() << "this file system shows no holes in sparse files";
  }
  const qint64 before = bytesReadSoFar();
  if (before < 0) GTEST_SKIP() << "no count of the bytes read here";
  const auto stored = readPreferredRecords({"avi", "mp3", "txt", "zip"});
  const qint64 read = bytesReadSoFar() - before;
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->length, size);
  EXPECT_EQ(stored->count, size / 30);
  EXPECT_EQ(stored->stored, (std::vector<bool>{true, true, true, false}));
  EXPECT_LT(read, 4 << 20) << "read " << read << " bytes of a file of " << size;
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
  EXPECT_EQ(QDir(dbDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"mesp.par"})
      << "nothing else made in the database folder";
}

// A save cut short at any step (a kill) or refused by a full disk leaves
// mesp.par as it was or as saved, whole, and the next save goes through.
TEST_F(PreferredListsTest, ASaveCutShortLeavesTheOldOrTheNewFileWhole) {
  const QByteArray older = records({"doc", "jpg", "mp3"}, 30);
  const QByteArray newer = records({"avi", "txt"}, 30);
  const auto save = [] { writePreferredLists({"avi", "txt"}); };
  const int steps = countWriteSteps([&] {
    writeFile(mesp(), older);
    save();
  });
  ASSERT_GE(steps, 4);
  int oldSeen = 0, newSeen = 0;
  for (int at = 0; at < steps; ++at) {
    SCOPED_TRACE("killed before step " + std::to_string(at));
    writeFile(mesp(), older);
    ASSERT_TRUE(killWriteAtStep(at, save));
    const QByteArray now = readFile(mesp());
    if (now == older) ++oldSeen;
    else if (now == newer) ++newSeen;
    else ADD_FAILURE() << "cut: " << now.size() << " bytes";
  }
  EXPECT_GT(oldSeen, 0);
  EXPECT_GT(newSeen, 0);
  EXPECT_EQ(writePreferredLists({"txt"}), std::optional<qint64>(1));
  EXPECT_EQ(readFile(mesp()), records({"txt"}, 30));
  EXPECT_EQ(QDir(dbDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"mesp.par"})
      << "what a save cut short left is gone";

  // A disk too full for the new records.
  const SmallFileSystem disk(encodePath(dbDir()), "64k");
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  writeFile(mesp(), older);
  {
    QFile filler(dbDir() + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  QStringList many;
  for (int i = 0; i < 200; ++i) many << "l" + QString::number(i);
  EXPECT_FALSE(writePreferredLists(many));
  EXPECT_EQ(readFile(mesp()), older);
  EXPECT_FALSE(QFile::exists(dbDir() + "/.mesp.par.saving"));
}

// A database folder that takes no new file: as when mesp.par cannot be
// deleted, the records follow those already in it.
TEST_F(PreferredListsTest, AFolderThatTakesNoNewFileGetsTheRecordsAfterTheOldOnes) {
  writeFile(mesp(), records({"doc"}, 30));
  if (!setImmutable(dbDir(), true)) GTEST_SKIP() << "no immutable folders here";
  struct Clear {
    QString at;
    ~Clear() { setImmutable(at, false); }
  } clear{dbDir()};
  EXPECT_EQ(writePreferredLists({"avi", "txt"}), std::optional<qint64>(3));
  EXPECT_EQ(readFile(mesp()), records({"doc", "avi", "txt"}, 30));
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
  const auto stored = readPreferredRecords({fits, raw, tooLong, emoji, QString(29, 'a')});
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->count, 2);
  EXPECT_EQ(stored->stored, (std::vector<bool>{true, true, false, false, false}));
}

TEST_F(PreferredListsTest, AFileThatCannotBeOpenedIsReported) {
  ASSERT_TRUE(QDir().mkpath(mesp()));
  EXPECT_FALSE(readPreferredRecords({"txt"}));
}

TEST(ListNames, CatalogueEntriesLessTheirSuffixInLowerCase) {
  EXPECT_EQ(listNameOfEntry("MP3.vrn"), "mp3");
  EXPECT_EQ(listNameOfEntry("jpg.VRN"), "jpg");
  EXPECT_EQ(listNameOfEntry(".vrn"), "");
  EXPECT_EQ(listNameOfEntry(" a b .vrn"), "a b");
  EXPECT_EQ(listNameOfEntry("vrn"), "");
}
