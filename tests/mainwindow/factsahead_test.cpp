// Rows made ahead on worker threads: the same rows as one made at a time,
// in the order the paths were fed, and a stop at any record.
#include "tests/mainwindow/list_rows.h"
#include "mainwindow/factsahead.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mainwindow/listrows.h"
#include "platform/listview.h"
#include "platform/pathcodec.h"
#include "support/ModeFileInfoVRN.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

class FactsAheadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_FALSE(dir_.path().contains(u'.'));
    root_ = encodePath(dir_.path());
  }
  // Makes an entry and returns its stored bytes.
  QByteArray file(const QByteArray& name, qint64 size = 0) {
    const QByteArray p = root_ + "/" + name;
    const int fd = ::open(p.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    EXPECT_GE(fd, 0) << p.constData();
    if (size > 0) {
      EXPECT_EQ(ftruncate(fd, size), 0);
    }
    ::close(fd);
    return p;
  }
  QByteArray folder(const QByteArray& name) {
    const QByteArray p = root_ + "/" + name;
    EXPECT_EQ(mkdir(p.constData(), 0755), 0);
    return p;
  }
  QByteArray link(const QByteArray& name, const char* target) {
    const QByteArray p = root_ + "/" + name;
    EXPECT_EQ(symlink(target, p.constData()), 0);
    return p;
  }

  // Every result of the paths, in the order taken.
  static std::vector<std::pair<qint64, QList<QString>>> runAll(const FactsAhead::Options& options,
                                                               const QList<QByteArray>& paths, qint64 stopAfter = -1) {
    std::vector<std::pair<qint64, QList<QString>>> out;
    FactsAhead ahead(options);
    FactsAhead::Result r;
    qsizetype fed = 0;
    for (;;) {
      while (fed < paths.size() && ahead.wantsInput()) {
        ahead.feed(fed + 1, paths[fed]);
        ++fed;
      }
      if (fed == paths.size()) ahead.endInput();
      if (!ahead.take(r, 50'000'000)) {
        if (ahead.finished()) break;
        continue;
      }
      QList<QString> cells;
      if (r.exists)
        for (int k = 0; k < r.row.cells; ++k) cells << packedCell(r.row, k);
      EXPECT_EQ(r.path, QByteArrayView(paths[qsizetype(r.tag - 1)]));
      out.emplace_back(r.exists ? r.tag : -r.tag, cells);
      if (r.tag == stopAfter) break;  // the object's end drops the rest
    }
    return out;
  }

  QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/ahead-XXXXXX")};
  QByteArray root_;
};

QList<QString> cellsOf(const ColonnesListe& row) {
  QList<QString> out;
  for (const QString& c : row.cells) out << c;
  return out;
}

TEST_F(FactsAheadTest, RowsComeInFeedOrderAndEqualTheRowsMadeOneAtATime) {
  QList<QByteArray> paths;
  paths << file("Photo.Vacances.JPG", 1234) << root_ + "/missing.txt" << file("vide.txt") << folder("dossier.d")
        << link("lien.txt", "Photo.Vacances.JPG") << file(".htaccess", 7)
        << file("caf\xc3\xa9 \xc3\x89t\xc3\xa9.Txt", 5) << file("brut\xe9-\xff.bin", 70000) << file("SANS")
        << QByteArray();
  // Many more, so the workers share them out.
  for (int i = 0; i < 3000; ++i)
    paths << (i % 7 == 3 ? root_ + "/absent" + QByteArray::number(i) : file("f" + QByteArray::number(i) + ".Dat", i));

  DetailColumns someOff;
  someOff.creation = false;
  someOff.attributes = false;
  DetailColumns detailsOff;
  detailsOff.details = false;
  for (const DetailColumns& columns : {DetailColumns{}, someOff, detailsOff}) {
    for (bool lower : {false, true}) {
      FactsAhead::Options options;
      options.columns = columns;
      options.lowerCaseName = lower;
      options.workers = 3;
      const auto results = runAll(options, paths);
      ASSERT_EQ(results.size(), size_t(paths.size()));
      for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString path = decodePath(paths[i]);
        const InfoFichier info = LireInfoFichier(path);
        const qint64 tag = i + 1;
        ASSERT_EQ(results[size_t(i)].first, info.Existe ? tag : -tag) << paths[i].constData();
        if (!info.Existe) continue;
        ColonnesListe expected = makeRow(path, tag, columns, columns.details ? &info : nullptr);
        if (lower) {
          // The search's rows: name and sub-item 7 from the lower-case path.
          expected.cells[0] = nameWithoutExtension(path.toLower());
          expected.cells[7] = expected.cells[0];
        }
        EXPECT_EQ(results[size_t(i)].second, cellsOf(expected)) << paths[i].constData() << " lower " << lower;
      }
    }
  }
}

