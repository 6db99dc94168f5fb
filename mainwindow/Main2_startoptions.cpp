// The second half of start-up: special folders, tables and list sets, the
// view choosers, the options, the first-run offer, the scan and the pages at
// start, and the closing texts. All of it runs before the window is shown.
#include "database/dbfolder.h"
#include "database/optionsfile.h"
#include "mainwindow/Main2.h"
#include "platform/services.h"
#include "support/ModeFileInfoVRN.h"
#include "support/VariablesVRN.h"
#include "support/general.h"
#include "support/touslesdossierssystem.h"

namespace vrn {

namespace {
constexpr qint32 kCsidlProfile = 40;
}  // namespace

void Main2::continueStartUp() {
  VariablesVRN& v = vrnVars();

  // 1. Special folders.
  RemplirDossiersSysteme();

  // 2. Tables and list sets.
  ChargerTabExtensionsCourantes();
  ChargerTabExtensionsRisquees();
  ChargerListesPreferees();
  ChargerListesCourantes();
  ChargerToutesListes();
  if (!v.NbExtensionsPreferees) {
    mnAfficherTout_Click();
  } else {
    ChargerListesPreferees();
    v.ModeListes = kPreferredListSet;
  }

  // 3. View choosers.
  const char* views[] = {"Grandes Icônes", "Petite Icônes", "Liste", "Détails"};
  for (int i = 0; i < 4; ++i) {
    Combo2->AddItem(QString::fromUtf8(views[i]));
    Combo2->setItemDataAt(Combo2->ListCount() - 1, i);
  }
  Combo2->setListIndex(3);
  Combo3->AddItem("Non");
  Combo3->setItemDataAt(0, 0);
  Combo3->AddItem("Left");
  Combo3->setItemDataAt(1, 1);
  Combo3->AddItem("Top");  // no item data: reads as 0
  Combo3->setListIndex(1);

  // 4. Options: the defaults when the file is missing, then applied.
  if (!FichierExiste(databaseFile("affp.aff"))) writeOptionsRecord(defaultOptionsRecord());
  ChargerAffichage();
  if (Check13->Value() == 1) setWindowState(vbMinimized);

  // 5. Scan at start, never of a source that is gone: its empty walk would
  // wipe the database (the missing-source boxes have said so).
  if (Check11->Value() == 1 && v.SourceActuelle != kNoSourceYet && !v.SourceActuelle.isEmpty() &&
      scannableFolder(v.SourceActuelle))
    v.SourceActuelle = kScanPresetSource;

  // 6. Source menu.
  mnScannProfile->setCaption("Scanner le Profile Complet de (" + NomUtilisateur() + ")");

  // 7. First run.
  if (v.SourceActuelle == kNoSourceYet) {
    v.Reponse = services().dialogs->msgBox(
        this,
        "Actuellement il n'y a Aucune Source à Scanner de Définie...\nJe Vous propose de SCANNER le Profile Actif "
        "de (" +
            NomUtilisateur() +
            ")\nde votre Ordinateur, Cliquez sur (Oui)...?\nNon je préfère Choisir moi-même l'Endroit à "
            "SCANNER..(Non)...?",
        vbInformation + vbYesNo, "Choix de la Source à Scanner...");
    if (v.Reponse == vbYes) {
      v.SourceAScanner = CheminDossierSpecial(kCsidlProfile);
      Command1_Click();
      MyButton13_Click();
    } else if (v.Reponse == vbNo) {
      v.SourceActuelle = QString();
      Command1_Click();
      MyButton13_Click();
    }
  }

  // 8. The scan at start.
  if (v.SourceActuelle == kScanPresetSource) Command1_Click();

  // 9. Lists at start, as pages in the task bar.
  if (Check12->Value() == 1) {
    mnAfficherEcran_Click();
    ReduirePages();
    ListView2->Clear();
    ListView2->hide();
    for (QWidget* c : std::initializer_list<QWidget*>{Check2, Check3, Command4, Command5, Command8, Command11})
      c->hide();
    Label2->setCaption("Faites votre Choix");
    Image1->setPicture(QIcon());
  }

  // 10. Closing texts.
  ChargerListesPreferees();
  Check11->setToolTipText("Scanner au Démarrage dans (" + v.SourceActuelle + ")");
  const QString items = QString::number(LstSources->ListCount());
  Label10->setCaption("(" + countText(v.NbExtensionsPreferees ? v.NbExtensionsPreferees : v.NbExtensionsCourantes) +
                      "/" + items + ") extensions");
  Combo1->setToolTipText("(" + QString::number(Combo1->ListCount()) + ") extensions...");
}

}  // namespace vrn
