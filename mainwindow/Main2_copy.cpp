// Copy of the ticked files into a backup folder.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::CopierFichiersCoches() {}

}  // namespace vrn
