// The row sort: keys holding the first bytes of each text, refined in
// passes over the runs that still tie, spread over a few threads.
#include "platform/rowsort.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace vrn {

namespace {

// Sort key of one row: the first 32 bytes as four numbers decide most
// comparisons (and whole names, sizes and dates) without touching the text.
struct SortKey {
  quint64 head, next, third, fourth;  // the first 32 bytes, the first byte highest
  const char* p;
  quint32 len;
  quint32 id;
};

quint64 wordAt(const char* p, quint32 n, quint32 from) {
  if (n >= from + 8) {
    quint64 w;
    std::memcpy(&w, p + from, 8);
    return __builtin_bswap64(w);  // the first byte the highest
  }
  quint64 h = 0;
  const quint32 end = std::min<quint32>(n, from + 8);
  for (quint32 i = from; i < end; ++i) h |= quint64(static_cast<unsigned char>(p[i])) << (56 - 8 * (i - from));
  return h;
}

constexpr quint32 kHeld = 32;  // bytes held in a key

void setHead(SortKey& k) {
  k.head = wordAt(k.p, k.len, 0);
  k.next = wordAt(k.p, k.len, 8);
  k.third = wordAt(k.p, k.len, 16);
  k.fourth = wordAt(k.p, k.len, 24);
}

bool heldLess(const SortKey& a, const SortKey& b) {
  if (a.head != b.head) return a.head < b.head;
  if (a.next != b.next) return a.next < b.next;
  if (a.third != b.third) return a.third < b.third;
  return a.fourth < b.fourth;
}

bool heldEqual(const SortKey& a, const SortKey& b) {
  return a.head == b.head && a.next == b.next && a.third == b.third && a.fourth == b.fourth;
}

bool keyLess(const SortKey& a, const SortKey& b) {
  if (!heldEqual(a, b)) return heldLess(a, b);
  const quint32 m = std::min(a.len, b.len);
  if (m > kHeld) {
    const int c = std::memcmp(a.p + kHeld, b.p + kHeld, m - kHeld);
    if (c != 0) return c < 0;
  }
  return a.len < b.len;
}

// Sort spread over a few threads for long ranges: chunks sorted apart,
// then merged pairwise. Equal keys keep their order when stable is asked.
template <class It, class Comp>
void parallelSort(It first, It last, Comp comp, bool stable) {
  const size_t n = size_t(last - first);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  auto sortPart = [stable, comp](It b, It e) {
    if (stable) std::stable_sort(b, e, comp);
    else std::sort(b, e, comp);
  };
  if (n < 65536 || cores < 2) {
    sortPart(first, last);
    return;
  }
  size_t chunks = 1;
  while (chunks * 2 <= std::min(cores, 8u)) chunks *= 2;
  std::vector<size_t> bounds(chunks + 1);
  for (size_t i = 0; i <= chunks; ++i) bounds[i] = n * i / chunks;
  {
    std::vector<std::thread> workers;
    for (size_t i = 0; i < chunks; ++i)
      workers.emplace_back([&, i] { sortPart(first + bounds[i], first + bounds[i + 1]); });
    for (auto& w : workers) w.join();
  }
  for (size_t width = 1; width < chunks; width *= 2) {
    std::vector<std::thread> workers;
    for (size_t i = 0; i + width < chunks; i += 2 * width) {
      const size_t mid = bounds[i + width], end = bounds[std::min(i + 2 * width, chunks)];
      workers.emplace_back([&, i, mid, end] { std::inplace_merge(first + bounds[i], first + mid, first + end, comp); });
    }
    for (auto& w : workers) w.join();
  }
}

// Runs f(from, to) over slices of [0, n) on a few threads when n is large.
template <class F>
void inSlices(size_t n, F f) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t slices = n >= 65536 ? std::min<size_t>(cores, 8) : 1;
  if (slices == 1) {
    f(size_t(0), n);
    return;
  }
  std::vector<std::thread> workers;
  for (size_t t = 0; t < slices; ++t)
    workers.emplace_back([&f, n, slices, t] { f(n * t / slices, n * (t + 1) / slices); });
  for (auto& w : workers) w.join();
}

