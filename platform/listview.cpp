// List control over a compact row store. Each row's texts live as one packed
// block (a length prefix per cell, then the UTF-8 bytes) in a chunked arena;
// a row record is 16 bytes. The Qt model only learns of new rows in batches,
// so filling a million rows costs no per-row signal.
#include "platform/listview.h"

#include "platform/columnwidths.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QPointer>
#include <QStackedLayout>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vrn {

ImageList::ImageList(QObject* parent, const char* name) : QObject(parent) {
  if (name) setObjectName(QString::fromLatin1(name));
}

QIcon ImageList::Image(int index) const {
  if (index < 1 || index > images_.size()) return QIcon();
  return images_[index - 1];
}

namespace {

// Texts are stored as UTF-8, except that a lone UTF-16 surrogate (the path
// codec's escape for an undecodable byte) is written as its own three-byte
// sequence, so every QString comes back unchanged. Byte order of the encoded
// texts is the code-point order, which is the order the sort uses.
void encodeText(QStringView s, std::string& out) {
  out.clear();
  const qsizetype n = s.size();
  out.reserve(size_t(n) + 8);
  const char16_t* u = s.utf16();
  for (qsizetype i = 0; i < n; ++i) {
    char32_t c = u[i];
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      ++i;
      out.push_back(char(0xF0 | (c >> 18)));
      out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
}

void encodeTextAppend(QStringView s, std::string& out) {
  const qsizetype n = s.size();
  const char16_t* u = s.utf16();
  qsizetype i = 0;
  while (i < n && u[i] < 0x80) ++i;
  const size_t at = out.size();
  out.resize(at + size_t(i));
  for (qsizetype k = 0; k < i; ++k) out[at + size_t(k)] = char(u[k]);
  if (i == n) return;
  std::string rest;
  encodeText(s.mid(i), rest);
  out += rest;
}

// Decodes what encodeText wrote (and nothing else: the input is trusted).
QString decodeText(const char* p, quint32 n) {
  if (n == 0) return QString();
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  quint32 i = 0;
  while (i < n && b[i] < 0x80) ++i;
  if (i == n) return QString::fromLatin1(p, qsizetype(n));
  QString out(qsizetype(n), Qt::Uninitialized);
  char16_t* o = reinterpret_cast<char16_t*>(out.data());
  for (quint32 k = 0; k < i; ++k) o[k] = b[k];
  qsizetype w = i;
  while (i < n) {
    const unsigned c = b[i];
    if (c < 0x80) {
      o[w++] = char16_t(c);
      i += 1;
    } else if (c < 0xE0) {
      o[w++] = char16_t(((c & 0x1F) << 6) | (b[i + 1] & 0x3F));
      i += 2;
    } else if (c < 0xF0) {
      o[w++] = char16_t(((c & 0x0F) << 12) | ((b[i + 1] & 0x3F) << 6) | (b[i + 2] & 0x3F));
      i += 3;
    } else {
      char32_t cp = ((c & 0x07) << 18) | ((b[i + 1] & 0x3F) << 12) | ((b[i + 2] & 0x3F) << 6) | (b[i + 3] & 0x3F);
      cp -= 0x10000;
      o[w++] = char16_t(0xD800 + (cp >> 10));
      o[w++] = char16_t(0xDC00 + (cp & 0x3FF));
      i += 4;
    }
  }
  out.truncate(w);
  return out;
}

size_t putVarint(char* o, quint32 v) {
  size_t k = 0;
  while (v >= 0x80) {
    o[k++] = char(v | 0x80);
    v >>= 7;
  }
  o[k++] = char(v);
  return k;
}

quint32 getVarint(const char*& p) {
  quint32 v = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char c = static_cast<unsigned char>(*p++);
    v |= quint32(c & 0x7F) << shift;
    if (!(c & 0x80)) return v;
  }
}

// Blocks of bytes in large chunks; small blocks share the current chunk,
// large ones get a chunk of their own.
class Arena {
 public:
  static constexpr quint32 kChunk = 4u << 20;
  struct Loc {
    quint32 chunk, offset;
  };

  char* at(quint32 chunk, quint32 offset) const { return chunks_[chunk].data.get() + offset; }
  Loc alloc(quint32 n) {
    if (n > kChunk / 4) {
      chunks_.push_back({std::unique_ptr<char[]>(new char[n]), n, n});
      used_ += n;
      return {quint32(chunks_.size() - 1), 0};
    }
    if (cur_ < 0 || chunks_[cur_].used + n > chunks_[cur_].cap) {
      chunks_.push_back({std::unique_ptr<char[]>(new char[kChunk]), kChunk, 0});
      cur_ = int(chunks_.size()) - 1;
    }
    Chunk& c = chunks_[cur_];
    const Loc loc{quint32(cur_), c.used};
    c.used += n;
    used_ += n;
    return loc;
  }
  // Whether [offset, offset+n) is the last block of the current chunk.
  bool isLast(quint32 chunk, quint32 offset, quint32 n) const {
    return int(chunk) == cur_ && offset + n == chunks_[chunk].used;
  }
  quint32 room() const { return cur_ < 0 ? 0 : chunks_[cur_].cap - chunks_[cur_].used; }
  void extendLast(quint32 n) {
    chunks_[cur_].used += n;
    used_ += n;
  }
  void releaseLast(quint32 n) {
    chunks_[cur_].used -= n;
    used_ -= n;
  }
  size_t used() const { return used_; }
  void clear() {
    chunks_.clear();
    cur_ = -1;
    used_ = 0;
  }
  void swap(Arena& o) {
    std::swap(chunks_, o.chunks_);
    std::swap(cur_, o.cur_);
    std::swap(used_, o.used_);
  }

