#include "support/SiConnecte.h"

#include "platform/services.h"
#include "support/VariablesVRN.h"

namespace vrn {

bool TesterConnexion() {
  Network* network = services().network;
  const bool connected = network && network->connected();
  vrnVars().EtatConnexion = connected ? QStringLiteral("Vous êtes Connecté au Réseau")
                                      : QStringLiteral("Vous n'êtes pas Connecté au Réseau");
  return connected;
}

}  // namespace vrn
