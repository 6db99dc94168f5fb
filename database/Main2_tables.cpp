// The built-in tables of common and risky extensions.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::ChargerTabExtensionsCourantes() {}
void Main2::ChargerTabExtensionsRisquees() {}

}  // namespace vrn
