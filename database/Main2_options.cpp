// The display and start-up options and their stored file.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wireOptions() {}
void Main2::MyButton13_Click() {}

}  // namespace vrn
