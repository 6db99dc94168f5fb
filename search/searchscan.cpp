#include "search/searchscan.h"

#include <QVarLengthArray>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <emmintrin.h>

#include "database/dbfolder.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {
constexpr int kCommonScopeSize = 27;

// Records read and matched at a time by the scope reader: 1.2 MB, which
// stays in the core's cache while it is scanned.
constexpr qint64 kBlockRecords = 4096;
// The first piece of a scope is small, so that its first record comes soon.
constexpr qint64 kFirstBlockRecords = 256;
// How far the reader may run ahead of the window.
constexpr std::uint64_t kMaxPiecesAhead = 1024;
// Workers at most: reading from the page cache stops gaining beyond a few.
constexpr unsigned kMaxWorkers = 4;
constexpr qsizetype kMaxHitsAhead = 1 << 14;

bool isAscii(const QString& s) {
  for (QChar c : s)
    if (c.unicode() >= 0x80) return false;
  return true;
}

bool hasUpperAsciiLetter(const QString& s) {
  for (QChar c : s)
    if (c.unicode() >= 'A' && c.unicode() <= 'Z') return true;
  return false;
}

bool hasWideByte(QByteArrayView bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }

// How common a byte is in file paths, most common first; bytes not listed
// are rarer still. The block scan looks first for the criterion's rarest
// bytes, so that few places need a closer look.
int pathByteRank(unsigned char c) {
  static const QByteArray common = QByteArrayLiteral(" /eaiortnslcdmup._-hgb0f12kvwy3x54j6978zq");
  const qsizetype at = common.indexOf(char(c));
  return at < 0 ? int(common.size()) : int(at);
}

// Lower case ASCII letters match either case once 0x20 is or-ed in; any
// other byte must be equal. (Or-ing 0x20 maps only 'A' and 'a' to 'a', so the
// test is exact.)
inline unsigned char foldBitFor(char lowered) { return (lowered >= 'a' && lowered <= 'z') ? 0x20 : 0; }

QByteArrayView recordAt(const char* records, qsizetype index, int recordLength) {
  return QByteArrayView(records + index * recordLength, recordLength);
}
}  // namespace

QString listFileOf(const QString& listName) { return listFilePath(listName); }

QStringList commonScopeFiles(const QStringList& commonTable) {
  QStringList files;
  for (int i = 1; i <= kCommonScopeSize; ++i) {
    const QString name = tableAt(commonTable, i);
    if (!name.isEmpty()) files << listFileOf(name);
  }
  return files;
}

qint64 listRecordCount(const QString& listFile) {
  RecordFile file;
  if (!file.open(listFile, kRecFichier, false)) return 0;
  return file.recordCount();
}

QString searchCriterion(const QString& typed) { return trimBlanks(typed).toLower(); }

bool unicodeRuleHolds(QByteArrayView path, const QString& criterion) {
  return decodePath(path.data(), path.size()).toLower().contains(criterion);
}

CriterionMatcher::CriterionMatcher(const QString& criterion) : criterion_(criterion) {
  // Lower-casing ASCII text gives ASCII text without capitals: a criterion
  // with other characters or with capitals is never in it.
  asciiPathsCanHold_ = isAscii(criterion_) && !hasUpperAsciiLetter(criterion_);
  if (!asciiPathsCanHold_) return;
  bytes_ = criterion_.toLatin1();
  const qsizetype m = bytes_.size();
  if (m == 0) return;
  auto rank = [&](qsizetype i) { return pathByteRank(static_cast<unsigned char>(bytes_[i])); };
  qsizetype rarest = 0;
  for (qsizetype i = 1; i < m; ++i)
    if (rank(i) > rank(rarest)) rarest = i;
  qsizetype other = rarest == 0 ? m - 1 : 0;
  for (qsizetype i = 0; i < m; ++i)
    if (i != rarest && rank(i) > rank(other)) other = i;
  firstAt_ = int(std::min(rarest, other));
  secondAt_ = int(std::max(rarest, other));
}

bool CriterionMatcher::asciiPathHolds(QByteArrayView path) const {
  if (!asciiPathsCanHold_) return false;
  if (bytes_.isEmpty()) return true;
  QVarLengthArray<char, 512> lowered(path.size());
  for (qsizetype i = 0; i < path.size(); ++i) lowered[i] = foldAscii(path[i]);
  return ::memmem(lowered.constData(), size_t(path.size()), bytes_.constData(), size_t(bytes_.size())) != nullptr;
}

bool CriterionMatcher::matches(QByteArrayView path) const {
  // Characters outside ASCII can lower-case to ASCII ones (the Kelvin sign
  // gives "k"), so only plain ASCII paths are compared on their bytes.
  if (hasWideByte(path)) return unicodeRuleHolds(path, criterion_);
  return asciiPathHolds(path);
}

