// Links to web pages: two menu items and the program buttons of the
// preferences panel, which first test the connection.
#include "mainwindow/Main2.h"
#include "mainwindow/weblinks.h"
#include "platform/services.h"
#include "support/SiConnecte.h"
#include "support/VariablesVRN.h"

namespace vrn {

void Main2::wireLinks() {
  connect(mnRenseignerExtensFichiers, &MenuItem::Click, this, &Main2::mnRenseignerExtensFichiers_Click);
  connect(mnSavoirPlus, &MenuItem::Click, this, &Main2::mnSavoirPlus_Click);
  connect(mnsavoir, &MenuItem::Click, this, &Main2::mnsavoir_Click);
  connect(MyButton11, &MyButton::Click, this, &Main2::MyButton11_Click);
  connect(MyButton12, &MyButton::Click, this, &Main2::MyButton12_Click);
  connect(MyButton17, &MyButton::Click, this, &Main2::MyButton17_Click);
  connect(MyButton18, &MyButton::Click, this, &Main2::MyButton18_Click);
  connect(MyButton19, &MyButton::Click, this, &Main2::MyButton19_Click);
  connect(MyButton21, &MyButton::Click, this, &Main2::MyButton21_Click);
  connect(MyButton22, &MyButton::Click, this, &Main2::MyButton22_Click);
  connect(MyButton23, &MyButton::Click, this, &Main2::MyButton23_Click);
  connect(MyButton27, &MyButton::Click, this, &Main2::MyButton27_Click);
}

void Main2::mnRenseignerExtensFichiers_Click() { services().shell->openWebPage(weblinks::kExtensionsPage); }

void Main2::mnSavoirPlus_Click() { services().shell->openWebPage(weblinks::kPublisherHome); }

void Main2::mnsavoir_Click() { mnSavoirPlus_Click(); }

void Main2::openProgramPage(const QString& address) {
  TesterConnexion();
  if (vrnVars().EtatConnexion != kConnected) {
    services().dialogs->msgBox(this, "Vous n'êtes pas Connecté à Internet, veuillez essayer ultérieurement.",
                               vbExclamation, "Impossibilité de se Connecter...");
    return;
  }
  services().shell->openWebPage(address);
}

void Main2::MyButton11_Click() { openProgramPage(weblinks::kPublisherHome + QLatin1String("editeur")); }
void Main2::MyButton12_Click() { openProgramPage(weblinks::programPage("clavelis-notes")); }
void Main2::MyButton17_Click() { openProgramPage(weblinks::programPage("orbane-agenda")); }
void Main2::MyButton18_Click() { openProgramPage(weblinks::programPage("pixarel-images")); }
void Main2::MyButton19_Click() { openProgramPage(weblinks::programPage("sonolia-audio")); }
void Main2::MyButton21_Click() { openProgramPage(weblinks::programPage("verdane-archives")); }
void Main2::MyButton22_Click() { openProgramPage(weblinks::programPage("calcea-budget")); }
void Main2::MyButton23_Click() { openProgramPage(weblinks::programPage("lumeo-diaporama")); }
void Main2::MyButton27_Click() { openProgramPage(weblinks::programPage("tessel-sauvegarde")); }

}  // namespace vrn