TEST_F(FactsAheadTest, FoldersAndLinksHaveAnEmptySizeCell) {
  const QList<QByteArray> paths{folder("d"), link("l", "cible-bien-longue"), file("x.bin", 1234)};
  const auto results = runAll(FactsAhead::Options{}, paths);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].second.value(2), QString());
  EXPECT_EQ(results[1].second.value(2), QString());
  EXPECT_EQ(results[2].second.value(2),
            sizeColumnText(QStringLiteral("1") + QLocale::system().groupSeparator() + "234"));
  EXPECT_EQ(results[0].second.value(6), QStringLiteral("D"));
  EXPECT_EQ(results[1].second.value(6), QStringLiteral("R-P"));
}

TEST_F(FactsAheadTest, AStopAtAnyRecordEndsCleanly) {
  QList<QByteArray> paths;
  for (int i = 0; i < 5000; ++i) paths << file("s" + QByteArray::number(i));
  for (qint64 stopAt : {1, 2, 255, 256, 257, 1000, 4999, 5000}) {
    FactsAhead::Options options;
    options.workers = 2;
    const auto results = runAll(options, paths, stopAt);
    ASSERT_EQ(results.size(), size_t(stopAt));
    for (size_t i = 0; i < results.size(); ++i) ASSERT_EQ(results[i].first, qint64(i + 1));
  }
  // Stopped before anything was taken, and with nothing fed at all.
  {
    FactsAhead ahead(FactsAhead::Options{});
    for (int i = 0; i < 1000; ++i) ahead.feed(i + 1, paths[i]);
    ahead.stop();
    FactsAhead::Result r;
    EXPECT_FALSE(ahead.take(r, 1'000'000));
    EXPECT_TRUE(ahead.finished());
  }
  {
    FactsAhead ahead(FactsAhead::Options{});
    ahead.endInput();
    FactsAhead::Result r;
    EXPECT_FALSE(ahead.take(r, 0));
    EXPECT_TRUE(ahead.finished());
  }
}

TEST_F(FactsAheadTest, PathsFlushedInBurstsComeBackInFeedOrder) {
  // A search feeds its hits in bursts and hands each burst over at once.
  QList<QByteArray> paths;
  for (int i = 0; i < 700; ++i)
    paths << (i % 5 == 2 ? root_ + "/absent" + QByteArray::number(i) : file("b" + QByteArray::number(i)));
  FactsAhead::Options options;
  options.workers = 3;
  FactsAhead ahead(options);
  ahead.flush();  // nothing fed yet
  FactsAhead::Result r;
  qint64 next = 1;
  auto takeReady = [&](qint64 upTo) {
    while (next <= upTo) {
      ASSERT_TRUE(ahead.take(r, 1'000'000'000)) << next;
      EXPECT_EQ(r.tag, next);
      EXPECT_EQ(r.path, QByteArrayView(paths[qsizetype(next - 1)]));
      EXPECT_EQ(r.exists, (next - 1) % 5 != 2) << next;
      ++next;
    }
  };
  qsizetype fed = 0;
  for (const int burst : {1, 3, 256, 0, 255, 2, 100}) {
    for (int k = 0; k < burst; ++k, ++fed) ahead.feed(fed + 1, paths[fed]);
    ahead.flush();
    ahead.flush();
    // Taken while the next burst is not fed yet: only what was handed over.
    takeReady(fed - burst / 2);
  }
  for (; fed < paths.size(); ++fed) ahead.feed(fed + 1, paths[fed]);
  ahead.endInput();
  ahead.flush();  // after the end: changes nothing
  takeReady(paths.size());
  EXPECT_FALSE(ahead.take(r, 0));
  EXPECT_TRUE(ahead.finished());
}

TEST(PackedRows, RecordNumbersAndSizesAsThePatternsWriteThem) {
  for (qint64 record : {1LL, 12LL, 99999999LL, 123456789LL}) {
    std::string text;
    appendRecordColumnText(text, record);
    EXPECT_EQ(QString::fromStdString(text), recordColumnText(record)) << record;
  }
}

}  // namespace
