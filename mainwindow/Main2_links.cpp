// Links to web pages.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wireLinks() {}

}  // namespace vrn