 private:
  struct Chunk {
    std::unique_ptr<char[]> data;
    quint32 cap = 0, used = 0;
  };
  std::vector<Chunk> chunks_;
  int cur_ = -1;
  size_t used_ = 0;
};

struct RowRec {
  quint32 chunk, offset, size;  // the packed cells, never empty (cell 0 is always there)
  quint16 icon;
  quint8 cells;
  quint8 checked;
  quint32 id;  // the row's number in order of addition: it keeps it when rows are sorted
};
static_assert(sizeof(RowRec) == 20);

constexpr int kMaxCells = 255;

class RowStore {
 public:
  std::vector<RowRec> rows;

  qsizetype count() const { return qsizetype(rows.size()); }

  void append(QStringView text, int icon) {
    encodeText(text, enc_);
    char head[5];
    const size_t h = putVarint(head, quint32(enc_.size()));
    const quint32 size = quint32(h + enc_.size());
    const Arena::Loc loc = arena_.alloc(size);
    char* o = arena_.at(loc.chunk, loc.offset);
    std::memcpy(o, head, h);
    if (!enc_.empty()) std::memcpy(o + h, enc_.data(), enc_.size());
    rows.push_back({loc.chunk, loc.offset, size, quint16(std::clamp(icon, 0, 65535)), 1, 0, quint32(rows.size())});
  }

  void appendPacked(PackedRowView packed, int icon) {
    const Arena::Loc loc = arena_.alloc(packed.size);
    std::memcpy(arena_.at(loc.chunk, loc.offset), packed.data, packed.size);
    rows.push_back({loc.chunk, loc.offset, packed.size, quint16(std::clamp(icon, 0, 65535)),
                    quint8(std::clamp(packed.cells, 1, kMaxCells)), 0, quint32(rows.size())});
  }

  std::pair<const char*, quint32> cell(qsizetype row, int k) const {
    const RowRec& r = rows[size_t(row)];
    if (k >= r.cells) return {nullptr, 0};
    const char* p = arena_.at(r.chunk, r.offset);
    for (int i = 0;; ++i) {
      const quint32 len = getVarint(p);
      if (i == k) return {p, len};
      p += len;
    }
  }

  const char* block(qsizetype row) const {
    const RowRec& r = rows[size_t(row)];
    return arena_.at(r.chunk, r.offset);
  }

  QString text(qsizetype row, int k) const {
    const auto [p, n] = cell(row, k);
    return decodeText(p, n);
  }

  void setCell(qsizetype row, int k, QStringView text) {
    if (k < 0 || k >= kMaxCells) return;
    RowRec& r = rows[size_t(row)];
    encodeText(text, enc_);
    const quint32 n = quint32(enc_.size());
    if (k >= r.cells) {
      if (n == 0) return;  // absent cells are empty already
      // The usual fill: cells set in order on the row just added, which is
      // still the last block of the arena: extend it in place.
      char head[5];
      const quint32 gap = quint32(k - r.cells);
      const size_t h = putVarint(head, n);
      const quint32 extra = quint32(gap + h + n);
      if (arena_.isLast(r.chunk, r.offset, r.size) && arena_.room() >= extra) {
        char* o = arena_.at(r.chunk, r.offset + r.size);
        std::memset(o, 0, gap);
        std::memcpy(o + gap, head, h);
        std::memcpy(o + gap + h, enc_.data(), n);
        arena_.extendLast(extra);
        r.size += extra;
        r.cells = quint8(k + 1);
        return;
      }
    }
    // Rebuild the row's block with cell k replaced; trailing empty cells
    // (other than the text) are dropped.
    blob_.clear();
    const char* p = arena_.at(r.chunk, r.offset);
    const int cells = std::max<int>(r.cells, k + 1);
    size_t keepBytes = 0;
    int keepCells = 1;
    for (int i = 0; i < cells; ++i) {
      quint32 len = 0;
      const char* src = nullptr;
      if (i < r.cells) {
        len = getVarint(p);
        src = p;
        p += len;
      }
      if (i == k) {
        src = enc_.data();
        len = n;
      }
      char head[5];
      blob_.append(head, putVarint(head, len));
      if (len) blob_.append(src, len);
      if (len || i == 0) {
        keepBytes = blob_.size();
        keepCells = i + 1;
      }
    }
    blob_.resize(keepBytes);
    if (arena_.isLast(r.chunk, r.offset, r.size))
      arena_.releaseLast(r.size);
    else
      garbage_ += r.size;
    const Arena::Loc loc = arena_.alloc(quint32(blob_.size()));
    std::memcpy(arena_.at(loc.chunk, loc.offset), blob_.data(), blob_.size());
    r.chunk = loc.chunk;
    r.offset = loc.offset;
    r.size = quint32(blob_.size());
    r.cells = quint8(keepCells);
    compactIfWasteful();
  }

