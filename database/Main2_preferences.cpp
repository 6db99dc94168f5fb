// The preferred lists and the preferences panel.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::ChargerListesPreferees() {}

}  // namespace vrn
