// Window shell: layout rules, quit and minimise, busy indicators.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wireShell() {}
void Main2::Form_Resize() {}
// Every request to close the main window is refused; the quit command ends it.
void Main2::Form_Unload(int& cancel) { cancel = 1; }
void Main2::Form_Click() {}
void Main2::Form_MouseMove() {}
void Main2::MyFrame6_MouseMove() {}
void Main2::MyButton10_MouseMove() {}
void Main2::MyButton10_Click() {}
void Main2::Command2_Click() {}
void Main2::mnReduire_Click() {}
void Main2::mnArreter_Click() {}
void Main2::MyButton8_Click() {}
void Main2::mnMessageAuteur_Click() {}
void Main2::timer3_Timer() {}
void Main2::Timer5_Timer() {}

}  // namespace vrn
