// The list loader: one extension's list file into the main list view.
#include <optional>

#include "database/dbfolder.h"
#include "database/sourcemount.h"
#include "mainwindow/Main2.h"
#include "mainwindow/factsahead.h"
#include "mainwindow/listactions.h"
#include "mainwindow/listloader.h"
#include "mainwindow/listrows.h"
#include "mainwindow/listviewtools.h"
#include "support/IconeF.h"
#include "support/ModeFileInfoVRN.h"
#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/services.h"
#include "support/SonRessVRN.h"
#include "support/VariablesVRN.h"
#include "support/jobguard.h"
#include "support/sourceroot.h"

namespace vrn {

namespace {
qint64 lastGapMs = 0;
}  // namespace

int& listLoadEventSliceMs() {
  static int slice = 8;
  return slice;
}

qint64 lastListLoadLongestGapMs() { return lastGapMs; }

QString recordPath(const QByteArray& record) {
  const QByteArrayView text = recordText(record);
  return decodePath(text.data(), text.size());
}

void Main2::wireLists() {
  connect(Combo1, &ComboBox::Click, this, &Main2::Combo1_Click);
  connect(Command4, &MyButton::Click, this, &Main2::Command4_Click);
  connect(Command5, &MyButton::Click, this, &Main2::Command5_Click);
  connect(Combo2, &ComboBox::Click, this, &Main2::Combo2_Click);
  connect(Combo3, &ComboBox::Click, this, &Main2::Combo3_Click);
  connect(mnChoisirTypeFichier, &MenuItem::Click, this, &Main2::mnChoisirTypeFichier_Click);
}

void Main2::Combo1_Click() {
  // A list picked while another is being read (the list of lists can be
  // dropped down from the menu meanwhile) would reopen list file 1 and empty
  // the rows under the running loop: ignored, and the list of lists names the
  // list being read again.
  if (!mayStart(Job::ListLoad)) {
    const QSignalBlocker quiet(Combo1);
    const int shown = Combo1->findText(listBeingRead_);
    if (shown >= 0) Combo1->setCurrentIndex(shown);
    return;
  }
  VariablesVRN& v = vrnVars();
  const QString source = trimBlanks(v.SourceActuelle);
  if (!driveRootExists(source)) {
    showMissingDriveBox(source);
    return;
  }
  if (sourceFolderMissing(source)) {
    showMissingFolderBox(source);
    return;
  }
  MyButton6->setCaption("Arrêter l'Opération en Cours");
  MyButton6->setEnabled(true);
  MyButton7->show();
  ListView2->Clear();
  ListView2->setSorted(false);
  ListView2->setSortKey(0);
  Label3->setCaption(kAscendingNext);
  Label9->setCaption("0");
  v.NombreSelection = 0;
  MyButton10->setCaption("Lister les Fichiers (" + Combo1->Text() + ")");
  Combo1->hide();
  AfficherListeExtension();
  Combo1->show();
  Shape1->setHeight(615);
  Shape1->setWidth(13815);
  Label1->show();
  Label1->setWidth(13575);
  v.ModeAffichageAuto = kNoAutoDisplay;
  Label19->setCaption("");
  if (isVisible()) Combo4->setFocus();
}

void Main2::AfficherListeExtension() {
  VariablesVRN& v = vrnVars();
  // From here to its automatic step, list file 1 and the rows belong to this
  // load: no other load, and no scan, may start meanwhile (mayStart). The
  // automatic step starts the next load itself, so the guard ends before it.
  std::optional<JobGuard> loading(std::in_place, Job::ListLoad);
  if (isVisible()) Combo4->setFocus();
  ListView2->setVisible(Check3->Value() == 1);

  const bool pages = v.ModeAffichageAuto == kAutoPagesInTaskBar || v.ModeAffichageAuto == kAutoPagesOnScreen;
  setWidthCentred(pages ? kCompactWidth : kWideWidth);

  const QString nom = Combo1->Text();
  listBeingRead_ = nom;
  RecordFile& liste = fileChannel(kListChannel);
  liste.close();
  liste.open(listFilePath(nom), kRecFichier, true);
  v.NumEnregistrement = liste.recordCount();
  const qint64 total = v.NumEnregistrement;
  const QString totalText = QString::number(total);

  const QString source = trimBlanks(v.SourceActuelle);
  Label1->setCaption("Résultat du Scann (" + QString::number(v.NombreFichiers) + ") Fichiers\n(" + source + ")");
  Label2->setCaption("Liste de Mes (" + totalText + ") Fichiers (." + nom + ") Disponibles");
  MyButton10->setCaption("Lister les Fichiers (" + nom + ")\n(" + source + ")");

  // One icon for the whole list, from its first record (which need not exist
  // any more); programs all show the one generic program picture.
  const QString premier = recordPath(liste.read(1));
  ListView2->setLargeIcons(nullptr);
  ListView2->setSmallIcons(nullptr);
  ImageList1->Clear();
  if (nom.toLower() != "exe") {
    ImageList1->Add(IconeFichier(premier));
    Image1->setPicture(IconeFichier(premier));
  } else {
    Image1->setPicture(Picture2->Picture());
    ImageList1->Add(Picture2->Picture());
  }
  ListView2->setSmallIcons(ImageList1);
  ListView2->setView(ListView::lvwReport);

  MyButton5->show();
  for (QWidget* w : std::initializer_list<QWidget*>{Check2, Check3, Command4, Command5, Command8, Command11}) w->hide();

  DetailColumns columns;
  columns.details = Check2->Value() == 1;
  columns.path = Check4->Value() == 1;
  columns.size = Check5->Value() == 1;
  columns.access = Check8->Value() == 1;
  columns.creation = Check6->Value() == 1;
  columns.modification = Check7->Value() == 1;
  columns.attributes = Check9->Value() == 1;

  // Events run at a steady pace rather than after every record, and as they
  // come while the workers are behind once the first record is in (or the
  // first records are long in coming: after a slice, at least 10 ms); the
  // progress label and the shared variables of the record loop are brought
  // up to date just before a turn, and end exact.
  const int sliceMs = listLoadEventSliceMs();
  EventPump pump({.sliceMs = sliceMs, .quietBeforeFirstOfferMs = std::max(sliceMs, 10)});
  qint64 shown = 0;  // the record the progress label names
  // The facts of the records are gathered ahead on worker threads and come
  // back in record order; each record still adds its row, tests the stop
  // request and lets events run here, in the order of the record loop.
  FactsAhead::Options options;
  options.columns = columns;
  options.wake = pump.waker();
  FactsAhead ahead(options);
  FactsAhead::Result result;
  std::string lastPath, lastRowPath;  // bytes of the last record, and of the last one shown
  qint64 fed = 0;
  bool stoppedAtRow = false;
  auto showLoop = [&] {
    v.IndiceBoucle = shown;
    v.ExtensionCourante = decodePath(lastPath.data(), qsizetype(lastPath.size()));
    if (!lastRowPath.empty()) {
      const QString rowPath = decodePath(lastRowPath.data(), qsizetype(lastRowPath.size()));
      v.PosPoint = rowPath.lastIndexOf(u'.') + 1;
      v.PosSlash = rowPath.lastIndexOf(u'/') + 1;
      v.NomSansExt = nameWithoutExtension(rowPath);
    }
  };
  pump.setBeforeTurn([&] {
    if (shown > 0) Label19->setCaption(QString::number(shown) + "/" + totalText);
    showLoop();
  });
  for (;;) {
    while (fed < total && ahead.wantsInput()) {
      ++fed;
      ahead.feed(fed, recordText(liste.read(fed)));
    }
    if (fed == total) ahead.endInput();
    bool taken = ahead.take(result, 0);
    if (!taken && !ahead.finished())
      pump.waitUntil([&] { return (taken = ahead.take(result, 0)) || ahead.finished(); });
    if (!taken) break;
    shown = result.tag;
    lastPath.assign(result.path.data(), size_t(result.path.size()));
    if (result.exists) {
      lastRowPath = lastPath;
      if (v.DemandeArret == kStopRequest) {
        ListView2->AddPacked(result.text, 1);
        v.DernierIndexAuto = 0;
        stoppedAtRow = true;
        break;
      }
      ListView2->AddPacked(result.row, 1);
    }
    pump.offer();
  }
  ahead.stop();
  showLoop();
  if (stoppedAtRow) v.IndiceBoucle = total;
  if (shown > 0) Label19->setCaption(QString::number(shown) + "/" + totalText);
  lastGapMs = pump.longestGapMs();

  liste.close();

  Label2->setCaption("Liste de Mes (" + QString::number(ListView2->Count()) + ") Fichiers (." + nom + ") Disponibles");
  MyButton10->setCaption("Résultat du Scann (" + QString::number(v.NombreFichiers) + ") Fichiers\n(" +
                         v.SourceActuelle + ")");
  Check11->setToolTipText("Scanner au Démarrage dans (" + v.SourceActuelle + ")");
  MyButton6->setEnabled(false);
  MyButton5->hide();
  MyFrame7->show();
  Combo1->show();
  // Still refused while this load (or a job it runs in) goes on: the job
  // watch enables it again once they end.
  Command1->setEnabled(mayStart(Job::Scan));
  MyButton2->setEnabled(true);

  ListView2->setSortKey(2);
  ListView2->setSortOrder(0);
  ListView2->setSorted(true);
  ListView2->setSelectedIndex(0);

  const bool rows = ListView2->Count() > 0;
  ListView2->setVisible(rows);
  Check2->hide();
  Check3->hide();
  Command4->setVisible(rows);
  Command5->hide();
  Command8->setVisible(rows);
  Command11->setVisible(rows);

  v.NombreSelection = 0;
  v.CheminFichier = "";
  if (Check15->Value() == 1) JouerSon();

  loading.reset();
  runAutomaticDisplayStep();

  if (v.DemandeArret == kStopRequest) {
    v.DemandeArret = "";
    ListView2->Clear();
    for (QWidget* w : std::initializer_list<QWidget*>{ListView2, Command4, Command5, Command8, Command11}) w->hide();
  }

  Label6->setCaption(kStripesOff);
  Command5_Click();
  ListView2->Refresh();
}

}  // namespace vrn
