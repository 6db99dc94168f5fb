// The list page's window: its controls, the copy of the main list made when
// it loads, its layout, its own window commands and the commands that act on
// every page at once.
#include "pages/FormEssai.h"

#include <QFont>

#include "database/dbfolder.h"
#include "mainwindow/Main2.h"
#include "mainwindow/designtools.h"
#include "mainwindow/listactions.h"
#include "mainwindow/listviewtools.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {

using namespace design;

// The page's buttons are teal unless they stop something.
MyButton* pageButton(QWidget* parent, const char* name, int l, int t, int w, int h, const QString& caption,
                     const QString& tip = QString(), const QString& tipTitle = QString(), quint32 accent = kTeal) {
  return button(parent, name, l, t, w, h, caption, tip, tipTitle, accent);
}

}  // namespace

int pageHeightFor(int screenHeightTwips) {
  // Int() rounds towards minus infinity.
  const int span = screenHeightTwips - 200;
  return span >= 0 ? span / 12 : -((-span + 11) / 12);
}

QList<Form*> loadedPages() {
  QList<Form*> pages;
  for (Form* f : Form::Forms())
    if (f->Name() == QLatin1String("FormEssai")) pages.append(f);
  return pages;
}

void setEveryPageState(int state) {
  for (Form* page : loadedPages()) page->setWindowState(state);
}

void closeEveryPage() {
  for (Form* page : loadedPages()) page->Unload();
  VariablesVRN& v = vrnVars();
  v.PosGaucheFenetre = 0;
  v.PosHautFenetre = 0;
  v.NbFenetresCascade = 0;
}

void stepCascade(int screenHeightTwips) {
  VariablesVRN& v = vrnVars();
  const int h = pageHeightFor(screenHeightTwips);
  if (v.PosHautFenetre + h >= screenHeightTwips - 2 * h) {
    v.PosHautFenetre = 100;
    v.PosGaucheFenetre += kPageWidth;
  } else if (v.NbFenetresCascade > 0) {
    v.PosHautFenetre += h;
  }
}

FormEssai::FormEssai(Main2* main) : Form("FormEssai"), main_(main) {
  setAttribute(Qt::WA_DeleteOnClose, false);  // Unload decides when the page goes
  setWindowIcon(picture("varnelo"));
  setCaption(QStringLiteral("Liste"));
  setBackColor(kWhite);
  buildControls();
  buildMenu();
  wire();
  // The pages belong to the program's main window and go with it.
  if (main) connect(main, &QObject::destroyed, this, [this] { Unload(); });
}

FormEssai::~FormEssai() = default;

void FormEssai::buildControls() {
  Image1 = make<PictureBox>(this, "Image1", 0, 0, 480, 480);
  Image3 = make<PictureBox>(this, "Image3", 120, 480, 720, 720);
  Image3->setPicture(picture("varnelo"));
  Image3->hide();

  Label2 = label(this, "Label2", 3000, 120, 2295, 360, QStringLiteral("Faites votre choix"));
  QFont title(QStringLiteral("MS Reference Serif"));
  title.setPointSizeF(14.25);
  title.setItalic(true);
  Label2->setFont(title);
  Label2->setForeColor(0x800000);
  Label2->setTransparent(true);
  Label4 = label(this, "Label4", 3000, 480, 2250, 315, QStringLiteral("Faites votre choix"));
  QFont source(QStringLiteral("MS Reference Serif"));
  source.setPointSizeF(12);
  source.setBold(true);
  source.setItalic(true);
  Label4->setFont(source);
  Label4->setForeColor(0xC00000);
  Label4->setTransparent(true);

  Label3 = label(this, "Label3", 0, 720, 615, 375, kAscendingNext);
  Label6 = label(this, "Label6", 6720, 0, 735, 255, kStripesOff);
  Label9 = label(this, "Label9", 5160, 0, 735, 255, QStringLiteral("0"));
  for (Label* l : {Label3, Label6, Label9}) l->hide();

  ImageList1 = new ImageList(this, "ImageList1");
  ListView2 = make<ListView>(this, "ListView2", 120, 840, 9255, 2895);
  ListView2->setToolTipText(
      QStringLiteral("Click-Droit pour Sous-Menu...Vous pouvez aussi Cliquer sur l' Entête de "
                     "Colonne pour la Trier..."));
  // The file-list layout of the main list, but for the size caption and a
  // wider attribute column.
  ListView2->AddColumn(QStringLiteral("Nom des Fichiers Disponibles"), 4000);
  ListView2->AddColumn(QStringLiteral("Adresse des Fichiers"), 1440);
  ListView2->AddColumn(QStringLiteral("Taille Mbits"), 1440);
  ListView2->AddColumn(QStringLiteral("Date Accès"), 1440);
  ListView2->AddColumn(QStringLiteral("Date Création"), 1440);
  ListView2->AddColumn(QStringLiteral("Date Modification"), 1400);
  ListView2->AddColumn(QStringLiteral("Attribut"), 1440);
  ListView2->AddColumn(QString(), 0);
  ListView2->AddColumn(QString(), 0);
  ListView2->setView(ListView::lvwReport);
  // The list is left unsorted: it keeps the main list's order until a
  // header is clicked.

  Command4 = pageButton(this, "Command4", 480, 3840, 1215, 255, QStringLiteral("AutoSize/Oui"),
                        QStringLiteral("Cliquez ICI pour Redimentionner Automatiquement Toutes les Colonnes (Mini ou "
                                       "Maxi)..."),
                        QStringLiteral("Redimentionner les Colonnes:"));
  Command5 = pageButton(this, "Command5", 600, 4200, 1215, 255, QStringLiteral("Lignes Couleur"),
                        QStringLiteral("Cliquez ICI pour Mettre une Couleur Différente Une Ligne sur 2..."),
                        QStringLiteral("Couleur Lignes:"));
  Command5->hide();
  MyButton1 = pageButton(this, "MyButton1", 1800, 3840, 1815, 255, QStringLiteral("Tout Barre des Tâches"),
                         QStringLiteral("Cliquez ICI pour Mettre Toutes les Listes dans la Barre des Tâches..."),
                         QStringLiteral("Barre des Tâches:"));
  MyButton2 = pageButton(this, "MyButton2", 3720, 3840, 1215, 255, QStringLiteral("Tout Ecran"),
                         QStringLiteral("Cliquez ICI pour Afficher Toutes les Listes à l'écran..."),
                         QStringLiteral("Tout à l'écran:"));
  MyButton3 = pageButton(this, "MyButton3", 5040, 3840, 2415, 255, QStringLiteral("Supprimer Toutes les Fenêtres"),
                         QStringLiteral("Cliquez ICI pour Supprimer Toutes les Listes d'Affichages...."),
                         QStringLiteral("Supprimer la Totalité des Listes éditées:"), kRed);
  // The copy's stop button stands in the button row, high enough for its
  // two-line progress caption.
  MyButton6 = pageButton(this, "MyButton6", 7560, 3840, 2415, 510, QStringLiteral("Arrêter la Copie"),
                         QStringLiteral("Cliquez ICI pour Stopper l'Opération en Cours de Copie..."),
                         QStringLiteral("Arrêter:"), kRed);
  MyButton6->hide();
  Command1 = pageButton(this, "Command1", 3480, 4920, 1095, 255, QStringLiteral("tout systray"));
  Command2 = pageButton(this, "Command2", 3480, 5280, 1095, 255, QStringLiteral("tout écran"));
  Command1->hide();
  Command2->hide();
}

