// The list's row store alone: the text encoding, packed rows, cells rewritten
// in place or moved, the arena's compaction, and the count of changes that
// the sort's caches rely on.
#include "platform/rowstore.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <functional>
#include <random>

namespace vrn {
namespace {

QString fromUnits(std::initializer_list<char16_t> units) {
  QString s;
  for (char16_t u : units) s += QChar(u);
  return s;
}

// Texts of every encoded length, surrogate pairs and lone surrogates (the path
// codec's escapes) at the start, middle and end, after an ASCII run or not.
QStringList awkwardTexts() {
  QStringList t = {QString(),
                   "a",
                   "abc",
                   "A",
                   "Z",
                   "~",
                   QString::fromUtf8("é"),
                   QString::fromUtf8("aé"),
                   QString::fromUtf8("ß"),
                   QString::fromUtf8("߿"),
                   QString::fromUtf8("ࠀ"),
                   QString::fromUtf8("日本語"),
                   QString::fromUtf8("\xEF\xBF\xBF"),
                   QString::fromUtf8("\xEE\x80\x80"),
                   QString::fromUtf8("\xF0\x9F\x98\x80"),
                   QString::fromUtf8("x\xF0\x9F\x98\x80y"),
                   QString::fromUtf8("\xF4\x8F\xBF\xBF"),
                   QString::fromUtf8("\xF0\x90\x80\x80")};
  t << fromUnits({0xD800}) << fromUnits({0xDBFF}) << fromUnits({0xDC00}) << fromUnits({0xDFFF})
    << fromUnits({'r', 'a', 'w', 0xDCFF}) << fromUnits({0xDC80, 'r', 'a', 'w'})
    << fromUnits({0xD83D, 'x'})          // a high surrogate followed by no low one
    << fromUnits({'a', 0xDE00, 0xD83D})  // a low one before a high one: two escapes
    << fromUnits({0xD7FF}) << fromUnits({0xE000}) << QString(300, QChar(u'é'));
  return t;
}

// The text's code points, a lone surrogate counting as its own value.
std::vector<char32_t> codePoints(const QString& s) {
  std::vector<char32_t> out;
  for (qsizetype i = 0; i < s.size(); ++i) {
    const char16_t u = s[i].unicode();
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < s.size() && s[i + 1].unicode() >= 0xDC00 && s[i + 1].unicode() < 0xE000) {
      out.push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (s[i + 1].unicode() - 0xDC00));
      ++i;
    } else {
      out.push_back(u);
    }
  }
  return out;
}

std::string encoded(const QString& s) {
  std::string out;
  appendListText(out, s);
  return out;
}

TEST(ListTextEncoding, EveryTextComesBackAndBytesSortInCodePointOrder) {
  const QStringList texts = awkwardTexts();
  for (const QString& t : texts) {
    std::string buffer = "kept";
    appendListText(buffer, t);
    ASSERT_EQ(buffer.substr(0, 4), "kept") << "appending keeps what the buffer held";
    const std::string e = buffer.substr(4);
    EXPECT_EQ(decodeListText(e.data(), quint32(e.size())), t) << t.toStdString();
    const std::vector<char32_t> points = codePoints(t);
    const bool hasLoneSurrogate =
        std::any_of(points.begin(), points.end(), [](char32_t c) { return c >= 0xD800 && c < 0xE000; });
    if (!hasLoneSurrogate) {
      EXPECT_EQ(e, t.toUtf8().toStdString()) << "valid text is plain UTF-8";
    }
  }
  for (const QString& a : texts)
    for (const QString& b : texts) {
      const std::vector<char32_t> ca = codePoints(a), cb = codePoints(b);
      const bool codeLess = std::lexicographical_compare(ca.begin(), ca.end(), cb.begin(), cb.end());
      const std::string ea = encoded(a), eb = encoded(b);
      const bool byteLess = std::lexicographical_compare(ea.begin(), ea.end(), eb.begin(), eb.end(),
                                                         [](char x, char y) { return uchar(x) < uchar(y); });
      EXPECT_EQ(byteLess, codeLess) << a.toStdString() << " / " << b.toStdString();
    }
}

