// Events of the main list and its menu: current file, sort, run, ticks.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::wireListEvents() {}
void Main2::ListView2_Click() {}
void Main2::ListView2_ColumnClick(int colonne) {}
void Main2::ListView2_DblClick() {}
void Main2::ListView2_ItemCheck(int ligne, bool cochee) {}
void Main2::ListView2_ItemClick(int ligne) {}
void Main2::ListView2_MouseDown(int bouton, int maj, int x, int y) {}
void Main2::mnExecuterFichier_Click() {}
void Main2::mnVoirFichier_Click() {}
void Main2::mnCopierSelect_Click() {}
void Main2::mnToutSelect_Click() {}
void Main2::mnToutDeselec_Click() {}

}  // namespace vrn