// Orders keys on their whole texts, byte by byte (equal texts in no promised
// order). Each pass orders on the 32 bytes held in the keys; runs that
// still tie move on past what the run shares and are ordered again, so the
// texts are read once per pass rather than once per comparison.
// The caller has set the heads of the first pass, and found that the keys
// share their first `shared` bytes.
// same[i] ends 1 when key i's text equals key i-1's.
void sortKeys(std::vector<SortKey>& keys, quint32 shared, std::vector<quint8>& same) {
  same.assign(keys.size(), 0);
  auto stageLess = [](const SortKey& a, const SortKey& b) {
    if (!heldEqual(a, b)) return heldLess(a, b);
    return std::min(a.len, kHeld + 1) < std::min(b.len, kHeld + 1);  // a shorter text sorts before its longer twins
  };
  auto stageEqual = [](const SortKey& a, const SortKey& b) {
    return heldEqual(a, b) && std::min(a.len, kHeld + 1) == std::min(b.len, kHeld + 1);
  };
  using Runs = std::vector<std::pair<size_t, size_t>>;
  // One pass over the run [b, e): drop what it shares, order it on the held
  // bytes, and leave its still tied groups in todo.
  auto pass = [&](size_t b, size_t e, bool first, Runs& todo) {
    const size_t n = e - b;
    quint32 common = shared;
    if (!first) {
      // What every text of the run shares from here on.
      std::vector<quint32> partial;
      std::mutex partialLock;
      inSlices(n, [&](size_t from, size_t to) {
        quint32 c = keys[b].len;
        for (size_t i = b + from; i < b + to && c > 0; ++i) {
          if (i + 16 < b + to) __builtin_prefetch(keys[i + 16].p);
          const quint32 m = std::min(c, keys[i].len);
          quint32 j = 0;
          while (j + 8 <= m && std::memcmp(keys[i].p + j, keys[b].p + j, 8) == 0) j += 8;
          while (j < m && keys[i].p[j] == keys[b].p[j]) ++j;
          c = j;
        }
        std::lock_guard guard(partialLock);
        partial.push_back(c);
      });
      common = *std::min_element(partial.begin(), partial.end());
    }
    if (!first || common > 0) {
      inSlices(n, [&](size_t from, size_t to) {
        for (size_t i = b + from; i < b + to; ++i) {
          keys[i].p += common;
          keys[i].len -= common;
          setHead(keys[i]);
        }
      });
    }
    // Equal keys need no order: equal texts share a rank, and the rest is
    // ordered by the next pass.
    parallelSort(keys.begin() + b, keys.begin() + e, stageLess, false);
    for (size_t i = b; i < e;) {
      size_t j = i + 1;
      while (j < e && stageEqual(keys[i], keys[j])) ++j;
      // Keys of one group whose rest is held whole are equal texts.
      if (keys[i].len <= kHeld)
        for (size_t t = i + 1; t < j; ++t) same[t] = 1;
      if (j - i > 1 && keys[i].len > kHeld) {
        for (size_t t = i; t < j; ++t) {
          keys[t].p += kHeld;
          keys[t].len -= kHeld;
        }
        todo.emplace_back(i, j);
      }
      i = j;
    }
  };
  Runs todo;
  pass(0, keys.size(), true, todo);
  // Large runs one at a time, each spread over the threads; then the small
  // ones (disjoint ranges) shared out among the threads.
  constexpr size_t kLarge = 65536;
  for (;;) {
    const auto largest = std::max_element(
        todo.begin(), todo.end(), [](const auto& x, const auto& y) { return x.second - x.first < y.second - y.first; });
    if (largest == todo.end() || largest->second - largest->first < kLarge) break;
    const auto run = *largest;
    todo.erase(largest);
    pass(run.first, run.second, false, todo);
  }
  if (todo.empty()) return;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t threads = todo.size() >= 64 ? std::min<size_t>(cores, 8) : 1;
  std::vector<Runs> shares(threads);
  for (size_t i = 0; i < todo.size(); ++i) shares[i % threads].push_back(todo[i]);
  auto drain = [&pass](Runs& mine) {
    while (!mine.empty()) {
      const auto run = mine.back();
      mine.pop_back();
      pass(run.first, run.second, false, mine);
    }
  };
  if (threads == 1) {
    drain(shares[0]);
    return;
  }
  std::vector<std::thread> workers;
  for (size_t t = 0; t < threads; ++t) workers.emplace_back([&drain, &shares, t] { drain(shares[t]); });
  for (auto& w : workers) w.join();
}

