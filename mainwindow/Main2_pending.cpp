// Procedures of features not built yet: each does nothing until its feature lands.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::ChargerListesPreferees() {}
void Main2::ChargerListesCourantes() {}
void Main2::ChargerToutesListes() {}
void Main2::MyButton13_Click() {}
void Main2::Command14_Click() {}
void Main2::mnAfficherEcran_Click() {}
void Main2::runAutomaticDisplayStep() {}

}  // namespace vrn
