#include "support/SaveDeleteReg.h"

#include "platform/services.h"

namespace vrn {

void EcrireValeurRegistre(qint32& racine, const QString& cheminCle, const QString& nomValeur, const QString& donnees) {
  if (Registry* registry = services().registry) registry->writeValue(quint32(racine), cheminCle, nomValeur, donnees);
}

void SupprimerValeurRegistre(qint32 racine, const QString& cheminCle, const QString& nomValeur) {
  if (Registry* registry = services().registry) registry->deleteValue(quint32(racine), cheminCle, nomValeur);
}

}  // namespace vrn
