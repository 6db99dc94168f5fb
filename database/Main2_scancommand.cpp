// The scan command, the source menu and the stop buttons.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wireScan() {}
void Main2::Command1_Click() {}
void Main2::Command1_RightClick() {}
void Main2::mnReScannerActuel_Click() {}
void Main2::mnScannProfile_Click() {}
void Main2::mnChoixPerso_Click() {}
void Main2::mnDetailRepPerso_Click() {}
void Main2::Combo7_Click() {}
void Main2::MyButton5_Click() {}
void Main2::MyButton6_Click() {}

}  // namespace vrn
