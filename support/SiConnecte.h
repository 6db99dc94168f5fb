#pragma once

namespace vrn {

// Asks the network service and leaves the answer, as the text the web links
// compare, in EtatConnexion.
bool TesterConnexion();

}  // namespace vrn
