#include <QDir>
#include <QFile>
#include <random>

#include "database/dbfolder.h"
#include "database/extensiontables.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
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
  EXPECT_EQ(listFileOf("jpg"), databaseFile("jpg.vrn"));
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

namespace {

QByteArray utf8(const char16_t* text) { return QString::fromUtf16(text).toUtf8(); }

// Stored records of these paths, end to end, blank-padded to 300 bytes.
QByteArray recordsOf(const QList<QByteArray>& paths, int length = 300) {
  QByteArray out;
  for (const QByteArray& p : paths) out += p.leftJustified(length, ' ', true);
  return out;
}

// The records of a block that hold the criterion, by the search's own rule
// applied to each record alone.
std::vector<qsizetype> byTheRule(const QByteArray& block, const QString& criterion, int length = 300) {
  std::vector<qsizetype> hits;
  for (qsizetype i = 0; (i + 1) * length <= block.size(); ++i)
    if (unicodeRuleHolds(recordText(QByteArrayView(block).sliced(i * length, length)), criterion)) hits.push_back(i);
  return hits;
}

std::vector<qsizetype> byTheBlockScan(const QByteArray& block, const QString& criterion, int length = 300) {
  std::vector<qsizetype> hits;
  CriterionMatcher(criterion).findInRecords(block.constData(), block.size() / length, length, hits);
  return hits;
}

// Awkward stored paths; each is tried alone and among neighbours.
const QList<QByteArray>& awkwardRecords() {
  static const QList<QByteArray> list = [] {
    QList<QByteArray> r;
    r << "/home/u/Docs/README.md"
      << "  /blanks/at/both/ends/ReadMe  " << utf8(u"/DONNÉES/ÉTÉ/ÇA VA.TXT")  // upper case outside ASCII
      << utf8(u"/de/Straße/GROẞ.txt")                                          // sharp s, small and capital
      << utf8(u"/tr/İSTANBUL/İi.jpg")                                          // its lower case is two code points
      << utf8(u"/units/5\u212A/KELVIN.dat")                                    // Kelvin sign: lower case is ASCII k
      << utf8(u"/fr/cafe\u0301/Cafe\u0301.txt")                                // combining accent
      << utf8(u"/fr/café/Café.txt")                                            // the same, precomposed
      << QByteArray("/raw/\xff\xfe/readme\x80.txt")                            // bytes that are not UTF-8
      << QByteArray("/raw/caf\xc3")                                            // a sequence cut at the end
      << QByteArray("/raw/\xc0\xafREADME")                                     // an overlong form
      << QByteArray("/zero/a\0/readme.txt", 19)                                // a zero byte ends the path
      << QByteArray("\0/readme", 8) << QByteArray()                            // an empty record
      << ("/" + QByteArray(290, 'x') + "/README")                              // 298 bytes
      << ("/" + QByteArray(292, 'y') + "/ReadMe")  // 300 bytes: the criterion ends at the last byte
      << ("/" + QByteArray(289, 'z') + "/é/READ")  // 300 bytes, not ASCII
      << ("/" + QByteArray(298, 'w') + "X")        // 300 bytes, a one-letter hit at the last byte
      << ("/" + QByteArray(298, 'w') + "\xff")     // 300 bytes, a raw byte at the last one
      << "/tabs/a\tb/readme"
      << "/b c/d.e"
      << "rea"  // "readme" cut over two records
      << "dme/x";
    return r;
  }();
  return list;
}

const QStringList& awkwardCriteria() {
  static const QStringList list = {"readme",
                                   "README",
                                   "me",
                                   "r",
                                   "e",
                                   ".",
                                   "/",
                                   "b c",
                                   "\tb",
                                   "ç",
                                   "été",
                                   "ÉTÉ",
                                   "ß",
                                   "ss",
                                   "ẞ",
                                   "i",
                                   QString::fromUtf16(u"i\u0307"),
                                   "istanbul",
                                   "stanbul",
                                   QString::fromUtf16(u"\u0307"),
                                   "k",
                                   "5k",
                                   "kelvin",
                                   "café",
                                   QString::fromUtf16(u"cafe\u0301"),
                                   "cafe",
                                   QString::fromUtf16(u"\u0301"),
                                   QString(QChar(0xDCFF)),
                                   "caf",
                                   "read",
                                   "y/readme",
                                   QString(301, 'x'),
                                   QString(290, 'x'),
                                   "x/readme",
                                   "/zero/a",
                                   "txt",
                                   QString(QChar(0)),
                                   QString::fromUtf16(u"\u212A"),
                                   "x",
                                   "wx"};
  return list;
}

}  // namespace