  void clear() {
    rows.clear();
    rows.shrink_to_fit();
    arena_.clear();
    garbage_ = 0;
  }

  size_t garbage() const { return garbage_; }

 private:
  // Rewrites that cannot happen in place leave the old block behind; once
  // half the arena is dead, copy the live blocks into a fresh one.
  void compactIfWasteful() {
    if (garbage_ < (1u << 20) || garbage_ < arena_.used() / 2) return;
    Arena fresh;
    for (RowRec& r : rows) {
      const Arena::Loc loc = fresh.alloc(r.size);
      std::memcpy(fresh.at(loc.chunk, loc.offset), arena_.at(r.chunk, r.offset), r.size);
      r.chunk = loc.chunk;
      r.offset = loc.offset;
    }
    arena_.swap(fresh);
    garbage_ = 0;
  }

  Arena arena_;
  size_t garbage_ = 0;
  std::string enc_, blob_;
};

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
    if (stable)
      std::stable_sort(b, e, comp);
    else
      std::sort(b, e, comp);
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
  for (size_t t = 0; t < slices; ++t) workers.emplace_back([&f, n, slices, t] { f(n * t / slices, n * (t + 1) / slices); });
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
    const auto largest = std::max_element(todo.begin(), todo.end(), [](const auto& x, const auto& y) {
      return x.second - x.first < y.second - y.first;
    });
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

// Sorts of at least this many rows let window events run while they work.
constexpr qsizetype kYieldingSortRows = 200000;

quint32 clampedBgr(quint32 bgr) { return bgr & 0xFFFFFF; }

}  // namespace

void appendListText(std::string& out, QStringView text) { encodeTextAppend(text, out); }

void PackedRowWriter::cell(std::string_view encoded) {
  char head[5];
  out_.append(head, putVarint(head, quint32(encoded.size())));
  out_.append(encoded);
  ++cells_;
}

void PackedRowWriter::cell(QStringView text) {
  std::string encoded;
  encodeTextAppend(text, encoded);
  cell(std::string_view(encoded));
}

PackedRowView PackedRowWriter::view() const {
  return {out_.data() + start_, quint32(out_.size() - start_), cells_};
}

QString packedCell(PackedRowView row, int k) {
  const char* p = row.data;
  for (int i = 0; i < row.cells; ++i) {
    const quint32 len = getVarint(p);
    if (i == k) return decodeText(p, len);
    p += len;
  }
  return QString();
}

template <class Base>
class ItemView;

class ListViewPrivate : public QAbstractTableModel {
 public:
  explicit ListViewPrivate(ListView* owner);

  ListView* q;
  RowStore store;
  int modelRows = 0;  // rows the views have been told about
  QStringList captions;
  QList<int> widths;  // twips
  bool sorted = false;
  int key = 0, order = 0, view = ListView::lvwReport;
  qsizetype pendingFrom = 0;  // while sorted: first row added since the last sort
  qsizetype lastAdded = -1;   // row addressable before that sort
  QPointer<ImageList> small, large;
  quint32 c1 = 0xFFFFFF, c2 = 0xFFFFFF;
  bool locked = false;
  bool applyingWidths = false;
  ItemView<QTreeView>* tree = nullptr;
  ItemView<QListView>* list = nullptr;
  QStackedLayout* stack = nullptr;
  QTimer syncTimer;

