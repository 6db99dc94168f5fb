// Copy of the ticked files into a backup folder.
#include "mainwindow/Main2.h"
#include "mainwindow/copyloop.h"
#include "support/SonRessVRN.h"
#include "support/VariablesVRN.h"

namespace vrn {

void Main2::CopierFichiersCoches() {
  // The copy running owns the stop button, the pointer and the shared state.
  if (!mayStart(Job::Copy)) return;
  setMousePointer(vbHourglass);
  MyButton6->setCaption(QStringLiteral("Arrêter Copie"));
  MyButton6->setEnabled(true);

  CopyOptions options;
  options.destination = vrnVars().DossierDestination;
  options.listName = Combo1->Text();
  options.showProgress = [this](const QString& text) { MyButton6->setCaption(text); };
  const CopyOutcome outcome = copyTickedFiles(ListViewCopyRows(ListView2), options);

  setMousePointer(vbDefault);
  // A copy that ended at a failed file, or never began, plays no sound.
  const bool copied = outcome.end != CopyEnd::Failed && outcome.end != CopyEnd::NoDestination;
  if (copied && Check15->Value() == 1) JouerSon();
  MyButton6->setEnabled(false);  // it keeps the last progress caption
  if (outcome.end == CopyEnd::NoDestination) showNoDestinationBox(this, options.destination);
}

}  // namespace vrn