void FormEssai::buildMenu() {
  mnMenu = new Menu(this, "mnMenu");
  mnExecuterFichier =
      mnMenu->addItem("mnExecuterFichier", QStringLiteral("Voir ou Exécuter ce Fichier"), picture("program"));
  mnMenu->addSeparator();
  mnVoirFichier = mnMenu->addItem("mnVoirFichier", QStringLiteral("Voir ce Fichier dans son Dossier"), picture("list"));
  mnMenu->addSeparator();
  mnCopierSelect = mnMenu->addItem("mnCopierSelect", QStringLiteral("Copier la Sélection"));
  mnMenu->addSeparator();
  mnToutSelect = mnMenu->addItem("mnToutSelect", QStringLiteral("Tout Sélectionner"));
  mnMenu->addSeparator();
  mnToutDeselec = mnMenu->addItem("mnToutDeselec", QStringLiteral("Tout DéSélectionner"));
  mnMenu->addSeparator();
  mnFermer = mnMenu->addItem("mnFermer", QStringLiteral("Réduire cette Fenêtre"), picture("varnelo"));
}

void FormEssai::wire() {
  connect(ListView2, &ListView::Click, this, &FormEssai::ListView2_Click);
  connect(ListView2, &ListView::DblClick, this, &FormEssai::ListView2_DblClick);
  connect(ListView2, &ListView::ColumnClick, this, &FormEssai::ListView2_ColumnClick);
  connect(ListView2, &ListView::ItemCheck, this, &FormEssai::ListView2_ItemCheck);
  connect(ListView2, &ListView::MouseDown, this, &FormEssai::ListView2_MouseDown);
  connect(mnExecuterFichier, &MenuItem::Click, this, &FormEssai::mnExecuterFichier_Click);
  connect(mnVoirFichier, &MenuItem::Click, this, &FormEssai::mnVoirFichier_Click);
  connect(mnCopierSelect, &MenuItem::Click, this, &FormEssai::mnCopierSelect_Click);
  connect(mnToutSelect, &MenuItem::Click, this, &FormEssai::mnToutSelect_Click);
  connect(mnToutDeselec, &MenuItem::Click, this, &FormEssai::mnToutDeselec_Click);
  connect(mnFermer, &MenuItem::Click, this, &FormEssai::mnFermer_Click);
  connect(Command4, &MyButton::Click, this, &FormEssai::Command4_Click);
  connect(Command5, &MyButton::Click, this, &FormEssai::Command5_Click);
  connect(MyButton1, &MyButton::Click, this, &FormEssai::MyButton1_Click);
  connect(MyButton2, &MyButton::Click, this, &FormEssai::MyButton2_Click);
  connect(MyButton3, &MyButton::Click, this, &FormEssai::MyButton3_Click);
  connect(MyButton6, &MyButton::Click, this, &FormEssai::MyButton6_Click);
  connect(Command1, &MyButton::Click, this, &FormEssai::Command1_Click);
  connect(Command2, &MyButton::Click, this, &FormEssai::Command2_Click);
}