  // Model.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : modelRows; }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : std::max<int>(1, int(captions.size()));
  }
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  QAbstractItemView* activeView() const;
  // Valid 0-based row for a 1-based index, after placing pending sorted rows
  // unless it is the row just added; -1 when out of range.
  qsizetype rowAt(int row);
  void touched(qsizetype r);
  void scheduleSync();
  void sync() {
    ensureSorted();
    flushAppends();
  }
  void flushAppends();
  void ensureSorted() {
    if (sorted && pendingFrom < store.count()) sortRows();
  }
  // mayYield: a long sort runs on a worker thread while window events run.
  void sortRows(bool mayYield = false);
  void fullSortPermutation(std::vector<quint32>& perm, qsizetype n, int k, bool descending) const;
  const std::vector<quint32>& ranksOf(int k) const;
  // Ranks kept per column while the rows do not change (any change to a
  // text or a row count moves storeVersion on).
  struct ColumnRanks {
    quint64 version = ~quint64(0);
    std::vector<quint32> byId;
  };
  mutable std::vector<ColumnRanks> ranks;
  quint64 storeVersion = 0;
  // Waits for a sort running in the background; with invalidates, the rows
  // are about to change, so its result must not be applied.
  void settleBackgroundSort(bool invalidates) {
    if (sortWorker.joinable()) sortWorker.join();
    if (invalidates && backgroundSorting) sortStale = true;
  }
  std::thread sortWorker;
  bool backgroundSorting = false;
  bool sortStale = false;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  // movedRows: the rows already in their new order, when the caller made them.
  void applyPermutation(const std::vector<quint32>& perm, std::vector<RowRec>* movedRows = nullptr);
  SortKey keyOf(qsizetype r, int k) const {
    const auto [p, n] = store.cell(r, k);
    SortKey key{0, 0, 0, 0, p, n, quint32(r)};
    setHead(key);
    return key;
  }
  void applyWidth(int c);
  void applyAllWidths() {
    for (int c = 0; c < widths.size(); ++c) applyWidth(c);
  }
  void applyColors();
  void userToggle(int r) {
    if (r < 0 || r >= modelRows) return;
    setData(index(r, 0), store.rows[size_t(r)].checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
  }
  void mouseDown(QMouseEvent* e, QWidget* viewport);
  int autoSizeWidth(int c);
  ColumnTexts columnTexts(int c) const;
  void addColumn(const QString& caption, int widthTwips);
  void clearRows();
};

// The two views: mouse and key handling shared, so both raise the same
// events.
template <class Base>
class ItemView : public Base {
 public:
  explicit ItemView(ListViewPrivate* d) : d_(d) {}
  using Base::initViewItemOption;
  Qt::MouseButton doubleButton = Qt::NoButton;

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    Base::mousePressEvent(e);
    // A press on a check box only ticks; the row clicked still becomes the
    // selected row, as Click handlers read it.
    const QModelIndex at = this->indexAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && at.isValid() && this->currentIndex().row() != at.row())
      this->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    d_->mouseDown(e, this->viewport());
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    doubleButton = e->button();
    Base::mouseDoubleClickEvent(e);
    doubleButton = Qt::NoButton;
  }
  void keyPressEvent(QKeyEvent* e) override {
    // Space ticks the current row whatever cell holds the focus.
    if ((e->key() == Qt::Key_Space || e->key() == Qt::Key_Select) && e->modifiers() == Qt::NoModifier &&
        this->currentIndex().isValid()) {
      d_->userToggle(this->currentIndex().row());
      e->accept();
      return;
    }
    Base::keyPressEvent(e);
  }

 private:
  ListViewPrivate* d_;
};

ListViewPrivate::ListViewPrivate(ListView* owner) : q(owner) {
  tree = new ItemView<QTreeView>(this);
  tree->setRootIsDecorated(false);
  tree->setItemsExpandable(false);
  tree->setExpandsOnDoubleClick(false);
  tree->setUniformRowHeights(true);
  tree->setAllColumnsShowFocus(true);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->setAlternatingRowColors(true);
  tree->setIconSize(QSize(16, 16));
  tree->setSortingEnabled(false);
  tree->setModel(this);
  QHeaderView* h = tree->header();
  h->setStretchLastSection(false);
  h->setSectionsClickable(true);
  h->setSectionsMovable(false);
  h->setSortIndicatorShown(false);
  h->setHighlightSections(false);
  h->setMinimumSectionSize(1);

  list = new ItemView<QListView>(this);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);

  stack = new QStackedLayout(q);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->addWidget(tree);
  stack->addWidget(list);
  stack->setCurrentWidget(tree);
  q->setFocusProxy(tree);

  syncTimer.setSingleShot(true);
  QObject::connect(&syncTimer, &QTimer::timeout, q, [this] { sync(); });

  QObject::connect(h, &QHeaderView::sectionClicked, q, [this](int logical) { emit q->ColumnClick(logical + 1); });
  QObject::connect(h, &QHeaderView::sectionResized, q, [this](int logical, int, int size) {
    // Only a user's drag: our own changes hold the twips as set.
    if (!applyingWidths && logical < widths.size() && size > 0) widths[logical] = toTwips(size);
  });
  auto wire = [this](auto* v) {
    QObject::connect(v, &QAbstractItemView::clicked, q, [this](const QModelIndex& i) {
      if (!i.isValid()) return;
      emit q->ItemClick(i.row() + 1);
      emit q->Click();
    });
    QObject::connect(v, &QAbstractItemView::doubleClicked, q, [this, v](const QModelIndex& i) {
      if (i.isValid() && v->doubleButton == Qt::LeftButton) emit q->DblClick();
    });
  };
  wire(tree);
  wire(list);
  applyColors();
}

