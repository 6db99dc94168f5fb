// The row sort alone, checked against a plain stable sort of the same texts'
// bytes: equal keys keep their order both ways, each column sorts on its own
// cell, cached ranks follow every change, added rows go after their equals.
// Large tables take the threaded paths (slices, merged chunks, long tied
// runs refined on several threads).
#include "platform/rowsort.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <numeric>
#include <random>

namespace vrn {
namespace {

using Table = std::vector<QStringList>;  // per row its cells; missing cells are absent

RowStore storeOf(const Table& table) {
  RowStore store;
  for (const QStringList& cells : table) {
    store.append(cells.value(0), 1);
    for (int k = 1; k < cells.size(); ++k) store.setCell(store.count() - 1, k, cells[k]);
  }
  return store;
}

std::string bytesOf(const QString& s) {
  std::string out;
  appendListText(out, s);
  return out;
}

// perm[new position] = old position, by a plain stable sort of the bytes.
std::vector<quint32> expectedOrder(const Table& table, int k, bool descending) {
  std::vector<std::string> keys;
  for (const QStringList& cells : table) keys.push_back(bytesOf(cells.value(k)));
  std::vector<quint32> perm(table.size());
  std::iota(perm.begin(), perm.end(), 0u);
  std::stable_sort(perm.begin(), perm.end(),
                   [&](quint32 a, quint32 b) { return descending ? keys[b] < keys[a] : keys[a] < keys[b]; });
  return perm;
}

// Where the first difference is, for a readable failure.
std::string firstDifference(const std::vector<quint32>& got, const std::vector<quint32>& want, const Table& t, int k) {
  if (got.size() != want.size()) return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size());
  for (size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i])
      return "position " + std::to_string(i) + ": row " + std::to_string(got[i]) + " \"" +
             t[got[i]].value(k).toStdString() + "\" instead of row " + std::to_string(want[i]) + " \"" +
             t[want[i]].value(k).toStdString() + "\"";
  return "same";
}

// Keys as the program's columns hold them, with many duplicates: empty and
// absent cells, short names, paths sharing starts longer than the bytes a key
// holds (so tied runs are refined again, some of them long), prefixes of
// other keys, accents and escaped raw bytes.
QString randomKey(std::mt19937& rng) {
  static const QString path = QStringLiteral("tree-1m/tools/Release/2020/obj/2021/lexer/");
  static const QString deeper = path + QStringLiteral("generated/sources/2024/decembre/");
  static const QStringList names = {"a", "b", "ab", "B", QString::fromUtf8("é"), "A", " ", "0"};
  auto tail = [&] {
    QString t;
    const int n = int(rng() % 5);
    for (int i = 0; i < n; ++i) t += QChar(char16_t(rng() % 4 == 0 ? 0xE9 : 'a' + rng() % 3));
    return t;
  };
  switch (rng() % 10) {
    case 0:
      return QString();
    case 1:
      return names[int(rng() % names.size())];
    case 2:
      return path.left(int(rng() % (path.size() + 1)));
    case 3:
      return deeper + tail();
    case 4:
      return QString(QChar(char16_t(0xDC80 + rng() % 4))) + tail();
    default:
      return path + tail();
  }
}

Table randomTable(size_t rows, int keyColumn, unsigned seed) {
  std::mt19937 rng(seed);
  Table t(rows);
  for (size_t i = 0; i < rows; ++i) {
    t[i] << QStringLiteral("r%1").arg(i);
    if (rng() % 7 == 0) continue;  // the key cell absent: it sorts as an empty text
    while (t[i].size() < keyColumn) t[i] << QString();
    t[i] << randomKey(rng);
  }
  return t;
}

// Keys that nearly all share long starts: a long tied run refined on several
// threads, where a rare key differs early (right after the bytes a key
// holds, or within what every other key shares), beside a few short keys.
Table tiedRunTable(size_t rows, unsigned seed) {
  std::mt19937 rng(seed);
  const QString start(40, QChar('x'));
  Table t(rows);
  for (size_t i = 0; i < rows; ++i) {
    QString key = start + QStringLiteral("/commun/partie/");
    for (int j = int(rng() % 4); j > 0; --j) key += QChar(char16_t('a' + rng() % 3));
    t[i] << QStringLiteral("r%1").arg(i) << key;
  }
  for (int j = 0; j < 3; ++j) {
    t[rng() % rows][1] = QString(32, QChar('x')) + QStringLiteral("y");
    t[rng() % rows][1] = start + QStringLiteral("/c");
    t[rng() % rows][1] = start + QStringLiteral("/commun/");
    t[rng() % rows][1] = QStringLiteral("a");
  }
  return t;
}

TEST(RowSort, EqualKeysKeepTheirOrderInBothDirections) {
  struct Case {
    const char* what;
    Table table;
  };
  std::vector<Case> cases;
  for (const size_t rows : {size_t(2), size_t(9), size_t(3000), size_t(150000)})
    cases.push_back({"mixed keys", randomTable(rows, 1, unsigned(rows))});
  cases.push_back({"long tied runs", tiedRunTable(140000, 4)});
  for (const Case& c : cases) {
    const RowStore store = storeOf(c.table);
    RowSort sort;
    for (const bool descending : {false, true}) {
      std::vector<quint32> perm;
      sort.order(store, 1, descending, perm);
      const std::vector<quint32> want = expectedOrder(c.table, 1, descending);
      ASSERT_TRUE(perm == want) << c.what << ", " << c.table.size() << " rows, descending " << descending << ": "
                                << firstDifference(perm, want, c.table, 1);
    }
  }
}

