// The database total shown in the header bar.
#include "database/dbfolder.h"
#include "mainwindow/Main2.h"
#include "platform/recordfile.h"
#include "support/VariablesVRN.h"

namespace vrn {

void Main2::CompterFichiersBase() {
  VariablesVRN& v = vrnVars();
  v.NombreFichiers = 0;
  File1->Refresh();
  RecordFile& list = Canal(kCanalListe);
  for (v.IndiceBoucle = 0; v.IndiceBoucle < File1->ListCount(); ++v.IndiceBoucle) {
    list.close();
    // Counting never creates a file: a list that vanished since the refresh adds 0.
    list.open(fichierBase(File1->List(int(v.IndiceBoucle))), kRecFichier, false);
    v.NumEnregistrement = list.recordCount();
    v.NombreFichiers += v.NumEnregistrement;
  }
  list.close();
  MyButton10->setCaption("Résultat du Scann (" + QString::number(v.NombreFichiers) + ") Fichiers\n(" +
                         v.SourceActuelle + ")");
}

}  // namespace vrn
