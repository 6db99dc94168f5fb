// The scan walk and the database writer, as window procedures.
#include "mainwindow/Main2.h"

namespace vrn {

void Main2::ScannerDossier(const QString& dossier, const QString& motif) {}
void Main2::CreerBaseDonnees() {}
void Main2::Command3_Click() {}

}  // namespace vrn
