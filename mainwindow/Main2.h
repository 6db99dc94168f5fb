#pragma once
// The main window. One class whose procedures are spread over the subsystem
// folders, one file per topic (Main2_<topic>.cpp).
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/listview.h"
#include "platform/menu.h"
#include "support/jobguard.h"

namespace vrn {

class InstanceLock;

class Main2 : public Form {
  Q_OBJECT
 public:
  explicit Main2(QWidget* parent = nullptr);
  ~Main2() override;

  // Creates the window, runs Form_Initialize and Form_Load; returns false when
  // start-up ended the program (a second instance, or no usable database folder).
  bool start();
  // From now on a session's end (SIGTERM, SIGHUP, SIGINT) takes the quit
  // command's road, from the event loop.
  void quitOnSessionEnd();
  // Ends the process at once (the quit command); tests replace it.
  static std::function<void(int)>& exitHook();
  // What tests change in a scan: a sort that fails (beforeSort throws, on
  // the sort's thread) and the pace of event turns while the spent work
  // arrays are freed (0: a turn at every slice).
  struct ScanTestHooks {
    std::function<void()> beforeSort;
    std::function<void()> afterWalk;
    int freeArraysSliceMs = 5;
  };
  static ScanTestHooks& scanTestHooks();

  // The compact window (the left column) and the wide one (with the result
  // or preferences panel), in twips.
  static constexpr int kCompactWidth = 5040;
  static constexpr int kCompactHeight = 7500;
  static constexpr int kWideWidth = 14130;
  // The compact size, centred across the screen.
  void makeCompact();
  // The given width, centred across the screen.
  void setWidthCentred(int width);

  // ---- Controls: left column ----
  MyButton* MyButton10;  // header bar
  Shape* Shape1;
  Label* Label1;
  Label* lblAffich;
  MyFrame* MyFrame7;
  ComboBox* Combo1;  // the list of lists
  Label* Label19;
  Label* lblnbr;
  Shape* Shape2;
  PictureBox* label4;  // the scan animation picture
  MyButton* Command1;
  MyButton* MyButton2;
  MyButton* Command2;
  MyButton* MyButton6;
  MyButton* MyButton9;
  MyButton* MyButton7;
  MyButton* MyButton3;
  ComboBox* Combo7;  // special folders

  // ---- Result panel ----
  MyFrame* MyFrame6;
  PictureBox* Image1;
  Label* Label2;
  PictureBox* Image5;
  CheckBox* Check2;
  CheckBox* Check3;
  Label* Label11;
  ListView* ListView2;
  ImageList* ImageList1;
  MyButton* Command4;
  MyButton* Command5;
  MyButton* Command8;
  MyButton* Command11;
  MyButton* MyButton5;

  // ---- Search panel ----
  MyFrame* MyFrame3;
  Label* Label28;
  TextBox* Text2;
  PictureBox* Image7;
  Label* Label35;
  PictureBox* etat0;  // etat(0), the progress bar
  Shape* Shape4;
  PictureBox* Picture3;
  Label* Label32;
  MyFrame* MyFrame9;
  Label* Label34;
  ComboBox* Combo10;
  CheckBox* Check20;
  PictureBox* Image13;
  MyFrame* MyFrame2;
  Label* Label30;
  CheckBox* Check17;
  MyFrame* MyFrame4;
  Label* Label31;
  CheckBox* Check18;
  MyFrame* MyFrame8;
  Label* Label33;
  CheckBox* Check19;
  MyButton* MyButton24;
  MyButton* MyButton25;
  MyButton* MyButton26;

