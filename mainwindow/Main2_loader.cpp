// The list loader: one extension's list into the main list view.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wireLists() {}
void Main2::Combo1_Click() {}
void Main2::AfficherListeExtension() {}

}  // namespace vrn
