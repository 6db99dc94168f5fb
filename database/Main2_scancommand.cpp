// The scan command, the source menu and the stop buttons.
#include <cerrno>
#include <cmath>
#include <exception>
#include <new>

#include "database/dbfolder.h"
#include "database/sourcemount.h"
#include "mainwindow/Main2.h"
#include "mainwindow/copyloop.h"
#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/services.h"
#include "support/Module.h"
#include "support/SonRessVRN.h"
#include "support/TriRapide.h"
#include "support/formats.h"
#include "support/touslesdossierssystem.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {

// The time of day in whole seconds, as the elapsed time is the difference of
// two such times.
double timeOfDay() {
  Clock* clock = services().clock;
  return clock ? std::floor(clock->secondsSinceMidnight()) : 0.0;
}

// Sorts the work arrays by extension on a helper thread while the window's
// events keep running: a million slots take longer than the window may wait.
// Nothing else touches the arrays meanwhile (no second scan can start).
// 0, or the errno of a sort that failed: unsorted, the arrays would give each
// extension many runs, each written over the one before.
int sortWorkArrays(qint64 count) {
  VariablesVRN& v = vrnVars();
  if (count < 2) return 0;
  int error = 0;
  EventPump pump;
  runOnHelpers({[&] {
                 try {
                   if (const auto& hook = Main2::scanTestHooks().beforeSort) hook();
                   if (!TriRapide(1, count, v.TabExtensions, true, v.TabChemins)) error = ERANGE;
                 } catch (const std::bad_alloc&) {
                   error = ENOMEM;
                 } catch (...) {
                   error = ECANCELED;
                 }
               }},
               &pump);
  return error;
}

QString sortFailureReason(int error) {
  return error == ENOMEM ? "La Mémoire de l'Ordinateur est Insuffisante pour Trier les Fichiers Trouvés..."
                         : "Le Tri des Fichiers Trouvés a Échoué...";
}

QString writeFailureReason(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return "Le Disque est Plein...";
    case EROFS:
      return "Le Disque est Protégé en Écriture...";
    case EACCES:
    case EPERM:
      return "Le Dossier de la Base de Données ou l'une de ses Listes est Protégé en Écriture...";
    case ENOMEM:
      return "La Mémoire de l'Ordinateur est Insuffisante...";
    case ENOTDIR:
    case ENOENT:
      if (!EstUnDossier(databaseFolder()))
        return "Le Dossier de la Base de Données est Introuvable ou n'est pas un Dossier...";
      return "Un Fichier de la Base de Données a Disparu pendant l'Écriture...";
    case EINVAL:
    case EILSEQ:
    case ENAMETOOLONG:
      return "Le Disque Refuse le Nom de l'un des Fichiers de la Base de Données...";
    case EISDIR:
    case EEXIST:
      return "Un Dossier Occupe la Place de l'un des Fichiers de la Base de Données...";
    default:
      return "Erreur d'Écriture sur le Disque (" + QString::number(error) + ")...";
  }
}

// Frees an array down to one empty slot, a slice at a time with a chance
// for events between: a million paths take longer than the window may wait.
void freeSlices(std::vector<QByteArray>& a, EventPump& pump) {
  while (a.size() > 2) {
    a.resize(a.size() - std::min<size_t>(a.size() - 2, 1 << 14));
    pump.offer();
  }
  a.assign(2, QByteArray());
  a.shrink_to_fit();
}

// Back to one empty slot each.
void emptyWorkArrays() {
  VariablesVRN& v = vrnVars();
  EventPump pump(5);
  for (std::vector<QByteArray>* a : {&v.TabExtensions, &v.TabChemins}) freeSlices(*a, pump);
}

// The work arrays of an ended scan, taken whole from the shared ones (left
// with one empty slot each, at once), to be freed once the window's state
// is whole again: events that run while the scan's end shows the list of
// lists but the scan still counts as running would hide it for good.
class SpentArrays {
 public:
  SpentArrays() {
    VariablesVRN& v = vrnVars();
    extensions_.swap(v.TabExtensions);
    paths_.swap(v.TabChemins);
    v.TabExtensions.assign(2, QByteArray());
    v.TabChemins.assign(2, QByteArray());
  }
  void free() {
    EventPump pump(Main2::scanTestHooks().freeArraysSliceMs);
    freeSlices(extensions_, pump);
    freeSlices(paths_, pump);
  }

