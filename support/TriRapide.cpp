#include "support/TriRapide.h"

#include <QString>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <thread>
#include <unordered_map>
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

int helperThreads() { return int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)) - 1; }

// Runs work(begin, end) over [0, n) in slices, on this thread and helpers.
template <typename Work>
void inSlices(size_t n, const Work& work) {
  const size_t slices = n < size_t(kParallelPart) ? 1 : size_t(helperThreads()) + 1;
  std::vector<std::thread> helpers;
  for (size_t s = 1; s < slices; ++s) helpers.emplace_back([&, s] { work(n * s / slices, n * (s + 1) / slices); });
  work(0, n / slices);
  for (std::thread& t : helpers) t.join();
}

// The quicksort over any slots, given how two compare and how two are
// exchanged.
template <typename Slots>
struct Sorter {
  Slots& items;
  bool ascending;

  // One partition pass over [g, d] exactly as the recursive form does it;
  // returns the final i and j.
  std::pair<qint64, qint64> pass(qint64 g, qint64 d) {
    qint64 i = g, j = d;
    const auto pivot = items.value((g + d) / 2);
    if constexpr (requires { items.exchangeInBlocks(i, j, pivot, ascending); }) {
      // The exchanges far from where the scans meet, found without
      // branching; the rest as below.
      if (items.exchangeInBlocks(i, j, pivot, ascending) && i > j) return {i, j};
    }
    do {
      if (ascending) {
        while (items.less(items.value(i), pivot)) ++i;
        while (items.less(pivot, items.value(j))) --j;
      } else {
        while (items.less(pivot, items.value(i))) ++i;
        while (items.less(items.value(j), pivot)) --j;
      }
      if (i <= j) {
        items.exchange(i, j);
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
      if constexpr (requires { items.arrangeEqual(g, d); }) {
        if (items.allEqual(g, d)) {
          items.arrangeEqual(g, d);
          break;
        }
      }
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

// The texts themselves, compared in full at each step (for ranges too long
// to number their slots in 32 bits).
struct TextSlots {
  std::vector<QByteArray>& t;
  std::vector<QByteArray>& c;
  QByteArray value(qint64 k) const { return t[size_t(k)]; }
  static bool less(const QByteArray& a, const QByteArray& b) { return compareOrdinal(a, b) < 0; }
  void exchange(qint64 i, qint64 j) {
    std::swap(t[size_t(i)], t[size_t(j)]);
    if (&c != &t) std::swap(c[size_t(i)], c[size_t(j)]);
  }
};

// Leaves new numbers as they come: every slot is written before it is read,
// and zeroing millions of them first, on one thread, takes time.
template <typename T>
struct Uninitialised : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = Uninitialised<U>;
  };
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using Keys = std::vector<quint64, Uninitialised<quint64>>;

// Each slot as one number: the rank of its text among the distinct texts of
// the range (high half) and its place before the sort (low half). Comparing
// ranks gives exactly the comparisons of the texts, so the passes exchange
// the same slots; the texts are then moved once to where their numbers went.
struct RankedSlots {
  Keys keys;
  quint64 value(qint64 k) const { return keys[size_t(k)] >> 32; }
  static bool less(quint64 a, quint64 b) { return a < b; }
  void exchange(qint64 i, qint64 j) { std::swap(keys[size_t(i)], keys[size_t(j)]); }

  // Makes the exchanges of a pass over [i, j] (pivot value p) while the
  // slots still to scan from both ends fill whole blocks, and leaves i and j
  // as the pass has them after the last of these. A pass exchanges the k-th
  // slot from the left that stops the left scan with the k-th from the right
  // that stops the right scan, as long as they have not met: the slots that
  // stop each scan are noted a block at a time, without a branch per slot,
  // and paired in order. True when any exchange was made.
  bool exchangeInBlocks(qint64& i, qint64& j, quint64 p, bool ascending) {
    return ascending ? inBlocks<true>(i, j, p) : inBlocks<false>(i, j, p);
  }

  template <bool ascending>
  bool inBlocks(qint64& i, qint64& j, quint64 p) {
    constexpr qint64 kBlock = 128;
    quint8 left[kBlock], right[kBlock];
    qint64 leftCount = 0, leftUsed = 0, leftBase = 0, rightCount = 0, rightUsed = 0, rightBase = 0;
    qint64 from = i, to = j;  // the slots not scanned yet
    bool exchanged = false;
    for (;;) {
      if (leftUsed == leftCount) {
        if (to - from + 1 < kBlock) break;
        leftBase = from;
        leftCount = leftUsed = 0;
        for (qint64 k = 0; k < kBlock; ++k) {
          const quint64 v = value(from + k);
          left[leftCount] = quint8(k);
          leftCount += ascending ? !(v < p) : !(p < v);
        }
        from += kBlock;
      }
      if (rightUsed == rightCount) {
        if (to - from + 1 < kBlock) break;
        rightBase = to;
        rightCount = rightUsed = 0;
        for (qint64 k = 0; k < kBlock; ++k) {
          const quint64 v = value(to - k);
          right[rightCount] = quint8(k);
          rightCount += ascending ? !(p < v) : !(v < p);
        }
        to -= kBlock;
      }
      const qint64 pairs = std::min(leftCount - leftUsed, rightCount - rightUsed);
      for (qint64 n = 0; n < pairs; ++n) {
        i = leftBase + left[leftUsed + n];
        j = rightBase - right[rightUsed + n];
        std::swap(keys[size_t(i)], keys[size_t(j)]);
      }
      if (pairs > 0) exchanged = true;
      leftUsed += pairs;
      rightUsed += pairs;
    }
    if (exchanged) {
      ++i;
      --j;
    }
    return exchanged;
  }

  bool allEqual(qint64 g, qint64 d) const {
    const quint64 first = value(g);
    for (qint64 k = g + 1; k <= d; ++k)
      if (value(k) != first) return false;
    return true;
  }

  // What the passes do to a part of equal values, done directly (the scan's
  // runs of one extension are long): every slot stops both scans, so a pass
  // reverses the part, then its two halves (less the middle slot of an odd
  // part, which stays) go through the same, down to single slots.
  void arrangeEqual(qint64 g, qint64 d) {
    while (g < d) {
      std::reverse(keys.begin() + g, keys.begin() + d + 1);
      const qint64 half = (d - g + 1) / 2;
      arrangeEqual(g, g + half - 1);
      g = d - half + 1;
    }
  }
};

// Numbers t[g + k] for k in [0, n) as RankedSlots keys (index from 0).
Keys rankTexts(const std::vector<QByteArray>& t, qint64 g, size_t n) {
  Keys keys(n);
  // Each slice names the distinct texts it meets; equal texts usually share
  // their bytes, so a text is first looked up by address.
  struct Slice {
    std::unordered_map<std::string_view, quint32> ids;
    std::vector<const QByteArray*> texts;  // by id
  };
  const size_t slices = n < size_t(kParallelPart) ? 1 : size_t(helperThreads()) + 1;
  std::vector<Slice> slice(slices);
  std::vector<std::thread> helpers;
  const auto name = [&](size_t s) {
    Slice& own = slice[s];
    struct Recent {
      const char* data = nullptr;
      qsizetype size = -1;
      quint32 id = 0;
    };
    std::vector<Recent> recent(4096);
    for (size_t k = n * s / slices, end = n * (s + 1) / slices; k < end; ++k) {
      const QByteArray& text = t[size_t(g) + k];
      const char* data = text.constData();
      Recent& r = recent[(reinterpret_cast<quintptr>(data) >> 4 ^ reinterpret_cast<quintptr>(data) >> 16) & 4095];
      if (r.data != data || r.size != text.size()) {
        const auto [it, added] =
            own.ids.try_emplace(std::string_view(data, size_t(text.size())), quint32(own.texts.size()));
        if (added) own.texts.push_back(&text);
        r = {data, text.size(), it->second};
      }
      keys[k] = quint64(r.id) << 32 | k;
    }
  };
  for (size_t s = 1; s < slices; ++s) helpers.emplace_back(name, s);
  name(0);
  for (std::thread& h : helpers) h.join();

  // The distinct texts in order, then each slice's ids replaced by ranks.
  std::unordered_map<std::string_view, const QByteArray*> distinct;
  for (const Slice& own : slice)
    for (const QByteArray* text : own.texts)
      distinct.try_emplace(std::string_view(text->constData(), size_t(text->size())), text);
  std::vector<const QByteArray*> ordered;
  ordered.reserve(distinct.size());
  for (const auto& entry : distinct) ordered.push_back(entry.second);
  std::sort(ordered.begin(), ordered.end(),
            [](const QByteArray* a, const QByteArray* b) { return compareOrdinal(*a, *b) < 0; });
  std::unordered_map<std::string_view, quint32> rank;
  for (size_t r = 0; r < ordered.size(); ++r)
    rank.emplace(std::string_view(ordered[r]->constData(), size_t(ordered[r]->size())), quint32(r));
  std::vector<std::vector<quint64>> rankOf(slices);
  for (size_t s = 0; s < slices; ++s)
    for (const QByteArray* text : slice[s].texts)
      rankOf[s].push_back(quint64(rank[std::string_view(text->constData(), size_t(text->size()))]) << 32);
  inSlices(n, [&](size_t begin, size_t end) {
    // The slice boundaries of the naming above: each key's id is its slice's.
    for (size_t s = 0; s < slices; ++s) {
      const size_t from = std::max(begin, n * s / slices), to = std::min(end, n * (s + 1) / slices);
      for (size_t k = from; k < to; ++k) keys[k] = rankOf[s][keys[k] >> 32] | (keys[k] & 0xFFFFFFFFu);
    }
  });
  return keys;
}

// Moves each text of a[from..] to where its number went: slot from + k
// receives the text that stood at from + (keys[k] & 0xFFFFFFFF). Into
// storage as long as a and holding empty slots only, filled by several
// threads at once; it then replaces a's (the slots outside the range keep
// their texts), and storage is left with a's old one, all empty now.
void placeByRanks(std::vector<QByteArray>& a, size_t from, const Keys& keys, std::vector<QByteArray>& storage) {
  const size_t n = keys.size();
  inSlices(n, [&](size_t begin, size_t end) {
    for (size_t k = begin; k < end; ++k) storage[from + k] = std::move(a[from + (keys[k] & 0xFFFFFFFFu)]);
  });
  for (size_t k = 0; k < from; ++k) storage[k] = std::move(a[k]);
  for (size_t k = from + n; k < a.size(); ++k) storage[k] = std::move(a[k]);
  a.swap(storage);
}

}  // namespace

bool TriRapide(qint64 gauche, qint64 droite, std::vector<QByteArray>& tableau, bool ordre,
               std::vector<QByteArray>& compagnon) {
  // A range of one slot or less has nothing to order (a walk that found
  // nothing sorts 1 to 0).
  if (gauche >= droite) return true;
  if (gauche < 0 || droite >= qint64(tableau.size()) || droite >= qint64(compagnon.size())) return false;
  const qint64 n = droite - gauche + 1;
  if (n > qint64(0xFFFFFFFFu)) {
    TextSlots items{tableau, compagnon};
    Sorter<TextSlots>{items, ordre}.sort(gauche, droite, helperThreads());
    return true;
  }
  // The storage the texts are moved into takes a while to make (a million
  // slots): made meanwhile. Once one array is in place, its old storage
  // takes the other when as long.
  const bool both = &compagnon != &tableau;
  const bool shared = !both || compagnon.size() == tableau.size();
  std::vector<QByteArray> storage, second;
  std::atomic<bool> failed{false};
  const auto make = [&failed](std::vector<QByteArray>& into, size_t size) {
    try {
      into = std::vector<QByteArray>(size);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  };
  std::thread making(make, std::ref(storage), tableau.size());
  std::thread makingSecond(make, std::ref(second), shared ? 0 : compagnon.size());
  RankedSlots items;
  try {
    items.keys = rankTexts(tableau, gauche, size_t(n));
    Sorter<RankedSlots>{items, ordre}.sort(0, n - 1, helperThreads());
  } catch (...) {
    making.join();
    makingSecond.join();
    throw;
  }
  making.join();
  makingSecond.join();
  // Nothing has moved yet: out of memory leaves the arrays as they were.
  if (failed) throw std::bad_alloc();
  placeByRanks(tableau, size_t(gauche), items.keys, storage);
  if (both) placeByRanks(compagnon, size_t(gauche), items.keys, shared ? storage : second);
  return true;
}

bool TriRapide(qint64 gauche, qint64 droite, std::vector<QByteArray>& tableau, bool ordre) {
  return TriRapide(gauche, droite, tableau, ordre, vrnVars().TabChemins);
}

}  // namespace vrn
