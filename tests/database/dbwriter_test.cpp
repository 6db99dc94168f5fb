// The database writer and the catalogue, byte for byte, alone and after a
// real walk and sort.
#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <sys/stat.h>

#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "database/walk.h"
#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "support/TriRapide.h"
#include "tests/database/tree.h"
#include "tests/testing/fixture.h"

namespace vrn {
namespace {

using testing::makeFile;
using testing::makeFolder;

class DbWriterTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    ASSERT_TRUE(QDir().mkpath(dbDir()));
  }
  QStringList dbEntries() const {
    QDir d(dbDir());
    return d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  }
  WaitHook recorder() {
    return [this](double s) { waits << s; };
  }
  QList<double> waits;
};

QByteArray padded(const QByteArray& s, int width) { return s + QByteArray(width - s.size(), ' '); }

TEST_F(DbWriterTest, WritesOneListFilePerRunAndTheSource) {
  const std::vector<QByteArray> ext{"", "", "", "gz", "txt", "txt", "txt"};
  const std::vector<QByteArray> paths{"", "", "", "/s/a.tar.gz", "/s/a.TXT", "/s/b.txt", "/s/c.Txt"};
  writeListFiles(dbDir(), "/s", ext, paths, 6, recorder());
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), padded("/s", 1024));
  EXPECT_EQ(readFile(dbDir() + "/gz.vrn"), padded("/s/a.tar.gz", 300));
  EXPECT_EQ(readFile(dbDir() + "/txt.vrn"), records({"/s/a.TXT", "/s/b.txt", "/s/c.Txt"}));
  EXPECT_EQ(readFile(dbDir() + "/.vrn"), QByteArray(600, ' ')) << "the files not retained, until it is deleted";
  EXPECT_EQ(waits, QList<double>{2}) << "nothing to delete first";
  deleteBareList(dbDir(), recorder());
  EXPECT_EQ(waits, (QList<double>{2, 1}));
  EXPECT_EQ(dbEntries(), (QStringList{"der.rep", "gz.vrn", "txt.vrn"}));
  deleteBareList(dbDir(), recorder());
  EXPECT_EQ(waits, (QList<double>{2, 1})) << "no bare list, no wait";
}

TEST_F(DbWriterTest, DeletesEveryOldListFileFirst) {
  for (const char* f : {"old.vrn", "X.VRN", "y.vrn.bak", ".vrn", "keep.txt", "der.rep", "mesp.par"})
    writeFile(dbDir() + "/" + f, "x");
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/dir.vrn"));
  writeListFiles(dbDir(), "/new", {"", "c"}, {"", "/new/m.c"}, 1, recorder());
  EXPECT_EQ(dbEntries(), (QStringList{"c.vrn", "der.rep", "dir.vrn", "keep.txt", "mesp.par"}));
  EXPECT_EQ(waits, (QList<double>{2, 2}));
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), padded("/new", 1024)) << "rewritten whole";
}

TEST_F(DbWriterTest, AFolderNamedLikeAListStillCountsAsFound) {
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/only.vrn"));
  writeListFiles(dbDir(), "/s", {"", ""}, {"", ""}, 0, recorder());
  EXPECT_EQ(waits, (QList<double>{2, 2}));
  EXPECT_EQ(dbEntries(), (QStringList{"der.rep", "only.vrn"}));
}

TEST_F(DbWriterTest, AnExtensionWithASlashNeverLandsInAnotherList) {
  // Sorted: "/x" before "x". Written naively, "<db>//x.vrn" is x.vrn.
  const std::vector<QByteArray> ext{"", "/x", "/x", "x"};
  const std::vector<QByteArray> paths{"", "/a.b/1", "/a.b/2", "/s/z.x"};
  writeListFiles(dbDir(), "/s", ext, paths, 3, {});
  EXPECT_EQ(readFile(dbDir() + "/x.vrn"), padded("/s/z.x", 300));
  EXPECT_EQ(dbEntries(), (QStringList{"der.rep", "x.vrn"}));
}

TEST_F(DbWriterTest, ListRecordsAreNeverCutInsideACharacter) {
  const QByteArray source = QByteArray(1023, 'a') + "\xC3\xA9";
  writeListFiles(dbDir(), QString::fromUtf8(source), {"", ""}, {"", ""}, 0, {});
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), QByteArray(1023, 'a') + ' ');
}

TEST_F(DbWriterTest, CatalogueListsRegularListFilesIgnoringCase) {
  writeFile(dbDir() + "/b.vrn", QByteArray(600, ' '));
  writeFile(dbDir() + "/A.vrn", QByteArray(650, ' '));  // two whole records
  writeFile(dbDir() + "/c.VRN", QByteArray());
  writeFile(dbDir() + "/.vrn", QByteArray(300, ' '));
  writeFile(dbDir() + "/d.vrnx", QByteArray(300, ' '));
  writeFile(dbDir() + "/der.rep", QByteArray(1024, ' '));
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/e.vrn"));
  const QStringList files = catalogueFiles(dbDir());
  EXPECT_EQ(files, (QStringList{".vrn", "A.vrn", "b.vrn", "c.VRN"}));
  EXPECT_EQ(listNames(files), (QStringList{"A", "b", "c"}));
  EXPECT_EQ(countDatabaseRecords(dbDir(), files), 2 + 2 + 0) << "the bare list is never counted";
  EXPECT_FALSE(fileChannel(kListChannel).isOpen());
  EXPECT_EQ(countDatabaseRecords(dbDir(), {"gone.vrn"}), 0);
  EXPECT_FALSE(QFile::exists(dbDir() + "/gone.vrn")) << "counting creates nothing";
}

