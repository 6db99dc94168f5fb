#include "support/SiConnecte.h"

#include "platform/services.h"
#include "support/VariablesVRN.h"

namespace vrn {

bool TesterConnexion() {
  Network* network = services().network;
  const bool connected = network && network->connected();
  vrnVars().EtatConnexion = (connected ? kConnected : kNotConnected).toString();
  return connected;
}

}  // namespace vrn
