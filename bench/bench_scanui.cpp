// varnelo-bench scanui DIR: a whole scan of DIR through the main window
// (offscreen, the scan command with DIR as the preset source, the real clock
// and its waits), into a temporary database folder. Prints
// files=N seconds=S max_gap_ms=G peak_mb=M, G being the longest time the
// window's event loop went without a turn during the scan. With --again, a
// first scan fills the database and the second one, which deletes its lists
// first, is the one measured.
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "bench/bench.h"
#include "mainwindow/Main2.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/services.h"
#include "platform/services_qt.h"
#include "platform/testservices.h"
#include "support/VariablesVRN.h"

namespace {

// The real clock, counting the time spent in the writer's waits.
class CountingClock : public vrn::SystemClock {
 public:
  void waitForEvents(double seconds) override {
    const double t0 = vrn::bench::now();
    SystemClock::waitForEvents(seconds);
    waited += vrn::bench::now() - t0;
  }
  double waited = 0;
};

int scanui(const QStringList& args) {
  using namespace vrn;
  QStringList rest = args;
  const bool again = rest.removeAll("--again") > 0;
  if (rest.size() != 1 || !QDir(rest[0]).exists()) {
    std::fprintf(stderr, "usage: varnelo-bench scanui DIR [--again]\n");
    return 2;
  }
  const QString source = QDir(rest[0]).absolutePath();
  QTemporaryDir exe, runtime;
  if (!exe.isValid() || !runtime.isValid()) return 1;
  setAppFolderForTests(exe.path());
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());

  // The real clock; scripted boxes and no sound, so nothing waits for a user.
  CountingClock clock;
  TestDialogs dialogs;
  RecordingShell shell;
  TestAudio audio;
  MemoryRegistry registry;
  FixedNetwork network;
  services() = Services{&dialogs, &shell, &clock, &audio, &registry, &network};

  // A database that names DIR, so start-up is quiet.
  QDir().mkpath(exe.path() + "/BDVRN");
  {
    RecordFile derRep;
    derRep.open(exe.path() + "/BDVRN/der.rep", 1024);
    derRep.write(1, encodePath(source));
  }
  bench::writeQuietOptions(exe.path() + "/BDVRN");

  int result = 0;
  {
    auto window = std::make_unique<Main2>();
    if (!window->start()) return 1;
    VariablesVRN& v = vrnVars();
    v.SourceActuelle = kNoSourceYet;
    v.SourceAScanner = source;
    if (again) {
      window->Command1_Click();
      v.SourceActuelle = kNoSourceYet;
      clock.waited = 0;
    }

    // Each turn of the event loop runs this timer when it is due.
    double t0 = 0;
    QElapsedTimer sinceTurn;
    qint64 maxGapNs = 0;
    QString slowestStage;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    turns.setInterval(1);
    QObject::connect(&turns, &QTimer::timeout, [&] {
      const qint64 gap = sinceTurn.nsecsElapsed();
      if (qEnvironmentVariableIsSet("VARNELO_BENCH_DETAIL") && gap > 10'000'000)
        std::fprintf(stderr, "gap %.1f ms at %.3f s (%s, %lld found)\n", gap / 1e6, bench::now() - t0,
                     qPrintable(window->lblAffich->Caption()), static_cast<long long>(window->NbFichiersTrouves));
      if (gap > maxGapNs) {
        maxGapNs = gap;
        slowestStage = window->lblAffich->Caption();
      }
      sinceTurn.restart();
    });

    turns.start();
    sinceTurn.start();
    t0 = bench::now();
    window->Command1_Click();
    const double t1 = bench::now();
    maxGapNs = std::max(maxGapNs, sinceTurn.nsecsElapsed());
    turns.stop();

    std::fprintf(stderr, "waits=%.3f work=%.3f records=%lld slowest_stage=\"%s\" caption=\"%s\"\n", clock.waited,
                 t1 - t0 - clock.waited, static_cast<long long>(v.NombreFichiers), qPrintable(slowestStage),
                 qPrintable(window->Caption()));
    std::printf("files=%lld seconds=%.3f max_gap_ms=%.1f peak_mb=%.0f\n",
                static_cast<long long>(window->NbFichiersTrouves), t1 - t0, maxGapNs / 1e6, bench::peakMb());
    if (window->NbFichiersTrouves == 0) result = 1;
  }
  closeAllChannels();
  services() = Services();
  setAppFolderForTests(QString());
  return result;
}

const vrn::bench::Registration registration("scanui", "DIR [--again]", scanui);

}  // namespace
