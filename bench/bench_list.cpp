// varnelo-bench list DBDIR NAME: loads the list NAME of the database folder
// DBDIR into the main window's list view through the list chooser, with the
// details on, then sorts it by each column once.
// The window runs in a temporary executable folder whose database holds only
// a link to that list file (and a copy of der.rep), so the real database is
// only read. Boxes are answered by script and printed, never shown.
#include <cmath>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "bench/bench.h"
#include "database/dbfolder.h"
#include "mainwindow/Main2.h"
#include "mainwindow/listloader.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "platform/testservices.h"
#include "support/VariablesVRN.h"
#include "support/sourceroot.h"

namespace vrn::bench {
namespace {

int run(const QStringList& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "expected two arguments: DBDIR NAME\n");
    return 2;
  }
  const QString db = QDir(args[0]).absolutePath();
  const QString& name = args[1];
  const QString list = db + "/" + name + ".vrn";
  if (!QFile::exists(list)) {
    std::fprintf(stderr, "no list file %s\n", qPrintable(list));
    return 2;
  }
  QTemporaryDir exe, runtime;
  if (!exe.isValid() || !runtime.isValid()) return 2;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  QDir().mkpath(exe.path() + "/BDVRN");
  placeStoredFile(list, exe.path() + "/BDVRN/" + name + ".vrn");
  if (QFile::exists(db + "/der.rep")) QFile::copy(db + "/der.rep", exe.path() + "/BDVRN/der.rep");
  writeQuietOptions(exe.path() + "/BDVRN");
  setAppFolderForTests(exe.path());
  TestServices svc;

  int result = 0;
  {
    Main2 win;
    if (!win.start()) return 2;
    win.ChargerToutesListes();  // offer every list, not only the common ones
    // A database without a usable source: any existing folder lets the list load.
    if (!entryExists(trimBlanks(vrnVars().SourceActuelle))) vrnVars().SourceActuelle = "/";
    win.Check2->setValue(1);
    for (CheckBox* c : {win.Check4, win.Check5, win.Check6, win.Check7, win.Check8, win.Check9}) c->setValue(1);
    win.Check3->setValue(0);
    QApplication::processEvents();
    const int index = win.Combo1->findText(name);
    if (index < 0) {
      std::fprintf(stderr, "the list %s is not in the catalogue\n", qPrintable(name));
      return 2;
    }

    // G: the longest stretch without an event-loop turn, the end of the load included.
    EventGapWatch watch;
    watch.start();
    const double start = now();
    win.Combo1->setListIndex(index);
    const double end = now();
    const double gapMs = watch.stop();
    const double seconds = end - start;
    const double tailMs = watch.tailMs();
    const int rows = win.ListView2->Count();

    const double shown = now();
    QApplication::processEvents();
    const double paint = now() - shown;

    double sortMax = 0;
    QString perKey;
    for (int k = 0; k <= 8; ++k) {
      const double s = now();
      win.ListView2->setSortKey(k);
      QApplication::processEvents();  // the view lays the rows out again and paints
      const double took = now() - s;
      sortMax = std::max(sortMax, took);
      perKey += QStringLiteral(" key%1=%2").arg(k).arg(took, 0, 'f', 3);
    }

    // QString::asprintf writes numbers the same in every locale.
    std::printf("%s\n",
                qPrintable(QString::asprintf("rows=%d seconds=%.3f sort_max_seconds=%.3f max_gap_ms=%lld peak_mb=%.0f",
                                             rows, seconds, sortMax, std::llround(gapMs), peakMb())));
    std::fprintf(
        stderr, "%s\n",
        qPrintable(QString::asprintf("records=%lld record_loop_gap_ms=%lld after_loop_ms=%.0f first_paint_seconds=%.3f",
                                     (long long)vrnVars().NumEnregistrement, (long long)lastListLoadLongestGapMs(),
                                     tailMs, paint) +
                   perKey));
    for (const ShownBox& b : svc.dialogs.boxes) std::fprintf(stderr, "box: %s\n", qPrintable(b.text));
    if (rows == 0) result = 1;
  }
  setAppFolderForTests(QString());
  return result;
}

Registration registration("list", "DBDIR NAME", run);

}  // namespace
}  // namespace vrn::bench
