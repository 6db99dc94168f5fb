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

void appendRecordColumnText(std::string& out, qint64 record) {
  char digits[24];
  int n = 0;
  quint64 v = record < 0 ? quint64(0) - quint64(record) : quint64(record);
  for (; v > 0; v /= 10) digits[n++] = char('0' + v % 10);
  while (n < 8) digits[n++] = '0';
  if (record < 0) out += '-';
  while (n > 0) out += digits[--n];
}

void packRow(PackedRowWriter& out, std::string_view name, std::string_view lowerName, std::string_view path,
             qint64 record, const DetailColumns& columns, const RowFactsTexts* facts) {
  out.cell(name);
  const bool details = columns.details;
  out.cell(!details || columns.path ? path : std::string_view());
  const bool filled = details && facts;
  out.cell(filled && columns.size ? facts->size : std::string_view());
  out.cell(filled && columns.access ? facts->access : std::string_view());
  out.cell(filled && columns.creation ? facts->creation : std::string_view());
  out.cell(filled && columns.modification ? facts->modification : std::string_view());
  out.cell(filled && columns.attributes ? facts->attributes : std::string_view());
  out.cell(lowerName);
  std::string number;
  number.reserve(24);
  appendRecordColumnText(number, record);
  out.cell(std::string_view(number));
}

ColonnesListe makeRow(const QString& path, qint64 record, const DetailColumns& columns, const InfoFichier* facts) {
  const QString name = nameWithoutExtension(path);
  std::string nameText, lowerText, pathText, size, access, creation, modification, attributes;
  appendListText(nameText, name);
  appendListText(lowerText, name.toLower());
  appendListText(pathText, path);
  RowFactsTexts texts;
  if (facts) {
    appendListText(size, sizeColumnText(facts->Taille));
    appendListText(access, facts->DateAcces);
    appendListText(creation, facts->DateCreation);
    appendListText(modification, facts->DateModification);
    appendListText(attributes, facts->Attributs);
    texts = {size, access, creation, modification, attributes};
  }
  std::string packed;
  PackedRowWriter writer(packed);
  packRow(writer, nameText, lowerText, pathText, record, columns, facts ? &texts : nullptr);
  ColonnesListe row;
  for (int k = 0; k < ColonnesListe::kCells; ++k) row.cells[size_t(k)] = packedCell(writer.view(), k);
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