SortKey keyOf(const RowStore& store, qsizetype r, int k) {
  const auto [p, n] = store.cell(r, k);
  SortKey key{0, 0, 0, 0, p, n, quint32(r)};
  setHead(key);
  return key;
}

}  // namespace

void RowSort::order(const RowStore& store, int k, bool descending, std::vector<quint32>& perm) {
  const qsizetype n = store.count();
  perm.resize(size_t(n));
  if (n == 0) return;
  const std::vector<quint32>& rank = ranks(store, k);
  quint32 top = 0;
  for (const quint32 r : rank) top = std::max(top, r);
  std::vector<quint32> start(size_t(top) + 2, 0);
  auto keyOfRow = [&](qsizetype i) {
    const quint32 r = rank[store.rows[size_t(i)].id];
    return descending ? top - r : r;
  };
  for (qsizetype i = 0; i < n; ++i) ++start[keyOfRow(i) + 1];
  for (size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
  for (qsizetype i = 0; i < n; ++i) perm[start[keyOfRow(i)]++] = quint32(i);
}

const std::vector<quint32>& RowSort::ranks(const RowStore& store, int k) {
  if (size_t(k) >= ranks_.size()) ranks_.resize(size_t(k) + 1);
  ColumnRanks& cached = ranks_[size_t(k)];
  if (cached.version == store.version() && cached.byId.size() == size_t(store.count())) return cached.byId;
  const qsizetype n = store.count();
  std::vector<SortKey> keys(static_cast<size_t>(n));
  // Keys are made in slices on a few threads (the texts are only read),
  // each slice finding how much of its texts' start it shares with row 0.
  const SortKey first = keyOf(store, 0, k);
  std::vector<quint32> sharedOf;
  std::mutex sharedLock;
  inSlices(size_t(n), [&](size_t from, size_t to) {
    quint32 shared = first.len;
    for (size_t i = from; i < to; ++i) {
      if (i + 48 < to) __builtin_prefetch(store.block(qsizetype(i) + 48));
      SortKey& key = keys[i];
      key = keyOf(store, qsizetype(i), k);
      key.id = store.rows[i].id;
      if (shared > 0) {
        const quint32 m = std::min(shared, key.len);
        quint32 j = 0;
        while (j < m && key.p[j] == first.p[j]) ++j;
        shared = j;
      }
    }
    std::lock_guard guard(sharedLock);
    sharedOf.push_back(shared);
  });
  // Neighbours with equal texts share a rank.
  std::vector<quint8> same;
  sortKeys(keys, *std::min_element(sharedOf.begin(), sharedOf.end()), same);
  cached.byId.assign(size_t(n), 0);
  quint32 rank = 0;
  for (qsizetype i = 0; i < n; ++i) {
    if (i > 0 && !same[size_t(i)]) ++rank;
    cached.byId[keys[size_t(i)].id] = rank;
  }
  cached.version = store.version();
  return cached.byId;
}

bool RowSort::fewAdded(qsizetype count, qsizetype from) {
  const qsizetype tail = count - from;
  return from > 0 && tail > 0 && tail * 64 < count;
}

void RowSort::orderAdded(const RowStore& store, qsizetype from, int k, bool descending, std::vector<quint32>& perm) {
  const qsizetype n = store.count();
  from = std::clamp<qsizetype>(from, 0, n);
  const qsizetype tail = n - from;
  perm.assign(size_t(n), 0);
  auto less = [descending](const SortKey& a, const SortKey& b) { return descending ? keyLess(b, a) : keyLess(a, b); };
  // Each added row goes after the last of its equals among the rows in order.
  std::vector<SortKey> added(static_cast<size_t>(tail));
  for (qsizetype i = 0; i < tail; ++i) added[size_t(i)] = keyOf(store, from + i, k);
  std::stable_sort(added.begin(), added.end(), less);
  qsizetype src = 0, out = 0, lo = 0;
  for (const SortKey& x : added) {
    qsizetype hi = from;
    while (lo < hi) {
      const qsizetype mid = lo + (hi - lo) / 2;
      if (less(x, keyOf(store, mid, k))) hi = mid;
      else lo = mid + 1;
    }
    while (src < lo) perm[size_t(out++)] = quint32(src++);
    perm[size_t(out++)] = x.id;
  }
  while (src < from) perm[size_t(out++)] = quint32(src++);
}

}  // namespace vrn
