#include "platform/network_linux.h"

namespace vrn {

bool LinuxNetwork::connected() { return false; }

}  // namespace vrn
