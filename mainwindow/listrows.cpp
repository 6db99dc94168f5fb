#include "mainwindow/listrows.h"

#include "support/ModeFileInfoVRN.h"
#include "support/formats.h"
#include "platform/rowstore.h"

namespace vrn {

QString nameWithoutExtension(const QString& path) {
  const qsizetype slash = path.lastIndexOf(u'/');
  const qsizetype dot = path.lastIndexOf(u'.');
  if (dot <= slash) return path.mid(slash + 1);
  return path.mid(slash + 1, dot - slash - 1);
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

}  // namespace vrn
