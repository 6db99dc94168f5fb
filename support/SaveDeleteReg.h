#pragma once
// Writing and deleting one string value of the settings store (the registry
// of the original platform; see platform/registry_xdg.h for where it lands).
#include <QString>

namespace vrn {

constexpr qint32 HKEY_CURRENT_USER = qint32(0x80000001u);
constexpr qint32 HKEY_LOCAL_MACHINE = qint32(0x80000002u);

// Creates or replaces the value. Failures are silent.
void EcrireValeurRegistre(qint32& racine, const QString& cheminCle, const QString& nomValeur, const QString& donnees);
// Removes the value; a missing key or value changes nothing. Failures are silent.
void SupprimerValeurRegistre(qint32 racine, const QString& cheminCle, const QString& nomValeur);

}  // namespace vrn
