// The special-folder catalogue offered as scan sources.
#include "mainwindow/Main2.h"
#include "support/VariablesVRN.h"
#include "support/touslesdossierssystem.h"

namespace vrn {

void Main2::RemplirDossiersSysteme() {
  VariablesVRN& v = vrnVars();
  // Combo7 keeps its items sorted ignoring case, so equal paths arrive side by side.
  for (const qint32 id : TabDossiersSpeciaux) Combo7->AddItem(CheminDossierSpecial(id));

  // Equal neighbours: the same position is compared again after a removal.
  // The loop's end is the count before any removal; positions past the end read "".
  const int before = Combo7->ListCount();
  for (v.IndiceBoucle = 0; v.IndiceBoucle <= before - 1; ++v.IndiceBoucle) {
    const int i = int(v.IndiceBoucle);
    const QString item = Combo7->List(i);
    if (!item.isEmpty() && item == Combo7->List(i + 1)) {
      Combo7->RemoveItem(i);
      --v.IndiceBoucle;
    }
  }

  // Unresolved identifiers ("") and folders with no counterpart ("/").
  for (;;) {
    int found = -1;
    for (int i = 0; i < Combo7->ListCount() && found < 0; ++i)
      if (Combo7->List(i).isEmpty() || Combo7->List(i) == QLatin1String("/")) found = i;
    if (found < 0) break;
    Combo7->RemoveItem(found);
  }
}

}  // namespace vrn
