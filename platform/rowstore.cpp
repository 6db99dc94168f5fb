// The row store: texts in the list's encoding, packed rows, and the arena
// that holds every row's cells.
#include "platform/rowstore.h"

#include <algorithm>
#include <cstring>

namespace vrn {

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

size_t putVarint(char* o, quint32 v) {
  size_t k = 0;
  while (v >= 0x80) {
    o[k++] = char(v | 0x80);
    v >>= 7;
  }
  o[k++] = char(v);
  return k;
}

}  // namespace

QString decodeListText(const char* p, quint32 n) {
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

PackedRowView PackedRowWriter::view() const { return {out_.data() + start_, quint32(out_.size() - start_), cells_}; }

QString packedCell(PackedRowView row, int k) {
  const char* p = row.data;
  for (int i = 0; i < row.cells; ++i) {
    const quint32 len = readCellLength(p);
    if (i == k) return decodeListText(p, len);
    p += len;
  }
  return QString();
}

RowStore::Arena::Loc RowStore::Arena::alloc(quint32 n) {
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

void RowStore::append(QStringView text, int icon) {
  encodeText(text, enc_);
  char head[5];
  const size_t h = putVarint(head, quint32(enc_.size()));
  const quint32 size = quint32(h + enc_.size());
  const Arena::Loc loc = arena_.alloc(size);
  char* o = arena_.at(loc.chunk, loc.offset);
  std::memcpy(o, head, h);
  if (!enc_.empty()) std::memcpy(o + h, enc_.data(), enc_.size());
  rows.push_back({loc.chunk, loc.offset, size, quint16(std::clamp(icon, 0, 65535)), 1, 0, quint32(rows.size())});
  ++version_;
}

void RowStore::appendPacked(PackedRowView packed, int icon) {
  const Arena::Loc loc = arena_.alloc(packed.size);
  std::memcpy(arena_.at(loc.chunk, loc.offset), packed.data, packed.size);
  rows.push_back({loc.chunk, loc.offset, packed.size, quint16(std::clamp(icon, 0, 65535)),
                  quint8(std::clamp(packed.cells, 1, kMaxRowCells)), 0, quint32(rows.size())});
  ++version_;
}

void RowStore::setCell(qsizetype row, int k, QStringView text) {
  if (k < 0 || k >= kMaxRowCells) return;
  RowRec& r = rows[size_t(row)];
  encodeText(text, enc_);
  const quint32 n = quint32(enc_.size());
  if (k >= r.cells && n == 0) return;  // absent cells are empty already
  ++version_;
  if (k >= r.cells) {
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
      len = readCellLength(p);
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
  if (arena_.isLast(r.chunk, r.offset, r.size)) arena_.releaseLast(r.size);
  else garbage_ += r.size;
  const Arena::Loc loc = arena_.alloc(quint32(blob_.size()));
  std::memcpy(arena_.at(loc.chunk, loc.offset), blob_.data(), blob_.size());
  r.chunk = loc.chunk;
  r.offset = loc.offset;
  r.size = quint32(blob_.size());
  r.cells = quint8(keepCells);
  compactIfWasteful();
}

void RowStore::clear() {
  rows.clear();
  arena_.clear();
  garbage_ = 0;
  ++version_;
}

RowRecs RowStore::inOrder(const std::vector<quint32>& perm) const {
  RowRecs moved;
  moved.reserve(perm.size());
  for (const quint32 from : perm) moved.push_back(rows[from]);
  return moved;
}

// Rewrites that cannot happen in place leave the old block behind; once
// half the arena is dead, copy the live blocks into a fresh one.
void RowStore::compactIfWasteful() {
  if (garbage_ < (1u << 20) || garbage_ < arena_.used() / 2) return;
  Arena fresh;
  rows.forEach([&](RowRec& r) {
    const Arena::Loc loc = fresh.alloc(r.size);
    std::memcpy(fresh.at(loc.chunk, loc.offset), arena_.at(r.chunk, r.offset), r.size);
    r.chunk = loc.chunk;
    r.offset = loc.offset;
  });
  arena_.swap(fresh);
  garbage_ = 0;
}

}  // namespace vrn
