// The search of a column's widest texts against the text layout itself:
// every text of a few thousand measured one by one on the test's thread.
#include "platform/columnwidths.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <random>
#include <set>

namespace vrn {
namespace {

// Texts as the list keeps them: their UTF-8 bytes, kept alive here.
struct Column {
  std::vector<QString> texts;
  std::vector<QByteArray> bytes;
  std::vector<int> kinds;
  ColumnTexts view() const {
    ColumnTexts c;
    c.rows = qsizetype(texts.size());
    c.bytes = [this](qsizetype r) {
      const QByteArray& b = bytes[size_t(r)];
      return std::make_pair(b.constData(), quint32(b.size()));
    };
    c.text = [this](qsizetype r) { return texts[size_t(r)]; };
    c.kind = [this](qsizetype r) { return kinds[size_t(r)]; };
    return c;
  }
};

// File-name-like texts: letters, digits, punctuation, French accents and
// kerning pairs, with now and then a Greek word or a line break that the
// tables cannot give.
Column randomColumn(int rows, unsigned seed) {
  const QString common = QString::fromUtf8(
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._-()/,;'&éèàùçâêôÉÀ~#%+=AVTaWoYe");
  const QString greek = QString::fromUtf8("ΑΒΓΔΩαβγδω");
  std::mt19937 rng(seed);
  Column c;
  for (int r = 0; r < rows; ++r) {
    QString t;
    const int len = 1 + int(rng() % 60);
    for (int i = 0; i < len; ++i) t += common[int(rng() % unsigned(common.size()))];
    if (rng() % 50 == 0) t += greek.mid(int(rng() % 5), 4);
    if (rng() % 80 == 0) t.insert(int(rng() % unsigned(t.size())), QChar('\n'));
    c.texts.push_back(t);
    c.bytes.push_back(t.toUtf8());
    c.kinds.push_back(int(rng() % 3 == 0));
  }
  return c;
}

QFont font(const char* family, qreal points) {
  QFont f{QString::fromLatin1(family)};
  f.setPointSizeF(points);
  return f;
}

TEST(WidestTexts, TheRowsFoundHoldTheWidestTextsOfEachKind) {
  const QFont liberation = font("Liberation Sans", 8);
  ASSERT_EQ(QFontInfo(liberation).family(), "Liberation Sans");
  for (unsigned seed : {1u, 2u, 3u}) {
    const Column c = randomColumn(6000, seed);
    const int perKind = 40;
    const std::vector<qsizetype> found = widestTextRows(c.view(), liberation, perKind);
    std::vector<qint64> width(c.texts.size());
    for (size_t r = 0; r < c.texts.size(); ++r) width[r] = textWidth64(c.texts[r], liberation);
    for (int kind : {0, 1}) {
      std::vector<qsizetype> ofKind;
      for (qsizetype r : found)
        if (c.kinds[size_t(r)] == kind) ofKind.push_back(r);
      ASSERT_EQ(int(ofKind.size()), perKind) << "seed " << seed << " kind " << kind;
      for (size_t i = 1; i < ofKind.size(); ++i)
        EXPECT_GE(width[size_t(ofKind[i - 1])], width[size_t(ofKind[i])]) << "widest first";
      const std::set<qsizetype> in(ofKind.begin(), ofKind.end());
      const qint64 narrowest = width[size_t(ofKind.back())];
      for (size_t r = 0; r < c.texts.size(); ++r) {
        if (c.kinds[r] != kind || in.count(qsizetype(r))) continue;
        ASSERT_LE(width[r], narrowest) << "seed " << seed << ": row " << r << " \"" << c.texts[r].toStdString()
                                       << "\" is wider than the rows found";
      }
    }
  }
}

TEST(WidestTexts, AFontThatShapesBeyondPairsStillGivesItsWidestText) {
  // Ligatures: the tables are a pixel off on some texts, never on the widest.
  const QFont dejavu = font("DejaVu Sans", 9);
  const Column c = randomColumn(5000, 7);
  const std::vector<qsizetype> found = widestTextRows(c.view(), dejavu, 64);
  for (int kind : {0, 1}) {
    qint64 widest = 0, widestFound = 0;
    for (size_t r = 0; r < c.texts.size(); ++r)
      if (c.kinds[r] == kind) widest = std::max(widest, textWidth64(c.texts[r], dejavu));
    for (qsizetype r : found)
      if (c.kinds[size_t(r)] == kind) widestFound = std::max(widestFound, textWidth64(c.texts[size_t(r)], dejavu));
    EXPECT_EQ(widestFound, widest) << "kind " << kind;
  }
}

TEST(WidestTexts, LaidOutOnOneLineEachLineBreakStartingANewOne) {
  const QFont f = font("Liberation Sans", 8);
  EXPECT_EQ(textWidth64("", f), 0);
  EXPECT_EQ(textWidth64("ab\ncd", f), std::max(textWidth64("ab", f), textWidth64("cd", f)));
  EXPECT_GT(textWidth64("AVA", f), 0);
  // An empty column, and a column of empty texts.
  Column none;
  EXPECT_TRUE(widestTextRows(none.view(), f).empty());
  Column empty;
  for (int i = 0; i < 3; ++i) {
    empty.texts.push_back(QString());
    empty.bytes.push_back(QByteArray());
    empty.kinds.push_back(0);
  }
  EXPECT_EQ(widestTextRows(empty.view(), f).size(), 3u);
}

}  // namespace
}  // namespace vrn
