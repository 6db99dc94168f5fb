#include "mainwindow/listrows.h"

#include "support/ModeFileInfoVRN.h"
#include "support/formats.h"
#include "platform/listview.h"

namespace vrn {

QString nameWithoutExtension(const QString& path) {
  const qsizetype slash = path.lastIndexOf(u'/');
  const qsizetype dot = path.lastIndexOf(u'.');
  if (dot <= slash) return path.mid(slash + 1);
  return path.mid(slash + 1, dot - slash - 1);
}

QString sizeColumnText(const QString& taille) { return formatNumberText(taille, QStringLiteral("0#,###,###0")); }

QString recordColumnText(qint64 record) {
  static const NumberPattern pattern(QStringLiteral("0#######"));  // parsed once: one call per row
  return pattern.format(record);
}

ColonnesListe makeRow(const QString& path, qint64 record, const DetailColumns& columns, const InfoFichier* facts) {
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

int addRow(ListView* list, const ColonnesListe& row, int smallIcon) {
  const int index = list->Add(row.cells[0], smallIcon);
  setRowSubItems(list, index, row);
  return index;
}

void setRowSubItems(ListView* list, int index, const ColonnesListe& row) {
  const int columns = list->ColumnCount();
  // Set in order on the row just added, the cells are stored in place.
  for (int k = 1; k < ColonnesListe::kCells && k < columns; ++k)
    if (!row.cells[size_t(k)].isEmpty()) list->setSubItem(index, k, row.cells[size_t(k)]);
}

}  // namespace vrn