TEST(PackedRows, CellsOfEveryLengthComeBackFromTheRowAndFromTheStore) {
  // Lengths around the one-, two- and three-byte length prefixes.
  const QStringList cells = {"nom",
                             QString(),
                             QString(127, 'a'),
                             QString(128, 'b'),
                             QString(16383, 'c'),
                             QString(16384, 'd'),
                             QString::fromUtf8("chemin/é/\xF0\x9F\x98\x80"),
                             fromUnits({0xDCFF})};
  std::string buffer;
  PackedRowWriter first(buffer);
  first.cell(QStringView(u"premier"));
  const PackedRowView firstRow = first.view();
  const std::string firstBytes(firstRow.data, firstRow.size);

  PackedRowWriter writer(buffer);  // a second row in the same buffer
  for (int k = 0; k < cells.size(); ++k) {
    if (k % 2) writer.cell(std::string_view(encoded(cells[k])));
    else if (cells[k].isEmpty()) writer.emptyCell();
    else writer.cell(QStringView(cells[k]));
  }
  ASSERT_EQ(writer.cells(), cells.size());
  const PackedRowView row = writer.view();
  EXPECT_EQ(row.data, buffer.data() + firstBytes.size()) << "the view starts at its own row";
  for (int k = 0; k < cells.size(); ++k) EXPECT_EQ(packedCell(row, k), cells[k]) << k;
  EXPECT_EQ(packedCell(row, int(cells.size())), QString());

  RowStore store;
  store.appendPacked({firstBytes.data(), quint32(firstBytes.size()), 1}, 3);
  store.appendPacked(row, 4);
  ASSERT_EQ(store.count(), 2);
  EXPECT_EQ(store.text(0, 0), "premier");
  EXPECT_EQ(store.text(0, 1), QString());
  for (int k = 0; k < cells.size(); ++k) EXPECT_EQ(store.text(1, k), cells[k]) << k;
  EXPECT_EQ(store.cell(1, int(cells.size())).first, nullptr) << "past the row's cells";
  EXPECT_EQ(store.rows[0].icon, 3);
  EXPECT_EQ(store.rows[1].icon, 4);
  EXPECT_EQ(store.rows[1].cells, cells.size());
}

TEST(RowStore, RowsKeepTheirIconsNumbersAndClampedCounts) {
  RowStore store;
  store.append(u"a", -5);
  store.append(u"b", 70000);
  store.append(u"c", 12);
  const std::string one = [] {
    std::string b;
    PackedRowWriter w(b);
    w.cell(QStringView(u"d"));
    return b;
  }();
  store.appendPacked({one.data(), quint32(one.size()), 0}, 1);  // a row claiming no cells still has its text
  ASSERT_EQ(store.count(), 4);
  EXPECT_EQ(store.rows[0].icon, 0);
  EXPECT_EQ(store.rows[1].icon, 65535);
  EXPECT_EQ(store.rows[2].icon, 12);
  EXPECT_EQ(store.text(3, 0), "d");
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(store.rows[size_t(r)].id, quint32(r));
    EXPECT_EQ(store.rows[size_t(r)].checked, 0);
  }

  // Reordered rows carry their texts, numbers and ticks along.
  store.rows[1].checked = 1;
  store.rows = store.inOrder({2, 0, 3, 1});
  EXPECT_EQ(store.text(0, 0), "c");
  EXPECT_EQ(store.text(1, 0), "a");
  EXPECT_EQ(store.text(2, 0), "d");
  EXPECT_EQ(store.text(3, 0), "b");
  EXPECT_EQ(store.rows[3].id, 1u);
  EXPECT_EQ(store.rows[3].checked, 1);
  store.setCell(3, 2, u"sous");
  EXPECT_EQ(store.text(3, 2), "sous");
  EXPECT_EQ(store.text(3, 0), "b");

  store.clear();
  EXPECT_EQ(store.count(), 0);
  store.append(u"neuf", 1);
  EXPECT_EQ(store.text(0, 0), "neuf");
  EXPECT_EQ(store.rows[0].id, 0u) << "numbers start again after a clear";
}

