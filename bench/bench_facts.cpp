// varnelo-bench facts LISTFILE: the file facts of every path of a list file
// (300-byte blank-padded records), as a list load gathers them (every
// detail of each row, made ahead on worker threads, taken in order).
// varnelo-bench statx LISTFILE: a plain single-threaded statx loop over the
// same paths, the yardstick for the first.
// Both read the whole list first and time only the loop over its records.
#include <QFile>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "bench/bench.h"
#include "platform/pathcodec.h"
#include "mainwindow/factsahead.h"

namespace vrn::bench {

namespace {

constexpr int kRecordLength = 300;

bool readList(const QStringList& args, QByteArray& list) {
  if (args.size() != 1) {
    std::fprintf(stderr, "expected one argument: LISTFILE\n");
    return false;
  }
  QFile file(args[0]);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(args[0]));
    return false;
  }
  list = file.readAll();
  return true;
}

// The length of record i without its padding blanks; eight bytes at a time,
// so the loop measures the work on the paths, not the trimming.
int recordLength(const QByteArray& list, qsizetype i) {
  const char* p = list.constData() + i * kRecordLength;
  int n = kRecordLength;
  static_assert(kRecordLength % 4 == 0);
  while (n >= 8) {
    quint64 word;
    std::memcpy(&word, p + n - 8, 8);
    if (word != 0x2020202020202020ULL) break;
    n -= 8;
  }
  while (n > 0 && p[n - 1] == ' ') --n;
  return n;
}

void report(qsizetype paths, double seconds, qsizetype found) {
  // Written without the C locale's decimal comma (the application sets it).
  std::printf("paths=%lld seconds=%s peak_mb=%s\n", (long long)paths, QByteArray::number(seconds, 'f', 3).constData(),
              QByteArray::number(peakMb(), 'f', 1).constData());
  std::fprintf(stderr, "existing=%lld\n", (long long)found);
}

// The facts as a list load gathers them: looked at ahead on worker threads
// and taken in record order as rows with every detail.
int runFacts(const QStringList& args) {
  QByteArray list;
  if (!readList(args, list)) return 2;
  const qsizetype count = list.size() / kRecordLength;
  qsizetype found = 0;
  const double start = now();
  {
    FactsAhead ahead(FactsAhead::Options{});
    FactsAhead::Result result;
    qsizetype fed = 0;
    for (;;) {
      while (fed < count && ahead.wantsInput()) {
        ahead.feed(fed + 1, QByteArrayView(list.constData() + fed * kRecordLength, recordLength(list, fed)));
        ++fed;
      }
      if (fed == count) ahead.endInput();
      if (!ahead.take(result, 1000000)) {
        if (ahead.finished()) break;
        continue;
      }
      found += result.exists;
    }
  }
  report(count, now() - start, found);
  return 0;
}

int runStatx(const QStringList& args) {
  QByteArray list;
  if (!readList(args, list)) return 2;
  const qsizetype count = list.size() / kRecordLength;
  qsizetype found = 0;
  const double start = now();
  for (qsizetype i = 0; i < count; ++i) {
    char path[kRecordLength + 1];  // zero-ended copy
    const int n = recordLength(list, i);
    std::memcpy(path, list.constData() + i * kRecordLength, size_t(n));
    path[n] = 0;
    struct statx st;
    found += statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
  }
  report(count, now() - start, found);
  return 0;
}

const Registration facts("facts", "LISTFILE", runFacts);
const Registration statxLoop("statx", "LISTFILE", runStatx);

}  // namespace

}  // namespace vrn::bench
