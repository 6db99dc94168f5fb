#pragma once
// Connected when a network interface that is up carries a default route.
#include "platform/services.h"

namespace vrn {

class LinuxNetwork : public Network {
 public:
  bool connected() override;
};

}  // namespace vrn
