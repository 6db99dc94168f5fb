#include "mainwindow/listactions.h"

#include "database/dbfolder.h"
#include "database/extensiontables.h"
#include "platform/controls.h"
#include "platform/listview.h"
#include "platform/menu.h"
#include "platform/services.h"
#include "support/ModeFileInfoVRN.h"
#include "support/SonRessVRN.h"
#include "support/VariablesVRN.h"

namespace vrn {

QString extensionAfterLastDot(const QString& path) {
  // No "." at all leaves position 0, and the text after it is the whole path.
  return path.mid(path.lastIndexOf(u'.') + 1);
}

QString riskyFileWarningTitle() { return QStringLiteral("Précaution sur certain Fichier..."); }

QString riskyFileWarningText(const QString& path, const QString& extension) {
  return QStringLiteral("Vous Voulez Exécuter ce Fichier :\n\n(") + path + QStringLiteral(")\n\n") +
         QStringLiteral("Ce Type de Fichier (") + extension +
         QStringLiteral(
             ") fait parti des Fichiers Risquant de Causer des Désagréements ou de Déstabiliser votre "
             "Sytème...!\n") +
         QStringLiteral("Seul un Utilisateur Expérimenté peut demander à Exécuter ce Type de Fichier...\n\n") +
         QStringLiteral(
             "Si vous faites parti de ces personnes Expérimentées et que vous êtes sûr de ce que vous "
             "faites, Cliquez sur (Oui)...?\n") +
         QStringLiteral("ou si vous ne savez pas Cliquez sur (Non)...?");
}

double captionValue(const QString& caption) {
  qsizetype i = 0;
  while (i < caption.size() && (caption[i] == u' ' || caption[i] == u'\t')) ++i;
  const qsizetype start = i;
  if (i < caption.size() && (caption[i] == u'+' || caption[i] == u'-')) ++i;
  while (i < caption.size() && caption[i].isDigit() && caption[i].unicode() < 128) ++i;
  if (i < caption.size() && caption[i] == u'.') {
    ++i;
    while (i < caption.size() && caption[i].isDigit() && caption[i].unicode() < 128) ++i;
  }
  bool ok = false;
  const double v = caption.mid(start, i - start).toDouble(&ok);
  return ok ? v : 0.0;
}

bool takeCurrentFile(ListView* list) {
  if (list->Count() == 0) return false;
  const int row = list->SelectedIndex();
  if (row == 0) return false;
  vrnVars().CheminFichier = trimBlanks(list->SubItem(row, 1));
  return true;
}

void sortOnHeader(ListView* list, Label* directionFlag, int header) {
  if (list->Count() == 0 || header < 1) return;
  // The name column sorts on its lower-case twin so that case plays no part.
  const int key = header == 1 ? 7 : header - 1;
  int order = list->SortOrder();
  bool sortNow = true;
  const double direction = captionValue(directionFlag->Caption());
  if (direction == 0) {
    order = 0;
    directionFlag->setCaption(kDescendingNext);
    // The sorted mode is left as it is: the list is normally sorted already.
    sortNow = list->Sorted();
  } else if (direction == 1) {
    order = 1;
    directionFlag->setCaption(kAscendingNext);
  }
  // Key and order change together so a sorted list is sorted once.
  if (list->Sorted()) list->setSorted(false);
  list->setSortKey(key);
  list->setSortOrder(order);
  if (sortNow) list->setSorted(true);
}

void runCurrentFile(QWidget* owner) {
  VariablesVRN& v = vrnVars();
  if (!FichierExiste(v.CheminFichier)) return;
  v.Position = v.CheminFichier.lastIndexOf(u'.') + 1;
  v.ExtensionCourante = extensionAfterLastDot(v.CheminFichier);
  if (tableContains(v.TabExtensionsRisquees, v.ExtensionCourante)) {
    v.Reponse = services().dialogs->msgBox(owner, riskyFileWarningText(v.CheminFichier, v.ExtensionCourante),
                                           vbExclamation + vbYesNo, riskyFileWarningTitle());
    if (v.Reponse != vbYes) return;
  }
  services().shell->openPath(v.CheminFichier);
}

void showCurrentFileFolder() {
  VariablesVRN& v = vrnVars();
  const QString file = v.CheminFichier;
  v.Position = v.CheminFichier.lastIndexOf(u'/') + 1;
  v.CheminFichier = v.CheminFichier.left(v.Position);
  // The file manager selects the file where it can; once the current file is
  // the folder itself there is nothing left to select.
  if (FichierExiste(v.CheminFichier))
    services().shell->showInFolder(v.CheminFichier, file == v.CheminFichier ? QString() : file);
}

void countUserTick(Label* counter, bool ticked) {
  VariablesVRN& v = vrnVars();
  v.NombreSelection += ticked ? 1 : -1;
  counter->setCaption(QString::number(v.NombreSelection));
}

void tickAllRows(ListView* list, bool ticked, CheckBox* soundOption) {
  VariablesVRN& v = vrnVars();
  v.NombreSelection = 0;
  const int rows = list->Count();
  for (int row = 1; row <= rows; ++row) {
    list->setChecked(row, ticked);
    if (ticked) ++v.NombreSelection;
  }
  if (soundOption->Value() == 1) JouerSon();
}

void setCopyItemFromCount(MenuItem* copyItem) {
  const qint64 count = vrnVars().NombreSelection;
  if (count > 0) {
    copyItem->setCaption(QStringLiteral("Copier ma Sélection de (%1) Fichier(s)").arg(count));
    copyItem->setEnabled(true);
  } else {
    copyItem->setCaption(QStringLiteral("Copier ma Sélection"));
    copyItem->setEnabled(false);
  }
}

void prepareFileMenu(MenuItem* runItem, MenuItem* showItem, MenuItem* copyItem) {
  const bool current = !vrnVars().CheminFichier.isEmpty();
  runItem->setEnabled(current);
  showItem->setEnabled(current);
  copyItem->setEnabled(current);
  setCopyItemFromCount(copyItem);  // the count decides the copy item
}

bool refuseEmptySelection(QWidget* owner) {
  if (vrnVars().NombreSelection != 0) return false;
  services().dialogs->msgBox(owner, QStringLiteral("Vous n' avez rien Sélectionné...!"), vbInformation,
                             QStringLiteral("Aucune Sélection..."));
  return true;
}

}  // namespace vrn
