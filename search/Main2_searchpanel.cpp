// The search panel: opening and leaving it, the four exclusive scopes and
// their guard, the launch checks, the stop button and the busy animation.
#include "mainwindow/Main2.h"
#include "platform/services.h"
#include "search/searchengine.h"
#include "support/VariablesVRN.h"
#include "support/animDI.h"
#include "database/dbfolder.h"

namespace vrn {

void Main2::wireSearch() {
  connect(mnRechercheCritere, &MenuItem::Click, this, &Main2::mnRechercheCritere_Click);
  connect(mnRechercheAffineCritere, &MenuItem::Click, this, &Main2::mnRechercheAffineCritere_Click);
  connect(Check17, &CheckBox::Click, this, &Main2::Check17_Click);
  connect(Check18, &CheckBox::Click, this, &Main2::Check18_Click);
  connect(Check19, &CheckBox::Click, this, &Main2::Check19_Click);
  connect(Check20, &CheckBox::Click, this, &Main2::Check20_Click);
  connect(Timer6, &Timer::Timer_, this, &Main2::Timer6_Timer);
  connect(Timer4, &Timer::Timer_, this, &Main2::Timer4_Timer);
  connect(MyButton24, &MyButton::Click, this, &Main2::MyButton24_Click);
  connect(MyButton25, &MyButton::Click, this, &Main2::MyButton25_Click);
  connect(MyButton26, &MyButton::Click, this, &Main2::MyButton26_Click);
}

void Main2::mnRechercheCritere_Click() {
  VariablesVRN& v = vrnVars();
  ListView2->Clear();
  ListView2->hide();
  Label2->setCaption("Recherche par Critère en Attente...");
  for (MyButton* b : {Command4, Command5, Command8, Command11}) b->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{Check17, Check18, Check19, Check20, Combo10}) w->setEnabled(true);
  // The counts of the moment the panel opens.
  Label30->setCaption("Rechercher dans vos (" + QString::number(Combo1->ListCount()) + ") Listes Préférées");
  Label31->setCaption("Rechercher dans Toutes les (" + countText(v.NbExtensionsCourantes) +
                      ") Listes Conventionnelles");
  Label33->setCaption("Rechercher dans Toutes les (" + QString::number(File1->ListCount()) +
                      ") Listes Disponibles pour Initié");
  Label32->setCaption("Recherche en Attente...");
  MyFrame3->show();
  Image1->setPicture(Image12->Picture());
  v.ModeRecherche = kYes;
  Combo10->show();
  Timer6->setEnabled(true);
}

void Main2::mnRechercheAffineCritere_Click() { mnRechercheCritere_Click(); }

namespace {
// Ticking one scope unticks the three others; unticking does nothing.
void keepScopeExclusive(CheckBox* clicked, std::initializer_list<CheckBox*> others) {
  if (clicked->Value() != 1) return;
  for (CheckBox* c : others) c->setValue(0);
}
}  // namespace

void Main2::Check17_Click() { keepScopeExclusive(Check17, {Check18, Check19, Check20}); }
void Main2::Check18_Click() { keepScopeExclusive(Check18, {Check17, Check19, Check20}); }
void Main2::Check19_Click() { keepScopeExclusive(Check19, {Check17, Check18, Check20}); }
void Main2::Check20_Click() { keepScopeExclusive(Check20, {Check17, Check18, Check19}); }

void Main2::Timer6_Timer() {
  if (Check17->Value() == 0 && Check18->Value() == 0 && Check19->Value() == 0 && Check20->Value() == 0)
    Check17->setValue(1);
}

void Main2::MyButton25_Click() {
  // The panel can be left and opened again while a search runs, which shows
  // this button again: a second search inside the first would mix both
  // results in the one list and its counters.
  if (!mayStart(Job::Search)) return;
  Dialogs* dialogs = services().dialogs;
  if (Check20->Value() == 1 && trimBlanks(Combo10->Text()).isEmpty()) {
    dialogs->msgBox(this,
                    "Pour Lancer une Recherche, vous Devez Choisir un (Type d'Extension) dans la Liste déroulante "
                    "pour votre Recherche...",
                    vbInformation, "Aucun Type Sélectionné...");
    return;
  }
  if (trimBlanks(Text2->Text()).isEmpty()) {
    dialogs->msgBox(this, "Pour Lancer une Recherche, vous Devez Saisir un Mot ou une Fraction de Mot à Rechercher...",
                    vbInformation, "Aucun Mot à Rechercher...");
    return;
  }
  Timer4->setInterval(10);
  Timer4->setEnabled(true);
  Label32->show();
  Label32->setCaption("Recherche Affinée en Cours...");
  Shape4->show();
  Picture3->show();
  RechercherParCritere();
  // A wider window may now reach past the screen's right edge.
  if (WindowState() == vbNormal && Left() + Width() > Screen::Width()) setLeft(Screen::Width() - Width());
}

void Main2::MyButton26_Click() { requestStop(kStopRequest); }

void Main2::MyButton24_Click() {
  VariablesVRN& v = vrnVars();
  Timer6->setEnabled(false);
  v.ModeRecherche = "";
  MyButton25->show();
  MyButton26->hide();
  Timer4->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{MyFrame3, Label32, Shape4, Picture3}) w->hide();
  for (MyButton* b : {Command4, Command5, Command8, Command11}) b->hide();
  ListView2->Clear();
  ListView2->hide();
  Label2->setCaption("Faites votre Choix...");
  if (WindowState() == vbMinimized || WindowState() == vbMaximized) setWindowState(vbNormal);
  setWidthCentred(kCompactWidth);
  Combo10->hide();
  if (!Combo1->Visible()) {
    Combo1->show();
    MyFrame7->show();
  }
}

void Main2::Timer4_Timer() { AnimerVaEtVient2(Picture3, 50); }

}  // namespace vrn