void FormEssai::Form_Load() {
  const VariablesVRN& v = vrnVars();
  setHeight(pageHeightFor(Screen::Height()));
  setWidth(kPageWidth);
  MyButton3->setToolTipText(
      QStringLiteral("Supprimer Toutes les Listes éditées\naussi bien de l'écran\n"
                     "comme de la Barre des Tâches."));
  // A page first shows in the task bar; its opener sets the state it wants.
  setWindowState(vbMinimized);
  if (!main_) return;
  Main2* m = main_;
  ListView* source = m->ListView2;
  const bool search = v.ModeRecherche == kYes;

  Image1->setPicture(m->Image1->Picture());
  ImageList1->Clear();
  ImageList1->Add(search ? Image3->Picture() : m->Image1->Picture());
  ListView2->setSmallIcons(ImageList1);
  ListView2->setView(ListView::lvwReport);

  const QString rows = QString::number(source->Count());
  if (search) {
    setWindowIcon(Image3->Picture());
    const QString critere = m->Text2->Text();
    setCaption(critere + QStringLiteral(" (") + rows + QLatin1Char(')'));
    Label2->setCaption(QStringLiteral("Résultat de ma Recherche (") + rows +
                       QStringLiteral(") Fichiers avec le Critère (") + critere + QLatin1Char(')'));
  } else {
    setWindowIcon(m->Image1->Picture());
    const QString nom = m->Combo1->Text();
    const QString records = QString::number(v.NumEnregistrement);
    setCaption(nom + QStringLiteral(" (") + records + QLatin1Char(')'));
    Label2->setCaption(QStringLiteral("Liste de mes (") + records + QStringLiteral(") Fichiers (.") + nom +
                       QLatin1Char(')'));
  }
  Label4->setCaption(QStringLiteral("dans (") + trimBlanks(v.SourceActuelle) + QLatin1Char(')'));

  // The copy runs to its end without letting events through: the shared loop
  // counters are the page's until it is built.
  VariablesVRN& w = vrnVars();
  const int count = source->Count();
  const int columns = source->ColumnCount();
  for (int i = 1; i <= count; ++i) {
    w.IndiceBoucle2 = i;
    const int row = ListView2->Add(source->Text(i), 1);
    for (int j = 1; j <= columns - 1; ++j) {
      w.IndiceBoucle = j;
      ListView2->setSubItem(row, j, source->SubItem(i, j));
    }
  }

  Label6->setCaption(kStripesOff);
  Command5_Click();
  ListView2->Refresh();
}

void FormEssai::Form_Resize() {
  // Laid out inside the frame; a page too small for the list (minimised)
  // leaves the list as it was.
  ListView2->Move(ListView2->Left(), ListView2->Top(), ScaleWidth() - 2 * ListView2->Left(),
                  ScaleHeight() - 2 * ListView2->Top());
  Command4->setTop(ListView2->Top() + ListView2->Height() + 200);
  for (MyButton* b : {Command5, MyButton1, MyButton2, MyButton3, MyButton6}) b->setTop(Command4->Top());
}

void FormEssai::Form_DblClick() {
  if (WindowState() == vbNormal) setWindowState(vbMaximized);
  else if (WindowState() == vbMaximized) setWindowState(vbNormal);
}

void FormEssai::Form_MouseMove() {
  if (WindowState() != vbNormal) return;
  activateWindow();
  setFocus();
}

void FormEssai::mnFermer_Click() { setWindowState(vbMinimized); }

void FormEssai::MyButton1_Click() { Command1_Click(); }
void FormEssai::MyButton2_Click() { Command2_Click(); }
void FormEssai::MyButton3_Click() { FermerToutesFenetresListes(); }

void FormEssai::Command1_Click() { setEveryPageState(vbMinimized); }
void FormEssai::Command2_Click() { setEveryPageState(vbNormal); }

// This page closes with the others; nothing of it may be used after the call.
void FormEssai::FermerToutesFenetresListes() { closeEveryPage(); }

void FormEssai::Command4_Click() {
  if (vrnVars().AutoSizeActif == 0) {
    toggleColumnFit(ListView2, Command4);
    return;
  }
  // Restoring the saved widths is done out of sight, then repainted.
  ListView2->hide();
  toggleColumnFit(ListView2, Command4);
  ListView2->Refresh();
  ListView2->show();
}

void FormEssai::Command5_Click() {
  // No selected row may hide the stripes under its highlight.
  ListView2->setSelectedIndex(0);
  toggleStripes(ListView2, Label6);
}

void FormEssai::LV_ResizeColumns(ListView* liste) { fitListColumns(liste); }

void FormEssai::ColorerLignesListView(ListView* liste, quint32 couleur1, quint32 couleur2) {
  stripeListRows(liste, couleur1, couleur2);
}

}  // namespace vrn
