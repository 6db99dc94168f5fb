// The list catalogue offered as list sets (preferred, common, all).
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::ChargerListesCourantes() {}
void Main2::ChargerToutesListes() {}

}  // namespace vrn