TEST(CriterionMatcher, TheRuleOnAwkwardPaths) {
  // The rule itself, where its answer is not obvious.
  struct Case {
    QByteArray path;
    QString criterion;
    bool holds;
  };
  const Case cases[] = {
      {utf8(u"/tr/İSTANBUL"), "i", true},
      {utf8(u"/tr/İSTANBUL"), "istanbul", false},  // a combining dot follows the i
      {utf8(u"/tr/İSTANBUL"), "stanbul", true},
      {utf8(u"/de/GROẞ"), "groß", true},
      {utf8(u"/de/Straße"), "ss", false},
      {utf8(u"/units/5\u212A"), "5k", true},
      {utf8(u"/fr/cafe\u0301"), "café", false},  // composed and decomposed stay apart
      {utf8(u"/fr/cafe\u0301"), "cafe", true},
      {QByteArray("/raw/\xff/x"), QString(QChar(0xDCFF)), true},  // the escape of a raw byte
      {QByteArray("/raw/\xc3"), "caf", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(unicodeRuleHolds(c.path, c.criterion), c.holds)
        << c.path.toStdString() << " / " << c.criterion.toStdString();
    EXPECT_EQ(CriterionMatcher(c.criterion).matches(c.path), c.holds) << c.path.toStdString();
  }
}

TEST(CriterionMatcher, TheBlockScanFindsWhatTheRuleFindsOnAwkwardRecords) {
  const QList<QByteArray>& texts = awkwardRecords();
  // Every record alone, and all of them in a row (so each has other records
  // beside it); the blocks differ in length so that records also fall at
  // the end of a block, where the scan goes one place at a time.
  QList<QByteArray> blocks;
  for (const QByteArray& t : texts) blocks << recordsOf({t});
  blocks << recordsOf(texts);
  QList<QByteArray> reversed(texts.rbegin(), texts.rend());
  blocks << recordsOf(reversed);
  int hits = 0;
  for (const QString& criterion : awkwardCriteria()) {
    for (const QByteArray& block : blocks) {
      const std::vector<qsizetype> expected = byTheRule(block, criterion);
      EXPECT_EQ(byTheBlockScan(block, criterion), expected)
          << "criterion " << criterion.toStdString() << " in " << block.left(60).toStdString();
      hits += int(expected.size());
    }
    // The one-path test agrees too.
    for (const QByteArray& t : texts) {
      const QByteArray record = recordsOf({t});
      EXPECT_EQ(CriterionMatcher(criterion).matches(recordText(record)),
                unicodeRuleHolds(recordText(record), criterion))
          << criterion.toStdString() << " in " << t.toStdString();
    }
  }
  EXPECT_GT(hits, 100) << "the table holds hits";
  // The criterion's bytes cut over two records are not a hit.
  EXPECT_EQ(byTheBlockScan(recordsOf({"/x/rea", "dme"}), "readme"), std::vector<qsizetype>{});
  EXPECT_EQ(byTheBlockScan(recordsOf({"/x/rea", "dme", "/readme"}), "readme"), std::vector<qsizetype>{2});
  // Bytes outside ASCII in records side by side each mark their own record,
  // wherever the records start in the scan's steps (records of 5 bytes).
  QList<QByteArray> small(14, "aaaaa");
  small[2] = "aaaa\xff";
  small[3] = "\xffkkkk";
  small[13] = "kkkk\xff";
  const QByteArray packed = recordsOf(small, 5);
  const QString rawByte(QChar(0xDCFF));
  EXPECT_EQ(byTheBlockScan(packed, rawByte, 5), (std::vector<qsizetype>{2, 3, 13}));
  EXPECT_EQ(byTheBlockScan(packed, "k", 5), (std::vector<qsizetype>{3, 13}));
}

TEST(CriterionMatcher, TheBlockScanFindsWhatTheRuleFindsOnRandomRecords) {
  // Records built from pieces that upset byte matching: both cases, blanks,
  // characters outside ASCII whose lower case changes length or is ASCII,
  // combining marks, bytes that are not UTF-8 and zero bytes.
  const QList<QByteArray> pieces = {"a",
                                    "A",
                                    "b",
                                    "B",
                                    "r",
                                    "E",
                                    "e",
                                    "d",
                                    "M",
                                    "/",
                                    ".",
                                    " ",
                                    "  ",
                                    "k",
                                    "i",
                                    "I",
                                    "s",
                                    "S",
                                    utf8(u"é"),
                                    utf8(u"É"),
                                    utf8(u"ß"),
                                    utf8(u"ẞ"),
                                    utf8(u"İ"),
                                    utf8(u"\u212A"),
                                    utf8(u"\u0301"),
                                    utf8(u"\u0307"),
                                    "\xff",
                                    "\xc3",
                                    QByteArray(1, '\0'),
                                    "readme",
                                    "README",
                                    "ReAdMe"};
  std::mt19937 random(20240611);
  auto pick = [&](int n) { return int(random() % unsigned(n)); };
  QList<QByteArray> texts;
  for (int i = 0; i < 3000; ++i) {
    QByteArray t;
    const int target = pick(6) == 0 ? 300 : pick(80);
    while (t.size() < target) t += pieces[pick(int(pieces.size()))];
    texts << t.left(300);
  }
  QStringList criteria = {"readme", "e", "a.", "k", "i", "ß", "é", "ss", "ea", "rea d"};
  for (int i = 0; i < 40; ++i) {
    // Part of a record, in lower case: a criterion that is often there.
    const QString text = decodePath(recordText(recordsOf({texts[pick(int(texts.size()))]})).toByteArray());
    const int from = text.isEmpty() ? 0 : pick(int(text.size()));
    const QString part = searchCriterion(text.mid(from, 1 + pick(6)));
    if (!part.isEmpty()) criteria << part;
  }
  const QByteArray block = recordsOf(texts);
  int hits = 0;
  for (const QString& criterion : criteria) {
    const std::vector<qsizetype> expected = byTheRule(block, criterion);
    EXPECT_EQ(byTheBlockScan(block, criterion), expected) << "criterion " << criterion.toStdString();
    // The same records split into blocks of other lengths.
    std::vector<qsizetype> inParts;
    const CriterionMatcher matcher(criterion);
    for (qsizetype first = 0, n = 1; first < texts.size(); first += n, n = n * 3 % 97 + 1) {
      const qsizetype count = std::min<qsizetype>(n, texts.size() - first);
      std::vector<qsizetype> part;
      matcher.findInRecords(block.constData() + first * 300, count, 300, part);
      for (qsizetype p : part) inParts.push_back(first + p);
    }
    EXPECT_EQ(inParts, expected) << "criterion " << criterion.toStdString();
    hits += int(expected.size());
  }
  EXPECT_GT(hits, 1000) << "the random records hold hits";
  // Records of other lengths put the record starts at every place of the
  // scan's sixteen-byte steps.
  for (int length : {1, 7, 13, 37, 301}) {
    const QByteArray other = recordsOf(texts, length);
    for (const QString& criterion : criteria.mid(0, 12))
      EXPECT_EQ(byTheBlockScan(other, criterion, length), byTheRule(other, criterion, length))
          << "criterion " << criterion.toStdString() << ", records of " << length;
  }
}

class ScopeReaderTest : public AppFolderTest {
 protected:
  // What the window must get for a list file, read record by record as the
  // search once did: its whole records and the hits among them.
  struct Expected {
    bool opened = false;
    qint64 count = 0;
    std::vector<ScopeReader::Hit> hits;
  };
  static Expected expectedOf(const QString& file, const QString& criterion) {
    Expected e;
    RecordFile f;
    e.opened = f.open(file, kRecFichier, false);
    e.count = f.recordCount();
    for (qint64 r = 1; r <= e.count; ++r) {
      const QByteArray record = f.read(r);
      if (unicodeRuleHolds(recordText(record), criterion)) e.hits.push_back({r, recordText(record).toByteArray()});
    }
    return e;
  }
};

TEST_F(ScopeReaderTest, PiecesComeInScopeOrderWithEveryRecordAndTheHitsOfTheRule) {
  // A list of several blocks with hits on both sides of block ends, one of
  // them outside ASCII; a missing list, a folder, an empty list and a list
  // whose last record is cut short.
  QList<QByteArray> big;
  for (int i = 1; i <= 9000; ++i) big << "/big/f" + QByteArray::number(i) + ".dat";
  for (int r : {1, 255, 256, 257, 4351, 4352, 4353, 8448, 8449, 9000}) big[r - 1] = "/big/Hit/" + QByteArray::number(r);
  big[6000 - 1] = utf8(u"/big/ÉTÉ/HIT");
  big[6001 - 1] = utf8(u"/big/ÉTÉ/H\u0130T");  // lower case "hi̇t": not a hit
  writeFile(dbDir() + "/big.vrn", records(big));
  writeFile(dbDir() + "/short.vrn", records({"/s/hit1", "/s/two"}) + "/s/hit-cut");
  writeFile(dbDir() + "/empty.vrn", QByteArray());
  ASSERT_TRUE(QDir().mkpath(dbDir() + "/folder.vrn"));
  const QStringList files = {dbDir() + "/big.vrn",    dbDir() + "/missing.vrn", dbDir() + "/short.vrn",
                             dbDir() + "/folder.vrn", dbDir() + "/empty.vrn",   dbDir() + "/big.vrn"};
  QList<Expected> expected;
  for (const QString& f : files) expected << expectedOf(f, "hit");
  ASSERT_EQ(expected[0].hits.size(), 11u);
  ASSERT_EQ(expected[2].count, 2);

  for (int workers : {1, 2, 4}) {
    SCOPED_TRACE(workers);
    ScopeReader reader(files, "hit", workers);
    ScopeReader::Piece piece;
    for (qsizetype li = 0; li < files.size(); ++li) {
      ASSERT_TRUE(reader.next(piece, 10'000'000'000));
      EXPECT_EQ(piece.list, li);
      ASSERT_TRUE(piece.opening);
      EXPECT_EQ(piece.opened, expected[li].opened) << li;
      ASSERT_EQ(piece.recordCount, expected[li].count) << li;
      std::vector<ScopeReader::Hit> hits;
      qint64 next = 1;
      while (next <= piece.recordCount) {
        const qint64 count = piece.recordCount;
        ASSERT_TRUE(reader.next(piece, 10'000'000'000));
        EXPECT_EQ(piece.list, li);
        EXPECT_FALSE(piece.opening);
        ASSERT_EQ(piece.first, next);
        ASSERT_GE(piece.last, piece.first);
        ASSERT_LE(piece.last, count);
        for (const ScopeReader::Hit& h : piece.hits) {
          EXPECT_TRUE(h.record >= piece.first && h.record <= piece.last) << h.record;
          hits.push_back(h);
        }
        next = piece.last + 1;
        piece.recordCount = count;
      }
      ASSERT_EQ(hits.size(), expected[li].hits.size()) << li;
      for (std::size_t i = 0; i < hits.size(); ++i) {
        EXPECT_EQ(hits[i].record, expected[li].hits[i].record);
        EXPECT_EQ(hits[i].path, expected[li].hits[i].path);
      }
    }
    // Waits until the workers have left: nothing comes after the last list.
    EXPECT_FALSE(reader.next(piece, 10'000'000'000)) << "nothing after the last list";
    EXPECT_TRUE(reader.finished());
  }
  EXPECT_FALSE(QFile::exists(dbDir() + "/missing.vrn"));
}

TEST_F(ScopeReaderTest, AReaderLeftBeforeItsEndStopsItsWorkers) {
  // Every record a hit: the workers soon wait for the window to take them.
  QList<QByteArray> paths;
  for (int i = 1; i <= 20000; ++i) paths << "/h/" + QByteArray::number(i);
  writeFile(dbDir() + "/h.vrn", records(paths));
  const QStringList files(8, dbDir() + "/h.vrn");
  for (int taken : {0, 1, 5}) {
    ScopeReader reader(files, "/h/", 3);
    ScopeReader::Piece piece;
    for (int i = 0; i < taken; ++i) ASSERT_TRUE(reader.next(piece, 10'000'000'000));
    EXPECT_FALSE(reader.finished());
  }  // each reader ends here without hanging
}
