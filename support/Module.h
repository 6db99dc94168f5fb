#pragma once
#include <QString>

namespace vrn {

// True when the path names a folder (a link to a folder counts: the user
// chose it as a folder).
bool EstUnDossier(const QString& chemin);

}  // namespace vrn