// Random fills and rewrites checked against a plain table: cells set in order
// on the last row (written in place), on earlier rows (moved), past the end,
// emptied at the end (the row shrinks), with texts long enough to fill
// chunks and leave enough dead blocks behind for the store to compact.
TEST(RowStore, RewritesInAnyOrderKeepEveryCell) {
  std::mt19937 rng(11);
  const QStringList samples = awkwardTexts();
  auto randomText = [&]() -> QString {
    switch (rng() % 6) {
      case 0:
        return QString();
      case 1:
        return samples[int(rng() % samples.size())];
      case 2:
        return QString(int(200 + rng() % 3000), QChar(char16_t('a' + rng() % 26)));
      default:
        return QStringLiteral("t%1").arg(rng() % 1000);
    }
  };
  RowStore store;
  std::vector<QStringList> model;
  size_t garbageSeen = 0;
  bool compacted = false;
  for (int step = 0; step < 6000; ++step) {
    if (model.empty() || rng() % 4 == 0) {
      const QString t = randomText();
      store.append(t, 1);
      model.push_back({t});
      // The usual fill: cells of the new row set in order.
      const int cells = int(rng() % 10);
      for (int k = 1; k < cells; ++k) {
        const QString c = randomText();
        store.setCell(store.count() - 1, k, c);
        while (model.back().size() <= k) model.back() << QString();
        model.back()[k] = c;
      }
    } else {
      const size_t r = rng() % model.size();
      const int k = int(rng() % 12);
      const QString c = rng() % 5 == 0 ? QString() : randomText();
      store.setCell(qsizetype(r), k, c);
      while (model[r].size() <= k) model[r] << QString();
      model[r][k] = c;
    }
    if (store.garbage() < garbageSeen) compacted = true;
    garbageSeen = store.garbage();
  }
  ASSERT_EQ(size_t(store.count()), model.size());
  for (size_t r = 0; r < model.size(); ++r) {
    int last = 0;
    for (int k = 0; k < 14; ++k) {
      const QString want = model[r].value(k);
      ASSERT_EQ(store.text(qsizetype(r), k), want) << "row " << r << " cell " << k;
      if (k > 0 && !want.isEmpty()) last = k;
    }
    EXPECT_EQ(store.rows[r].cells, last + 1) << "row " << r << ": trailing empty cells are dropped";
  }
  EXPECT_TRUE(compacted) << "the rewrites left enough dead blocks for a compaction";
}

