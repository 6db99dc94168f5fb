#include "mainwindow/factsahead.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/pathcodec.h"
#include "support/ModeFileInfoVRN.h"
#include "support/formats.h"

namespace vrn {

struct FactsAhead::Batch {
  struct Item {
    qint64 tag;
    quint32 pathOffset, pathSize;
    quint32 rowOffset, rowSize, textSize;
    int cells;
    bool exists;
  };
  std::string input;   // the paths, back to back
  std::string output;  // the packed rows
  std::vector<Item> items;
  bool done = false;  // under the lock
  void reset() {
    input.clear();
    output.clear();
    items.clear();
    done = false;
  }
};

namespace {

// The lower-case form of an ASCII text.
void appendAsciiLower(std::string& out, std::string_view text) {
  const size_t at = out.size();
  out.append(text);
  for (size_t i = at; i < out.size(); ++i)
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = char(out[i] + ('a' - 'A'));
}

// The characters after the last "/" and before the last "." (the whole rest
// when the last "." is not after the last "/"), as nameWithoutExtension.
std::string_view asciiNameWithoutExtension(std::string_view path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const size_t from = slash == std::string_view::npos ? 0 : slash + 1;
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot <= slash)) return path.substr(from);
  return path.substr(from, dot - from);
}

bool isAscii(std::string_view s) {
  unsigned char any = 0;
  for (const char c : s) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BLOCKS | STATX_ATIME | STATX_MTIME | STATX_BTIME;

}  // namespace

QString FactsAhead::Result::decodedPath() const { return decodePath(path.data(), path.size()); }

void FactsAhead::makeResult(const Options& options, qint64 tag, QByteArrayView storedPath, std::string& out,
                            Result& result) {
  result = Result{};
  result.tag = tag;
  result.path = storedPath;
  const std::string_view bytes(storedPath.data(), size_t(storedPath.size()));

  // The entry itself; with the details off, only whether it exists.
  char small[512];
  std::string large;
  const char* zeroEnded = small;
  if (bytes.size() < sizeof small) {
    std::memcpy(small, bytes.data(), bytes.size());
    small[bytes.size()] = 0;
  } else {
    large.assign(bytes);
    zeroEnded = large.c_str();
  }
  if (bytes.empty() || std::memchr(bytes.data(), 0, bytes.size())) return;
  const bool details = options.columns.details;
  struct statx st;
  if (statx(AT_FDCWD, zeroEnded, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, details ? kStatxMask : STATX_TYPE, &st) != 0)
    return;
  result.exists = true;

  // Name, lower-case name and path in the list's encoding. Plain ASCII, nearly
  // every path, is its own encoding; anything else goes through the codec.
  std::string name, lower, path;
  if (isAscii(bytes)) {
    const std::string_view plainName = asciiNameWithoutExtension(bytes);
    if (options.lowerCaseName) {
      appendAsciiLower(name, plainName);
      lower = name;
    } else {
      name.assign(plainName);
      appendAsciiLower(lower, plainName);
    }
    path.assign(bytes);
  } else {
    const QString decoded = decodePath(storedPath.data(), storedPath.size());
    const QString text = nameWithoutExtension(options.lowerCaseName ? decoded.toLower() : decoded);
    appendListText(name, text);
    appendListText(lower, options.lowerCaseName ? text : text.toLower());
    appendListText(path, decoded);
  }

  std::string size, access, creation, modification, attributes;
  RowFactsTexts texts;
  const RowFactsTexts* facts = nullptr;
  if (details) {
    const FindData fd = findDataOfEntry(storedPath, st);
    if (fd.size > 0) appendGroupedNumber(size, fd.size, 9);
    appendDateText(modification, fd.writeTime);
    // Files are often read, or never changed, in the second they were
    // written: equal times share one text.
    const auto sameAsWrite = [&fd](const FileTime& t) {
      return t.known && fd.writeTime.known && t.seconds == fd.writeTime.seconds;
    };
    if (sameAsWrite(fd.accessTime)) access = modification;
    else appendDateText(access, fd.accessTime);
    if (sameAsWrite(fd.creationTime)) creation = modification;
    else appendDateText(creation, fd.creationTime);
    appendListText(attributes, TexteAttributs(fd.attributes));
    texts = {size, access, creation, modification, attributes};
    facts = &texts;
  }

  PackedRowWriter writer(out);
  packRow(writer, name, lower, path, tag, options.columns, facts);
  const PackedRowView row = writer.view();
  // The row text is the first cell: its length, then its bytes.
  const char* p = row.data;
  quint32 textLength = 0;
  int shift = 0;
  size_t head = 0;
  for (;; shift += 7) {
    const unsigned char c = static_cast<unsigned char>(p[head++]);
    textLength |= quint32(c & 0x7F) << shift;
    if (!(c & 0x80)) break;
  }
  result.row = row;
  result.text = {row.data, quint32(head + textLength), 1};
}

