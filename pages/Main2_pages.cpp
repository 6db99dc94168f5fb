// Page management and the automatic display of the lists as pages.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wirePages() {}
void Main2::FermerToutesFenetresListes() {}
void Main2::ReduirePages() {}
void Main2::RestaurerPages() {}
void Main2::Command14_Click() {}
void Main2::mnAfficherEcran_Click() {}
void Main2::runAutomaticDisplayStep() {}

}  // namespace vrn