namespace {

// Whether the criterion's bytes stand at offset in the record, inside its
// stored path, letters folded.
bool foldedMatchAt(const char* record, int recordLength, qsizetype offset, QByteArrayView criterion) {
  const qsizetype m = criterion.size();
  const QByteArrayView text = recordText(QByteArrayView(record, recordLength));
  const qsizetype begin = text.data() - record;
  if (offset < begin || offset + m > begin + text.size()) return false;
  for (qsizetype i = 0; i < m; ++i)
    if (foldAscii(record[offset + i]) != criterion[i]) return false;
  return true;
}

// One pass over a block of records: finds the records holding a byte outside
// ASCII and, when asked, the places where two chosen bytes of the criterion
// stand at their offsets (letters in either case), then checks those places.
class BlockScan {
 public:
  BlockScan(const char* records, qsizetype count, int recordLength, QByteArrayView criterion, bool lookForPair, int at1,
            int at2)
      : records_(records),
        n_(count * recordLength),
        length_(recordLength),
        criterion_(criterion),
        lookForPair_(lookForPair),
        at1_(at1),
        at2_(at2),
        c1_(lookForPair ? criterion[at1] : 0),
        c2_(lookForPair ? criterion[at2] : 0),
        fold1_(_mm_set1_epi8(char(foldBitFor(c1_)))),
        want1_(_mm_set1_epi8(c1_)),
        fold2_(_mm_set1_epi8(char(foldBitFor(c2_)))),
        want2_(_mm_set1_epi8(c2_)) {}

  void run() {
    const qsizetype k = lookForPair_ ? vectorPass<true>() : vectorPass<false>();
    // The last places, one at a time.
    const qsizetype m = criterion_.size();
    for (qsizetype i = k; i < n_; ++i) {
      if (static_cast<unsigned char>(records_[i]) >= 0x80) markWide(i);
      if (lookForPair_ && i + m <= n_ && char(records_[i + at1_] | foldBitFor(c1_)) == c1_ &&
          char(records_[i + at2_] | foldBitFor(c2_)) == c2_)
        consider(i);
    }
  }

  std::vector<qsizetype> wide;   // records with a byte outside ASCII, in order
  std::vector<qsizetype> found;  // plain records holding the criterion's bytes, in order

 private:
  __m128i load(qsizetype at) const { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(records_ + at)); }
  // The places at..at+15 where the pair stands, one bit each.
  __m128i pairAt(qsizetype at) const {
    return _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(load(at + at1_), fold1_), want1_),
                         _mm_cmpeq_epi8(_mm_or_si128(load(at + at2_), fold2_), want2_));
  }

  // Sixty-four places at a time; the rare places worth a look go to chunk().
  template <bool kLookForPair>
  qsizetype vectorPass() {
    const qsizetype reach = kLookForPair ? at2_ + 64 : 64;
    qsizetype k = 0;
    for (; k + reach <= n_; k += 64) {
      const __m128i bytes = _mm_or_si128(_mm_or_si128(load(k), load(k + 16)), _mm_or_si128(load(k + 32), load(k + 48)));
      int marks = _mm_movemask_epi8(bytes);
      if constexpr (kLookForPair)
        marks |= _mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(pairAt(k), pairAt(k + 16)), _mm_or_si128(pairAt(k + 32), pairAt(k + 48))));
      if (__builtin_expect(marks != 0, 0)) chunk(k);
    }
    return k;
  }

  __attribute__((noinline)) void chunk(qsizetype k) {
    // A byte outside ASCII comes first: the candidates of its record are
    // left to the Unicode rule.
    for (int j = 0; j < 4; ++j) {
      unsigned bits = unsigned(_mm_movemask_epi8(load(k + 16 * j)));
      while (bits != 0) {
        const qsizetype pos = k + 16 * j + __builtin_ctz(bits);
        markWide(pos);
        // The rest of this record is marked already.
        const qsizetype nextRecord = (pos / length_ + 1) * length_ - (k + 16 * j);
        bits = nextRecord >= 16 ? 0 : bits & (~0u << nextRecord);
      }
    }
    if (!lookForPair_) return;
    for (int j = 0; j < 4; ++j) {
      unsigned bits = unsigned(_mm_movemask_epi8(pairAt(k + 16 * j)));
      while (bits != 0) {
        consider(k + 16 * j + __builtin_ctz(bits));
        bits &= bits - 1;
      }
    }
  }

  void markWide(qsizetype pos) {
    const qsizetype rec = pos / length_;
    if (wide.empty() || wide.back() != rec) wide.push_back(rec);
  }

  void consider(qsizetype pos) {
    const qsizetype rec = pos / length_;
    const qsizetype offset = pos - rec * length_;
    if (offset + criterion_.size() > length_) return;  // runs into the next record
    if (!found.empty() && found.back() == rec) return;
    if (!wide.empty() && wide.back() == rec) return;  // the Unicode rule answers for it
    if (foldedMatchAt(records_ + rec * length_, length_, offset, criterion_)) found.push_back(rec);
  }

  const char* records_;
  qsizetype n_;
  int length_;
  QByteArrayView criterion_;
  bool lookForPair_;
  int at1_, at2_;
  char c1_, c2_;
  __m128i fold1_, want1_, fold2_, want2_;
};

}  // namespace

