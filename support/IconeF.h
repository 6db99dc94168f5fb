#pragma once
#include <QIcon>
#include <QString>

namespace vrn {

// The desktop's icon for the file's type; an empty icon when nothing exists
// at the path.
QIcon IconeFichier(const QString& chemin);

}  // namespace vrn
