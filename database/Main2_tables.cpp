// The built-in tables of common and risky extensions.
#include "database/extensiontables.h"
#include "mainwindow/Main2.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {

// The staging box sorts the entries; the table takes them in its order.
QStringList stageSorted(ComboBox* staging, const QStringList& entries) {
  staging->Clear();
  for (const QString& e : entries) staging->AddItem(e);
  QStringList items;
  items.reserve(staging->ListCount());
  VariablesVRN& v = vrnVars();
  for (v.IndiceBoucle = 0; v.IndiceBoucle < staging->ListCount(); ++v.IndiceBoucle)
    items.append(staging->List(int(v.IndiceBoucle)));
  return tableFromItems(items);
}

}  // namespace

void Main2::ChargerTabExtensionsCourantes() {
  vrnVars().TabExtensionsCourantes = stageSorted(Combo5, commonExtensionEntries());
}

void Main2::ChargerTabExtensionsRisquees() {
  vrnVars().TabExtensionsRisquees = stageSorted(Combo6, riskyExtensionEntries());
}

}  // namespace vrn