 private:
  std::vector<QByteArray> extensions_, paths_;
};

}  // namespace

Main2::ScanTestHooks& Main2::scanTestHooks() {
  static ScanTestHooks hooks;
  return hooks;
}

void Main2::wireScan() {
  connect(Command1, &MyButton::Click, this, &Main2::Command1_Click);
  connect(Command1, &MyButton::RightClick, this, &Main2::Command1_RightClick);
  connect(MyButton5, &MyButton::Click, this, &Main2::MyButton5_Click);
  connect(MyButton6, &MyButton::Click, this, &Main2::MyButton6_Click);
  connect(Combo7, &ComboBox::Click, this, &Main2::Combo7_Click);
  connect(mnDetailRepPerso, &MenuItem::Click, this, &Main2::mnDetailRepPerso_Click);
  connect(mnReScannerActuel, &MenuItem::Click, this, &Main2::mnReScannerActuel_Click);
  connect(mnScannProfile, &MenuItem::Click, this, &Main2::mnScannProfile_Click);
  connect(mnChoixPerso, &MenuItem::Click, this, &Main2::mnChoixPerso_Click);
  connect(Command3, &MyButton::Click, this, &Main2::Command3_Click);
  jobWatch_ = std::make_unique<JobWatch>([this] { setScanCommandsEnabled(mayStart(Job::Scan)); });
}

void Main2::setScanCommandsEnabled(bool on) {
  Command1->setEnabled(on);
  Combo7->setEnabled(on);
  for (MenuItem* item : {mnDetailRepPerso, mnReScannerActuel, mnScannProfile, mnChoixPerso}) item->setEnabled(on);
}

bool Main2::refuseSourceFolder(const QString& folder) {
  if (scannableFolder(folder)) return false;
  services().dialogs->msgBox(this, "Dossier Incorect", vbCritical, "Refaire...");
  return true;
}

