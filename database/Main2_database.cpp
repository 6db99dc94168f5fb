// The database total shown in the header bar.
#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "mainwindow/Main2.h"
#include "support/VariablesVRN.h"

namespace vrn {

void Main2::CompterFichiersBase() {
  VariablesVRN& v = vrnVars();
  File1->Refresh();
  QStringList files;
  for (int i = 0; i < File1->ListCount(); ++i) files << File1->List(i);
  // Counting never creates a file: a list that vanished since the refresh adds 0.
  v.NombreFichiers = countDatabaseRecords(databaseFolder(), files);
  MyButton10->setCaption("Résultat du Scann (" + QString::number(v.NombreFichiers) + ") Fichiers\n(" +
                         v.SourceActuelle + ")");
}

}  // namespace vrn