QVariant ListViewPrivate::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= modelRows) return QVariant();
  const int r = index.row();
  switch (role) {
    case Qt::DisplayRole:
      return store.text(r, index.column());
    case Qt::CheckStateRole:
      if (index.column() == 0) return int(store.rows[size_t(r)].checked ? Qt::Checked : Qt::Unchecked);
      break;
    case Qt::DecorationRole:
      if (index.column() == 0) {
        ImageList* images = (view == ListView::lvwIcon && large) ? large.data() : small.data();
        if (images) {
          const QIcon icon = images->Image(store.rows[size_t(r)].icon);
          if (!icon.isNull()) return icon;
        }
      }
      break;
    case Qt::ToolTipRole:
      if (!q->toolTip().isEmpty()) return q->toolTip();
      break;
    default:
      break;
  }
  return QVariant();
}

// Reached only by a user's tick (the delegate or the space key): code ticks
// go through setChecked, which raises nothing.
bool ListViewPrivate::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= modelRows) return false;
  const bool on = value.toInt() != Qt::Unchecked;
  RowRec& r = store.rows[size_t(index.row())];
  if (bool(r.checked) == on) return true;
  r.checked = on;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit q->ItemCheck(index.row() + 1, on);
  return true;
}

Qt::ItemFlags ListViewPrivate::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant ListViewPrivate::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal && role == Qt::DisplayRole) return captions.value(section);
  return QVariant();
}

QAbstractItemView* ListViewPrivate::activeView() const {
  return view == ListView::lvwReport ? static_cast<QAbstractItemView*>(tree) : list;
}

qsizetype ListViewPrivate::rowAt(int row) {
  const qsizetype r = qsizetype(row) - 1;
  if (r < 0 || r >= store.count()) return -1;
  if (r != lastAdded) ensureSorted();
  return r;
}

void ListViewPrivate::touched(qsizetype r) {
  if (r < modelRows && !locked && q->isVisible()) activeView()->viewport()->update();
}

void ListViewPrivate::scheduleSync() {
  if (syncTimer.isActive()) return;
  // Each batch makes the view lay out every row again: space the batches
  // out as the list grows so a list filled while shown stays cheap.
  syncTimer.start(std::min(250, modelRows / 10000));
}

void ListViewPrivate::flushAppends() {
  const int n = int(store.count());
  if (n <= modelRows) return;
  if (modelRows == 0) {
    beginResetModel();
    modelRows = n;
    endResetModel();
    applyAllWidths();
  } else {
    beginInsertRows(QModelIndex(), modelRows, n - 1);
    modelRows = n;
    endInsertRows();
  }
}

void ListViewPrivate::sortRows(bool mayYield) {
  flushAppends();
  const qsizetype n = store.count();
  const qsizetype from = pendingFrom;
  pendingFrom = n;
  lastAdded = -1;
  if (n < 2) return;
  const int k = key;
  const bool descending = order == 1;
  auto less = [descending](const SortKey& a, const SortKey& b) { return descending ? keyLess(b, a) : keyLess(a, b); };
  std::vector<quint32> perm(size_t(n), 0);
  const qsizetype tail = n - from;
  if (from > 0 && tail > 0 && tail * 64 < n) {
    // A few rows added to a sorted list: place each after its equals.
    std::vector<SortKey> added(static_cast<size_t>(tail));
    for (qsizetype i = 0; i < tail; ++i) added[size_t(i)] = keyOf(from + i, k);
    std::stable_sort(added.begin(), added.end(), less);
    qsizetype src = 0, out = 0, lo = 0;
    for (const SortKey& x : added) {
      qsizetype hi = from;
      while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (less(x, keyOf(mid, k)))
          hi = mid;
        else
          lo = mid + 1;
      }
      while (src < lo) perm[size_t(out++)] = quint32(src++);
      perm[size_t(out++)] = x.id;
    }
    while (src < from) perm[size_t(out++)] = quint32(src++);
  } else if (mayYield && !backgroundSorting && n >= kYieldingSortRows && QCoreApplication::instance() &&
             QThread::currentThread() == QCoreApplication::instance()->thread()) {
    // A long sort: the rows are only read meanwhile, and a change to them
    // first waits for the worker and discards its result.
    const std::shared_ptr<bool> stillAlive = alive;
    backgroundSorting = true;
    sortStale = false;
    std::atomic<bool> done{false};
    std::vector<RowRec> moved;  // the rows in their new order, made by the worker too
    sortWorker = std::thread([this, &perm, &done, &moved, n, k, descending] {
      fullSortPermutation(perm, n, k, descending);
      moved.resize(size_t(n));
      for (size_t i = 0; i < size_t(n); ++i) moved[i] = store.rows[perm[i]];
      done = true;
    });
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (done) loop.quit();
    });
    poll.start();
    loop.exec();
    if (!*stillAlive) return;  // the list went away meanwhile; its end joined the worker
    settleBackgroundSort(false);
    backgroundSorting = false;
    if (sortStale) {
      sortStale = false;
      if (sorted) {
        pendingFrom = 0;
        sortRows(false);
      }
      return;
    }
    applyPermutation(perm, &moved);
    return;
  } else {
    fullSortPermutation(perm, n, k, descending);
  }
  applyPermutation(perm);
}

