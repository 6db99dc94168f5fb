#include "platform/recordfile.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/filedescriptor.h"
#include "platform/pathcodec.h"

namespace vrn {

namespace {
constexpr qint64 kFlushAt = 1 << 20;
constexpr qint64 kReadAhead = 1 << 16;
}  // namespace

RecordFile::~RecordFile() { close(); }

bool RecordFile::open(const QString& path, int recordLength, bool create) {
  return open(encodePath(path), recordLength, create);
}

bool RecordFile::open(const QByteArray& path, int recordLength, bool create) {
  close();
  if (recordLength <= 0) return false;
  // Never through a symbolic link: with O_CREAT a dangling link fails too,
  // so nothing is made where it points. Non-blocking so that a fifo in its
  // place is refused below instead of waited on.
  const int common = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  int flags = O_RDWR | common;
  if (create) flags |= O_CREAT;
  int fd = ::open(path.constData(), flags, 0644);
  // A file that can be read but not written (no permission, a read-only
  // mount, an immutable file...) is still read.
  if (fd < 0 && errno != ELOOP && errno != ENOENT) fd = ::open(path.constData(), O_RDONLY | common);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  recordLength_ = recordLength;
  fileLength_ = st.st_size;
  return true;
}

void RecordFile::close() {
  if (fd_ < 0) return;
  flush();
  ::close(fd_);
  fd_ = -1;
  recordLength_ = 0;
  fileLength_ = 0;
  cache_.clear();
  cacheStart_ = -1;
}

qint64 RecordFile::length() const {
  if (fd_ < 0) return 0;
  return std::max(fileLength_, pendingStart_ + qint64(pending_.size()));
}

qint64 RecordFile::recordCount() const {
  if (fd_ < 0) return 0;
  return length() / recordLength_;
}

bool RecordFile::flush() {
  if (fd_ < 0 || pending_.isEmpty()) return true;
  const bool ok = writeFully(fd_, pending_.constData(), pending_.size(), pendingStart_);
  if (ok) fileLength_ = std::max(fileLength_, pendingStart_ + qint64(pending_.size()));
  pending_.resize(0);  // keeps the buffer for the next records
  return ok;
}

QByteArray RecordFile::read(qint64 n) const {
  QByteArray out(recordLength_ > 0 ? recordLength_ : 0, '\0');
  if (fd_ < 0 || n < 1) return out;
  if (!pending_.isEmpty()) const_cast<RecordFile*>(this)->flush();
  const qint64 start = (n - 1) * recordLength_;
  if (start >= fileLength_) return out;
  const qint64 end = start + recordLength_;
  if (cacheStart_ < 0 || start < cacheStart_ || end > cacheStart_ + cache_.size()) {
    const qint64 want = std::max<qint64>(kReadAhead, recordLength_);
    cache_.resize(want);
    cache_.resize(readFully(fd_, cache_.data(), want, start));
    cacheStart_ = start;
  }
  const qint64 avail = std::min<qint64>(recordLength_, cacheStart_ + cache_.size() - start);
  if (avail > 0) memcpy(out.data(), cache_.constData() + (start - cacheStart_), size_t(avail));
  return out;
}

void RecordFile::readRecords(qint64 first, qint64 count, char* out) const {
  const qint64 want = count > 0 && recordLength_ > 0 ? count * recordLength_ : 0;
  qint64 got = 0;
  if (fd_ >= 0 && first >= 1 && want > 0) {
    if (!pending_.isEmpty()) const_cast<RecordFile*>(this)->flush();
    const qint64 start = (first - 1) * recordLength_;
    got = readFully(fd_, out, want, start);
  }
  if (got < want) memset(out + got, 0, size_t(want - got));
}

qint64 RecordFile::nextDataAt(qint64 offset) const {
  if (fd_ < 0 || offset >= length()) return length();
  if (!pending_.isEmpty()) const_cast<RecordFile*>(this)->flush();
  const off_t at = ::lseek(fd_, off_t(offset), SEEK_DATA);
  if (at >= 0) return std::min<qint64>(at, length());
  return errno == ENXIO ? length() : offset;
}

bool RecordFile::write(qint64 n, const QByteArray& value) {
  if (fd_ < 0 || n < 1) return false;
  cacheStart_ = -1;
  // Appended straight to the pending bytes: a scan writes a million records.
  const qsizetype used = value.size() <= recordLength_ ? value.size() : cutAtCharBoundary(value, recordLength_).size();
  const qint64 start = (n - 1) * recordLength_;
  if (!pending_.isEmpty() && start != pendingStart_ + pending_.size()) {
    if (!flush()) return false;
  }
  if (pending_.isEmpty()) {
    pendingStart_ = start;
    pending_.reserve(kFlushAt + recordLength_);
  }
  pending_.append(value.constData(), used);
  pending_.append(recordLength_ - used, ' ');
  if (pending_.size() >= kFlushAt) return flush();
  return true;
}

RecordFile& fileChannel(int number) {
  static std::array<RecordFile, 5> channels;
  if (number < 1 || number > 4) number = 0;  // a stray number gets a spare channel
  return channels[size_t(number)];
}

void closeAllChannels() {
  for (int i = 0; i <= 4; ++i) fileChannel(i).close();
}

qint64 recordCountOf(const QString& path, int recordLength) {
  struct stat st;
  // A link is not followed: it counts as a file that cannot be read.
  if (recordLength <= 0 || ::lstat(encodePath(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return st.st_size / recordLength;
}

}  // namespace vrn