  // ---- Preferences panel ----
  MyFrame* MyFrame1;
  Shape* Shape3;
  Shape* Shape5;
  PictureBox* Image3;
  CheckListBox* LstSources;
  CheckBox* Check1;
  Label* Label10;
  Label* Label7;
  MyButton* MyButton8;
  MyButton* MyButton13;
  MyButton* MyButton4;
  MyButton* MyButton1;
  // Option boxes and their labels (the first seven rows stay hidden).
  CheckBox* Check10;
  Label* Label18;
  CheckBox* Check4;
  Label* Label16;
  CheckBox* Check5;
  Label* Label12;
  CheckBox* Check6;
  Label* Label13;
  CheckBox* Check7;
  Label* Label15;
  CheckBox* Check8;
  Label* Label17;
  CheckBox* Check9;
  Label* Label14;
  CheckBox* Check11;
  Label* Label20;
  CheckBox* Check12;
  Label* Label21;
  CheckBox* Check14;
  Label* Label22;
  CheckBox* Check13;
  Label* Label23;
  CheckBox* Check15;
  Label* Label26;
  CheckBox* Check16;
  Label* Label27;
  MyFrame* MyFrame5;  // web links
  MyButton* MyButton11;
  MyButton* MyButton12;
  MyButton* MyButton17;
  MyButton* MyButton18;
  MyButton* MyButton19;
  MyButton* MyButton21;
  MyButton* MyButton22;
  MyButton* MyButton23;
  MyButton* MyButton27;
  TextBox* Text1;  // help text beside the preferences

  // ---- Hidden working controls ----
  FileListBox* File1;  // the catalogue
  ComboBox* Combo2;    // view modes
  ComboBox* Combo3;    // arrangements
  ComboBox* Combo4;    // focus target
  ComboBox* Combo5;    // staging of the common table
  ComboBox* Combo6;    // staging of the risky table
  ComboBox* Combo8;    // preferred lists as last loaded
  ComboBox* Combo9;    // working copy of the ticks
  Label* Label3;       // sort direction (listactions.h)
  Label* Label6;       // stripe state (listviewtools.h)
  Label* Label9;       // ticked count
  Label* Label4;
  MyButton* Command3;
  MyButton* Command9;
  MyButton* Command12;
  MyButton* Command14;
  ListView* ListView1;
  PictureBox* Picture2;  // the generic program picture
  PictureBox* Image11;   // the picture of every found row
  PictureBox* Image12;   // the search panel's icon

  // ---- Timers ----
  Timer* Timer5;  // busy watcher
  Timer* timer3;  // scan animation
  Timer* Timer2;  // preferences counter
  Timer* Timer4;  // search animation
  Timer* Timer6;  // scope guard
  Timer* timer1;  // never enabled

  // ---- Pop-up menus ----
  Menu* mnMenu1;  // source
  Menu* mnRepSpeciaux;
  MenuItem* mnDetailRepPerso;
  MenuItem* mnReScannerActuel;
  MenuItem* mnScannProfile;
  MenuItem* mnChoixPerso;
  Menu* mnMenu2;  // extensions
  Menu* mnChoiExtensions;
  MenuItem* mnToutesExtenInit;
  MenuItem* mnAfficherTout;
  MenuItem* mnAF1;
  MenuItem* mnChoisir;
  MenuItem* mnRechercheAffineCritere;
  MenuItem* mnsavoir;
  MenuItem* mnRenseignerExtensFichiers;
  MenuItem* mnChoisirTypeFichier;
  Menu* mnMenu3;  // list
  MenuItem* mnExecuterFichier;
  MenuItem* mnVoirFichier;
  MenuItem* mnCopierSelect;
  MenuItem* mnToutSelect;
  MenuItem* mnToutDeselec;
  MenuItem* mnRechercheCritere;
  MenuItem* mnSavoirPlus;
  MenuItem* mnMessageAuteur;
  Menu* mnMenu4;  // display
  MenuItem* mnAfficherSystray;
  MenuItem* mnAfficherEcran;
  MenuItem* mnToutEnlever;
  Menu* mnMenu5;  // quit or minimise
  MenuItem* mnReduire;
  MenuItem* mnArreter;

  // ---- Fields of the window ----
  qint64 NbFichiersTrouves = 0;  // files found by the running scan

