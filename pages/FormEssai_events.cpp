// The list page's list events, file actions and copy of its ticked files.
// The rules are the main list's; only the page's own controls differ.
#include <sys/stat.h>

#include "mainwindow/Main2.h"
#include "mainwindow/copyloop.h"
#include "mainwindow/listactions.h"
#include "pages/FormEssai.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "support/IconeF.h"
#include "support/Module.h"
#include "support/SaveDeleteReg.h"
#include "support/SonRessVRN.h"
#include "support/VariablesVRN.h"
#include "support/jobguard.h"

namespace vrn {

namespace {

bool soundOn(const QPointer<Main2>& main) { return main && main->Check15->Value() == 1; }

}  // namespace

void FormEssai::ListView2_Click() {
  if (!takeCurrentFile(ListView2)) return;
  Image1->setPicture(IconeFichier(ListView2->SubItem(ListView2->SelectedIndex(), 1)));
}

void FormEssai::ListView2_ColumnClick(int colonne) { sortOnHeader(ListView2, Label3, colonne); }

void FormEssai::ListView2_DblClick() { runCurrentFile(this); }

void FormEssai::ListView2_ItemCheck(int ligne, bool cochee) { countUserTick(Label9, cochee); }

void FormEssai::ListView2_MouseDown(int bouton, int maj, int x, int y) {
  if (bouton != 2 || ListView2->Count() == 0) return;
  prepareFileMenu(mnExecuterFichier, mnVoirFichier, mnCopierSelect);
  PopupMenu(mnMenu, x + 3500, y - 500);
}

void FormEssai::mnExecuterFichier_Click() { runCurrentFile(this); }

void FormEssai::mnVoirFichier_Click() { showCurrentFileFolder(); }

void FormEssai::mnToutSelect_Click() {
  if (!main_) return;
  tickAllRows(ListView2, true, main_->Check15);
  setCopyItemFromCount(mnCopierSelect);
}

void FormEssai::mnToutDeselec_Click() {
  if (!main_) return;
  tickAllRows(ListView2, false, main_->Check15);
  setCopyItemFromCount(mnCopierSelect);
}

void FormEssai::MyButton6_Click() { requestStop(kPageStopRequest); }

void FormEssai::mnCopierSelect_Click() {
  // One copy at a time: a second would share the loop state and the stop request.
  if (!mayStart(Job::Copy)) return;
  if (refuseEmptySelection(this)) return;
  VariablesVRN& v = vrnVars();
  v.ModeCopie = kYes;

  const QString startFolder = services().registry->readValue(
      quint32(HKEY_CURRENT_USER),
      QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
      QStringLiteral("Personal"));
  const QString proposal = QStringLiteral("Sauvegarde (") + Caption() + QLatin1Char(')');
  const QString title = QStringLiteral("Destination de votre Sauvegarde de Données...");
  v.NomCopie = proposal;
  QString fileName = proposal;
  for (;;) {
    fileName = services().dialogs->saveFileName(this, title, startFolder, fileName);
    if (!fileName.isEmpty()) break;
    v.Reponse = services().dialogs->msgBox(
        this,
        QStringLiteral("Vous devez (Donner un Nom) à Votre Sauvegarde...!\nJe vous Propose (") + proposal +
            QLatin1Char(')'),
        vbExclamation + vbYesNo, QStringLiteral("Sauvegarde sans Nom..."));
    if (v.Reponse != vbYes) {
      // Given up: no copy mode may be left for the scan command.
      v.ModeCopie.clear();
      return;
    }
    fileName = proposal;
  }

  // The name given is the backup folder, made when it does not exist yet; a
  // folder that cannot be made ends the copy with a box.
  v.DossierSauvegarde = fileName;
  if (!EstUnDossier(v.DossierSauvegarde)) ::mkdir(encodePath(v.DossierSauvegarde).constData(), 0777);
  CopierFichiersCoches();
}

void FormEssai::CopierFichiersCoches() {
  if (!mayStart(Job::Copy)) return;
  // The page may be closed from another window while files are copied.
  QPointer<FormEssai> self(this);
  const QPointer<Main2> main = main_;
  MyButton6->show();
  MyButton6->setEnabled(true);
  setMousePointer(vbHourglass);

  CopyOptions options = pageCopyOptions(vrnVars().DossierSauvegarde, Caption());
  options.showProgress = [self](const QString& text) {
    if (self) self->MyButton6->setCaption(text);
  };
  const CopyOutcome outcome = copyTickedFiles(ListViewCopyRows(ListView2), options);

  if (outcome.end != CopyEnd::NoDestination && soundOn(main)) JouerSon();
  if (!self) return;
  setMousePointer(vbDefault);
  MyButton6->setEnabled(false);  // it stays in view with its last caption
  if (outcome.end == CopyEnd::NoDestination) showNoDestinationBox(this, options.destination);
}

}  // namespace vrn
