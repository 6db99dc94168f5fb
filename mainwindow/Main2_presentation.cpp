// List presentation: column widths, stripes, view modes, and the menu command
// that drops down the list of lists.
#include "mainwindow/Main2.h"
#include "mainwindow/listviewtools.h"

namespace vrn {

void Main2::LV_ResizeColumns(ListView* liste) { fitListColumns(liste); }

void Main2::ColorerLignesListView(ListView* liste, quint32 couleur1, quint32 couleur2) {
  stripeListRows(liste, couleur1, couleur2);
}

void Main2::Command4_Click() { toggleColumnFit(ListView2, Command4); }

void Main2::Command5_Click() { toggleStripes(ListView2, Label6); }

void Main2::Combo2_Click() { applyViewChoice(ListView2, Combo2); }

void Main2::Combo3_Click() { applyViewChoice(ListView2, Combo3); }

void Main2::mnChoisirTypeFichier_Click() {
  Combo1->show();
  MyFrame7->show();
  Combo1->setFocus();
  Combo1->DropDown();
}

}  // namespace vrn
