// Page management and the automatic display of the lists as pages: a page
// of the current list on screen or in the task bar, all pages minimised,
// restored or closed, and the display menu that opens one page per list.
#include "mainwindow/Main2.h"
#include "mainwindow/copyloop.h"
#include "pages/FormEssai.h"
#include "platform/services.h"
#include "support/SonRessVRN.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {

constexpr int kPageLimit = 24;

// The display menu's count: a page whose caption equals that of the page
// counted just before it is not counted again.
void countPagesForDisplay() {
  VariablesVRN& v = vrnVars();
  v.NbPagesOuvertes = 0;
  v.DernierTitrePage.clear();
  for (Form* page : loadedPages()) {
    if (page->Caption() == v.DernierTitrePage) continue;
    v.DernierTitrePage = page->Caption();
    ++v.NbPagesOuvertes;
  }
}

// An unset count of preferred lists means there is none.
int preferredCount() { return vrnVars().NbExtensionsPreferees.value_or(0); }

QString questionText(const char* opening) {
  const VariablesVRN& v = vrnVars();
  return QString::fromUtf8(opening) + QString::number(v.NbPagesOuvertes) +
         QStringLiteral(") Pages Affichées, mais votre Liste de Sélection en contient (") +
         countText(v.NbExtensionsPreferees) + QStringLiteral(").\nQue dois-je faire...\n") +
         QStringLiteral("Tout Recharger Cliquer sur (Oui)...?\nNon Laisser comme ça Cliquer sur (Non)...?");
}

}  // namespace

void Main2::wirePages() {
  connect(Command11, &MyButton::Click, this, &Main2::Command11_Click);
  connect(Command8, &MyButton::Click, this, &Main2::Command8_Click);
  connect(Command8, &MyButton::RightClick, this, &Main2::Command8_RightClick);
  connect(MyButton9, &MyButton::Click, this, &Main2::MyButton9_Click);
  connect(MyButton9, &MyButton::RightClick, this, &Main2::MyButton9_RightClick);
  connect(Command9, &MyButton::Click, this, &Main2::Command9_Click);
  connect(Command12, &MyButton::Click, this, &Main2::Command12_Click);
  connect(Command14, &MyButton::Click, this, &Main2::Command14_Click);
  connect(mnAfficherSystray, &MenuItem::Click, this, &Main2::mnAfficherSystray_Click);
  connect(mnAfficherEcran, &MenuItem::Click, this, &Main2::mnAfficherEcran_Click);
  connect(mnToutEnlever, &MenuItem::Click, this, &Main2::mnToutEnlever_Click);
}

void Main2::CompterFenetresListes() { vrnVars().NbFenetresListes = int(loadedPages().size()); }

void Main2::ChercherFenetreListe() {
  VariablesVRN& v = vrnVars();
  const bool search = v.ModeRecherche == kYes;
  const QString wanted =
      search ? Text2->Text() + QStringLiteral(" (") + QString::number(ListView2->Count()) + QLatin1Char(')')
             : Combo1->Text();
  for (Form* page : loadedPages()) {
    // A list's page is known by the start of its caption, its count aside.
    const bool match = search ? page->Caption() == wanted : page->Caption().left(wanted.size()) == wanted;
    if (!match) continue;
    page->Show();
    page->setWindowState(vbMaximized);
    v.FenetreDejaOuverte = kYes;
    return;
  }
}

void Main2::Command11_Click() { showPageOnScreen(Screen::Height()); }

void Main2::showPageOnScreen(int screenHeightTwips) {
  VariablesVRN& v = vrnVars();
  CompterFenetresListes();
  v.FenetreDejaOuverte.clear();
  ChercherFenetreListe();
  if (v.FenetreDejaOuverte == kYes) return;
  stepCascade(screenHeightTwips);
  auto* page = new FormEssai(this);
  page->Show();
  page->setWindowState(vbNormal);
  page->Move(v.PosGaucheFenetre, v.PosHautFenetre);
  ++v.NbFenetresCascade;
}

void Main2::Command8_Click() {
  VariablesVRN& v = vrnVars();
  v.FenetreDejaOuverte.clear();
  ChercherFenetreListe();
  if (v.FenetreDejaOuverte == kYes) return;
  auto* page = new FormEssai(this);
  page->Show();
  page->setWindowState(vbMinimized);
}

void Main2::Command8_RightClick() {
  PopupMenu(mnMenu4, Command8->Left(), Command8->Top() - (Command8->Height() + 1000));
}

void Main2::ReduirePages() { setEveryPageState(vbMinimized); }

void Main2::RestaurerPages() { setEveryPageState(vbNormal); }

void Main2::FermerToutesFenetresListes() { closeEveryPage(); }

void Main2::Command14_Click() {
  FermerToutesFenetresListes();
  VariablesVRN& v = vrnVars();
  v.PosGaucheFenetre = 100;
  v.PosHautFenetre = 100;
  v.NbFenetresCascade = 0;
}