  // ---- Start-up ----
  void Form_Initialize();
  void Form_Load() override;
  void continueStartUp();  // the second half of the load procedure
  // The missing-drive and missing-folder boxes (also shown by the list chooser).
  void showMissingDriveBox(const QString& source);
  void showMissingFolderBox(const QString& source);

  // ---- Database folder ----
  void CompterFichiersBase();

  // ---- Window shell ----
  void Form_Resize() override;
  void Form_Unload(int& cancel) override;
  void Form_Click() override;
  void Form_MouseMove() override;
  void MyFrame6_MouseMove();
  void MyButton10_MouseMove();
  void MyButton10_Click();
  void Command2_Click();
  void mnReduire_Click();
  void mnArreter_Click();
  void MyButton8_Click();
  void mnMessageAuteur_Click();
  void timer3_Timer();
  void Timer5_Timer();

  // ---- Scan walk and database writer ----
  void ScannerDossier(const QString& dossier, const QString& motif);
  // False when the new database could not be written: the old one stays.
  bool CreerBaseDonnees();
  void Command3_Click();

  // ---- Scan command, source menu, stop buttons, special folders ----
  void Command1_Click();
  void Command1_RightClick();
  void mnReScannerActuel_Click();
  void mnScannProfile_Click();
  void mnChoixPerso_Click();
  void mnDetailRepPerso_Click();
  void Combo7_Click();
  void MyButton5_Click();
  void MyButton6_Click();
  void RemplirDossiersSysteme();

  // ---- Built-in extension tables ----
  void ChargerTabExtensionsCourantes();
  void ChargerTabExtensionsRisquees();

  // ---- List loader and presentation ----
  void Combo1_Click();
  void AfficherListeExtension();
  void LV_ResizeColumns(ListView* liste);
  void ColorerLignesListView(ListView* liste, quint32 couleur1, quint32 couleur2);
  void Command4_Click();
  void Command5_Click();
  void Combo2_Click();
  void Combo3_Click();
  void mnChoisirTypeFichier_Click();

  // ---- List events, file actions and copy ----
  void ListView2_Click();
  void ListView2_ColumnClick(int colonne);
  void ListView2_DblClick();
  void ListView2_ItemCheck(int ligne, bool cochee);
  void ListView2_ItemClick(int ligne);
  void ListView2_MouseDown(int bouton, int maj, int x, int y);
  void mnExecuterFichier_Click();
  void mnVoirFichier_Click();
  void mnCopierSelect_Click();
  void mnToutSelect_Click();
  void mnToutDeselec_Click();
  void CopierFichiersCoches();

  // ---- List sets ----
  void ChargerListesCourantes();
  void ChargerToutesListes();
  void mnAF1_Click();
  void mnAfficherTout_Click();
  void mnToutesExtenInit_Click();
  void Check1_Click();
  // The three set captions of the extensions menu, the preferred count given.
  void setListSetCaptions(const QString& preferredCount);

  // ---- Display and start-up options ----
  void Check10_Click();
  void Check4_Click();
  void Check5_Click();
  void Check6_Click();
  void Check7_Click();
  void Check8_Click();
  void Check9_Click();
  void Check2_Click();
  void Check11_Click();
  void Check12_Click();
  void Check14_Click();
  void Check13_Click();
  void Check15_Click();
  void Check16_Click();
  void Check3_Click();
  void EcrireAffichageDefaut();
  void ChargerAffichage();
  void SauverAffichage();
  void MyButton13_Click();
  // The box of option flag k (1..14), in the order of the stored record.
  CheckBox* optionBox(int k) const;

  // ---- Preferred lists and preferences panel ----
  void ChargerListesPreferees();
  void MyButton7_Click();
  void mnChoisir_Click();
  void Timer2_Timer();
  void MyButton4_Click();
  void MyButton1_Click();
  void MyButton2_Click();
  void MyButton2_RightClick();

