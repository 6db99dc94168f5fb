// Events of the main list and its menu: current file, sort, run, ticks.
#include "mainwindow/Main2.h"
#include "mainwindow/copyloop.h"
#include "mainwindow/listactions.h"
#include "support/IconeF.h"
#include "support/VariablesVRN.h"

namespace vrn {

void Main2::wireListEvents() {
  connect(ListView2, &ListView::Click, this, &Main2::ListView2_Click);
  connect(ListView2, &ListView::DblClick, this, &Main2::ListView2_DblClick);
  connect(ListView2, &ListView::ColumnClick, this, &Main2::ListView2_ColumnClick);
  connect(ListView2, &ListView::ItemCheck, this, &Main2::ListView2_ItemCheck);
  connect(ListView2, &ListView::ItemClick, this, &Main2::ListView2_ItemClick);
  connect(ListView2, &ListView::MouseDown, this, &Main2::ListView2_MouseDown);
  connect(mnExecuterFichier, &MenuItem::Click, this, &Main2::mnExecuterFichier_Click);
  connect(mnVoirFichier, &MenuItem::Click, this, &Main2::mnVoirFichier_Click);
  connect(mnCopierSelect, &MenuItem::Click, this, &Main2::mnCopierSelect_Click);
  connect(mnToutSelect, &MenuItem::Click, this, &Main2::mnToutSelect_Click);
  connect(mnToutDeselec, &MenuItem::Click, this, &Main2::mnToutDeselec_Click);
}

void Main2::ListView2_Click() {
  if (!takeCurrentFile(ListView2)) return;
  Image1->setPicture(IconeFichier(ListView2->SubItem(ListView2->SelectedIndex(), 1)));
}

void Main2::ListView2_ColumnClick(int colonne) { sortOnHeader(ListView2, Label3, colonne); }

void Main2::ListView2_DblClick() { runCurrentFile(this); }

void Main2::ListView2_ItemCheck(int ligne, bool cochee) { countUserTick(Label9, cochee); }

void Main2::ListView2_ItemClick(int ligne) {}

void Main2::ListView2_MouseDown(int bouton, int maj, int x, int y) {
  if (bouton != 2 || ListView2->Count() == 0) return;
  prepareFileMenu(mnExecuterFichier, mnVoirFichier, mnCopierSelect);
  PopupMenu(mnMenu3, x + 3500, y - 500);
}

void Main2::mnExecuterFichier_Click() { runCurrentFile(this); }

void Main2::mnVoirFichier_Click() { showCurrentFileFolder(); }

void Main2::mnCopierSelect_Click() {
  // One copy at a time: a second would share the loop state and the stop request.
  if (!mayStart(Job::Copy)) return;
  if (refuseEmptySelection(this)) return;
  vrnVars().ModeCopie = kYes;
  Command1_Click();
}

void Main2::mnToutSelect_Click() { tickAllRows(ListView2, true, Check15); }

void Main2::mnToutDeselec_Click() { tickAllRows(ListView2, false, Check15); }

}  // namespace vrn
