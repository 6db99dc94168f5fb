// The search panel and the search engine.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wireSearch() {}

}  // namespace vrn
