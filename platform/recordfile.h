#pragma once
// Random-access files of fixed-length text records without header, the way
// every stored file of the database folder is kept. Records are numbered from
// 1; a record past the end reads as zero bytes; a written value is padded with
// blanks to the record length (or cut, never inside a UTF-8 character).
#include <QByteArray>
#include <QString>

namespace vrn {

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Opens the file for reading and writing, or for reading only when it
  // cannot be written. With create, a missing file is created with length 0;
  // without, a missing file fails to open. A symbolic link, or anything but a
  // regular file, never opens, and nothing is created where a link points.
  bool open(const QByteArray& path, int recordLength, bool create = true);
  bool open(const QString& path, int recordLength, bool create = true);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  int recordLength() const { return recordLength_; }

  qint64 length() const;       // bytes, pending writes included
  qint64 recordCount() const;  // whole records only
  QByteArray read(qint64 n) const;
  // Records first .. first+count-1 straight into out (count times
  // recordLength() bytes), in one read and without the read-ahead cache;
  // what lies past the end of the file or cannot be read comes as zero
  // bytes, as read() gives.
  void readRecords(qint64 first, qint64 count, char* out) const;
  // The first byte at or after offset that may hold data: the holes of a
  // sparse file (which read as zero bytes) are skipped. length() when no
  // data follows; offset itself where the file system cannot tell.
  qint64 nextDataAt(qint64 offset) const;
  bool write(qint64 n, const QByteArray& value);
  bool flush();

 private:
  int fd_ = -1;
  int recordLength_ = 0;
  qint64 fileLength_ = 0;
  // Pending contiguous writes starting at byte pendingStart_.
  QByteArray pending_;
  qint64 pendingStart_ = 0;
  // Read-ahead cache.
  mutable QByteArray cache_;
  mutable qint64 cacheStart_ = -1;
};

// The fixed file numbers: 1 list files, 2 der.rep, 3 mesp.par, 4 affp.aff.
// Each kind keeps its one channel, so only one list file is open on 1 at a time.
RecordFile& fileChannel(int number);
void closeAllChannels();

// Record count of a file without creating it: 0 when missing or unreadable.
qint64 recordCountOf(const QString& path, int recordLength);

}  // namespace vrn
