// The window's controls as designed: names, containers, twips places,
// captions and initial states that the procedures rely on.
#include <QMap>

#include "mainwindow/listactions.h"
#include "mainwindow/listviewtools.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

struct Placed {
  const char* name;
  const char* parent;
  int left, top, width, height;
  bool visible;
};

Control* asControl(QObject* o) { return dynamic_cast<Control*>(o); }

}  // namespace

class DesignTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    win = std::make_unique<Main2>();  // as designed, before start-up runs
  }
};

TEST_F(DesignTest, ControlsStandWhereTheLayoutRulesExpectThem) {
  const Placed table[] = {
      {"MyButton10", "Main2", 0, 0, 13620, 735, true},
      {"lblAffich", "Main2", 360, 1560, 4215, 555, true},
      {"MyFrame7", "Main2", 2520, 2400, 2175, 615, false},
      {"Combo1", "Main2", 2640, 2640, 1935, 315, false},
      {"Label19", "Main2", 240, 2640, 2145, 315, true},
      {"Command1", "Main2", 240, 3000, 2175, 975, true},
      {"MyButton2", "Main2", 2520, 3000, 2175, 975, true},
      {"Command2", "Main2", 240, 4680, 2175, 615, true},
      {"MyButton6", "Main2", 2520, 4680, 2175, 615, true},
      {"MyButton9", "Main2", 240, 5520, 2175, 1095, true},
      {"MyButton7", "Main2", 2520, 5520, 2175, 1095, true},
      {"lblnbr", "Main2", 1680, 2400, 1575, 285, false},
      {"label4", "Main2", 240, 4200, 495, 255, false},
      {"MyFrame6", "Main2", 5040, 840, 9015, 6015, true},
      {"Image5", "MyFrame6", 2280, 1080, 3840, 3840, true},
      {"ListView2", "Main2", 5040, 1680, 8775, 3255, false},
      {"Command4", "Main2", 5040, 5160, 1215, 255, false},
      {"Command5", "Main2", 5640, 5520, 1215, 255, false},
      {"Command8", "Main2", 6360, 5160, 3495, 255, false},
      {"Command11", "Main2", 9960, 5160, 2175, 255, false},
      {"MyFrame3", "Main2", 5160, 240, 4695, 6015, false},
      {"MyFrame1", "Main2", 11040, 840, 13815, 6015, false},
      {"Text1", "Main2", 5040, 1560, 7935, 3255, false},
      {"Combo7", "Main2", -2160, 720, 9015, 345, false},
      // Search panel.
      {"Label28", "MyFrame3", 120, 600, 4455, 255, true},
      {"Text2", "MyFrame3", 960, 840, 2775, 330, true},
      {"Label35", "MyFrame3", 120, 885, 735, 255, true},
      {"etat(0)", "MyFrame3", 960, 1200, 8775, 75, false},
      {"Shape4", "MyFrame3", 240, 1320, 4215, 255, false},
      {"Picture3", "MyFrame3", 3960, 1320, 495, 255, false},
      {"Label32", "MyFrame3", 1005, 1680, 2640, 345, false},
      {"MyFrame9", "MyFrame3", 240, 2520, 4215, 615, true},
      {"Combo10", "MyFrame9", 480, 280, 3255, 315, true},
      {"Check20", "MyFrame9", 3840, 240, 200, 200, true},
      {"Check17", "MyFrame3", 4080, 3480, 200, 200, true},
      {"Check18", "MyFrame3", 4080, 4200, 200, 200, true},
      {"Check19", "MyFrame3", 4080, 4920, 200, 200, true},
      {"Label30", "MyFrame2", 600, 0, 3015, 645, true},
      {"MyButton24", "MyFrame3", 240, 5400, 1575, 495, true},
      {"MyButton25", "MyFrame3", 2160, 5400, 2295, 495, true},
      {"MyButton26", "MyFrame3", 2160, 5400, 2295, 495, false},
      // Preferences panel.
      {"LstSources", "MyFrame1", 240, 720, 2295, 4815, true},
      {"Check1", "MyFrame1", 240, 5640, 200, 200, true},
      {"Label10", "MyFrame1", 435, 5640, 2100, 255, true},
      {"MyButton8", "MyFrame1", 2640, 720, 735, 735, true},
      {"MyButton13", "MyFrame1", 2640, 3720, 2295, 615, true},
      {"MyButton4", "MyFrame1", 2640, 4440, 2295, 615, true},
      {"MyButton1", "MyFrame1", 2640, 5160, 2295, 615, true},
      {"Check11", "MyFrame1", 12000, 4200, 200, 200, true},
      {"Label20", "MyFrame1", 5640, 4200, 6255, 240, true},
      {"Check16", "MyFrame1", 12000, 5400, 200, 200, true},
      {"MyFrame5", "MyFrame1", 120, 6000, 13575, 2175, true},
  };
  for (const Placed& p : table) {
    QWidget* w = win->findChild<QWidget*>(p.name);
    ASSERT_NE(w, nullptr) << p.name;
    Control* c = asControl(w);
    ASSERT_NE(c, nullptr) << p.name;
    EXPECT_EQ(w->parentWidget()->objectName(), p.parent) << p.name;
    EXPECT_EQ(c->Left(), p.left) << p.name;
    EXPECT_EQ(c->Top(), p.top) << p.name;
    EXPECT_EQ(c->Width(), p.width) << p.name;
    EXPECT_EQ(c->Height(), p.height) << p.name;
    EXPECT_EQ(c->Visible(), p.visible) << p.name;
  }
}

