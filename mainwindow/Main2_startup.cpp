// Start-up: single instance, window size and texts, the database folder and
// its catalogue, the last source and the missing-source warnings.
#include <sys/stat.h>
#include <unistd.h>

#include "database/dbfolder.h"
#include "database/dbwriter.h"
#include "database/sourcemount.h"
#include "mainwindow/Main2.h"
#include "mainwindow/copyloop.h"
#include "platform/instancelock.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/services.h"
#include "support/VariablesVRN.h"
#include "support/sourceroot.h"

namespace vrn {

namespace {

QString helpText() {
  QString t =
      "Par défaut le programme Sélectionnera les Extensions de Fichiers les plus couramment utilisés..."
      "tel que les Images, les Sons, et Divers Fichiers de Travails comme Texte, Word, Excel etc...\n\n";
  t += "Mais si vous aviez besoin de Rechercher ou d'Afficher d'autres Extensions de Fichiers, il vous suffira de "
       "les Sélectonner en Cochant les Cases Correspondantes dans la Liste des Fichiers Disponibles à votre Gauche "
       "(Liste en Bleu).\n\n";
  t += "Cette Liste correspond au Résultat du SCANN du Répertoire de votre Choix.\nAinsi vous Disposerez de "
       "l'ensemble de Tous les Fichiers se Trouvant dans ce même Répertoire...\n\n";
  t += "Ce Répertoire peut tout aussi bien être le Lecteur Actif en le Sélectionnant par exemple-> (c:) etc..., ou "
       "tout autre Source à Annalyser...\n\n";
  t += "Ainsi vous Disposerez des Listes de Tous vos Fichiers Classés par Type d' extensions, présents dans ce "
       "Lecteur ou Répertoire...\n\n";
  t += "Lors de l'Affichage des Listes, le programme en Affichera que (24) pour éviter de surcharger l'écran comme "
       "le Gestionnaire des Tâches...";
  t += "Mais vous pouvez Trés bien Sélectionner les Cases à Cocher dans les Paramètres, afin de Changer le Type de "
       "Fichiers que vous souhaitez Disposer.\n\n";
  t += "\n\n";
  t += "\n\n";
  return t;
}

}  // namespace

void Main2::endProgram(int code) {
  ended_ = true;
  // A copy cut short by the quit leaves no temporary file behind.
  discardCopyInProgress();
  if (exitHook()) {
    exitHook()(code);
    return;
  }
  ::_exit(code);
}

bool Main2::start() {
  Form_Initialize();
  Load();
  if (ended_) return false;
  Show();
  return true;
}

void Main2::Form_Initialize() {
  // Close is the only command taken away: the way out is the quit command.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::CustomizeWindowHint);
}

void Main2::Form_Load() {
  VariablesVRN& v = vrnVars();

  // The database lives beside the executable: without a known folder it
  // would land somewhere else, so the program stops.
  if (appFolder().isEmpty()) {
    services().dialogs->msgBox(this,
                               "Le Programme (Varnelo) ne Trouve pas le Dossier où il est Installé, il ne peut donc "
                               "pas y Ranger sa Base de Donnée (BDVRN).\n"
                               "Relancez le Programme depuis son Dossier d'Installation....",
                               vbCritical, "Dossier du Programme Introuvable...");
    endProgram(1);
    return;
  }

  // 1. Single instance, before anything else: one program per database, so
  // the lock lives in the database folder (made here when missing).
  switch (lockDatabase()) {
    case DatabaseLock::Taken:
      break;
    case DatabaseLock::HeldByAnother:
      services().dialogs->msgBox(this,
                                 "Le Programme (Varnelo) est Déjà Démarré, il ne peut être en Double.\n"
                                 "Si vous rencontrez un Problème et que vous n'arrivez plus à le Relancer, Alors "
                                 "Redémarrez votre Ordinateur....",
                                 vbExclamation, "Programme en double Détecté...");
      endProgram(0);
      return;
    case DatabaseLock::CannotCreate:
      // Not a second program: say what is wrong, then go on as start-up does
      // with a database folder it cannot use.
      services().dialogs->msgBox(this,
                                 "Le Programme (Varnelo) ne peut pas Poser son Verrou dans le Dossier de sa Base de "
                                 "Donnée:\n(" +
                                     databaseFolder() +
                                     ")\nUn autre Programme pourrait donc Utiliser la même Base de Donnée en même "
                                     "Temps...\nVérifiez que ce Dossier existe et que vous avez le Droit d'y "
                                     "Écrire....",
                                 vbExclamation, "Verrou Impossible à Poser...");
      break;
  }

  // 3.-4. No Close command (Form_Initialize); a caption replaced below.
  setCaption("Pour fermer la feuille, cliquez dessus");

  // 5. Layout and texts.
  MyButton27->setEnabled(false);
  setWidth(kCompactWidth);
  setHeight(kCompactHeight);
  centreOnScreen();
  Label1->setCaption("Faites votre Choix");
  MyButton10->setCaption(Label1->Caption());
  MyButton4->setToolTipText(
      "Cliquez ICI pour Enregistrer:\n- vos Préférences d'Extensions à Afficher\n- ainsi que vos Paramètres "
      "d'Affichage...\net vos Paramètres de Démarrage...");
  Label7->setCaption(
      "    Si vous Voulez Réduire le Nombre d'extensions à Afficher...Décochez celles que vous n'avez pas besoin "
      "d'Utiliser pour l'instant...");
  Text1->setText(helpText());
  MyFrame3->setCaption("Saisir ICI votre Critère de Recherche\ndans Tous les Répertoires et Tous les Fichiers");
  MyFrame1->setLeft(120);
  MyFrame1->setTop(840);
  lblnbr->setCaption("0");
  timer3->setEnabled(false);
  timer3->setInterval(10);

  // 6. Database folder (made with the lock) and list catalogue.
  // A database write cut short by a kill is finished or undone before
  // anything reads the lists.
  recoverDatabase(databaseFolder());
  deleteBareList(databaseFolder(), {});
  File1->setPath(databaseFolder());
  for (int i = 0; i < File1->ListCount(); ++i) {
    v.ExtensionCourante = File1->List(i).chopped(4);
    if (!v.ExtensionCourante.isEmpty()) {
      Combo1->AddItem(v.ExtensionCourante);
      LstSources->AddItem(v.ExtensionCourante);
    }
  }
  for (int i = 0; i < LstSources->ListCount(); ++i) LstSources->setSelected(i, true);
  Combo1->setToolTipText("(" + QString::number(Combo1->ListCount()) + ") extensions...");
  if (Combo1->ListCount() > 0) {
    Combo1->show();
    MyFrame7->show();
  }

  // 7. Last source.
  v.SourceActuelle = readStoredSource(true).value_or(QString());
  // An empty record (never written, or only blanks) means no source yet: a
  // first character of code 0, or a failing test on an empty text.
  if (v.SourceActuelle.isEmpty()) v.SourceActuelle = kNoSourceYet;
  v.SourceAScanner = v.SourceActuelle;
  CompterFichiersBase();
  const QString source = trimBlanks(v.SourceActuelle);
  MyButton10->setCaption("Résultat du Scann (" + QString::number(v.NombreFichiers) + ") Fichiers\n(" + source + ")");
  MyButton10->setToolTipText("(" + source + ")");
  if (!source.isEmpty() && v.SourceActuelle != kNoSourceYet)
    setCaption("Faire la Liste Complète de Varnelo dans (" + source + ")");
  else setCaption("Faire la Liste Complète de Varnelo dans le Répertoire de mon Choix...");

  // 8. Missing-source warnings: both tests are made.
  if (!driveRootExists(source) && v.SourceActuelle != kNoSourceYet) showMissingDriveBox(source);
  if (sourceFolderMissing(source) && v.SourceActuelle != kNoSourceYet) showMissingFolderBox(source);

  // 9. Column widths.
  for (int i = 1; i <= ListView2->ColumnCount() && i < int(v.LargeursColonnes.size()); ++i)
    v.LargeursColonnes[size_t(i)] = ListView2->ColumnWidth(i);
  v.AutoSizeActif = 0;

  // 10. The second half.
  continueStartUp();
}

Main2::DatabaseLock Main2::lockDatabase() {
  const QByteArray base = encodePath(databaseFolder());
  struct stat st;
  if (::lstat(base.constData(), &st) != 0) ::mkdir(base.constData(), 0755);
  // A name that no catalogue, delete pattern or stored-file reader picks up.
  instanceLock_ = std::make_unique<InstanceLock>();
  switch (instanceLock_->take(base + "/.varnelo.lock")) {
    case InstanceLock::Result::Taken:
      return DatabaseLock::Taken;
    case InstanceLock::Result::HeldByAnother:
      instanceLock_.reset();
      return DatabaseLock::HeldByAnother;
    case InstanceLock::Result::CannotCreate:
      break;
  }
  instanceLock_.reset();
  return DatabaseLock::CannotCreate;
}

void Main2::showMissingDriveBox(const QString& source) {
  services().dialogs->msgBox(
      this,
      "Le Disque ou Lecteur Contenant le Répertoire ci-dessous ayant servi pour la Base de Donnée Actuelle de Tous "
      "Vos Fichiers, n'éxiste plus ou a été Déplacé...!\nRacine ou Lecteur de ce Répertoire (Manquant) ou "
      "(Déconnecté): (" +
          driveRootText(source) +
          ")\nVeuillez Corriger ce problème afin que vous puissiez Utiliser ce programme, car pour l'instant les "
          "Données sont Introuvables...",
      vbOKOnly, QString());
}

void Main2::showMissingFolderBox(const QString& source) {
  services().dialogs->msgBox(
      this,
      "Le Répertoire ci-dessous ayant servi pour la Base de Donnée Actuelle de Tous Vos Fichiers, n'éxiste plus ou "
      "a été Déplacé...!\nNom du Répertoire (Manquant) ou (Déconnecté):\n(" +
          source +
          ")\nVeuillez Corriger ce problème afin que vous puissiez Utiliser ce programme, car pour l'instant les "
          "Données sont Introuvables...",
      vbOKOnly, QString());
}

}  // namespace vrn
