// The second half of start-up.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::continueStartUp() {
  RemplirDossiersSysteme();
  ChargerTabExtensionsCourantes();
  ChargerTabExtensionsRisquees();
}

}  // namespace vrn
