// varnelo-bench search DBDIR WORD [SCOPE]: a whole search of WORD through the
// main window (offscreen: the panel opened from its menu item, the criterion
// typed, the scope ticked, the launch button clicked). SCOPE is "all" (every
// list, the default), "common", "preferred" (the lists of the list of lists)
// or a list name. Prints records=N found=F seconds=S max_gap_ms=G peak_mb=M,
// G being the longest time the window's event loop went without a turn
// during the search. The window runs in a temporary executable folder whose
// database holds links to the list files of DBDIR (and a copy of der.rep),
// so the real database is only read; the half-second pause at the start runs
// on the scripted clock and takes no real time.
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
#include "platform/services.h"
#include "platform/testservices.h"
#include "search/searchengine.h"
#include "support/VariablesVRN.h"

namespace vrn::bench {
namespace {

int run(const QStringList& args) {
  if (args.size() != 2 && args.size() != 3) {
    std::fprintf(stderr, "usage: varnelo-bench search DBDIR WORD [all|common|preferred|LIST]\n");
    return 2;
  }
  const QString db = QDir(args[0]).absolutePath();
  const QString& word = args[1];
  const QString scope = args.size() == 3 ? args[2] : QStringLiteral("all");
  const QStringList lists = QDir(db).entryList({"*.vrn"}, QDir::Files | QDir::Hidden);
  if (lists.isEmpty()) {
    std::fprintf(stderr, "no list file in %s\n", qPrintable(db));
    return 2;
  }
  QTemporaryDir exe, runtime;
  if (!exe.isValid() || !runtime.isValid()) return 2;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  QDir().mkpath(exe.path() + "/BDVRN");
  for (const QString& l : lists) placeStoredFile(db + "/" + l, exe.path() + "/BDVRN/" + l);
  if (QFile::exists(db + "/der.rep")) QFile::copy(db + "/der.rep", exe.path() + "/BDVRN/der.rep");
  writeQuietOptions(exe.path() + "/BDVRN");
  setAppFolderForTests(exe.path());
  TestServices svc;

  int result = 0;
  {
    Main2 win;
    if (!win.start()) return 2;
    // The chooser of one list: a blank, then every list.
    if (win.Combo10->ListCount() == 0) {
      win.Combo10->AddItem(" ");
      for (int i = 0; i < win.Combo1->ListCount(); ++i) win.Combo10->AddItem(win.Combo1->List(i));
    }
    win.mnRechercheCritere->click();
    win.Text2->setText(word);
    if (scope == "all") {
      win.Check19->setValue(1);
    } else if (scope == "common") {
      win.Check18->setValue(1);
    } else if (scope == "preferred") {
      win.Check17->setValue(1);
    } else {
      const int index = win.Combo10->findText(scope);
      if (index < 0) {
        std::fprintf(stderr, "the list %s is not in the database\n", qPrintable(scope));
        return 2;
      }
      win.Combo10->setListIndex(index);
      win.Check20->setValue(1);
    }
    QApplication::processEvents();

    EventGapWatch watch;
    watch.start();
    const double start = now();
    win.MyButton25->click();
    const double end = now();
    const double gapMs = watch.stop();
    const int found = win.ListView2->Count();
    const double shown = now();
    QApplication::processEvents();  // the first paint of the result
    const double paint = now() - shown;

    std::printf("%s\n", qPrintable(QString::asprintf("records=%lld found=%d seconds=%.3f max_gap_ms=%lld peak_mb=%.0f",
                                                     (long long)vrnVars().NbEnregistrementsLus, found, end - start,
                                                     std::llround(gapMs), peakMb())));
    std::fprintf(
        stderr, "%s\n",
        qPrintable(QString::asprintf("total=%lld record_loop_gap_ms=%lld after_loop_ms=%.0f first_paint_seconds=%.3f",
                                     (long long)vrnVars().TotalEnregistrements, (long long)lastSearchLongestGapMs(),
                                     watch.tailMs(), paint)));
    for (const ShownBox& b : svc.dialogs.boxes) std::fprintf(stderr, "box: %s\n", qPrintable(b.text));
    if (vrnVars().NbEnregistrementsLus == 0) result = 1;
  }
  setAppFolderForTests(QString());
  return result;
}

Registration registration("search", "DBDIR WORD [all|common|preferred|LIST]", run);

}  // namespace
}  // namespace vrn::bench
