#pragma once
// The list's rows in a compact store. Each row's texts live as one packed
// block (a length prefix per cell, then the text in the list's encoding) in a
// chunked arena; a row record is 20 bytes, so a million rows fit in a few
// hundred megabytes. Widget-free: the list control shows the store, the row
// sort orders it, and rows can be packed on any thread.
#include <QString>
#include <QStringView>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vrn {

// Rows in the list's own packed form: per cell its length, then its text in
// the list's encoding. Rows can be packed on any thread and added in one copy.
struct PackedRowView {
  const char* data = nullptr;
  quint32 size = 0;
  int cells = 0;
};

// The list's encoding of a text: UTF-8, except that a lone surrogate (the
// path codec's escape for a raw byte) is kept as its own three bytes, so
// every text comes back unchanged. Valid UTF-8 without surrogates is its own
// encoding. The byte order of encoded texts is their code-point order.
void appendListText(std::string& out, QStringView text);

// The text of bytes in the list's encoding (and nothing else: the input is
// trusted).
QString decodeListText(const char* p, quint32 n);

// Appends one packed row to a buffer, cell after cell from the row text on.
class PackedRowWriter {
 public:
  explicit PackedRowWriter(std::string& out) : out_(out), start_(out.size()) {}
  void cell(std::string_view encoded);  // a text in the list's encoding
  void cell(QStringView text);
  void emptyCell() { cell(std::string_view()); }
  int cells() const { return cells_; }
  // The row written so far, while the buffer is not changed otherwise.
  PackedRowView view() const;

 private:
  std::string& out_;
  size_t start_;
  int cells_ = 0;
};

// Cell k of a packed row ("" when the row has fewer cells).
QString packedCell(PackedRowView row, int k);

// Reads a cell's length prefix at p and moves p past it.
inline quint32 readCellLength(const char*& p) {
  quint32 v = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char c = static_cast<unsigned char>(*p++);
    v |= quint32(c & 0x7F) << shift;
    if (!(c & 0x80)) return v;
  }
}

struct RowRec {
  quint32 chunk, offset, size;  // the packed cells, never empty (cell 0 is always there)
  quint16 icon;
  quint8 cells;
  quint8 checked;
  quint32 id;  // the row's number in order of addition: it keeps it when rows are sorted
};
static_assert(sizeof(RowRec) == 20);

// A row holds at most this many cells; cells past them are not kept.
constexpr int kMaxRowCells = 255;

// Row records in blocks of a fixed size. Adding a row never moves the others:
// a vector of a million rows would copy twenty megabytes each time it grew,
// holding up the window thread that adds the rows.
class RowRecs {
 public:
  static constexpr int kBlockShift = 15;  // 32,768 rows (640 KB) a block
  static constexpr size_t kBlockRows = size_t(1) << kBlockShift;

  RowRecs() = default;
  RowRecs(RowRecs&&) noexcept = default;
  RowRecs& operator=(RowRecs&&) noexcept = default;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  RowRec& operator[](size_t i) { return blocks_[i >> kBlockShift][i & (kBlockRows - 1)]; }
  const RowRec& operator[](size_t i) const { return blocks_[i >> kBlockShift][i & (kBlockRows - 1)]; }
  void push_back(const RowRec& r) {
    if ((size_ & (kBlockRows - 1)) == 0 && (size_ >> kBlockShift) == blocks_.size())
      blocks_.emplace_back(new RowRec[kBlockRows]);
    (*this)[size_++] = r;
  }
  // Room for n rows in all, made now (on a worker thread, say) rather than
  // while they are added.
  void reserve(size_t n) {
    while (blocks_.size() << kBlockShift < n) blocks_.emplace_back(new RowRec[kBlockRows]);
  }
  void clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    size_ = 0;
  }
  void swap(RowRecs& other) noexcept {
    blocks_.swap(other.blocks_);
    std::swap(size_, other.size_);
  }

  template <class F>
  void forEach(F&& f) {
    for (size_t i = 0; i < size_; ++i) f((*this)[i]);
  }

 private:
  std::vector<std::unique_ptr<RowRec[]>> blocks_;
  size_t size_ = 0;
};

class RowStore {
 public:
  // The rows in the order shown. The sort reorders them and ticks change
  // their `checked`; everything else goes through the functions below.
  RowRecs rows;

  qsizetype count() const { return qsizetype(rows.size()); }
  // Moves on with every change to a text or to the number of rows (not with
  // ticks nor with the order), so what is worked out from the texts can be
  // kept until then.
  quint64 version() const { return version_; }

  void append(QStringView text, int icon);
  void appendPacked(PackedRowView packed, int icon);

  // Cell k of a row in the list's encoding; {nullptr, 0} past its cells.
  std::pair<const char*, quint32> cell(qsizetype row, int k) const {
    const RowRec& r = rows[size_t(row)];
    if (k >= r.cells) return {nullptr, 0};
    const char* p = arena_.at(r.chunk, r.offset);
    for (int i = 0;; ++i) {
      const quint32 len = readCellLength(p);
      if (i == k) return {p, len};
      p += len;
    }
  }
  // The start of a row's packed cells.
  const char* block(qsizetype row) const {
    const RowRec& r = rows[size_t(row)];
    return arena_.at(r.chunk, r.offset);
  }
  QString text(qsizetype row, int k) const {
    const auto [p, n] = cell(row, k);
    return decodeListText(p, n);
  }
  void setCell(qsizetype row, int k, QStringView text);

  // The rows in another order: result[new position] = rows[perm[new position]].
  RowRecs inOrder(const std::vector<quint32>& perm) const;

  void clear();
  // Bytes of blocks left behind by rewrites, not yet reclaimed.
  size_t garbage() const { return garbage_; }

 private:
  // Blocks of bytes in large chunks; small blocks share the current chunk,
  // large ones get a chunk of their own.
  class Arena {
   public:
    static constexpr quint32 kChunk = 4u << 20;
    struct Loc {
      quint32 chunk, offset;
    };

    char* at(quint32 chunk, quint32 offset) const { return chunks_[chunk].data.get() + offset; }
    Loc alloc(quint32 n);
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

  void compactIfWasteful();

  Arena arena_;
  size_t garbage_ = 0;
  quint64 version_ = 0;
  std::string enc_, blob_;
};

}  // namespace vrn
