// varnelo-bench scan DIR DBDIR [--threads N]: the scan's walk, sort and
// database write (without the waits) of DIR into the database folder DBDIR.
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

#include "bench/bench.h"
#include "database/dbwriter.h"
#include "database/walk.h"
#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "support/TriRapide.h"
#include "support/VariablesVRN.h"

namespace {

// Processor time of the whole process so far (every thread), in seconds.
double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int scan(const QStringList& args) {
  using namespace vrn;
  QStringList rest = args;
  int threads = defaultWalkThreads();
  if (const qsizetype at = rest.indexOf("--threads"); at >= 0 && at + 1 < rest.size()) {
    threads = rest[at + 1].toInt();
    rest.remove(at, 2);
  }
  if (rest.size() != 2) {
    std::fprintf(stderr, "usage: varnelo-bench scan DIR DBDIR [--threads N]\n");
    return 2;
  }
  const QString source = rest[0], dbFolder = rest[1];
  QDir().mkpath(dbFolder);

  std::vector<QByteArray> extensions(2), paths(2);
  qint64 found = 0;
  // As the window does: events every 5 ms of walk, and as they come while it
  // waits for a folder listing.
  EventPump pump({.sliceMs = 5, .firstOfferTurns = true, .offersPerClockRead = 64});
  WalkHooks hooks;
  hooks.stopRequested = [] { return vrnVars().DemandeArret == kStopRequest; };
  hooks.events = &pump;
  // Longest time between two turns of the walk (the pace the count is shown
  // at; while the walk waits, events run without one when nothing changed).
  double lastCall = bench::now(), longestCall = 0;
  pump.setBeforeTurn([&] {
    const double t = bench::now();
    longestCall = std::max(longestCall, t - lastCall);
    lastCall = t;
  });

  const double c0 = cpuSeconds();
  const double t0 = lastCall = bench::now();
  walkFolder(encodePath(source), {extensions, paths, found}, hooks, threads);
  const double t1 = bench::now(), c1 = cpuSeconds();
  longestCall = std::max(longestCall, t1 - lastCall);
  const qint64 walkGapMs = pump.longestGapMs();
  TriRapide(1, found, extensions, true, paths);
  const double t2 = bench::now(), c2 = cpuSeconds();
  const WriteResult written = writeListFiles(dbFolder, source, extensions, paths, found, {});
  if (!written.written) std::fprintf(stderr, "write failed: %s\n", std::strerror(written.error));
  deleteBareList(dbFolder, {});
  const qint64 total = countDatabaseRecords(dbFolder, catalogueFiles(dbFolder));
  const double t3 = bench::now(), c3 = cpuSeconds();

  if (qEnvironmentVariableIsSet("VARNELO_BENCH_DETAIL"))
    std::fprintf(stderr, "cpu_walk=%.3f cpu_sort=%.3f cpu_write=%.3f ", c1 - c0, c2 - c1, c3 - c2);
  std::fprintf(
      stderr,
      "walk=%.3f sort=%.3f write=%.3f threads=%d records=%lld longest_hook_gap_ms=%.1f longest_event_gap_ms=%lld\n",
      t1 - t0, t2 - t1, t3 - t2, threads, static_cast<long long>(total), longestCall * 1000,
      static_cast<long long>(walkGapMs));
  std::printf("files=%lld retained=%lld seconds=%.3f peak_mb=%.0f\n", static_cast<long long>(found),
              static_cast<long long>(total), t3 - t0, bench::peakMb());
  return 0;
}

const vrn::bench::Registration registration("scan", "DIR DBDIR [--threads N]", scan);

}  // namespace