// The automatic display walks the lists by loading each in turn: while a
// list is being read it is refused before it changes anything (a walk cannot
// start its first load then).
void Main2::Command12_Click() {
  if (!mayStart(Job::ListLoad)) return;
  VariablesVRN& v = vrnVars();
  Command14_Click();
  v.NbFenetresCascade = 0;
  v.ModeAffichageAuto = kAutoPagesOnScreen;
  // With no list to walk there is no count to keep (never below 0).
  v.DernierIndexAuto = std::max(0, Combo1->ListCount() - 1);
  // The walk: this load's last step opens its page and loads the next list.
  Combo1->setListIndex(0);
  // A walk that could not start (no list, the source gone, a load already
  // running) leaves no mode behind for the user's next load.
  v.ModeAffichageAuto = kNoAutoDisplay;
  v.DernierIndexAuto = 0;
  endEmptyWalk();
}

// A walk that never started (no list to walk, the source gone) never ran
// the walk's end, which disables the stop button that the display command
// enabled: nothing is left for it to stop, unless a scan's walk (timer3 runs
// exactly then) or a copy goes on around the display command.
void Main2::endEmptyWalk() {
  const bool scanWalking = JobGuard::isRunning(Job::Scan) && timer3->Enabled();
  if (!scanWalking && !JobGuard::isRunning(Job::Copy)) MyButton6->setEnabled(false);
}

void Main2::Command9_Click() {
  if (!mayStart(Job::ListLoad)) return;
  VariablesVRN& v = vrnVars();
  Command14_Click();
  v.ModeAffichageAuto = kAutoPagesInTaskBar;
  v.DernierIndexAuto = std::max(0, Combo1->ListCount() - 1);
  Combo1->setListIndex(0);
  v.ModeAffichageAuto = kNoAutoDisplay;
  v.DernierIndexAuto = 0;
  endEmptyWalk();
  setWidth(kCompactWidth);
}

void Main2::runAutomaticDisplayStep() {
  VariablesVRN& v = vrnVars();
  if (v.DernierIndexAuto < 0) v.DernierIndexAuto = 0;
  const bool automatic = v.ModeAffichageAuto == kAutoPagesInTaskBar || v.ModeAffichageAuto == kAutoPagesOnScreen;
  if (automatic) {
    CompterFenetresListes();
    if (v.NbFenetresListes < kPageLimit) {
      if (v.ModeAffichageAuto == kAutoPagesInTaskBar) Command8_Click();
      else Command11_Click();
    } else {
      // The page limit ends the walk with this list, which gets no page.
      v.DernierIndexAuto = 0;
      v.NbFenetresListes = 0;
    }
  }
  const int entries = Combo1->ListCount();
  if (v.DernierIndexAuto != 0) {
    --v.DernierIndexAuto;
    lblAffich->setCaption(QStringLiteral("édition de mes Listes Préférées (") +
                          QString::number(entries - v.DernierIndexAuto) + QLatin1Char('/') + QString::number(entries) +
                          QLatin1Char(')'));
    // Loads the next list, whose own last step goes on with the walk.
    Combo1->setListIndex(Combo1->ListIndex() + 1);
  } else if (automatic) {
    if (Check15->Value() == 1) JouerSon2();
    MyButton6->setEnabled(false);
    lblAffich->setCaption(QStringLiteral("Choix de mes (") + QString::number(entries) +
                          QStringLiteral(") Listes Préférées"));
  }
}

void Main2::mnAfficherEcran_Click() {
  if (!mayStart(Job::ListLoad)) return;
  VariablesVRN& v = vrnVars();
  makeCompact();
  countPagesForDisplay();
  if (v.NbPagesOuvertes > 0 && v.NbPagesOuvertes >= preferredCount()) {
    RestaurerPages();
    return;
  }
  if (v.NbPagesOuvertes > 0 && v.NbPagesOuvertes < preferredCount()) {
    v.Reponse = services().dialogs->msgBox(this, questionText("Actuellement il n'y a que ("), vbInformation + vbYesNo,
                                           QStringLiteral("Définir l'action..."));
    if (v.Reponse != vbYes) {
      RestaurerPages();
      return;
    }
  }
  MyButton6->setCaption(QStringLiteral("Arrêter la Sélection"));
  MyButton6->setEnabled(true);
  Command12_Click();
}

void Main2::mnAfficherSystray_Click() {
  if (!mayStart(Job::ListLoad)) return;
  VariablesVRN& v = vrnVars();
  makeCompact();
  countPagesForDisplay();
  // With no page open the pages open on screen first, then go to the task
  // bar; the count made before stays 0.
  if (isVisible() && v.NbPagesOuvertes == 0) mnAfficherEcran_Click();
  if (v.NbPagesOuvertes > 0 && v.NbPagesOuvertes >= preferredCount()) {
    ReduirePages();
    return;
  }
  if (v.NbPagesOuvertes > 0 && v.NbPagesOuvertes < preferredCount()) {
    v.Reponse = services().dialogs->msgBox(this, questionText("Actuellement il n'y que ("), vbInformation + vbYesNo,
                                           QStringLiteral("Définir l'action..."));
    if (v.Reponse != vbYes) {
      ReduirePages();
      return;
    }
  }
  MyButton6->setCaption(QStringLiteral("Arrêter la Sélection"));
  MyButton6->setEnabled(true);
  Command9_Click();
}

void Main2::mnToutEnlever_Click() { FermerToutesFenetresListes(); }

void Main2::MyButton9_Click() {
  Combo7->hide();
  MyButton9_RightClick();
}

void Main2::MyButton9_RightClick() { PopupMenu(mnMenu4, MyButton9->Left() - 400, MyButton9->Top() - 1200); }

}  // namespace vrn
