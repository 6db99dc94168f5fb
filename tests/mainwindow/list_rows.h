#pragma once
// Rows of a file list as the list loader writes them: text = name without
// folder and extension, sub-item 1 the full path, 7 the lower-case name,
// 8 the record number.
#include <QString>
#include <array>

#include "mainwindow/listrows.h"
#include "platform/listview.h"
#include "support/ModeFileInfoVRN.h"
#include "support/formats.h"

namespace vrn::testing {

inline int addFileRow(ListView* list, const QString& path, int record) {
  const qsizetype slash = path.lastIndexOf(u'/');
  const qsizetype dot = path.lastIndexOf(u'.');
  const QString name = path.mid(slash + 1, dot - slash - 1);
  const int row = list->Add(name);
  list->setSubItem(row, 1, path);
  list->setSubItem(row, 7, name.toLower());
  list->setSubItem(row, 8, QStringLiteral("%1").arg(record, 8, 10, QLatin1Char('0')));
  return row;
}

// The nine texts of a file's row, built cell by cell from the facts: the
// answer the packed rows of the loader and the search are checked against.
struct ColonnesListe {
  static constexpr int kCells = 9;  // the text and sub-items 1 to 8
  std::array<QString, kCells> cells;
  const QString& text() const { return cells[0]; }
};

// At least nine digits grouped by three with the user's separator; a text
// that is not a number (the empty size) kept as is.
inline QString sizeColumnText(const QString& taille) { return formatNumberText(taille, QStringLiteral("0#,###,###0")); }
inline QString recordColumnText(qint64 record) { return NumberPattern(QStringLiteral("0#######")).format(record); }

inline ColonnesListe makeRow(const QString& path, qint64 record, const DetailColumns& columns,
                             const InfoFichier* facts) {
  ColonnesListe row;
  QString* c = row.cells.data();
  c[0] = nameWithoutExtension(path);
  if (!columns.details) {
    c[1] = path;
  } else {
    if (columns.path) c[1] = path;
    if (facts) {
      if (columns.size) c[2] = sizeColumnText(facts->Taille);
      if (columns.access) c[3] = facts->DateAcces;
      if (columns.creation) c[4] = facts->DateCreation;
      if (columns.modification) c[5] = facts->DateModification;
      if (columns.attributes) c[6] = facts->Attributs;
    }
  }
  c[7] = c[0].toLower();
  c[8] = recordColumnText(record);
  return row;
}

inline int addRow(ListView* list, const ColonnesListe& row, int smallIcon = 1) {
  const int index = list->Add(row.cells[0], smallIcon);
  for (int k = 1; k < ColonnesListe::kCells && k < list->ColumnCount(); ++k)
    if (!row.cells[size_t(k)].isEmpty()) list->setSubItem(index, k, row.cells[size_t(k)]);
  return index;
}

}  // namespace vrn::testing