  // ---- Search panel and engine ----
  void mnRechercheCritere_Click();
  void mnRechercheAffineCritere_Click();
  void Check17_Click();
  void Check18_Click();
  void Check19_Click();
  void Check20_Click();
  void Timer6_Timer();
  void MyButton25_Click();
  void MyButton26_Click();
  void MyButton24_Click();
  void Timer4_Timer();
  void RechercherParCritere();
  void CompterDonneesPreferees();
  void CompterDonneesConventionnelles();
  void CompterDonneesToutes();

  // ---- Pages and automatic display ----
  void CompterFenetresListes();
  void ChercherFenetreListe();
  void Command11_Click();
  void Command8_Click();
  void Command8_RightClick();
  void FermerToutesFenetresListes();
  void ReduirePages();
  void RestaurerPages();
  void Command14_Click();
  void Command12_Click();
  void Command9_Click();
  void mnAfficherEcran_Click();
  void mnAfficherSystray_Click();
  void mnToutEnlever_Click();
  void MyButton9_Click();
  void MyButton9_RightClick();
  void runAutomaticDisplayStep();  // the automatic display's step after each list load
  // Command11_Click on a screen of the given height (twips).
  void showPageOnScreen(int screenHeightTwips);
  void endEmptyWalk();

  // ---- Web links ----
  void mnRenseignerExtensFichiers_Click();
  void mnSavoirPlus_Click();
  void mnsavoir_Click();
  void MyButton11_Click();
  void MyButton12_Click();
  void MyButton17_Click();
  void MyButton18_Click();
  void MyButton19_Click();
  void MyButton21_Click();
  void MyButton22_Click();
  void MyButton23_Click();
  void MyButton27_Click();

 private:
  std::unique_ptr<InstanceLock> instanceLock_;
  bool ended_ = false;  // start-up ended the program
  void endProgram(int code);
  enum class DatabaseLock { Taken, HeldByAnother, CannotCreate };
  DatabaseLock lockDatabase();
  void buildLeftColumn();
  void buildResultPanel();
  void buildSearchPanel();
  void buildPreferencesPanel();
  void buildHiddenControls();
  void buildMenus();
  // Each topic connects the events of the controls it handles.
  void wireShell();
  void wireScan();
  void wireLists();
  void wireListEvents();
  void wireOptions();
  void wireSearch();
  void wirePages();
  void wireLinks();
  // The panel buttons' page, after the connection test.
  void openProgramPage(const QString& address);

  // ---- Scan walk and database writer ----
  void showScanStopResult();
  // Steps 5 to 8 of the writer: the catalogue back into the list of lists
  // and the preferences list, every list ticked.
  void refillListControls();
  // "Résultat du Scann (<total>) Fichiers" over "(<source>)".
  static QString scanResultCaption(const QString& source);

  // ---- List loader ----
  QString listBeingRead_;  // the list the latest load reads, named again after a refused pick

  // ---- Scan command ----
  // How the last scan road of Command1_Click ended.
  enum class ScanEnd { Refused, Cancelled, Stopped, Failed, Written };
  ScanEnd scanEnd_ = ScanEnd::Refused;
  int writeError_ = 0;            // errno of the last failed database write
  bool databasePending_ = false;  // the last write left files of the database in a working folder
  void setScanCommandsEnabled(bool on);
  // Shows "Dossier Incorect" and returns true when folder cannot be scanned.
  bool refuseSourceFolder(const QString& folder);
  // The end of a scan whose database could not be sorted or written, and why.
  void endFailedScan(const QString& reason);
  // The folder the last walk took and whether it was a mount root then.
  struct WalkedSource {
    QString folder;
    bool mountRoot = false;
  };
  WalkedSource walkedSource_;
  // Records beside der.rep whether the source just written was a mount root.
  void rememberWrittenSource();
  // Greys the source commands while any job runs; first to go with the window.
  std::unique_ptr<JobWatch> jobWatch_;
};

}  // namespace vrn