FactsAhead::FactsAhead(const Options& options) : options_(options) {
  int workers = options.workers;
  if (workers <= 0) workers = std::clamp(int(std::thread::hardware_concurrency()) - 1, 1, 6);
  batchSize_ = 256;
  maxBatches_ = size_t(workers) * 4 + 2;
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

FactsAhead::~FactsAhead() {
  stop();
  for (std::thread& t : workers_) t.join();
}

void FactsAhead::stop() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
    todo_.clear();
  }
  wake_.notify_all();
}

FactsAhead::Batch* FactsAhead::freshBatch() {
  std::unique_ptr<Batch> batch;
  if (!spare_.empty()) {
    batch = std::move(spare_.back());
    spare_.pop_back();
    batch->reset();
  } else {
    batch = std::make_unique<Batch>();
  }
  Batch* raw = batch.get();
  inOrder_.push_back(std::move(batch));
  return raw;
}

bool FactsAhead::wantsInput() const { return !inputEnded_ && !stopping_ && inOrder_.size() < maxBatches_; }

void FactsAhead::feed(qint64 tag, QByteArrayView storedPath) {
  if (inputEnded_ || stopping_) return;
  if (!filling_) filling_ = freshBatch();
  Batch::Item item{};
  item.tag = tag;
  item.pathOffset = quint32(filling_->input.size());
  item.pathSize = quint32(storedPath.size());
  filling_->input.append(storedPath.data(), size_t(storedPath.size()));
  filling_->items.push_back(item);
  if (filling_->items.size() >= batchSize_) submit();
}

void FactsAhead::endInput() {
  if (inputEnded_) return;
  inputEnded_ = true;
  if (filling_) submit();
}

void FactsAhead::flush() {
  if (filling_ && !filling_->items.empty()) submit();
}

void FactsAhead::submit() {
  Batch* batch = filling_;
  filling_ = nullptr;
  {
    std::lock_guard guard(lock_);
    if (stopping_) return;
    todo_.push_back(batch);
  }
  wake_.notify_one();
}

void FactsAhead::work() {
  Result result;
  for (;;) {
    Batch* batch;
    {
      std::unique_lock guard(lock_);
      wake_.wait(guard, [this] { return stopping_ || !todo_.empty(); });
      if (stopping_) return;
      batch = todo_.front();
      todo_.pop_front();
    }
    for (Batch::Item& item : batch->items) {
      if (stopping_.load(std::memory_order_relaxed)) break;
      const size_t before = batch->output.size();
      makeResult(options_, item.tag, QByteArrayView(batch->input.data() + item.pathOffset, item.pathSize),
                 batch->output, result);
      item.exists = result.exists;
      item.rowOffset = quint32(before);
      item.rowSize = result.row.size;
      item.textSize = result.text.size;
      item.cells = result.row.cells;
    }
    {
      std::lock_guard guard(lock_);
      batch->done = true;
    }
    done_.notify_all();
    if (options_.wake) options_.wake();
  }
}

bool FactsAhead::take(Result& out, qint64 waitNs) {
  if (stopping_ || inOrder_.empty()) return false;
  if (lastTaken_ && spare_.size() < 4) spare_.push_back(std::move(lastTaken_));
  lastTaken_.reset();
  Batch* front = inOrder_.front().get();
  if (front == filling_) {
    // Waiting on a batch not yet full: hand it over so it gets done.
    submit();
  }
  {
    std::unique_lock guard(lock_);
    if (!front->done) {
      if (waitNs <= 0) return false;
      if (!done_.wait_for(guard, std::chrono::nanoseconds(waitNs), [front] { return front->done; })) return false;
    }
  }
  const Batch::Item& item = front->items[nextItem_];
  out.tag = item.tag;
  out.exists = item.exists;
  out.path = QByteArrayView(front->input.data() + item.pathOffset, item.pathSize);
  if (item.exists) {
    const char* row = front->output.data() + item.rowOffset;
    out.row = {row, item.rowSize, item.cells};
    out.text = {row, item.textSize, 1};
  } else {
    out.row = out.text = PackedRowView{};
  }
  if (++nextItem_ == front->items.size()) {
    // The batch stays untouched until the next take: the result points into it.
    nextItem_ = 0;
    if (lastTaken_ && spare_.size() < 4) spare_.push_back(std::move(lastTaken_));
    lastTaken_ = std::move(inOrder_.front());
    inOrder_.pop_front();
  }
  return true;
}

bool FactsAhead::finished() const { return stopping_ || (inputEnded_ && inOrder_.empty()); }

}  // namespace vrn