TEST(RowSort, TinyStoresNeedNoOrder) {
  RowSort sort;
  std::vector<quint32> perm = {7, 7};
  sort.order(RowStore(), 0, false, perm);
  EXPECT_TRUE(perm.empty());
  const RowStore one = storeOf({{"seul"}});
  sort.order(one, 0, true, perm);
  EXPECT_EQ(perm, std::vector<quint32>({0}));
}

TEST(RowSort, EachColumnSortsOnItsOwnCell) {
  // Column 0 ascending with the row, column 1 a shuffle, column 2 few values,
  // column 3 only on even rows, column 4 on no row.
  Table table;
  std::mt19937 rng(5);
  for (int i = 0; i < 300; ++i) {
    QStringList cells = {QStringLiteral("r%1").arg(i, 3, 10, QChar('0')),
                         QStringLiteral("%1").arg((i * 7) % 300, 3, 10, QChar('0')),
                         QStringLiteral("v%1").arg(rng() % 4)};
    if (i % 2 == 0) cells << QStringLiteral("e%1").arg(300 - i);
    table.push_back(cells);
  }
  const RowStore store = storeOf(table);
  RowSort sort;
  for (int k = 0; k <= 4; ++k)
    for (const bool descending : {false, true}) {
      std::vector<quint32> perm;
      sort.order(store, k, descending, perm);
      const std::vector<quint32> want = expectedOrder(table, k, descending);
      EXPECT_TRUE(perm == want) << "column " << k << " descending " << descending << ": "
                                << firstDifference(perm, want, table, k);
    }
  // Spot checks that the reference itself reads the right column.
  std::vector<quint32> perm;
  sort.order(store, 1, false, perm);
  EXPECT_EQ(perm[0], 0u);
  EXPECT_EQ(table[perm[1]][1], "001");
  sort.order(store, 4, true, perm);
  for (quint32 i = 0; i < perm.size(); ++i) ASSERT_EQ(perm[i], i) << "a column no row has keeps the order";
}

TEST(RowSort, RanksGiveEqualTextsOneRankInByteOrder) {
  const RowStore store = storeOf({{"r0", "b"}, {"r1", "a"}, {"r2", "b"}, {"r3", ""}, {"r4"}, {"r5", "ba"}});
  RowSort sort;
  EXPECT_EQ(sort.ranks(store, 1), std::vector<quint32>({2, 1, 2, 0, 0, 3}));
}

TEST(RowSort, CachedRanksFollowEveryChange) {
  Table table = randomTable(2000, 1, 3);
  RowStore store = storeOf(table);
  RowSort sort;
  std::vector<quint32> perm;
  auto check = [&](const char* after) {
    sort.order(store, 1, false, perm);
    const std::vector<quint32> want = expectedOrder(table, 1, false);
    ASSERT_TRUE(perm == want) << after << ": " << firstDifference(perm, want, table, 1);
  };
  check("the first sort");

  // Same row count, one text changed: it must move.
  store.setCell(0, 1, u"zzzz");
  table[0] = QStringList({table[0][0], "zzzz"});
  check("a changed text");

  // A change to another column leaves this one's order; the other column
  // is ranked afresh.
  store.setCell(5, 2, u"autre");
  while (table[5].size() < 3) table[5] << QString();
  table[5][2] = "autre";
  check("a change to another column");
  sort.order(store, 2, false, perm);
  EXPECT_EQ(perm.back(), 5u);

  // Rows reordered (as a sort applies its order): ranks follow the rows.
  sort.order(store, 1, true, perm);
  store.rows = store.inOrder(perm);
  Table reordered;
  for (quint32 p : perm) reordered.push_back(table[p]);
  table = reordered;
  check("the rows reordered");

  // An added row.
  store.append(u"nouveau", 1);
  store.setCell(store.count() - 1, 1, u"");
  table.push_back({"nouveau"});
  check("an added row");

  // Cleared and filled again with as many rows, other texts.
  const Table other = randomTable(table.size(), 1, 99);
  store.clear();
  for (const QStringList& cells : other) {
    store.append(cells.value(0), 1);
    for (int k = 1; k < cells.size(); ++k) store.setCell(store.count() - 1, k, cells[k]);
  }
  table = other;
  check("the rows replaced");
}

TEST(RowSort, AddedRowsGoAfterTheirEquals) {
  for (const bool descending : {false, true}) {
    const Table keys = randomTable(1200, 1, 17);
    // Rows [0, from) in order, then rows added, some equal to rows in place
    // and to each other.
    for (const size_t from : {size_t(0), size_t(1), size_t(600), size_t(1190), size_t(1200)}) {
      Table table;
      const Table head(keys.begin(), keys.begin() + long(from));
      for (quint32 p : expectedOrder(head, 1, descending)) table.push_back(head[p]);
      for (size_t i = from; i < keys.size(); ++i) table.push_back(keys[i]);
      if (from > 0) table.push_back(table[from / 2]);  // an exact twin of a row in place
      const RowStore store = storeOf(table);
      std::vector<quint32> perm;
      RowSort::orderAdded(store, qsizetype(from), 1, descending, perm);
      const std::vector<quint32> want = expectedOrder(table, 1, descending);
      ASSERT_TRUE(perm == want) << "from " << from << " descending " << descending << ": "
                                << firstDifference(perm, want, table, 1);
    }
  }
  EXPECT_TRUE(RowSort::fewAdded(1000, 990));
  EXPECT_FALSE(RowSort::fewAdded(1000, 1000)) << "nothing added";
  EXPECT_FALSE(RowSort::fewAdded(1000, 0)) << "nothing in order yet";
  EXPECT_FALSE(RowSort::fewAdded(1000, 500)) << "a whole sort is cheaper";
}

}  // namespace
}  // namespace vrn