void Main2::Command1_Click() {
  VariablesVRN& v = vrnVars();
  scanEnd_ = ScanEnd::Refused;
  // In copy mode the command only asks where the ticked files go: it runs
  // wherever a copy may start. Otherwise it starts a scan, refused while any
  // job runs. A copy is refused only while another runs, and the copy mode
  // set then is that copy's own.
  const bool copyMode = v.ModeCopie == kYes;
  if (!mayStart(copyMode ? Job::Copy : Job::Scan)) return;

  // A preset folder that cannot be scanned, or none at all (a profile folder
  // that is not there), is refused before anything changes: its empty walk
  // would wipe the database. The state word goes back to the stored source
  // (none at a first run), so the next press asks.
  const bool preset = v.SourceActuelle == kNoSourceYet || v.SourceActuelle == kScanPresetSource;
  if (!copyMode && preset && refuseSourceFolder(v.SourceAScanner)) {
    v.SourceActuelle = readStoredSource(false).value_or(QString());
    return;
  }

  // 1. The compact window.
  Combo7->hide();
  MyButton6->setCaption("Arrêter le Scann");
  makeCompact();

  // Copy mode: only the destination is asked, then the copy runs.
  if (copyMode) {
    v.DossierChoisiDestination.clear();
    v.TitreDialogue = "Sélectionnez le Dossier de Destination :";
    const QString chemin = services().dialogs->browseForFolder(this, v.TitreDialogue);
    if (!chemin.isEmpty()) {
      v.TamponChemin = chemin;
      v.DossierChoisiDestination = chemin;
      if (!EstUnDossier(chemin)) {
        services().dialogs->msgBox(this, "Dossier Incorect", vbCritical, "Refaire...");
        v.ModeCopie.clear();
        setMousePointer(vbDefault);
        return;
      }
    }
    v.DossierDestination = v.DossierChoisiDestination;
    if (!v.DossierDestination.isEmpty()) CopierFichiersCoches();
    else v.ModeCopie.clear();
    return;
  }

  const JobGuard scanning(Job::Scan);
  try {
    // 2. Fresh work state.
    NbFichiersTrouves = 0;
    emptyWorkArrays();

    // 3.-4. The road: a preset source, or a folder chosen in the browser.
    bool presetOrCancelled = true;
    if (preset) {
      v.DossierAScanner = v.SourceAScanner;
    } else {
      v.DossierAScanner.clear();
      v.TitreDialogue = "Sélectionner le Disque, Lecteur, Répertoire à SCANNER...";
      const QString chemin = services().dialogs->browseForFolder(this, v.TitreDialogue);
      if (!chemin.isEmpty()) {
        v.TamponChemin = chemin;
        v.DossierAScanner = chemin;
        if (refuseSourceFolder(chemin)) {
          setMousePointer(vbDefault);
          return;
        }
        presetOrCancelled = false;
      }
    }

    // 6. Preset source or cancelled browser.
    if (presetOrCancelled) {
      if (Check13->Value() == 1) setWindowState(vbMinimized);
      timer3->setEnabled(true);
      lblAffich->setCaption("Choix des (" + QString::number(Combo1->ListCount()) + ") Listes Disponibles pour Initiés");
      lblnbr->show();
      setMousePointer(vbHourglass);
    }

    // 7. Nothing to scan: the animation and the count go away again.
    timer3->setEnabled(true);
    MyButton3->hide();
    if (v.DossierAScanner.isEmpty()) {
      timer3->setEnabled(false);
      label4->hide();
      lblnbr->hide();
      setMousePointer(vbDefault);
      scanEnd_ = ScanEnd::Cancelled;
      return;
    }

    // 8. Scanning.
    label4->show();
    lblnbr->show();
    Shape2->show();
    lblAffich->setCaption("Attendre pendant la Recherche de Tous vos Fichiers...");
    Combo1->hide();
    MyFrame7->hide();
    MyButton6->setEnabled(true);
    v.HeureDebutScan = timeOfDay();
    v.SourceActuelle = v.DossierAScanner;
    Check11->setToolTipText("Scanner au Démarrage dans (" + v.SourceActuelle + ")");
    MyButton10->setCaption("Scann en Cours\n(" + v.SourceActuelle + ")");
    MyButton10->setToolTipText("(" + v.SourceActuelle + ")");
    v.ScanEnCours = kYes;

    // 9. The walk. Whether its folder is a mount root is noted as it starts:
    // the database made from it records that (rememberWrittenSource).
    walkedSource_ = {v.DossierAScanner, isMountRoot(v.DossierAScanner).value_or(false)};
    ScannerDossier(v.DossierAScanner, "*.*");
    if (const auto& hook = scanTestHooks().afterWalk) hook();

    // 10. A stop can no longer be honoured once the walk is over; read back
    // during the write, der.rep would name the old source beside the new lists.
    setMousePointer(vbDefault);
    timer3->setEnabled(false);
    lblAffich->setCaption("Recherche Terminée, Traitement en Cours...");
    lblAffich->setTransparent(true);
    MyButton6->setEnabled(false);

    // 11. Stopped, or sort and write.
    if (v.DemandeArret == kStopRequest) {
      lblAffich->setCaption("Demande de SCANN Annulée...");
      MyButton3->hide();
      label4->hide();
      setMousePointer(vbDefault);
      lblnbr->hide();
      v.DemandeArret.clear();
      MyButton6->setEnabled(false);
      setCaption("Dernière demande de SCANN Annulée...");
      MyButton10->setCaption(scanResultCaption(v.SourceAScanner));
      Check11->setToolTipText("Scanner au Démarrage dans (" + v.SourceAScanner + ")");
      scanEnd_ = ScanEnd::Stopped;
    } else {
      Command14_Click();
      // Arrays that could not be sorted are never written: the previous
      // database stays, as after a failed write.
      if (const int error = sortWorkArrays(NbFichiersTrouves)) {
        databasePending_ = false;
        scanEnd_ = ScanEnd::Failed;
        endFailedScan(sortFailureReason(error));
        return;
      }
      lblAffich->setCaption("Création et Traitement de la Base de Données en Cours...");
      if (!CreerBaseDonnees()) {
        scanEnd_ = ScanEnd::Failed;
        endFailedScan(writeFailureReason(writeError_));
        return;
      }
      scanEnd_ = ScanEnd::Written;
    }

    // The common end.
    MyButton3->hide();
    label4->hide();
    lblAffich->setCaption("Tous vos (" + QString::number(v.NombreFichiers) + ") Fichiers sont Disponibles...");
    setMousePointer(vbDefault);
    Combo1->show();
    MyFrame7->show();
    lblnbr->hide();
    Shape2->hide();
    // The time of day restarts at midnight: a negative span crossed it.
    double elapsed = timeOfDay() - v.HeureDebutScan;
    if (elapsed < 0) elapsed += 86400.0;
    setCaption(" - (" + QString::number(NbFichiersTrouves) + " Fichiers) Obtenus en " + formatElapsed(elapsed));
    v.DemandeArret.clear();
    MyButton6->setEnabled(false);
    ChargerToutesListes();
    ChargerListesCourantes();
    ChargerListesPreferees();
    if (Check15->Value() == 1) JouerSon();
    if (Check16->Value() == 1) mnAfficherEcran_Click();
    SpentArrays spent;
    Label2->setCaption("Faites votre Choix");
    MyButton10->setCaption(scanResultCaption(v.SourceActuelle));
    Label1->setCaption(MyButton10->Caption());
    ListView2->Clear();
    ListView2->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{Check2, Check3, Command4, Command5, Command8, Command11})
      w->hide();
    v.ScanEnCours.clear();
    spent.free();
    // Committed, but some of the new database is still in a working folder:
    // the window shows what is in place, and says so.
    if (scanEnd_ == ScanEnd::Written && databasePending_)
      services().dialogs->msgBox(
          this,
          "La Nouvelle Base de Données a été Enregistrée dans (" + databaseFolder() +
              ") mais sa Mise en Place n'a pas pu être Terminée\n" + writeFailureReason(writeError_) +
              "\nSeules les Listes Affichées sont Disponibles pour l'Instant, la Base de Données sera Complétée au "
              "Prochain Démarrage du Programme...",
          vbExclamation, "Base de Données Incomplète...");
  } catch (const std::exception&) {
    // Out of memory on a huge tree. Before the database was written the scan
    // ends like a failed write; afterwards the new database stands and only
    // the window's busy state is put back.
    setMousePointer(vbDefault);
    timer3->setEnabled(false);
    MyButton6->setEnabled(false);
    if (v.ScanEnCours != kYes) return;
    if (scanEnd_ != ScanEnd::Written) {
      databasePending_ = false;
      scanEnd_ = ScanEnd::Failed;
      endFailedScan(writeFailureReason(ENOMEM));
      return;
    }
    Combo1->show();
    MyFrame7->show();
    v.ScanEnCours.clear();
  }
}

