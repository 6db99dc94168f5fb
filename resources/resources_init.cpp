#include "resources/resources_init.h"

#include <QtCore/qglobal.h>

static void initOnce() { Q_INIT_RESOURCE(resources); }

namespace vrn {
void initResources() {
  static bool done = false;
  if (!done) {
    done = true;
    initOnce();
  }
}
}  // namespace vrn
