// The list catalogue offered as list sets (preferred, common, all).
#include "database/dbfolder.h"
#include "database/extensiontables.h"
#include "database/listsets.h"
#include "mainwindow/Main2.h"
#include "platform/services.h"
#include "support/SonRessVRN.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {

// The steps shared by the three set commands: the compact window, no pages,
// the set's lists, the sound, and the notice when more than 24 pages would
// be wanted (the automatic display stops at 24).
void chooseListSet(Main2* w, int mode, void (Main2::*loader)(), const std::optional<int>& count) {
  VariablesVRN& v = vrnVars();
  w->makeCompact();
  w->FermerToutesFenetresListes();
  v.ModeListes = mode;
  (w->*loader)();
  if (w->Check15->Value() == 1) JouerSon();
  if (count && *count > 24)
    services().dialogs->msgBox(w,
                               "Vous avez Sélectionné (" + QString::number(w->Combo1->ListCount()) +
                                   ") Pages à Afficher...\n"
                                   "Mais pour éviter de Saturer l'écran et la Barre des Tâches, le programme "
                                   "n'affichera que les (24 premières) par Ordre Alphabétique...\n"
                                   "Si vous voulez en Ajouter d'autres , vous pourrez le faire en Manuel...",
                               vbInformation, "Limiter le Nombre de Pages...");
}

}  // namespace

void Main2::setListSetCaptions(const QString& preferredCount) {
  const VariablesVRN& v = vrnVars();
  mnToutesExtenInit->setCaption("Afficher Toutes les Extensions pour (Initiés) Disponibles (" +
                                countText(v.NbExtensionsTotal) + ")");
  mnAfficherTout->setCaption("Afficher les Extensions (les plus Couramment Utilisées) Disponibles (" +
                             countText(v.NbExtensionsCourantes) + ")");
  mnAF1->setCaption("Afficher que ma Sélection D'extensions (Préférées) Disponibles (" + preferredCount + ")");
}

void Main2::ChargerListesCourantes() {
  VariablesVRN& v = vrnVars();
  File1->setPath(databaseFolder());
  Combo1->Clear();
  for (v.IndiceBoucle = 0; v.IndiceBoucle < File1->ListCount(); ++v.IndiceBoucle) {
    const int item = int(v.IndiceBoucle);
    v.ExtensionCourante = listNameOfEntry(File1->List(item));
    // The bare ".vrn": its position in the preferences list keeps its tick.
    if (v.ExtensionCourante.isEmpty()) continue;
    // Ticks go by position; one past the end of the list is skipped.
    const bool common = tableContains(v.TabExtensionsCourantes, v.ExtensionCourante);
    if (common) Combo1->AddItem(v.ExtensionCourante);
    LstSources->setSelected(item, common);
  }
  v.NbExtensionsCourantes = Combo1->ListCount();
  Combo1->setToolTipText(extensionsTip(Combo1->ListCount()));
  lblAffich->setCaption("Choix des (" + countText(v.NbExtensionsCourantes) +
                        ") Listes Couramment Utilisées Disponibles");
  setListSetCaptions(countText(v.NbExtensionsPreferees));
  Label10->setCaption("(" + countText(v.NbExtensionsCourantes) + "/" + QString::number(LstSources->ListCount()) +
                      ") extensions");
}

void Main2::ChargerToutesListes() {
  VariablesVRN& v = vrnVars();
  File1->setPath(databaseFolder());
  Combo1->Clear();
  Combo10->Clear();
  Combo10->AddItem(" ");
  // Every entry, the bare ".vrn" too (an empty item).
  for (v.IndiceBoucle = 0; v.IndiceBoucle < File1->ListCount(); ++v.IndiceBoucle) {
    v.ExtensionCourante = listNameOfEntry(File1->List(int(v.IndiceBoucle)));
    Combo1->AddItem(v.ExtensionCourante);
    Combo10->AddItem(v.ExtensionCourante);
  }
  for (v.IndiceBoucle = 0; v.IndiceBoucle < LstSources->ListCount(); ++v.IndiceBoucle)
    LstSources->setSelected(int(v.IndiceBoucle), true);
  v.NbExtensionsTotal = File1->ListCount();
  Combo1->setToolTipText(extensionsTip(Combo1->ListCount()));
  lblAffich->setCaption("Choix des (" + QString::number(LstSources->ListCount()) + ") Listes Disponibles pour Initiés");
  setListSetCaptions(countText(v.NbExtensionsPreferees));
  Label10->setCaption("(" + countText(v.NbExtensionsTotal) + "/" + QString::number(LstSources->ListCount()) +
                      ") extensions");
}

void Main2::mnAF1_Click() {
  chooseListSet(this, kPreferredListSet, &Main2::ChargerListesPreferees, vrnVars().NbExtensionsPreferees);
}

void Main2::mnAfficherTout_Click() {
  chooseListSet(this, kCommonListSet, &Main2::ChargerListesCourantes, vrnVars().NbExtensionsCourantes);
}

void Main2::mnToutesExtenInit_Click() {
  chooseListSet(this, kAllListSet, &Main2::ChargerToutesListes, vrnVars().NbExtensionsTotal);
}

// The select-all box of the preferences: ticked copies every list into the
// list of lists, unticked empties it, grey (some ticked) does nothing.
void Main2::Check1_Click() {
  VariablesVRN& v = vrnVars();
  if (Check1->Value() == 1) {
    Combo1->Clear();
    for (v.IndiceBoucle = 0; v.IndiceBoucle < LstSources->ListCount(); ++v.IndiceBoucle) {
      Combo1->AddItem(LstSources->List(int(v.IndiceBoucle)));
      LstSources->setSelected(int(v.IndiceBoucle), true);
    }
    Combo1->setToolTipText(extensionsTip(Combo1->ListCount()));
  } else if (Check1->Value() == 0) {
    Combo1->Clear();
    for (v.IndiceBoucle = 0; v.IndiceBoucle < LstSources->ListCount(); ++v.IndiceBoucle)
      LstSources->setSelected(int(v.IndiceBoucle), false);
  }
}

}  // namespace vrn