TEST_F(DesignTest, CaptionsTooltipsAndStates) {
  EXPECT_EQ(win->Command1->Caption(), "Choix Lecteur ou Répertoire à SCANNER");
  EXPECT_EQ(win->Command2->ToolTipText(), "Cliquez ICI pour Arrêter ou Réduire le logiciel...");
  EXPECT_EQ(win->MyButton6->Caption(), "Arrêter l'Opération en Cours");
  EXPECT_FALSE(win->MyButton6->Enabled());
  EXPECT_EQ(win->MyButton10->ToolTipText(), "Voici votre Résultat de Scann...");
  EXPECT_EQ(win->MyFrame7->Caption(), "Liste Extensions");
  EXPECT_EQ(win->Command4->Caption(), "AutoSize/Oui");
  EXPECT_EQ(win->Command8->ToolTipText(), "Ajouter ou Afficher cette Page dans la Barre des Tâches...");
  EXPECT_EQ(win->MyButton8->ToolTipText(), "Cliquez ICI pour plus d'Infos et Réglages...");
  EXPECT_EQ(win->Label6->Caption(), kStripesOff);
  EXPECT_EQ(win->Label3->Caption(), kAscendingNext);
  EXPECT_EQ(win->Label34->Caption(), "Rechercher dans un Type de Fichier");
  EXPECT_EQ(win->MyButton26->Caption(), "Arrêter l'Opération en Cours");
  EXPECT_EQ(win->Label22->Caption(), "Démarrer le Programme Automatiquement avec Windows");
  EXPECT_EQ(win->Check15->ToolTipText(), "Vous pouvez Activer ou Désactiver les Sons du programme...");
  EXPECT_EQ(win->File1->Pattern(), "*.vrn");
  // Option boxes as designed, before any options are loaded.
  for (CheckBox* ticked : {win->Check4, win->Check5, win->Check6, win->Check7, win->Check8, win->Check9, win->Check10,
                           win->Check11, win->Check12, win->Check16, win->Check20})
    EXPECT_EQ(ticked->Value(), 1) << ticked->objectName().toStdString();
  for (CheckBox* unticked : {win->Check2, win->Check3, win->Check13, win->Check14, win->Check15, win->Check17,
                             win->Check18, win->Check19, win->Check1})
    EXPECT_EQ(unticked->Value(), 0) << unticked->objectName().toStdString();
  // Timers.
  EXPECT_TRUE(win->Timer5->Enabled());
  EXPECT_EQ(win->Timer5->Interval(), 1000);
  for (Timer* off : {win->timer3, win->Timer2, win->Timer4, win->Timer6, win->timer1})
    EXPECT_FALSE(off->Enabled()) << off->objectName().toStdString();
  EXPECT_EQ(win->Timer6->Interval(), 300);
  // The list's nine columns.
  const QStringList captions = {"Nom des Fichiers Disponibles",
                                "Adresse des Fichiers",
                                "Taille Octets",
                                "Date Accès",
                                "Date Création",
                                "Date Modification",
                                "Attribut",
                                "",
                                ""};
  ASSERT_EQ(win->ListView2->ColumnCount(), 9);
  for (int k = 1; k <= 9; ++k) EXPECT_EQ(win->ListView2->ColumnCaption(k), captions[k - 1]);
}

TEST_F(DesignTest, PopUpMenusHoldTheirItemsInOrder) {
  EXPECT_EQ(win->mnMenu1->captions(),
            (QStringList{"Répertoires et Dossiers Spéciaux", "-", "Re-Scanner la Source Actuelle", "-",
                         "Scanner le Profile Complet", "-", "Choisir moi Même la Source à Scanner"}));
  EXPECT_EQ(win->mnRepSpeciaux->captions(), QStringList{"Répertoires Spéciaux (pour Initié)..."});
  EXPECT_EQ(win->mnMenu3->captions(),
            (QStringList{"Voir ou Exécuter ce Fichier", "-", "Voir ce Fichier dans son Dossier", "-",
                         "Copier la Sélection", "-", "Tout Sélectionner", "-", "Tout Désélectionner", "-",
                         "Recherche par (Critère de Recherche)...", "-", "En Savoir plus sur le Site de l'Auteur...",
                         "-", "Envoyez un Message à l'Auteur (plus disponible)..."}));
  EXPECT_EQ(
      win->mnMenu2->captions(),
      (QStringList{"Choix des Extensions", "-", "Recherche Affinée par (Critère de Recherche)...", "-",
                   "En Savoir plus sur le Site de l'Auteur...", "-", "Me Renseigner sur les Extensions de Fichiers",
                   "-", "Choisir le Type de Fichier à Afficher"}));
  EXPECT_EQ(win->mnChoiExtensions->captions().size(), 7);
  EXPECT_EQ(win->mnMenu4->captions(), (QStringList{"Afficher mes Extensions Préférées dans la (Barre des Tâches)", "-",
                                                   "Afficher Toutes mes Extensions Préférées sur mon (écran)", "-",
                                                   "Effacer Toutes les Listes Affichées (écran et Barre des Tâches)"}));
}

