// The special-folder catalogue offered as scan sources.
#include "mainwindow/Main2.h"
#include "support/VariablesVRN.h"

// STAND-IN until the lookups are merged: the interface of
// support/touslesdossierssystem.h, resolving only the profile folder. Remove then.
#include <QDir>
#include <array>
namespace vrn {
namespace {
const std::array<qint32, 52> TabDossiersSpeciaux = {
    48, 29, 26, 10, 47, 30, 35, 25, 46, 31, 23, 22, 24, 45, 3,  33, 0,  16, 17, 6,  -32768, 16384, -256, 20, 34, 1,
    32, 28, 39, 13, 14, 59, 19, 18, 5,  4,  27, 40, 38, 43, 44, 42, 2,  8,  9,  21, 11,     7,     37,   41, 21, 36};
QString CheminDossierSpecial(const qint32& csidl) {
  if (csidl == 40) return QDir::homePath() + "/";
  return csidl == 4 ? QStringLiteral("/") : QString();
}
}  // namespace
}  // namespace vrn
// END OF STAND-IN

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
