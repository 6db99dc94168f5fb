// The special-folder catalogue offered as scan sources.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::RemplirDossiersSysteme() {}

}  // namespace vrn
