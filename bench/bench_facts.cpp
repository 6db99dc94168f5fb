// varnelo-bench facts LISTFILE: the file facts of every path of a list file
// (300-byte blank-padded records), as a list load gathers them.
// varnelo-bench statx LISTFILE: a plain single-threaded statx loop over the
// same paths, the yardstick for the first.
// Both read the whole list first and time only the loop over its records.
#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

#include "bench/bench.h"
#include "platform/pathcodec.h"
#include "support/ModeFileInfoVRN.h"

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

// The path of record i without its padding blanks.
QByteArray recordPath(const QByteArray& list, qsizetype i) {
  const char* p = list.constData() + i * kRecordLength;
  int n = kRecordLength;
  while (n > 0 && p[n - 1] == ' ') --n;
  return QByteArray::fromRawData(p, n);
}

void report(qsizetype paths, double seconds, qsizetype found) {
  std::printf("paths=%lld seconds=%.3f peak_mb=%.1f\n", (long long)paths, seconds, peakMb());
  std::fprintf(stderr, "existing=%lld\n", (long long)found);
}

int runFacts(const QStringList& args) {
  QByteArray list;
  if (!readList(args, list)) return 2;
  const qsizetype count = list.size() / kRecordLength;
  qsizetype found = 0;
  const double start = now();
  for (qsizetype i = 0; i < count; ++i) {
    const InfoFichier info = LireInfoFichier(decodePath(recordPath(list, i)));
    found += info.Existe;
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
    const QByteArray path(recordPath(list, i).constData(), recordPath(list, i).size());  // zero-ended copy
    struct statx st;
    found += statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                   STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
  }
  report(count, now() - start, found);
  return 0;
}

const Registration facts("facts", "LISTFILE", runFacts);
const Registration statxLoop("statx", "LISTFILE", runStatx);

}  // namespace

}  // namespace vrn::bench