TEST_F(DbWriterTest, AnEmptyFolderHasNoListsAndNoRecords) {
  EXPECT_TRUE(catalogueFiles(dbDir()).isEmpty());
  EXPECT_EQ(countDatabaseRecords(dbDir(), catalogueFiles(dbDir())), 0);
}

// Walk, sort and write a real tree, as the scan does.
TEST_F(DbWriterTest, AScanOfARealTreeGivesByteExactLists) {
  testing::TempTree tree;
  const QByteArray src = tree.path();
  for (const char* f :
       {"a.TXT", "b.txt", "c.Txt", "notes.backup2024", "README", "archive.tar.gz", "x. txt", ".profile"})
    makeFile(tree / f);
  makeFolder(tree / "v1.2");
  makeFile(tree / "v1.2/readme");
  makeFile(tree / "caf\xE9.txt");
  makeFolder(tree / "z");
  makeFile(tree / "z/IMG.JPG");

  std::vector<QByteArray> ext(2), paths(2);
  qint64 found = 0;
  ASSERT_EQ(walkFolder(src, {ext, paths, found}, {}), WalkResult::Completed);
  ASSERT_EQ(found, 11);
  ASSERT_TRUE(TriRapide(1, found, ext, true, paths));
  writeListFiles(dbDir(), decodePath(src), ext, paths, found, recorder());
  deleteBareList(dbDir(), recorder());

  EXPECT_EQ(dbEntries(), (QStringList{"der.rep", "gz.vrn", "jpg.vrn", "profile.vrn", "txt.vrn"}));
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), padded(src, 1024));
  EXPECT_EQ(readFile(dbDir() + "/gz.vrn"), padded(tree / "archive.tar.gz", 300));
  EXPECT_EQ(readFile(dbDir() + "/jpg.vrn"), padded(tree / "z/IMG.JPG", 300));
  const QByteArray txt = readFile(dbDir() + "/txt.vrn");
  ASSERT_EQ(txt.size(), 5 * 300);
  QSet<QByteArray> stored;
  for (int r = 0; r < 5; ++r) {
    const QByteArray rec = txt.mid(r * 300, 300);
    EXPECT_EQ(rec, padded(trimBlanks(rec), 300));
    stored << trimBlanks(rec);
  }
  EXPECT_EQ(stored,
            (QSet<QByteArray>{tree / "a.TXT", tree / "b.txt", tree / "c.Txt", tree / "x. txt", tree / "caf\xE9.txt"}));
  EXPECT_EQ(waits, (QList<double>{2, 1}));
  EXPECT_EQ(countDatabaseRecords(dbDir(), catalogueFiles(dbDir())), 8) << "11 found, 3 listed nowhere";
}

TEST_F(DbWriterTest, LongWritesOfferEventTurnsWithoutChangingTheLists) {
  for (const char* f : {"a.vrn", "b.vrn", "c.vrn"}) writeFile(dbDir() + "/" + f, "x");
  std::vector<QByteArray> ext(1), paths(1);
  for (int i = 0; i < 5000; ++i) {
    ext.emplace_back(i < 2500 ? "doc" : "odt");
    paths.emplace_back("/s/" + QByteArray::number(i));
  }
  // What the folder holds at each turn the writer offers.
  QList<qint64> storedAtTurns;
  auto stored = [&] {
    qint64 bytes = 0;
    for (QDirIterator it(dbDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
      bytes += QFileInfo(it.next()).size();
    return bytes;
  };
  // What a reader of the database folder would find at each turn: the old
  // lists whole, or the new ones whole, never a mix.
  const auto whole = [&] {
    const auto has = [&](const char* f) { return QFile::exists(dbDir() + "/" + f); };
    const bool old = readFile(dbDir() + "/a.vrn") == "x" && readFile(dbDir() + "/b.vrn") == "x" &&
                     readFile(dbDir() + "/c.vrn") == "x" && !has("doc.vrn") && !has("odt.vrn");
    const bool fresh = QFile(dbDir() + "/doc.vrn").size() == 2500 * 300 &&
                       QFile(dbDir() + "/odt.vrn").size() == 2500 * 300 && !has("a.vrn") && !has("b.vrn") &&
                       !has("c.vrn");
    return old || fresh;
  };
  int mixedTurns = 0;
  EventPump everyOffer(0);
  everyOffer.setBeforeTurn([&] {
    storedAtTurns << stored();
    if (!whole()) ++mixedTurns;
  });
  writeListFiles(dbDir(), "/s", ext, paths, 5000, {}, &everyOffer);
  EXPECT_EQ(mixedTurns, 0) << "a turn saw old and new lists side by side";
  const qint64 records = 5000 * 300;
  EXPECT_TRUE(std::any_of(storedAtTurns.begin(), storedAtTurns.end(), [&](qint64 bytes) {
    return bytes > records / 4 && bytes < records * 3 / 4;
  })) << "the window gets turns while the records are being written";
  EXPECT_EQ(QFile(dbDir() + "/doc.vrn").size(), 2500 * 300);
  EXPECT_EQ(QFile(dbDir() + "/odt.vrn").size(), 2500 * 300);
  EXPECT_FALSE(QFile::exists(dbDir() + "/a.vrn"));
}

}  // namespace
}  // namespace vrn
