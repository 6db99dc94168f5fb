// The scan walk and the database writer, as window procedures over the
// widget-free engine (walk.h, dbwriter.h).
#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "database/walk.h"
#include "mainwindow/Main2.h"
#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "support/Attendre.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {
// Events are let through at least this often during the walk and the write
// (and run as they come while either waits for its helper threads), which
// keeps every gap under 10 ms.
constexpr int kEventSliceMs = 5;
}  // namespace

QString Main2::scanResultCaption(const QString& source) {
  return "Résultat du Scann (" + QString::number(vrnVars().NombreFichiers) + ") Fichiers\n(" + source + ")";
}

void Main2::showScanStopResult() {
  const QString& source = vrnVars().SourceAScanner;
  MyButton10->setCaption(scanResultCaption(source));
  Check11->setToolTipText("Scanner au Démarrage dans (" + source + ")");
}

// The pattern is always "*.*": the walk lists every entry that is not a folder.
void Main2::ScannerDossier(const QString& dossier, const QString& /*motif*/) {
  VariablesVRN& v = vrnVars();
  lblAffich->setForeColor(0x800000);
  lblAffich->setTransparent(true);

  // The first file lets events through at once, as each file once did;
  // after that at the slice's pace, with the count shown first. A file costs
  // less than reading the clock: it is read every few files.
  EventPump pump({.sliceMs = kEventSliceMs, .firstOfferTurns = true, .offersPerClockRead = 64});
  pump.setBeforeTurn([this] { lblnbr->setCaption(QString::number(NbFichiersTrouves)); });
  WalkHooks hooks;
  hooks.stopRequested = [&v] { return v.DemandeArret == kStopRequest; };
  hooks.events = &pump;
  // NbFichiersTrouves is the walk's own counter, so it is exact at every turn.
  const WalkResult result = walkFolder(encodePath(dossier), {v.TabExtensions, v.TabChemins, NbFichiersTrouves}, hooks);
  lblnbr->setCaption(QString::number(NbFichiersTrouves));
  if (result == WalkResult::Stopped) showScanStopResult();
}

void Main2::refillListControls() {
  VariablesVRN& v = vrnVars();
  File1->setPath(databaseFolder());
  File1->Refresh();
  Combo1->Clear();
  LstSources->Clear();
  QStringList files;
  for (int i = 0; i < File1->ListCount(); ++i) files << File1->List(i);
  for (const QString& name : listNames(files)) {
    v.ExtensionCourante = name;
    Combo1->AddItem(name);
    LstSources->AddItem(name);
  }
  Combo1->setToolTipText("(" + QString::number(Combo1->ListCount()) + ") extensions...");
  for (int i = 0; i < LstSources->ListCount(); ++i) LstSources->setSelected(i, true);
}

bool Main2::CreerBaseDonnees() {
  VariablesVRN& v = vrnVars();
  const WaitHook wait = [](double seconds) { Attendre(seconds); };
  EventPump pump(kEventSliceMs);

  // 1.-4. The source in der.rep and one list per extension, in place of the
  // old lists only once all of it is written.
  const WriteResult written =
      writeListFiles(databaseFolder(), v.SourceActuelle, v.TabExtensions, v.TabChemins, NbFichiersTrouves, wait, &pump);
  writeError_ = written.error;
  databasePending_ = !written.settled;
  if (!written.written) return false;
  rememberWrittenSource();

  // 5.-8. The catalogue back into the list controls: what the database
  // folder holds, all of the new database or, when some of it could not be
  // put in place yet, what is there.
  refillListControls();

  // 9.-11. The files not retained go, then the totals and captions.
  deleteBareList(databaseFolder(), wait);
  CompterFichiersBase();
  ChargerListesPreferees();
  MyButton10->setCaption(scanResultCaption(v.SourceActuelle));
  Check11->setToolTipText("Scanner au Démarrage dans (" + v.SourceActuelle + ")");
  return true;
}

// The hidden button's click: writes the database from the arrays as they are.
void Main2::Command3_Click() { CreerBaseDonnees(); }

}  // namespace vrn