// The order of all rows on column k: perm[new position] = old position.
// The order of all rows on column k: perm[new position] = old position. The
// column's ranks (equal texts equal ranks) are made once while the rows do
// not change; a sort is then a stable counting sort of the ranks.
void ListViewPrivate::fullSortPermutation(std::vector<quint32>& perm, qsizetype n, int k, bool descending) const {
  const std::vector<quint32>& rank = ranksOf(k);
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

// Ranks of column k's texts in byte order, by row id.
const std::vector<quint32>& ListViewPrivate::ranksOf(int k) const {
  if (size_t(k) >= ranks.size()) ranks.resize(size_t(k) + 1);
  ColumnRanks& cached = ranks[size_t(k)];
  if (cached.version == storeVersion && cached.byId.size() == size_t(store.count())) return cached.byId;
  const qsizetype n = store.count();
  std::vector<SortKey> keys(static_cast<size_t>(n));
  // Keys are made in slices on a few threads (the texts are only read),
  // each slice finding how much of its texts' start it shares with row 0.
  const SortKey first = keyOf(0, k);
  std::vector<quint32> sharedOf;
  std::mutex sharedLock;
  inSlices(size_t(n), [&](size_t from, size_t to) {
    quint32 shared = first.len;
    for (size_t i = from; i < to; ++i) {
      if (i + 48 < to) __builtin_prefetch(store.block(qsizetype(i + 48)));
      SortKey& key = keys[i];
      key = keyOf(qsizetype(i), k);
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
  cached.version = storeVersion;
  return cached.byId;
}

// perm[new position] = old position.
void ListViewPrivate::applyPermutation(const std::vector<quint32>& perm, std::vector<RowRec>* movedRows) {
  const size_t n = perm.size();
  size_t first = 0;
  while (first < n && perm[first] == first) ++first;
  if (first == n) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  if (movedRows && movedRows->size() == n) {
    store.rows.swap(*movedRows);
  } else {
    std::vector<RowRec> moved(n);
    for (size_t i = 0; i < n; ++i) moved[i] = store.rows[perm[i]];
    store.rows.swap(moved);
  }
  const QModelIndexList before = persistentIndexList();
  if (!before.isEmpty()) {
    std::vector<quint32> inverse(n);
    for (size_t i = 0; i < n; ++i) inverse[perm[i]] = quint32(i);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
      after << (size_t(i.row()) < n ? index(int(inverse[size_t(i.row())]), i.column()) : QModelIndex());
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListViewPrivate::applyWidth(int c) {
  if (c < 0 || c >= widths.size()) return;
  applyingWidths = true;
  const int w = widths[c];
  if (w <= 0) {
    tree->setColumnHidden(c, true);
  } else {
    tree->setColumnHidden(c, false);
    tree->setColumnWidth(c, std::max(1, toPixels(w)));
  }
  applyingWidths = false;
}

void ListViewPrivate::applyColors() {
  for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(tree), static_cast<QAbstractItemView*>(list)}) {
    QPalette pal = v->palette();
    pal.setColor(QPalette::Base, vbColor(c1));
    pal.setColor(QPalette::AlternateBase, vbColor(c2));
    v->setPalette(pal);
    v->setAlternatingRowColors(true);
  }
}

void ListViewPrivate::mouseDown(QMouseEvent* e, QWidget* viewport) {
  int button = 0;
  switch (e->button()) {
    case Qt::LeftButton: button = 1; break;
    case Qt::RightButton: button = 2; break;
    case Qt::MiddleButton: button = 4; break;
    default: return;
  }
  const Qt::KeyboardModifiers m = e->modifiers();
  const int shift = (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
  const QPoint p = viewport->mapTo(q, e->position().toPoint());
  emit q->MouseDown(button, shift, toTwips(p.x()), toTwips(p.y()));
}

// Width that shows the header and the cells of column c whole. A long list
// is measured at the rows holding its widest texts, found over every row.
int ListViewPrivate::autoSizeWidth(int c) {
  sync();
  int best = tree->header()->sectionSizeHint(c);
  QStyleOptionViewItem opt;
  tree->initViewItemOption(&opt);
  QAbstractItemDelegate* delegate = tree->itemDelegate();
  auto measure = [&](int r) { best = std::max(best, delegate->sizeHint(opt, index(r, c)).width()); };
  constexpr int kMeasureEvery = 2000;
  if (modelRows <= kMeasureEvery) {
    for (int r = 0; r < modelRows; ++r) measure(r);
    return best;
  }
  for (const qsizetype r : widestTextRows(columnTexts(c), opt.font)) measure(int(r));
  return best;
}

// Column c's texts for the search of the widest, read on worker threads: the
// rows do not change meanwhile, as the search lets no user input through.
ColumnTexts ListViewPrivate::columnTexts(int c) const {
  ColumnTexts texts;
  texts.rows = modelRows;
  texts.bytes = [this, c](qsizetype r) { return store.cell(r, c); };
  texts.text = [this, c](qsizetype r) { return store.text(r, c); };
  if (c == 0) {
    // The first cell draws the row's picture when the picture list has one.
    auto pictured = std::make_shared<std::vector<char>>();
    if (small)
      for (int i = 0; i <= small->Count(); ++i) pictured->push_back(!small->Image(i).isNull());
    texts.kind = [this, pictured](qsizetype r) {
      const size_t icon = store.rows[size_t(r)].icon;
      return icon < pictured->size() && (*pictured)[icon] ? 1 : 0;
    };
  }
  return texts;
}

void ListViewPrivate::addColumn(const QString& caption, int widthTwips) {
  if (captions.size() >= kMaxCells) return;
  const int c = int(captions.size());
  applyingWidths = true;
  if (c == 0) {  // the model always shows one column
    captions << caption;
    widths << widthTwips;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
  } else {
    beginInsertColumns(QModelIndex(), c, c);
    captions << caption;
    widths << widthTwips;
    endInsertColumns();
  }
  applyingWidths = false;
  applyWidth(c);
}

void ListViewPrivate::clearRows() {
  settleBackgroundSort(true);
  beginResetModel();
  store.clear();
  ++storeVersion;
  modelRows = 0;
  pendingFrom = 0;
  lastAdded = -1;
  endResetModel();
  applyAllWidths();
}

// ---------------------------------------------------------------------------

ListView::ListView(QWidget* parent) : QWidget(parent), Control(this), d(new ListViewPrivate(this)) {}

ListView::~ListView() {
  *d->alive = false;
  d->settleBackgroundSort(true);
  // The views go before the model they show.
  delete d->tree;
  delete d->list;
  d->tree = nullptr;
  d->list = nullptr;
}

void ListView::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  d->sync();
}

void ListView::AddColumn(const QString& caption, int widthTwips) { d->addColumn(caption, widthTwips); }

int ListView::ColumnCount() const { return int(d->captions.size()); }
QString ListView::ColumnCaption(int k) const { return d->captions.value(k - 1); }
int ListView::ColumnWidth(int k) const { return d->widths.value(k - 1); }

void ListView::setColumnWidth(int k, int twips) {
  if (k < 1 || k > d->widths.size() || twips < 0) return;
  d->widths[k - 1] = twips;
  d->applyWidth(k - 1);
}

void ListView::AutoSizeColumn(int zeroBasedIndex) {
  if (zeroBasedIndex < 0 || zeroBasedIndex >= d->captions.size()) return;
  d->widths[zeroBasedIndex] = toTwips(d->autoSizeWidth(zeroBasedIndex));
  d->applyWidth(zeroBasedIndex);
}

int ListView::Count() const { return int(d->store.count()); }

int ListView::Add(const QString& text, int smallIcon) {
  d->settleBackgroundSort(true);
  d->store.append(text, smallIcon);
  ++d->storeVersion;
  const qsizetype n = d->store.count();
  if (d->sorted)
    d->lastAdded = n - 1;
  else
    d->pendingFrom = n;
  if (isVisible()) d->scheduleSync();
  return int(n);
}

int ListView::AddPacked(PackedRowView row, int smallIcon) {
  if (row.cells < 1 || row.size == 0) return Add(QString(), smallIcon);
  d->settleBackgroundSort(true);
  d->store.appendPacked(row, smallIcon);
  ++d->storeVersion;
  const qsizetype n = d->store.count();
  if (d->sorted)
    d->lastAdded = n - 1;
  else
    d->pendingFrom = n;
  if (isVisible()) d->scheduleSync();
  return int(n);
}

QString ListView::Text(int row) const { return SubItem(row, 0); }
void ListView::setText(int row, const QString& text) { setSubItem(row, 0, text); }

QString ListView::SubItem(int row, int k) const {
  if (k < 0) return QString();
  const qsizetype r = d->rowAt(row);
  return r < 0 ? QString() : d->store.text(r, k);
}

void ListView::setSubItem(int row, int k, const QString& text) {
  if (k < 0 || k >= std::max<int>(1, int(d->captions.size()))) return;
  d->settleBackgroundSort(true);
  const qsizetype r = d->rowAt(row);
  if (r < 0) return;
  d->store.setCell(r, k, text);
  ++d->storeVersion;
  d->touched(r);
}

int ListView::SmallIcon(int row) const {
  const qsizetype r = d->rowAt(row);
  return r < 0 ? 0 : d->store.rows[size_t(r)].icon;
}

bool ListView::Checked(int row) const {
  const qsizetype r = d->rowAt(row);
  return r >= 0 && d->store.rows[size_t(r)].checked;
}

void ListView::setChecked(int row, bool on) {
  d->settleBackgroundSort(false);  // ticks do not change the order
  const qsizetype r = d->rowAt(row);
  if (r < 0) return;
  d->store.rows[size_t(r)].checked = on;
  d->touched(r);
}

void ListView::Clear() { d->clearRows(); }

int ListView::SelectedIndex() const {
  d->ensureSorted();
  const QItemSelection s = d->tree->selectionModel()->selection();
  return s.isEmpty() ? 0 : s.first().top() + 1;
}

void ListView::setSelectedIndex(int row) {
  QItemSelectionModel* sel = d->tree->selectionModel();
  const qsizetype r = d->rowAt(row);
  if (r < 0) {
    sel->clear();
    return;
  }
  d->sync();
  sel->setCurrentIndex(d->index(int(r), 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool ListView::Sorted() const { return d->sorted; }

void ListView::setSorted(bool on) {
  if (on) {
    d->sorted = true;
    d->sortRows(true);
  } else {
    d->ensureSorted();  // rows added while sorted still take their place
    d->sorted = false;
    d->pendingFrom = d->store.count();
  }
}

int ListView::SortKey() const { return d->key; }

void ListView::setSortKey(int key) {
  if (key < 0) return;
  d->key = key;
  if (d->sorted) d->sortRows(true);
}

int ListView::SortOrder() const { return d->order; }

void ListView::setSortOrder(int order) {
  if (order != 0 && order != 1) return;
  d->order = order;
  if (d->sorted) d->sortRows(true);
}

int ListView::View() const { return d->view; }

void ListView::setView(int mode) {
  if (mode < lvwIcon || mode > lvwReport || mode == d->view) return;
  d->view = mode;
  QListView* list = d->list;
  if (mode == lvwReport) {
    // Detached, the list view does not lay out rows it does not show.
    list->setModel(nullptr);
    d->stack->setCurrentWidget(d->tree);
    setFocusProxy(d->tree);
    return;
  }
  if (mode == lvwIcon) {
    list->setViewMode(QListView::IconMode);
    list->setFlow(QListView::LeftToRight);
    list->setIconSize(QSize(32, 32));
    list->setGridSize(QSize(96, 72));
    list->setWordWrap(true);
  } else {
    list->setViewMode(QListView::ListMode);
    list->setFlow(mode == lvwSmallIcon ? QListView::LeftToRight : QListView::TopToBottom);
    list->setIconSize(QSize(16, 16));
    list->setGridSize(QSize());
    list->setWordWrap(false);
  }
  list->setMovement(QListView::Static);
  list->setWrapping(true);
  list->setResizeMode(QListView::Adjust);
  list->setUniformItemSizes(true);
  list->setLayoutMode(QListView::Batched);
  list->setBatchSize(10000);
  if (list->model() != d.get()) {
    QItemSelectionModel* shared = d->tree->selectionModel();
    QItemSelectionModel* detached = list->selectionModel();
    list->setModel(d.get());
    QItemSelectionModel* fresh = list->selectionModel();
    list->setSelectionModel(shared);
    if (fresh != shared) delete fresh;
    if (detached && detached != shared && detached != fresh) delete detached;
  }
  d->stack->setCurrentWidget(list);
  setFocusProxy(list);
}

ImageList* ListView::SmallIcons() const { return d->small; }

void ListView::setSmallIcons(ImageList* icons) {
  d->small = icons;
  if (!d->locked) d->activeView()->viewport()->update();
}

ImageList* ListView::LargeIcons() const { return d->large; }

void ListView::setLargeIcons(ImageList* icons) {
  d->large = icons;
  if (!d->locked) d->activeView()->viewport()->update();
}

void ListView::setRowColors(quint32 firstBgr, quint32 secondBgr) {
  d->c1 = clampedBgr(firstBgr);
  d->c2 = clampedBgr(secondBgr);
  d->applyColors();
}

quint32 ListView::RowColor(int row) const { return row % 2 == 0 ? d->c2 : d->c1; }

int ListView::RowHeightPixels() const {
  d->sync();
  if (d->modelRows > 0) {
    const int h = d->tree->visualRect(d->index(0, 0)).height();
    if (h > 0) return h;
  }
  QStyleOptionViewItem opt;
  d->tree->initViewItemOption(&opt);
  return std::max(opt.fontMetrics.height(), d->tree->iconSize().height()) + 2;
}

void ListView::setUpdatesLocked(bool locked) {
  d->locked = locked;
  setUpdatesEnabled(!locked);
  if (!locked && isVisible()) d->scheduleSync();
}

void ListView::Refresh() {
  d->sync();
  if (!d->locked) d->activeView()->viewport()->update();
}

QWidget* ListView::viewport() const { return d->activeView()->viewport(); }
QAbstractItemView* ListView::itemView() const { return d->activeView(); }
QHeaderView* ListView::header() const { return d->tree->header(); }

}  // namespace vrn