void Main2::rememberWrittenSource() {
  const QString& source = vrnVars().SourceActuelle;
  // As the walk found it; the hidden writer button writes without a walk.
  const bool mountRoot = walkedSource_.folder == source ? walkedSource_.mountRoot : isMountRoot(source).value_or(false);
  rememberSourceMount(databaseFolder(), source, mountRoot);
}

void Main2::endFailedScan(const QString& reason) {
  VariablesVRN& v = vrnVars();
  // The source goes back to that of the stored database (none when it
  // cannot be read: the next press asks).
  v.SourceActuelle = readStoredSource(false).value_or(QString());
  MyButton3->hide();
  label4->hide();
  lblnbr->hide();
  Shape2->hide();
  setMousePointer(vbDefault);
  if (databasePending_) {
    // Some of the previous database could not be put back: the window shows
    // what the database folder holds.
    refillListControls();
    CompterFichiersBase();
    ChargerToutesListes();
    ChargerListesCourantes();
    ChargerListesPreferees();
  }
  Combo1->show();
  MyFrame7->show();
  lblAffich->setCaption(databasePending_ ? "Base de Données Incomplète, Écriture Impossible..."
                                         : "Base de Données Inchangée, Écriture Impossible...");
  setCaption("Dernière demande de SCANN en Échec...");
  v.DemandeArret.clear();
  MyButton6->setEnabled(false);
  SpentArrays spent;
  Label2->setCaption("Faites votre Choix");
  MyButton10->setCaption(scanResultCaption(v.SourceActuelle));
  MyButton10->setToolTipText("(" + v.SourceActuelle + ")");
  Label1->setCaption(MyButton10->Caption());
  Check11->setToolTipText("Scanner au Démarrage dans (" + v.SourceActuelle + ")");
  ListView2->Clear();
  ListView2->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{Check2, Check3, Command4, Command5, Command8, Command11}) w->hide();
  v.ScanEnCours.clear();
  spent.free();

  const QString failed =
      "La Nouvelle Base de Données n'a pas pu être Enregistrée dans (" + databaseFolder() + ")\n" + reason + "\n";
  if (databasePending_)
    services().dialogs->msgBox(this,
                               failed +
                                   "Votre Base de Données Précédente n'a pas pu être Remise en Place en Entier : "
                                   "Seules les Listes Affichées sont Disponibles pour l'Instant, elle sera Rétablie "
                                   "au Prochain Démarrage du Programme...",
                               vbCritical, "Base de Données à Rétablir...");
  else
    services().dialogs->msgBox(this,
                               failed +
                                   "Votre Base de Données Précédente est Conservée telle qu'elle était, Aucune "
                                   "Liste n'a été Modifiée...",
                               vbCritical, "Base de Données Conservée...");
}

