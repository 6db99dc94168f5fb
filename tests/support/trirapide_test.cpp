// The scan's sort: order, the companion array, and the exact sequence of
// exchanges (checked against the plain recursive form on many inputs).
#include <gtest/gtest.h>

#include <QByteArray>
#include <random>
#include <string>
#include <vector>

#include "support/TriRapide.h"
#include "support/VariablesVRN.h"

namespace vrn {
namespace {

using Arr = std::vector<QByteArray>;

// Slot 0 unused, as in the shared arrays.
Arr withSlots(std::initializer_list<const char*> values) {
  Arr a(1);
  for (const char* v : values) a.emplace_back(v);
  return a;
}

// Paths tagged with their slot, to see where each one went.
Arr tags(size_t n) {
  Arr a(1);
  for (size_t i = 1; i <= n; ++i) a.emplace_back("p" + QByteArray::number(qulonglong(i)));
  return a;
}

// The recursive algorithm as written, on plain byte strings (ASCII data).
void reference(long g, long d, std::vector<std::string>& t, std::vector<std::string>& c, bool asc) {
  long i = g, j = d;
  const std::string pivot = t[size_t((g + d) / 2)];
  do {
    if (asc) {
      while (t[size_t(i)] < pivot) ++i;
      while (pivot < t[size_t(j)]) --j;
    } else {
      while (t[size_t(i)] > pivot) ++i;
      while (pivot > t[size_t(j)]) --j;
    }
    if (i <= j) {
      std::swap(t[size_t(i)], t[size_t(j)]);
      std::swap(c[size_t(i)], c[size_t(j)]);
      ++i;
      --j;
    }
  } while (i <= j);
  if (g < j) reference(g, j, t, c, asc);
  if (i < d) reference(i, d, t, c, asc);
}

TEST(TriRapideTest, SortsExtensionsAndMovesPathsInStep) {
  Arr ext = withSlots({"jpg", "", "txt", "jpg", ""});
  Arr paths = tags(5);
  ASSERT_TRUE(TriRapide(1, 5, ext, true, paths));
  EXPECT_EQ(ext, withSlots({"", "", "jpg", "jpg", "txt"}));
  // Each path still stands beside its own extension.
  const Arr before = withSlots({"jpg", "", "txt", "jpg", ""});
  for (size_t k = 1; k <= 5; ++k) EXPECT_EQ(before[size_t(paths[k].mid(1).toInt())], ext[k]) << k;
  EXPECT_EQ(paths[5], "p3");
}

TEST(TriRapideTest, DescendingPutsEmptySlotsLast) {
  Arr ext = withSlots({"jpg", "", "txt", "jpg", ""});
  Arr paths = tags(5);
  ASSERT_TRUE(TriRapide(1, 5, ext, false, paths));
  EXPECT_EQ(ext, withSlots({"txt", "jpg", "jpg", "", ""}));
  EXPECT_EQ(paths[1], "p3");
}

TEST(TriRapideTest, UpperCaseComesBeforeLowerCase) {
  Arr ext = withSlots({"jpg", "TXT", "Jpg", "a"});
  Arr paths = tags(4);
  ASSERT_TRUE(TriRapide(1, 4, ext, true, paths));
  EXPECT_EQ(ext, withSlots({"Jpg", "TXT", "a", "jpg"}));
}

TEST(TriRapideTest, OneSlotOrNoneChangesNothing) {
  Arr ext = withSlots({"b", "a"});
  Arr paths = tags(2);
  EXPECT_TRUE(TriRapide(1, 1, ext, true, paths));
  EXPECT_TRUE(TriRapide(1, 0, ext, true, paths));  // a walk that found nothing
  EXPECT_EQ(ext, withSlots({"b", "a"}));
  EXPECT_EQ(paths, tags(2));
}

TEST(TriRapideTest, ARangeOutsideTheArraysIsRefused) {
  Arr ext = withSlots({"b", "a", "c"});
  Arr paths = tags(2);  // shorter than the range
  EXPECT_FALSE(TriRapide(1, 3, ext, true, paths));
  EXPECT_EQ(ext, withSlots({"b", "a", "c"}));
  EXPECT_FALSE(TriRapide(-1, 2, ext, true, paths));
}

TEST(TriRapideTest, MovesTheSharedPathsByDefault) {
  resetVariablesVRN();
  Arr ext = withSlots({"c", "a", "b"});
  vrnVars().TabChemins = tags(3);
  ASSERT_TRUE(TriRapide(1, 3, ext, true));
  EXPECT_EQ(vrnVars().TabChemins, withSlots({"p2", "p3", "p1"}));
  resetVariablesVRN();
}

TEST(TriRapideTest, ExchangesExactlyAsTheRecursiveForm) {
  std::mt19937 rng(7);
  const char* pool[] = {"", "a", "ab", "b", "jpg", "JPG", "txt", "c", "h", "zz"};
  for (int round = 0; round < 200; ++round) {
    const size_t n = 1 + rng() % (round < 150 ? 40 : 3000);
    const bool asc = rng() % 4 != 0;
    Arr ext(1), paths(1);
    std::vector<std::string> rt(1), rc(1);
    for (size_t i = 1; i <= n; ++i) {
      const char* v = pool[rng() % (round % 3 == 0 ? 3 : 10)];
      ext.emplace_back(v);
      rt.emplace_back(v);
      paths.emplace_back(QByteArray::number(qulonglong(i)));
      rc.emplace_back(std::to_string(i));
    }
    ASSERT_TRUE(TriRapide(1, qint64(n), ext, asc, paths));
    if (n > 1) reference(1, long(n), rt, rc, asc);
    for (size_t i = 1; i <= n; ++i) {
      ASSERT_EQ(ext[i].toStdString(), rt[i]) << "round " << round << " slot " << i;
      ASSERT_EQ(paths[i].toStdString(), rc[i]) << "round " << round << " slot " << i;
    }
  }
}

TEST(TriRapideTest, LargeArraysOfFewValuesSortFully) {
  const size_t n = 300000;
  Arr ext(1), paths(1);
  std::mt19937 rng(3);
  const QByteArray values[] = {"", "c", "h", "jpg", "txt"};
  for (size_t i = 1; i <= n; ++i) {
    ext.push_back(i > n - 1000 ? QByteArray() : values[rng() % 5]);  // the last ones not retained
    paths.push_back(ext.back().isEmpty() ? QByteArray() : "/f" + ext.back());
  }
  ASSERT_TRUE(TriRapide(1, qint64(n), ext, true, paths));
  for (size_t i = 2; i <= n; ++i) ASSERT_LE(compareOrdinal(ext[i - 1], ext[i]), 0) << i;
  for (size_t i = 1; i <= n; ++i) ASSERT_EQ(paths[i], ext[i].isEmpty() ? QByteArray() : "/f" + ext[i]) << i;
}

// The recursive algorithm as written, on the stored texts themselves.
void referenceOrdinal(qint64 g, qint64 d, Arr& t, Arr& c, bool asc) {
  qint64 i = g, j = d;
  const QByteArray pivot = t[size_t((g + d) / 2)];
  do {
    if (asc) {
      while (compareOrdinal(t[size_t(i)], pivot) < 0) ++i;
      while (compareOrdinal(pivot, t[size_t(j)]) < 0) --j;
    } else {
      while (compareOrdinal(t[size_t(i)], pivot) > 0) ++i;
      while (compareOrdinal(pivot, t[size_t(j)]) > 0) --j;
    }
    if (i <= j) {
      std::swap(t[size_t(i)], t[size_t(j)]);
      std::swap(c[size_t(i)], c[size_t(j)]);
      ++i;
      --j;
    }
  } while (i <= j);
  if (g < j) referenceOrdinal(g, j, t, c, asc);
  if (i < d) referenceOrdinal(i, d, t, c, asc);
}

TEST(TriRapideTest, LargeArraysComeOutExactlyAsFromTheRecursiveForm) {
  // Enough slots for the work to be shared between threads, long runs of
  // one value and mixed stretches, texts whose byte order differs from their
  // order (above U+FFFF, undecodable bytes), equal texts that share their
  // bytes and others that do not, null and empty slots; both orders, a range
  // that leaves slots at both ends alone.
  const QByteArray shared[] = {"jpg", "txt", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1", "\xC3\xA9", "\xC3", "JPG", "c"};
  struct Case {
    size_t n;
    bool asc;
    qint64 g, d;  // the range sorted; 0 for 1 and n
  };
  for (const Case& c : {Case{140000, true, 0, 0}, Case{100000, false, 0, 0}, Case{90000, true, 17, 89990}}) {
    SCOPED_TRACE(c.n);
    std::mt19937 rng(unsigned(c.n));
    Arr ext(1), paths(1);
    for (size_t i = 1; i <= c.n; ++i) {
      const unsigned r = rng() % 100;
      QByteArray v;
      if (i % 50000 < 20000) v = shared[0];  // a long run of one value
      else if (r < 5) v = QByteArray();
      else if (r < 10) v = QByteArray("");
      else if (r < 60) v = shared[r % 8];
      else v = QByteArray(shared[r % 8].constData(), shared[r % 8].size());  // equal, own bytes
      ext.push_back(v);
      paths.push_back(QByteArray::number(qulonglong(i)));
    }
    const qint64 g = c.g ? c.g : 1, d = c.d ? c.d : qint64(c.n);
    Arr rt = ext, rc = paths;
    referenceOrdinal(g, d, rt, rc, c.asc);
    ASSERT_TRUE(TriRapide(g, d, ext, c.asc, paths));
    for (size_t i = 1; i <= c.n; ++i) {
      ASSERT_EQ(ext[i], rt[i]) << "slot " << i;
      ASSERT_EQ(paths[i], rc[i]) << "slot " << i;
    }
  }
}

TEST(CompareOrdinalTest, OrdersBySixteenBitCodes) {
  EXPECT_LT(compareOrdinal("", "a"), 0);
  EXPECT_EQ(compareOrdinal("", ""), 0);
  EXPECT_LT(compareOrdinal("jp", "jpg"), 0);
  EXPECT_LT(compareOrdinal("TXT", "jpg"), 0);
  EXPECT_GT(compareOrdinal("b", "ab"), 0);
  // U+1F600 is D83D DE00 in 16-bit codes, so it comes before U+FF21, though
  // its UTF-8 bytes (F0...) come after (EF...).
  EXPECT_LT(compareOrdinal("\xF0\x9F\x98\x80", "\xEF\xBC\xA1"), 0);
  EXPECT_GT(compareOrdinal("\xEF\xBC\xA1", "\xF0\x9F\x98\x80"), 0);
  // A raw byte is kept as U+DC80..U+DCFF: after é (U+00E9) even when its bytes
  // are a prefix of é's.
  EXPECT_LT(compareOrdinal("\xC3\xA9", "\xC3"), 0);
  EXPECT_LT(compareOrdinal("\xC3\xA9", "\xC3z"), 0);
  EXPECT_LT(compareOrdinal("z", "\xC3\xA9"), 0);
  EXPECT_LT(compareOrdinal("\xC3\xA9", "\xC3\xAA"), 0);
}

}  // namespace
}  // namespace vrn
