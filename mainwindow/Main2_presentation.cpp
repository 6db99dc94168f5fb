// List presentation: column widths, stripes, view modes.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::LV_ResizeColumns(ListView* liste) {}
void Main2::ColorerLignesListView(ListView* liste, quint32 couleur1, quint32 couleur2) {}
void Main2::Command4_Click() {}
void Main2::Command5_Click() {}
void Main2::Combo2_Click() {}
void Main2::Combo3_Click() {}
void Main2::mnChoisirTypeFichier_Click() {}

}  // namespace vrn
