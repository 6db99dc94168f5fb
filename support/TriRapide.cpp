#include "support/TriRapide.h"

#include <QString>
#include <cstring>
#include <algorithm>
#include <thread>
#include <utility>

#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"

namespace vrn {

int compareOrdinal(const QByteArray& a, const QByteArray& b) {
  const qsizetype sa = a.size(), sb = b.size();
  // Extensions are shared copies of one value per kind: most comparisons of
  // equal values end here.
  if (sa == sb && a.constData() == b.constData()) return 0;
  const auto* pa = reinterpret_cast<const unsigned char*>(a.constData());
  const auto* pb = reinterpret_cast<const unsigned char*>(b.constData());
  const qsizetype n = std::min(sa, sb);
  qsizetype k = 0;
  while (k < n && pa[k] == pb[k]) ++k;
  // Byte order is the order of the decoded 16-bit codes as long as the first
  // difference is between two ASCII bytes (or one text ends before an ASCII
  // byte): the common prefix then decodes the same way in both texts. Past
  // ASCII it is not: UTF-8 puts U+E000..U+FFFF before the characters above
  // U+FFFF, which UTF-16 codes as surrogates D800..DFFF, and a raw byte kept as
  // U+DC80..U+DCFF sorts among those. Such rare texts are decoded and compared.
  if (k == n) {
    if (sa == sb) return 0;
    const unsigned char next = sa > sb ? pa[k] : pb[k];
    if (next < 0x80) return sa < sb ? -1 : 1;
  } else if (pa[k] < 0x80 && pb[k] < 0x80) {
    return pa[k] < pb[k] ? -1 : 1;
  }
  return QString::compare(decodePath(a), decodePath(b), Qt::CaseSensitive);
}

namespace {

// Parts smaller than this are not worth a thread.
constexpr qint64 kParallelPart = 1 << 16;

struct Sorter {
  std::vector<QByteArray>& t;
  std::vector<QByteArray>& c;
  bool ascending;

  // One partition pass over [g, d] exactly as the recursive form does it;
  // returns the final i and j.
  std::pair<qint64, qint64> pass(qint64 g, qint64 d) {
    qint64 i = g, j = d;
    const QByteArray pivot = t[size_t((g + d) / 2)];
    do {
      if (ascending) {
        while (compareOrdinal(t[size_t(i)], pivot) < 0) ++i;
        while (compareOrdinal(pivot, t[size_t(j)]) < 0) --j;
      } else {
        while (compareOrdinal(t[size_t(i)], pivot) > 0) ++i;
        while (compareOrdinal(pivot, t[size_t(j)]) > 0) --j;
      }
      if (i <= j) {
        std::swap(t[size_t(i)], t[size_t(j)]);
        if (&c != &t) std::swap(c[size_t(i)], c[size_t(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    return {i, j};
  }

  // The recursion goes into the smaller part only and loops on the larger,
  // so its depth stays below log2(n); each pass is unchanged. The two parts
  // of a pass share no slot, so a large smaller part may be sorted by a
  // helper thread (spare: helpers this call may still start): the passes, and
  // so the result, stay exactly the same.
  void sort(qint64 g, qint64 d, int spare) {
    std::vector<std::thread> helpers;
    while (g < d) {
      const auto [i, j] = pass(g, d);
      const bool left = g < j, right = i < d;
      if (left && right) {
        const bool leftSmaller = j - g < d - i;
        const qint64 sg = leftSmaller ? g : i, sd = leftSmaller ? j : d;
        if (spare > 0 && sd - sg >= kParallelPart) {
          const int given = (spare - 1) / 2;
          spare -= 1 + given;
          helpers.emplace_back([this, sg, sd, given] { sort(sg, sd, given); });
        } else {
          sort(sg, sd, 0);
        }
        if (leftSmaller) g = i;
        else d = j;
      } else if (left) {
        d = j;
      } else if (right) {
        g = i;
      } else {
        break;
      }
    }
    for (std::thread& t : helpers) t.join();
  }
};

}  // namespace

bool TriRapide(qint64 gauche, qint64 droite, std::vector<QByteArray>& tableau, bool ordre,
               std::vector<QByteArray>& compagnon) {
  // A range of one slot or less has nothing to order (a walk that found
  // nothing sorts 1 to 0).
  if (gauche >= droite) return true;
  if (gauche < 0 || droite >= qint64(tableau.size()) || droite >= qint64(compagnon.size())) return false;
  const int helpers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)) - 1;
  Sorter{tableau, compagnon, ordre}.sort(gauche, droite, helpers);
  return true;
}

bool TriRapide(qint64 gauche, qint64 droite, std::vector<QByteArray>& tableau, bool ordre) {
  return TriRapide(gauche, droite, tableau, ordre, vrnVars().TabChemins);
}

}  // namespace vrn