TEST_F(DesignTest, TheOnlyTooltipsAreTheOnesTheWindowWasGiven) {
  const QMap<QString, QString> given = {
      {"MyButton10", "Voici votre Résultat de Scann..."},
      {"Command2", "Cliquez ICI pour Arrêter ou Réduire le logiciel..."},
      {"MyButton9", "Cliquez ICI pour Choisir le Type d'Affichage de vos Listes Préférées..."},
      {"MyButton7", "Cliquez ICI pour Modifier les Paramètres d'Affichage des Données..."},
      {"Command8", "Ajouter ou Afficher cette Page dans la Barre des Tâches..."},
      {"Command11", "Ajouter ou Afficher cette Page sur l'écran..."},
      {"MyButton8", "Cliquez ICI pour plus d'Infos et Réglages..."},
      {"MyButton13", "Si vous ne Savez pas, Cliquez ICI pour Utiliser les  Paramètres par Défaut du programme..."},
      {"MyButton1", "Cliquez pour Quitter vos Préférences..."},
      {"Check1", "Tout Sélectionner/Désélectionner..."},
      {"Check11", "Vous pouvez Faire une Mise à Jour de vos Fichiers, avant de les Afficher..."},
      {"Check12", "Au Démarrage, Afficher les Listes Sélectionnées dans la Barre des Tâches..."},
      {"Check13", "Au Démarrage, vous pouvez réduire le Programme dans la Barre des Tâches..."},
      {"Check14", "Vous pouvez Démarrer Automatiquement ou pas Démarrer le programme au Démarrage de l'Ordinateur..."},
      {"Check15", "Vous pouvez Activer ou Désactiver les Sons du programme..."},
      {"Check16", "Après avoir Scanné une Nouvelle Source, vous pouvez Afficher les Listes Automatiquement..."},
      {"Text2", "Saisir ICI un Mot ou une Fraction de Mot...à Rechercher..."},
      {"Combo10", "Ceci est la Liste Totale des Extensions de Fichiers Disponibles selon la Source Scanner..."},
      {"Check17", "Rechercher Uniquement dans vos Listes Sélectionnées..."},
      {"Check18", "Rechercher dans Toutes les Listes Conventionnelles Disponibles..."},
      {"Check19", "Rechercher dans Toutes les Listes Disponibles, même celles pour Initiés..."},
      {"Check20", "Rechercher Uniquement dans un Type d'Extension Précis..."},
      {"MyButton24", "Cliquez pour Quitter la Recherche..."},
      {"MyButton25", "Cliquez ICI pour Lancer la Recherche..."},
      {"MyButton26", "Cliquez ICI pour Stopper l'Opération en Cours..."},
      {"MyButton27", "Cliquez ICI pour en Savoir Plus sur ce Logiciel... Gratuit"},
  };
  const QString program = "Cliquez ICI pour en Savoir Plus sur ce Logiciel...Gratuit";
  QStringList seen;
  for (QWidget* w : win->findChildren<QWidget*>()) {
    const Control* c = asControl(w);
    if (!c || c->ToolTipText().isEmpty()) continue;
    const QString name = w->objectName();
    seen << name;
    if (w->parentWidget() == win->MyFrame5 && name != "MyButton27")
      EXPECT_EQ(c->ToolTipText(), program) << name.toStdString();
    else EXPECT_EQ(c->ToolTipText(), given.value(name, "(none)")) << name.toStdString();
  }
  for (auto it = given.cbegin(); it != given.cend(); ++it)
    EXPECT_TRUE(seen.contains(it.key())) << it.key().toStdString() << " has its tooltip";
  // Borrowed nowhere: the scan and extension buttons, the stop buttons, the
  // list and its AutoSize and stripe buttons have none.
  for (QWidget* w : std::initializer_list<QWidget*>{win->Command1, win->MyButton2, win->MyButton5, win->MyButton6,
                                                    win->Command4, win->Command5, win->ListView2})
    EXPECT_TRUE(asControl(w)->ToolTipText().isEmpty()) << w->objectName().toStdString();
}