// More rows than one block of records holds: rows on either side of each
// block's end keep their records through a reorder, rewrites that move every
// row's cells (and compact the arena under them) and a clear.
TEST(RowStore, RowsAcrossBlocksOfRecordsKeepTheirTextsAndRecords) {
  RowStore store;
  const qsizetype n = qsizetype(2 * RowRecs::kBlockRows + 3);
  for (qsizetype r = 0; r < n; ++r) {
    std::string packed;
    PackedRowWriter w(packed);
    w.cell(QString("r%1").arg(r));
    store.appendPacked(w.view(), int(r % 1000));
  }
  ASSERT_EQ(store.count(), n);
  const qsizetype edge = qsizetype(RowRecs::kBlockRows);
  for (const qsizetype r : {qsizetype(0), edge - 1, edge, edge + 1, 2 * edge - 1, 2 * edge, n - 1}) {
    SCOPED_TRACE(r);
    EXPECT_EQ(store.text(r, 0), QString("r%1").arg(r));
    EXPECT_EQ(store.rows[size_t(r)].id, quint32(r));
    EXPECT_EQ(store.rows[size_t(r)].icon, r % 1000);
  }

  // Reversed, with a tick on the first row of the second block.
  store.rows[size_t(edge)].checked = 1;
  std::vector<quint32> reversed(static_cast<size_t>(n));
  for (qsizetype i = 0; i < n; ++i) reversed[size_t(i)] = quint32(n - 1 - i);
  store.rows = store.inOrder(reversed);
  ASSERT_EQ(store.count(), n);
  for (qsizetype i = 0; i < n; ++i) {
    ASSERT_EQ(store.rows[size_t(i)].id, quint32(n - 1 - i)) << i;
    ASSERT_EQ(store.rows[size_t(i)].checked, n - 1 - i == edge ? 1 : 0) << i;
  }
  EXPECT_EQ(store.text(0, 0), QString("r%1").arg(n - 1));
  EXPECT_EQ(store.text(n - 1, 0), "r0");

  // Every row's cells moved twice: the dead blocks left behind make the
  // store copy every row's cells to a fresh arena.
  bool compacted = false;
  for (const char* tag : {"premier passage, assez long", "second passage, plus long encore"}) {
    for (qsizetype r = 0; r < n; ++r) {
      const size_t before = store.garbage();
      store.setCell(r, 1, QString("%1 %2").arg(tag).arg(r));
      compacted = compacted || store.garbage() < before;
    }
  }
  EXPECT_TRUE(compacted);
  for (qsizetype r = 0; r < n; ++r) {
    ASSERT_EQ(store.text(r, 0), QString("r%1").arg(n - 1 - r)) << r;
    ASSERT_EQ(store.text(r, 1), QString("second passage, plus long encore %1").arg(r)) << r;
  }

  store.clear();
  EXPECT_EQ(store.count(), 0);
  store.append(u"seul", 2);
  EXPECT_EQ(store.count(), 1);
  EXPECT_EQ(store.text(0, 0), "seul");
  EXPECT_EQ(store.rows[0].id, 0u);
}

TEST(RowStore, CellsPastTheLastAreIgnored) {
  RowStore store;
  store.append(u"row", 1);
  store.setCell(0, kMaxRowCells - 1, u"last");
  store.setCell(0, kMaxRowCells, u"beyond");
  store.setCell(0, -1, u"before");
  EXPECT_EQ(store.text(0, kMaxRowCells - 1), "last");
  EXPECT_EQ(store.rows[0].cells, kMaxRowCells);
  EXPECT_EQ(store.text(0, 0), "row");
}

TEST(RowStore, VersionMovesOnWithEveryChangeOfTextOrCount) {
  RowStore store;
  std::string packed;
  PackedRowWriter(packed).cell(QStringView(u"p"));
  struct Change {
    const char* what;
    std::function<void()> apply;
  };
  const std::vector<Change> changes = {
      {"append", [&] { store.append(u"a", 1); }},
      {"append packed",
       [&] {
         store.appendPacked({packed.data(), quint32(packed.size()), 1}, 1);
       }},
      {"cell of the last row, in place", [&] { store.setCell(1, 1, u"x"); }},
      {"cell of an earlier row, moved", [&] { store.setCell(0, 1, u"y"); }},
      {"cell rewritten with the same length", [&] { store.setCell(0, 1, u"z"); }},
      {"cell emptied", [&] { store.setCell(0, 1, u""); }},
      {"row text", [&] { store.setCell(1, 0, u"q"); }},
      {"clear", [&] { store.clear(); }},
      {"append after clear", [&] { store.append(u"a", 1); }},
  };
  for (const Change& c : changes) {
    const quint64 before = store.version();
    c.apply();
    EXPECT_NE(store.version(), before) << c.what;
  }
}

}  // namespace
}  // namespace vrn