void Main2::Command1_RightClick() {
  mnReScannerActuel->setCaption("Re-Scanner la Source Actuelle (" + vrnVars().SourceActuelle + ")");
  PopupMenu(mnMenu1, Command1->Left() - 1000, Command1->Top() - 1600);
}

// The source commands are refused before they change anything while a job
// runs (mayStart, jobguard.h), and when their folder cannot be scanned.
void Main2::mnReScannerActuel_Click() {
  if (!mayStart(Job::Scan)) return;
  VariablesVRN& v = vrnVars();
  if (refuseSourceFolder(v.SourceActuelle)) return;
  v.SourceAScanner = v.SourceActuelle;
  v.SourceActuelle = kNoSourceYet;
  Command1_Click();
}

void Main2::mnScannProfile_Click() {
  if (!mayStart(Job::Scan)) return;
  VariablesVRN& v = vrnVars();
  const QString profile = CheminDossierSpecial(40);
  if (refuseSourceFolder(profile)) return;
  v.SourceActuelle = kNoSourceYet;
  v.SourceAScanner = profile;
  Command1_Click();
  // A scan that wrote nothing keeps the options too.
  if (scanEnd_ != ScanEnd::Refused && scanEnd_ != ScanEnd::Failed) MyButton13_Click();
}

void Main2::mnChoixPerso_Click() {
  if (!mayStart(Job::Scan)) return;
  makeCompact();
  Command1_Click();
}

void Main2::mnDetailRepPerso_Click() {
  if (!mayStart(Job::Scan)) return;
  Combo7->setLeft(WindowState() == vbMaximized ? 0 : -2160);
  Combo7->show();
  Combo7->setFocus();
  Combo7->DropDown();
}

void Main2::Combo7_Click() {
  Combo7->hide();
  if (!mayStart(Job::Scan)) return;
  VariablesVRN& v = vrnVars();
  const QString folder = Combo7->Text();
  if (refuseSourceFolder(folder)) return;
  v.SourceActuelle = kNoSourceYet;
  v.SourceAScanner = folder;
  Command1_Click();
  if (scanEnd_ != ScanEnd::Refused && scanEnd_ != ScanEnd::Failed) MyButton13_Click();
}

// A press once nothing runs stores no request (requestStop) and, for the
// main stop button, does nothing at all.
void Main2::MyButton5_Click() { requestStop(kStopRequest); }

void Main2::MyButton6_Click() {
  VariablesVRN& v = vrnVars();
  if (!requestStop(kStopRequest)) return;
  Combo7->hide();
  // The source goes back to that of the stored database. Like every reader
  // of der.rep this one creates it empty when it is missing (no stored
  // source: ""); a der.rep that cannot be opened leaves the source as it is.
  if (const auto stored = readStoredSource(true)) v.SourceActuelle = *stored;
  MyButton10->setCaption(scanResultCaption(v.SourceActuelle));
  v.ScanEnCours.clear();
}

}  // namespace vrn
