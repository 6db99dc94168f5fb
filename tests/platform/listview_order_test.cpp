// The order of the list's sorts on a table of texts as the program writes
// them in the French and the C locale: file names, paths, sizes and dates.
// The expected orders were taken from the list before its sort was rebuilt
// on per-column keys; they must never change.
#include "platform/listview.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace vrn {
namespace {

// Each text in the key column; sub-item 8 holds its index in this table.
const QStringList& texts() {
  static const QStringList t = [] {
    QStringList out;
    const char* utf8[] = {
        // Names, cases and accents.
        "Readme", "readme", "README.txt",
        "r\xC3\xA9"
        "adme",
        "Z\xC3\xA8"
        "bre",
        "zebre",
        "\xC3\x9Ftra\xC3\x9F"
        "e",
        "\xC4\xB0stanbul", "istanbul",
        "e\xCC\x81"
        "cole",
        "\xC3\xA9"
        "cole",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xF0\x9F\x98\x80smile", "\xEE\x80\x80private",
        "\xEF\xBF\xBDreplacement", "a", "A", "", " leading blank", "a b", "a\tb", "ab", "readme",
        // Paths sharing long starts, around the sixteen-byte steps.
        "tree-1m/tools/Release/2020/obj/2021/lexer68.jpg", "tree-1m/tools/Release/2020/obj/2021/lexer7.jpg",
        "tree-1m/tools/Release/2020/obj/2021/lexer68.jpg", "tree-1m/tools/Release/2020/obj/2021/",
        "tree-1m/tools/Release/2020/obj/2021/Lexer68.jpg", "tree-1m/tools/Release/2020/obj/20", "tree-1m/tools/Release",
        "tree-1m/tools/Release/2020/obj/2021/lexer68.jpeg",
        // Sizes: French (narrow no-break space groups) and C (commas).
        "000\xE2\x80\xAF"
        "001\xE2\x80\xAF"
        "234",
        "000\xE2\x80\xAF"
        "000\xE2\x80\xAF"
        "999",
        "005\xE2\x80\xAF"
        "368\xE2\x80\xAF"
        "709\xE2\x80\xAF"
        "120",
        "000\xE2\x80\xAF"
        "010\xE2\x80\xAF"
        "000",
        "000,001,234", "000,000,999", "5,368,709,120", "000,010,000", "001,000,000",
        // Dates: French and C short dates with the time.
        "25/12/2008 14:03:07", "02/01/2009", "02/01/2009 00:00:01", "31/01/2024 23:59:59", "29/02/2024 12:00:00",
        "01/03/2024", "28/02/2023 08:00:00", "7 Dec 2026 11:08:52", "7 Dec 2026", "17 Dec 2026 01:02:03",
        "29 Feb 2024 12:00:00", "1 Mar 2024", "31 Jan 2024 23:59:59", "7 Dec 2026 11:08:52",
        // Attribute letters.
        "A", "AR", "AH", "R-P", "S-FA", "D", "DH", "None"};
    for (const char* s : utf8) out << QString::fromUtf8(s);
    out << QString(QChar(char16_t(0xDCFF))) + QStringLiteral("raw");  // an undecodable byte, escaped
    out << QStringLiteral("raw") + QChar(char16_t(0xDC80));
    return out;
  }();
  return t;
}

QList<int> sortedOrder(int key, int order) {
  ListView lv;
  for (int i = 0; i < 9; ++i) lv.AddColumn(QStringLiteral("c%1").arg(i), 1000);
  const QStringList& t = texts();
  for (int i = 0; i < t.size(); ++i) {
    const int r = lv.Add(key == 0 ? t[i] : QStringLiteral("row"));
    if (key != 0) lv.setSubItem(r, key, t[i]);
    lv.setSubItem(r, 8, QString::number(i));
  }
  lv.setSortKey(key);
  lv.setSortOrder(order);
  lv.setSorted(true);
  QList<int> out;
  for (int r = 1; r <= lv.Count(); ++r) out << lv.SubItem(r, 8).toInt();
  return out;
}

std::string joined(const QList<int>& ids) {
  QStringList parts;
  for (int i : ids) parts << QString::number(i);
  return parts.join(u',').toStdString();
}

TEST(ListSortOrder, EveryColumnSortsTheTableAsBefore) {
  const QList<int> ascending = {17, 18, 36, 35, 38, 32, 31, 34, 39, 33, 45, 41, 42, 51, 49, 40, 46, 50, 44, 52, 43, 37,
                                48, 47, 53, 16, 54, 56, 55, 59, 60, 61, 57, 2,  0,  58, 4,  15, 20, 19, 21, 9,  8,  63,
                                1,  22, 3,  29, 28, 26, 27, 30, 23, 25, 24, 5,  6,  10, 7,  11, 62, 13, 14, 12};
  const QList<int> descending = {12, 14, 13, 62, 11, 7,  10, 6,  5,  24, 23, 25, 30, 27, 26, 28, 29, 3,  1,  22, 63, 8,
                                 9,  21, 19, 20, 15, 4,  58, 0,  2,  57, 61, 60, 59, 55, 56, 16, 54, 47, 53, 48, 37, 43,
                                 52, 44, 50, 46, 40, 49, 51, 42, 41, 45, 33, 39, 34, 31, 32, 38, 35, 36, 18, 17};
  for (int key : {0, 2, 5, 7}) {
    EXPECT_EQ(joined(sortedOrder(key, 0)), joined(ascending)) << "key " << key;
    EXPECT_EQ(joined(sortedOrder(key, 1)), joined(descending)) << "key " << key;
  }
}

}  // namespace
}  // namespace vrn