void CriterionMatcher::findInRecords(const char* records, qsizetype count, int recordLength,
                                     std::vector<qsizetype>& hits) const {
  if (count <= 0 || recordLength <= 0) return;
  const qsizetype m = bytes_.size();
  if (asciiPathsCanHold_ && m == 0) {
    for (qsizetype i = 0; i < count; ++i)
      if (matches(recordText(recordAt(records, i, recordLength)))) hits.push_back(i);
    return;
  }
  BlockScan scan(records, count, recordLength, bytes_, asciiPathsCanHold_ && m <= recordLength, firstAt_, secondAt_);
  scan.run();
  // Both lists in record order: a record with a byte outside ASCII gets the
  // Unicode rule, whatever its bytes said.
  const std::vector<qsizetype>&found = scan.found, &wide = scan.wide;
  std::size_t f = 0, w = 0;
  while (f < found.size() || w < wide.size()) {
    if (w < wide.size() && (f == found.size() || wide[w] <= found[f])) {
      const qsizetype rec = wide[w++];
      if (f < found.size() && found[f] == rec) ++f;
      if (unicodeRuleHolds(recordText(recordAt(records, rec, recordLength)), criterion_)) hits.push_back(rec);
    } else {
      hits.push_back(found[f++]);
    }
  }
}

struct ScopeReader::Job {
  std::uint64_t sequence = 0;
  qsizetype list = 0;
  std::shared_ptr<RecordFile> file;
  qint64 first = 0, count = 0;
};

ScopeReader::ScopeReader(const QStringList& files, const QString& criterion, int workers, std::function<void()> wake)
    : files_(files), matcher_(criterion), wake_(std::move(wake)) {
  if (workers <= 0) workers = int(std::clamp(std::thread::hardware_concurrency() / 2, 1u, kMaxWorkers));
  working_ = workers;
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

ScopeReader::~ScopeReader() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  room_.notify_all();
  for (std::thread& t : workers_) t.join();
}

bool ScopeReader::next(Piece& out, qint64 timeoutNs) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [this] { return done_.count(taken_) != 0 || (working_ == 0 && taken_ == claimed_); };
  ready_.wait_for(lock, std::chrono::nanoseconds(std::max<qint64>(0, timeoutNs)), ready);
  const auto it = done_.find(taken_);
  if (it == done_.end()) return false;
  out = std::move(it->second);
  done_.erase(it);
  ++taken_;
  pendingHits_ -= qsizetype(out.hits.size());
  lock.unlock();
  room_.notify_all();
  return true;
}

bool ScopeReader::finished() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return working_ == 0 && taken_ == claimed_;
}

void ScopeReader::deliver(std::uint64_t sequence, Piece&& piece) {
  pendingHits_ += qsizetype(piece.hits.size());
  done_.emplace(sequence, std::move(piece));
  if (sequence == taken_) {
    ready_.notify_one();
    if (wake_) wake_();
  }
}

bool ScopeReader::claim(Job& job) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    room_.wait(lock, [this] {
      return stop_ || claimsDone_ || (claimed_ - taken_ < kMaxPiecesAhead && pendingHits_ < kMaxHitsAhead);
    });
    if (stop_ || claimsDone_) return false;
    if (list_ >= 0 && nextRecord_ <= listRecords_) break;
    // The next list opens: a handle of its own, shared by the workers that
    // read it (the list channel may be in use meanwhile, and a missing list
    // file is never created).
    if (++list_ >= files_.size()) {
      claimsDone_ = true;
      file_.reset();
      room_.notify_all();
      return false;
    }
    file_ = std::make_shared<RecordFile>();
    Piece opening;
    opening.list = list_;
    opening.opening = true;
    opening.opened = file_->open(files_[list_], kRecFichier, false);
    opening.recordCount = opening.opened ? file_->recordCount() : 0;
    listRecords_ = opening.recordCount;
    nextRecord_ = 1;
    deliver(claimed_++, std::move(opening));
  }
  job.sequence = claimed_++;
  job.list = list_;
  job.file = file_;
  job.first = nextRecord_;
  job.count = std::min(firstBlock_ ? kFirstBlockRecords : kBlockRecords, listRecords_ - nextRecord_ + 1);
  firstBlock_ = false;
  nextRecord_ += job.count;
  return true;
}

void ScopeReader::work() {
  std::unique_ptr<char[]> block(new char[std::size_t(kBlockRecords * kRecFichier)]);
  std::vector<qsizetype> found;
  Job job;
  while (claim(job)) {
    job.file->readRecords(job.first, job.count, block.get());
    found.clear();
    matcher_.findInRecords(block.get(), qsizetype(job.count), kRecFichier, found);
    Piece piece;
    piece.list = job.list;
    piece.first = job.first;
    piece.last = job.first + job.count - 1;
    piece.hits.reserve(found.size());
    for (qsizetype index : found)
      piece.hits.push_back({job.first + index, recordText(recordAt(block.get(), index, kRecFichier)).toByteArray()});
    job.file.reset();
    const std::lock_guard<std::mutex> lock(mutex_);
    deliver(job.sequence, std::move(piece));
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  if (--working_ == 0) {
    ready_.notify_all();
    if (wake_) wake_();
  }
}

}  // namespace vrn
