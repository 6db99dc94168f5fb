#pragma once
// Rows of a file list as the list loader writes them: text = name without
// folder and extension, sub-item 1 the full path, 7 the lower-case name,
// 8 the record number.
#include <QString>

#include "platform/listview.h"

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

}  // namespace vrn::testing
