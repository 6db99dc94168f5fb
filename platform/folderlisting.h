#pragma once
#include <QString>
#include <QStringList>

namespace vrn {

// The regular files of a folder whose names match one of the ";"-separated
// wildcard patterns (ignoring ASCII case), sorted alphabetically ignoring
// case, as a file-list control shows them. Names are decoded losslessly.
QStringList listMatchingFiles(const QString& folder, const QString& patterns);

}  // namespace vrn
