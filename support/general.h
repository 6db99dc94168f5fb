#pragma once
#include <QString>

namespace vrn {

// The login name of the user the process runs as.
QString NomUtilisateur();

}  // namespace vrn
