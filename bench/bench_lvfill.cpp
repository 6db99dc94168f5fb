// varnelo-bench lvfill N: fills a hidden list control with N rows shaped like
// a loaded file list (nine columns), shows it, sorts it once on each key, then
// fits its six file columns as the AutoSize button does.
#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <cctype>
#include <cstdio>

#include "bench/bench.h"
#include "platform/form.h"
#include "platform/listview.h"

namespace vrn::bench {
namespace {

// Deterministic scramble so names, sizes and dates come in no useful order.
quint32 mix(quint32 x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// One synthetic row, made the cheap way so the figures are the list's.
struct Row {
  QString cells[9];
};

QString dateText(quint32 h) {
  char buf[32];
  const int len = std::snprintf(buf, sizeof buf, "%02u/%02u/%04u %02u:%02u:%02u", 1 + h % 28, 1 + (h >> 5) % 12,
                                1998 + (h >> 9) % 12, (h >> 13) % 24, (h >> 18) % 60, (h >> 24) % 60);
  return QString::fromLatin1(buf, len);
}

void makeRow(int i, Row& row) {
  static const char* attributes[] = {"A", "R A", "H A", "A S-F"};
  const quint32 h = mix(quint32(i));
  char name[64], buf[256];
  const int nameLen = std::snprintf(name, sizeof name, "Rapport_Annuel_%u_v%u", h % 1000003, h % 7);
  row.cells[0] = QString::fromLatin1(name, nameLen);
  int len = std::snprintf(buf, sizeof buf, "/home/utilisateur/Documents/Projets/Archives %u/Comptabilite/%s.pdf",
                          1998 + h % 12, name);
  row.cells[1] = QString::fromLatin1(buf, len);
  const quint32 size = mix(h) % 900000000;
  len = std::snprintf(buf, sizeof buf, "%03u,%03u,%03u", size / 1000000, size / 1000 % 1000, size % 1000);
  row.cells[2] = QString::fromLatin1(buf, len);
  for (int k = 3; k <= 5; ++k) row.cells[k] = dateText(mix(h + quint32(k)));
  row.cells[6] = QString::fromLatin1(attributes[h % 4]);
  for (int j = 0; j < nameLen; ++j) name[j] = char(std::tolower(static_cast<unsigned char>(name[j])));
  row.cells[7] = QString::fromLatin1(name, nameLen);
  len = std::snprintf(buf, sizeof buf, "%08d", i + 1);
  row.cells[8] = QString::fromLatin1(buf, len);
}

int run(const QStringList& args) {
  bool ok = false;
  const int n = args.value(0).toInt(&ok);
  if (!ok || n < 0) {
    std::fprintf(stderr, "lvfill: N must be a row count\n");
    return 2;
  }
  ListView lv;
  lv.resize(1100, 700);
  // The font of the program's windows.
  installDesignFonts();
  QFont windowFont(QStringLiteral("MS Sans Serif"));
  windowFont.setPointSizeF(8);
  lv.setFont(windowFont);
  const char* captions[] = {"Nom des Fichiers Disponibles",
                            "Adresse des Fichiers",
                            "Taille Octets",
                            "Date Accès",
                            "Date Création",
                            "Date Modification",
                            "Attribut",
                            "",
                            ""};
  const int widths[] = {4000, 1440, 1440, 1440, 1440, 1400, 1000, 0, 0};
  for (int i = 0; i < 9; ++i) lv.AddColumn(QString::fromUtf8(captions[i]), widths[i]);
  // The cost of making the texts alone, to tell it from the list's.
  Row row;
  double t0 = now();
  for (int i = 0; i < n; ++i) makeRow(i, row);
  const double make = now() - t0;

  t0 = now();
  for (int i = 0; i < n; ++i) {
    makeRow(i, row);
    const int r = lv.Add(row.cells[0], 1);
    for (int k = 1; k <= 8; ++k) lv.setSubItem(r, k, row.cells[k]);
  }
  const double fill = now() - t0;

  const double t1 = now();
  lv.show();
  QApplication::processEvents();
  const double show = now() - t1;

  double sortMax = 0;
  QString perKey;
  lv.setSorted(true);
  for (int k = 0; k <= 8; ++k) {
    const double s = now();
    lv.setSortKey(k);
    QApplication::processEvents();  // the view lays the rows out again and paints
    const double took = now() - s;
    sortMax = std::max(sortMax, took);
    perKey += QStringLiteral(" key%1=%2").arg(k).arg(took, 0, 'f', 3);
  }
  // The AutoSize button: the six file columns fitted to every one of their
  // texts, while the window's events keep running.
  lv.setChecked(n / 2 + 1, true);
  EventGapWatch watch;
  const double a = now();
  watch.start();
  lv.setUpdatesLocked(true);
  for (int c = 0; c <= 5; ++c) lv.AutoSizeColumn(c);
  lv.setUpdatesLocked(false);
  QApplication::processEvents();
  const double autosize = now() - a;
  const double autosizeGap = watch.stop();
  // The yardstick: the view measuring cell after cell, on a sample of the
  // path column, scaled to the whole column.
  const int sample = std::min(n, 20000);
  const QAbstractItemModel* model = lv.itemView()->model();
  int widest = 0;
  const double y = now();
  for (int r = 0; r < sample; ++r)
    widest = std::max(widest, lv.itemView()->sizeHintForIndex(model->index(r, 1)).width());
  const double cellByCell = sample > 0 ? (now() - y) / sample * n : 0;

  // The other views over the same rows.
  QString views;
  for (int mode : {2, 1, 0, 3}) {
    const double v = now();
    lv.setView(mode);
    QApplication::processEvents();
    views += QStringLiteral(" view%1=%2").arg(mode).arg(now() - v, 0, 'f', 3);
  }

  std::printf(
      "rows=%d fill_seconds=%.3f sort_max_seconds=%.3f autosize_seconds=%.3f autosize_max_gap_ms=%.1f "
      "peak_mb=%.0f\n",
      n, fill, sortMax, autosize, autosizeGap, peakMb());
  std::fprintf(stderr,
               "texts_alone_seconds=%.3f show_seconds=%.3f cell_by_cell_one_column_seconds=%.3f (widest %d px in "
               "%d rows)%s%s\n",
               make, show, cellByCell, widest, sample, qPrintable(perKey), qPrintable(views));
  return 0;
}

Registration registration("lvfill", "N", run);

}  // namespace
}  // namespace vrn::bench
