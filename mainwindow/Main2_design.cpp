// The main window's controls, as the window designer lays them out: names,
// kinds, containers, twips positions, captions, tooltips and initial states.
#include <QApplication>
#include <QFont>
#include "platform/instancelock.h"

#include "mainwindow/Main2.h"
#include "mainwindow/designtools.h"
#include "mainwindow/listactions.h"
#include "mainwindow/listviewtools.h"
#include "resources/resources_init.h"

namespace vrn {

namespace {

using namespace design;

CheckBox* check(QWidget* parent, const char* name, int l, int t, int w, int h, int value,
                const QString& tip = QString()) {
  auto* c = make<CheckBox>(parent, name, l, t, w, h);
  {
    // Design-time state: no Click.
    const QSignalBlocker block(c);
    c->setValue(value);
  }
  if (!tip.isEmpty()) c->setToolTipText(tip);
  return c;
}

PictureBox* pictureBox(QWidget* parent, const char* name, int l, int t, int w, int h, const QIcon& icon) {
  auto* p = make<PictureBox>(parent, name, l, t, w, h);
  p->setPicture(icon);
  return p;
}

}  // namespace

std::function<void(int)>& Main2::exitHook() {
  static std::function<void(int)> hook;
  return hook;
}

Main2::Main2(QWidget* parent) : Form("Main2", parent) {
  initResources();
  setWindowIcon(picture("varnelo"));
  setBackColor(kPaleBlue);
  // Order matters: later controls lie above earlier ones.
  buildLeftColumn();
  buildResultPanel();
  buildSearchPanel();
  buildPreferencesPanel();
  buildHiddenControls();
  buildMenus();
  wireShell();
  wireScan();
  wireLists();
  wireListEvents();
  wireOptions();
  wireSearch();
  wirePages();
  wireLinks();
}

Main2::~Main2() = default;

void Main2::buildLeftColumn() {
  Shape1 = make<Shape>(this, "Shape1", 120, 840, 4695, 615);
  Shape1->setColors(0xFFF8EE, kBlue, true);
  Label1 = label(this, "Label1", 240, 870, 4455, 555, "Faites votre Choix");
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->setForeColor(kBlue);

  lblAffich = label(this, "lblAffich", 360, 1560, 4215, 555, "Faites votre choix");
  lblAffich->setForeColor(0x800000);

  MyFrame7 = make<MyFrame>(this, "MyFrame7", 2520, 2400, 2175, 615, "Liste Extensions");
  MyFrame7->hide();
  Combo1 = make<ComboBox>(this, "Combo1", 2640, 2640, 1935, 315);
  Combo1->hide();
  Label19 = label(this, "Label19", 240, 2640, 2145, 315, " ");

  Shape2 = make<Shape>(this, "Shape2", 1560, 2340, 1815, 405);
  Shape2->setColors(kWhite, kBlue, true);
  Shape2->hide();
  lblnbr = label(this, "lblnbr", 1680, 2400, 1575, 285, "");
  lblnbr->setAlignment(Qt::AlignCenter);
  lblnbr->hide();
  label4 = pictureBox(this, "label4", 240, 4200, 495, 255, picture("walker"));
  label4->hide();

  Command1 = button(this, "Command1", 240, 3000, 2175, 975, "Choix Lecteur ou Répertoire à SCANNER", QString(),
                    QString(), kGreen);
  Command1->setPicture(picture("search"));
  MyButton2 = button(this, "MyButton2", 2520, 3000, 2175, 975, "Choix Types de Fichiers Recherchés");
  MyButton2->setPicture(picture("list"));
  Command2 = button(this, "Command2", 240, 4680, 2175, 615, "Quitter ou Réduire",
                    "Cliquez ICI pour Arrêter ou Réduire le logiciel...", "Quitter:", kDarkBlue);
  MyButton6 =
      button(this, "MyButton6", 2520, 4680, 2175, 615, "Arrêter l'Opération en Cours", QString(), QString(), kRed);
  MyButton6->setEnabled(false);
  MyButton9 = button(this, "MyButton9", 240, 5520, 2175, 1095, "Choix pour l'Affichage de mes Listes",
                     "Cliquez ICI pour Choisir le Type d'Affichage de vos Listes Préférées...", "Affichage:", kTeal);
  MyButton7 = button(this, "MyButton7", 2520, 5520, 2175, 1095, "Réglage de Certains Paramètres d'Affichage",
                     "Cliquez ICI pour Modifier les Paramètres d'Affichage des Données...", "Réglages:", kTeal);
  MyButton3 = button(this, "MyButton3", 240, 6720, 4455, 315, "Voir ma Sélection de Fichiers");
  MyButton3->hide();

  MyButton10 =
      button(this, "MyButton10", 0, 0, 13620, 735, "", "Voici votre Résultat de Scann...", "Résultat:", kDarkBlue);
  // The header bar shows the result: Tab passes it by.
  MyButton10->setFocusPolicy(Qt::NoFocus);
}

void Main2::buildResultPanel() {
  MyFrame6 = make<MyFrame>(this, "MyFrame6", 5040, 840, 9015, 6015);
  Image1 = pictureBox(MyFrame6, "Image1", 240, 240, 480, 480, QIcon());
  Label2 = label(MyFrame6, "Label2", 840, 300, 7935, 375, "Faites votre choix");
  QFont title = Label2->font();
  title.setPointSizeF(12);
  title.setItalic(true);
  title.setBold(true);
  Label2->setFont(title);
  Label2->setForeColor(0x800000);
  Image5 = pictureBox(MyFrame6, "Image5", 2280, 1080, 3840, 3840, picture("decor"));
  Check2 = check(MyFrame6, "Check2", 240, 4200, 200, 200, 0);
  Check2->hide();
  Check3 = check(MyFrame6, "Check3", 480, 4200, 200, 200, 0);
  Check3->hide();
  Label11 = label(MyFrame6, "Label11", 720, 4200, 3000, 255, "Afficher les Détails");
  Label11->hide();

  ImageList1 = new ImageList(this, "ImageList1");
  ListView2 = make<ListView>(this, "ListView2", 5040, 1680, 8775, 3255);
  ListView2->AddColumn("Nom des Fichiers Disponibles", 4000);
  ListView2->AddColumn("Adresse des Fichiers", 1440);
  ListView2->AddColumn("Taille Octets", 1440);
  ListView2->AddColumn("Date Accès", 1440);
  ListView2->AddColumn("Date Création", 1440);
  ListView2->AddColumn("Date Modification", 1400);
  ListView2->AddColumn("Attribut", 1000);
  ListView2->AddColumn("", 0);
  ListView2->AddColumn("", 0);
  ListView2->setView(ListView::lvwReport);
  ListView2->hide();

  Command4 = button(this, "Command4", 5040, 5160, 1215, 255, "AutoSize/Oui", QString(), QString(), kTeal);
  Command5 = button(this, "Command5", 5640, 5520, 1215, 255, "Lignes Couleur", QString(), QString(), kTeal);
  Command8 = button(this, "Command8", 6360, 5160, 3495, 255, "Ajouter ou Afficher dans la Barre des Tâches",
                    "Ajouter ou Afficher cette Page dans la Barre des Tâches...", "Barre des Tâches:", kTeal);
  Command11 = button(this, "Command11", 9960, 5160, 2175, 255, "Ajouter ou Afficher sur l'écran",
                     "Ajouter ou Afficher cette Page sur l'écran...", "Ecran:", kTeal);
  MyButton5 = button(this, "MyButton5", 12240, 5160, 1575, 255, "Arrêter", QString(), QString(), kRed);
  for (MyButton* b : {Command4, Command5, Command8, Command11, MyButton5}) b->hide();
}

void Main2::buildSearchPanel() {
  MyFrame3 = make<MyFrame>(this, "MyFrame3", 5160, 240, 4695, 6015, "Saisir ICI votre Critère de Recherche");
  MyFrame3->hide();
  Label28 = label(MyFrame3, "Label28", 120, 600, 4455, 255, "");
  Label28->setAlignment(Qt::AlignCenter);
  Text2 = make<TextBox>(MyFrame3, "Text2", 960, 840, 2775, 330);
  Text2->setToolTipText("Saisir ICI un Mot ou une Fraction de Mot...à Rechercher...");
  Text2->editor()->setStyleSheet(
      QStringLiteral("background: %1; color: %2;").arg(cssColor(kPaleYellow), cssColor(kNavy)));
  Image7 = pictureBox(MyFrame3, "Image7", 3840, 840, 360, 360, picture("search"));
  Label35 = label(MyFrame3, "Label35", 120, 885, 735, 255, "0%");
  Label35->setAlignment(Qt::AlignCenter);
  Label35->setFrameStyle(QFrame::Box | QFrame::Plain);
  etat0 = make<PictureBox>(MyFrame3, "etat(0)", 960, 1200, 8775, 75);
  etat0->setStyleSheet("background: " + cssColor(kBarBlue) + ";");
  etat0->hide();
  Shape4 = make<Shape>(MyFrame3, "Shape4", 240, 1320, 4215, 255);
  Shape4->setColors(0x00C00000, 0x00C00000, true);
  Shape4->hide();
  Picture3 = pictureBox(MyFrame3, "Picture3", 3960, 1320, 495, 255, picture("walker"));
  Picture3->hide();
  Label32 = label(MyFrame3, "Label32", 1005, 1680, 2640, 345, "Recherche en Attente...");
  Label32->setAlignment(Qt::AlignCenter);
  Label32->setFrameStyle(QFrame::Box | QFrame::Plain);
  QFont italic = Label32->font();
  italic.setItalic(true);
  Label32->setFont(italic);
  Label32->hide();

  MyFrame9 = make<MyFrame>(MyFrame3, "MyFrame9", 240, 2520, 4215, 615);
  Image13 = pictureBox(MyFrame9, "Image13", 60, 120, 360, 360, picture("list"));
  Label34 = label(MyFrame9, "Label34", 480, 0, 3375, 285, "Rechercher dans un Type de Fichier");
  Combo10 = make<ComboBox>(MyFrame9, "Combo10", 480, 280, 3255, 315);
  Combo10->setToolTipText("Ceci est la Liste Totale des Extensions de Fichiers Disponibles selon la Source Scanner...");
  Check20 =
      check(MyFrame9, "Check20", 3840, 240, 200, 200, 1, "Rechercher Uniquement dans un Type d'Extension Précis...");

  MyFrame2 = make<MyFrame>(MyFrame3, "MyFrame2", 240, 3240, 4215, 615);
  pictureBox(MyFrame2, "Image8", 60, 120, 360, 360, picture("list"));
  Label30 = label(MyFrame2, "Label30", 600, 0, 3015, 645, "Rechercher Uniquement dans vos Listes Préférées");
  Label30->setAlignment(Qt::AlignCenter);
  Check17 =
      check(MyFrame3, "Check17", 4080, 3480, 200, 200, 0, "Rechercher Uniquement dans vos Listes Sélectionnées...");

  MyFrame4 = make<MyFrame>(MyFrame3, "MyFrame4", 240, 3960, 4215, 615);
  pictureBox(MyFrame4, "Image9", 60, 120, 360, 360, picture("list"));
  Label31 = label(MyFrame4, "Label31", 480, 0, 3225, 645, "Rechercher dans Toutes les Listes Disponibles");
  Label31->setAlignment(Qt::AlignCenter);
  Check18 = check(MyFrame3, "Check18", 4080, 4200, 200, 200, 0,
                  "Rechercher dans Toutes les Listes Conventionnelles Disponibles...");

  MyFrame8 = make<MyFrame>(MyFrame3, "MyFrame8", 240, 4680, 4215, 615);
  pictureBox(MyFrame8, "Image10", 60, 120, 360, 360, picture("list"));
  Label33 = label(MyFrame8, "Label33", 480, 0, 3315, 645, "Rechercher dans Toutes les Listes Disponibles pour Initié");
  Label33->setAlignment(Qt::AlignCenter);
  Check19 = check(MyFrame3, "Check19", 4080, 4920, 200, 200, 0,
                  "Rechercher dans Toutes les Listes Disponibles, même celles pour Initiés...");
  // The boxes belong to the panel but stand over their rows.
  for (CheckBox* c : {Check17, Check18, Check19}) c->raise();

  MyButton24 = button(MyFrame3, "MyButton24", 240, 5400, 1575, 495, "Quitter", "Cliquez pour Quitter la Recherche...",
                      "Quitter:", kDarkBlue);
  MyButton25 = button(MyFrame3, "MyButton25", 2160, 5400, 2295, 495, "Lancer la Recherche",
                      "Cliquez ICI pour Lancer la Recherche...", "Rechercher:", kGreen);
  MyButton26 = button(MyFrame3, "MyButton26", 2160, 5400, 2295, 495, "Arrêter l'Opération en Cours",
                      "Cliquez ICI pour Stopper l'Opération en Cours...", "Arrêter:", kRed);
  MyButton26->hide();
}

void Main2::buildPreferencesPanel() {
  MyFrame1 = make<MyFrame>(this, "MyFrame1", 11040, 840, 13815, 6015,
                           "Infos et Réglages de mes Paramètres et Affichages Persos");
  MyFrame1->hide();
  Shape3 = make<Shape>(MyFrame1, "Shape3", 2520, 600, 2535, 5280);
  Shape3->setColors(0xF6E9DC, 0xC08040, true);
  Shape5 = make<Shape>(MyFrame1, "Shape5", 5520, 4080, 7920, 1620);
  Shape5->setColors(0xF6E9DC, 0xC08040, true);
  Image3 = pictureBox(MyFrame1, "Image3", 0, 0, 360, 360, picture("varnelo"));
  MyFrame1->setCaptionIndent(toPixels(360));
  LstSources = make<CheckListBox>(MyFrame1, "LstSources", 240, 720, 2295, 4815);
  LstSources->setStyleSheet(
      QStringLiteral("QListWidget { background: %1; color: %2; }").arg(cssColor(kBlue), cssColor(kWhite)));
  Check1 = check(MyFrame1, "Check1", 240, 5640, 200, 200, 0, "Tout Sélectionner/Désélectionner...");
  Check1->setTristate(true);
  Label10 = label(MyFrame1, "Label10", 435, 5640, 2100, 255, "(0) extensions actuellement");
  // Its hint is written at start-up.
  Label7 = label(MyFrame1, "Label7", 2880, 1440, 2055, 1815, QString());
  MyButton8 = button(MyFrame1, "MyButton8", 2640, 720, 735, 735, "", "Cliquez ICI pour plus d'Infos et Réglages...",
                     "Infos:", kTeal);
  MyButton8->setPicture(picture("varnelo"));
  MyButton13 = button(MyFrame1, "MyButton13", 2640, 3720, 2295, 615, "Paramètres par Défaut",
                      "Si vous ne Savez pas, Cliquez ICI pour Utiliser les  Paramètres par Défaut du programme...",
                      "Par Défaut:", kTeal);
  // Its tooltip is written at start-up.
  MyButton4 = button(MyFrame1, "MyButton4", 2640, 4440, 2295, 615, "Enregistrer", QString(), "Enregistrer:", kGreen);
  MyButton1 = button(MyFrame1, "MyButton1", 2640, 5160, 2295, 615, "Annuler ou Retour",
                     "Cliquez pour Quitter vos Préférences...", "Retour:", kDarkBlue);

  // Hidden display options: they keep what the options file gives them.
  struct Row {
    CheckBox** box;
    const char* boxName;
    Label** label;
    const char* labelName;
    const char* caption;
    int value;
  };
  const Row hidden[] = {
      {&Check10, "Check10", &Label18, "Label18", "Affichage Liste (moins rapide)", 1},
      {&Check4, "Check4", &Label16, "Label16", "Afficher l'Emplacement du Fichier", 1},
      {&Check5, "Check5", &Label12, "Label12", "Afficher la Taille du Fichiers", 1},
      {&Check6, "Check6", &Label13, "Label13", "Afficher la Date de Création du Fichier", 1},
      {&Check7, "Check7", &Label15, "Label15", "Afficher la Date de Modification du Fichier", 1},
      {&Check8, "Check8", &Label17, "Label17", "Afficher la Date du dernier Accès au Fichier", 1},
      {&Check9, "Check9", &Label14, "Label14", "Afficher l' Attibut du Fichier du Fichier", 1},
  };
  int top = 1440;
  for (const Row& r : hidden) {
    *r.box = check(MyFrame1, r.boxName, 12000, top, 200, 200, r.value);
    *r.label = label(MyFrame1, r.labelName, 5640, top, 6255, 240, QString::fromUtf8(r.caption));
    (*r.box)->hide();
    (*r.label)->hide();
    top += 240;
  }
  struct Visible {
    CheckBox** box;
    const char* boxName;
    Label** label;
    const char* labelName;
    const char* caption;
    int value;
    const char* tip;
  };
  const Visible shown[] = {
      {&Check11, "Check11", &Label20, "Label20", "Lancer le Scann au Démarrage du Programme (Mise à Jour des Données)",
       1, "Vous pouvez Faire une Mise à Jour de vos Fichiers, avant de les Afficher..."},
      {&Check12, "Check12", &Label21, "Label21", "Editer mes Listes Sélectionnées au Démarrage du Programme", 1,
       "Au Démarrage, Afficher les Listes Sélectionnées dans la Barre des Tâches..."},
      {&Check14, "Check14", &Label22, "Label22", "Démarrer le Programme Automatiquement avec Windows", 0,
       "Vous pouvez Démarrer Automatiquement ou pas Démarrer le programme au Démarrage de l'Ordinateur..."},
      {&Check13, "Check13", &Label23, "Label23", "Au Démarrage réduire le Programme dans la Barre des Tâches", 0,
       "Au Démarrage, vous pouvez réduire le Programme dans la Barre des Tâches..."},
      {&Check15, "Check15", &Label26, "Label26", "Activer Tous les Sons du Programme", 0,
       "Vous pouvez Activer ou Désactiver les Sons du programme..."},
      {&Check16, "Check16", &Label27, "Label27",
       "Editer mes Listes Sélectionnées (à chaque Changement de Liste ou de Source)", 1,
       "Après avoir Scanné une Nouvelle Source, vous pouvez Afficher les Listes Automatiquement..."},
  };
  top = 4200;
  for (const Visible& r : shown) {
    *r.box = check(MyFrame1, r.boxName, 12000, top, 200, 200, r.value, QString::fromUtf8(r.tip));
    *r.label = label(MyFrame1, r.labelName, 5640, top, 6255, 240, QString::fromUtf8(r.caption));
    top += 240;
  }

  MyFrame5 = make<MyFrame>(MyFrame1, "MyFrame5", 120, 6000, 13575, 2175,
                           "Essayez d'autres Logiciels Gratuits de la Maison...");
  const QString tip = "Cliquez ICI pour en Savoir Plus sur ce Logiciel...Gratuit";
  struct Link {
    MyButton** button;
    const char* name;
    const char* caption;
  };
  const Link links[] = {
      {&MyButton11, "MyButton11", "Le Site de l'Éditeur"}, {&MyButton12, "MyButton12", "Clavelis Notes"},
      {&MyButton17, "MyButton17", "Orbane Agenda"},        {&MyButton18, "MyButton18", "Pixarel Images"},
      {&MyButton19, "MyButton19", "Sonolia Audio"},        {&MyButton21, "MyButton21", "Verdane Archives"},
      {&MyButton22, "MyButton22", "Calcéa Budget"},        {&MyButton23, "MyButton23", "Lumeo Diaporama"},
  };
  for (int i = 0; i < 8; ++i) {
    const int col = i % 4, row = i / 4;
    *links[i].button = button(MyFrame5, links[i].name, 120 + col * 2775, 360 + row * 915, 2655, 855,
                              QString::fromUtf8(links[i].caption), tip, "Logiciel Gratuit:", kTeal);
  }
  MyButton27 = button(MyFrame5, "MyButton27", 11280, 480, 1935, 1095, "Tessel Sauvegarde",
                      "Cliquez ICI pour en Savoir Plus sur ce Logiciel... Gratuit", "Logiciel Gratuit:", kTeal);

  Text1 = new TextBox(this, true);
  place(Text1, "Text1", 5040, 1560, 7935, 3255);
  Text1->hide();
  // Tab reads the panel by columns: the help text stands above the boxes.
  QWidget::setTabOrder(MyButton1, Text1->editor());
  QWidget::setTabOrder(Text1->editor(), Check11);
}

void Main2::buildHiddenControls() {
  File1 = make<FileListBox>(this, "File1", 0, 0, 0, 0);
  File1->setPattern("*.vrn");
  auto hiddenCombo = [this](const char* name) {
    auto* c = make<ComboBox>(this, name, 0, 7200, 1215, 315);
    c->hide();
    return c;
  };
  Combo2 = hiddenCombo("Combo2");
  Combo3 = hiddenCombo("Combo3");
  // Takes the focus during a list load; kept visible but out of sight, so
  // Tab never stops on it.
  Combo4 = make<ComboBox>(this, "Combo4", -3000, -3000, 255, 315);
  Combo4->setFocusPolicy(Qt::NoFocus);
  Combo5 = hiddenCombo("Combo5");
  Combo5->setSorted(true);
  Combo6 = hiddenCombo("Combo6");
  Combo6->setSorted(true);
  Combo8 = hiddenCombo("Combo8");
  Combo9 = hiddenCombo("Combo9");

  Combo7 = make<ComboBox>(this, "Combo7", -2160, 720, 9015, 345);
  Combo7->setSorted(true);
  // White on dark blue, the dropped-down list as much as the closed box; the
  // entry a pick would scan stands out in dark blue on pale blue.
  Combo7->setListColors(kWhite, kNavy, kNavy, kPaleSky);
  QFont times("Times New Roman");
  times.setPointSizeF(9.75);
  Combo7->setFont(times);
  Combo7->hide();

  Label3 = label(this, "Label3", 0, 7200, 615, 375, kAscendingNext);
  Label6 = label(this, "Label6", 6720, 7200, 735, 255, kStripesOff);
  Label9 = label(this, "Label9", 5160, 7200, 735, 255, "0");
  Label4 = label(this, "Label4", 0, 7200, 735, 255, "");
  for (Label* l : {Label3, Label6, Label9, Label4}) l->hide();
  Command3 = button(this, "Command3", 0, 7200, 1095, 255, "Command3");
  Command9 = button(this, "Command9", 0, 7200, 1095, 255, "Systray Automatique 1");
  Command12 = button(this, "Command12", 0, 7200, 1095, 255, "Ecran Automatique 2");
  Command14 = button(this, "Command14", 0, 7200, 1095, 255, "Command14");
  for (MyButton* b : {Command3, Command9, Command12, Command14}) b->hide();
  ListView1 = make<ListView>(this, "ListView1", 0, 7200, 1215, 615);
  ListView1->hide();
  Picture2 = pictureBox(this, "Picture2", 0, 7200, 480, 480, picture("program"));
  Image11 = pictureBox(this, "Image11", 0, 7200, 480, 480, picture("list"));
  Image12 = pictureBox(this, "Image12", 0, 7200, 480, 480, picture("search"));
  for (PictureBox* p : {Picture2, Image11, Image12}) p->hide();

  Timer5 = new Timer(this, "Timer5", 1000, true);
  timer3 = new Timer(this, "timer3", 10, false);
  Timer2 = new Timer(this, "Timer2", 10, false);
  Timer4 = new Timer(this, "Timer4", 10, false);
  Timer6 = new Timer(this, "Timer6", 300, false);
  timer1 = new Timer(this, "timer1", 1000, false);
}

void Main2::buildMenus() {
  mnMenu1 = new Menu(this, "mnMenu1");
  mnRepSpeciaux = mnMenu1->addSubMenu("mnRepSpeciaux", "Répertoires et Dossiers Spéciaux", picture("list"));
  mnDetailRepPerso = mnRepSpeciaux->addItem("mnDetailRepPerso", "Répertoires Spéciaux (pour Initié)...");
  mnMenu1->addSeparator();
  mnReScannerActuel = mnMenu1->addItem("mnReScannerActuel", "Re-Scanner la Source Actuelle", picture("search"));
  mnMenu1->addSeparator();
  mnScannProfile = mnMenu1->addItem("mnScannProfile", "Scanner le Profile Complet", picture("varnelo"));
  mnMenu1->addSeparator();
  mnChoixPerso = mnMenu1->addItem("mnChoixPerso", "Choisir moi Même la Source à Scanner", picture("list"));

  mnMenu2 = new Menu(this, "mnMenu2");
  mnChoiExtensions = mnMenu2->addSubMenu("mnChoiExtensions", "Choix des Extensions", picture("list"));
  mnToutesExtenInit =
      mnChoiExtensions->addItem("mnToutesExtenInit", "Afficher Toutes les Extensions pour (Initiés Uniquement)");
  mnChoiExtensions->addSeparator("tr15");
  mnAfficherTout =
      mnChoiExtensions->addItem("mnAfficherTout", "Afficher Toutes les Extensions (Courantes et Disponibles)");
  mnChoiExtensions->addSeparator("tr7");
  mnAF1 = mnChoiExtensions->addItem("mnAF1", "Afficher que ma (Sélection D'extensions Préférées)");
  mnChoiExtensions->addSeparator("tr8");
  mnChoisir = mnChoiExtensions->addItem("mnChoisir", "Choisir mes Extensions à Afficher");
  mnMenu2->addSeparator("tr20");
  mnRechercheAffineCritere = mnMenu2->addItem("mnRechercheAffineCritere",
                                              "Recherche Affinée par (Critère de Recherche)...", picture("search"));
  mnMenu2->addSeparator("tr2");
  mnsavoir = mnMenu2->addItem("mnsavoir", "En Savoir plus sur le Site de l'Auteur...", picture("varnelo"));
  mnMenu2->addSeparator("tr3");
  mnRenseignerExtensFichiers =
      mnMenu2->addItem("mnRenseignerExtensFichiers", "Me Renseigner sur les Extensions de Fichiers");
  mnMenu2->addSeparator("tr12");
  mnChoisirTypeFichier =
      mnMenu2->addItem("mnChoisirTypeFichier", "Choisir le Type de Fichier à Afficher", picture("list"));

  mnMenu3 = new Menu(this, "mnMenu3");
  mnExecuterFichier = mnMenu3->addItem("mnExecuterFichier", "Voir ou Exécuter ce Fichier", picture("program"));
  mnMenu3->addSeparator();
  mnVoirFichier = mnMenu3->addItem("mnVoirFichier", "Voir ce Fichier dans son Dossier", picture("list"));
  mnMenu3->addSeparator();
  mnCopierSelect = mnMenu3->addItem("mnCopierSelect", "Copier la Sélection");
  mnMenu3->addSeparator();
  mnToutSelect = mnMenu3->addItem("mnToutSelect", "Tout Sélectionner");
  mnMenu3->addSeparator();
  mnToutDeselec = mnMenu3->addItem("mnToutDeselec", "Tout Désélectionner");
  mnMenu3->addSeparator();
  mnRechercheCritere =
      mnMenu3->addItem("mnRechercheCritere", "Recherche par (Critère de Recherche)...", picture("search"));
  mnMenu3->addSeparator();
  mnSavoirPlus = mnMenu3->addItem("mnSavoirPlus", "En Savoir plus sur le Site de l'Auteur...", picture("varnelo"));
  mnMenu3->addSeparator();
  mnMessageAuteur = mnMenu3->addItem("mnMessageAuteur", "Envoyez un Message à l'Auteur (plus disponible)...");

  mnMenu4 = new Menu(this, "mnMenu4");
  mnAfficherSystray =
      mnMenu4->addItem("mnAfficherSystray", "Afficher mes Extensions Préférées dans la (Barre des Tâches)");
  mnMenu4->addSeparator();
  mnAfficherEcran = mnMenu4->addItem("mnAfficherEcran", "Afficher Toutes mes Extensions Préférées sur mon (écran)");
  mnMenu4->addSeparator();
  mnToutEnlever = mnMenu4->addItem("mnToutEnlever", "Effacer Toutes les Listes Affichées (écran et Barre des Tâches)");

  mnMenu5 = new Menu(this, "mnMenu5");
  mnReduire = mnMenu5->addItem("mnReduire", "Réduire le Programme dans la Barre des Tâches");
  mnMenu5->addSeparator();
  mnArreter = mnMenu5->addItem("mnArreter", "Arrêter et Quitter le Progamme");
}

}  // namespace vrn
