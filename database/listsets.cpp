#include "database/listsets.h"

#include "database/dbfolder.h"

namespace vrn {

QString listNameOfEntry(const QString& entry) {
  return trimBlanks(entry.left(qMax<qsizetype>(0, entry.size() - 4))).toLower();
}

QString extensionsTip(int count) { return "(" + QString::number(count) + ") extensions..."; }

}  // namespace vrn
