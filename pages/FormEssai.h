#pragma once
// The list page: a separate window holding a frozen copy of the main list at
// the moment it was made (rows, icon, title, source), with its own sort,
// ticks, file actions and copy of the ticked files. Pages are found again
// only through the loaded windows named "FormEssai" and their captions.
#include <QList>
#include <QPointer>

#include "platform/controls.h"
#include "platform/form.h"
#include "platform/listview.h"
#include "platform/menu.h"

namespace vrn {

class Main2;

// Normal size of a page, in twips, for a screen of the given height.
constexpr int kPageWidth = 2970;
int pageHeightFor(int screenHeightTwips);

// The loaded pages, in load order (the main window is never one of them).
QList<Form*> loadedPages();
// Every loaded page gets the window state (0 normal, 1 minimised).
void setEveryPageState(int state);
// Every loaded page is closed; the cascade starts again from 0, 0.
void closeEveryPage();
// Where the next page opened on screen goes: one page lower, or the top of a
// new column one page width to the right when it would come within two page
// heights of the screen's bottom. The first page after a reset keeps the
// stored corner. Updates PosGaucheFenetre and PosHautFenetre.
void stepCascade(int screenHeightTwips);

class FormEssai : public Form {
  Q_OBJECT
 public:
  // `main` is the window whose list, icon, list name and search box the page
  // copies when it loads.
  explicit FormEssai(Main2* main);
  ~FormEssai() override;

  // ---- Controls ----
  ListView* ListView2;
  ImageList* ImageList1;
  PictureBox* Image1;  // the list's icon, then the clicked file's
  PictureBox* Image3;  // the program icon (search results)
  Label* Label2;       // title
  Label* Label4;       // source line
  Label* Label3;       // sort direction (listactions.h)
  Label* Label6;       // stripe state (listviewtools.h)
  Label* Label9;       // ticked count
  MyButton* Command4;  // column auto-size toggle
  MyButton* Command5;  // stripe toggle, run from code
  MyButton* MyButton1;
  MyButton* MyButton2;
  MyButton* MyButton3;
  MyButton* MyButton6;  // stop of the page's copy
  MyButton* Command1;   // trigger: every page minimised
  MyButton* Command2;   // trigger: every page normal
  Menu* mnMenu;
  MenuItem* mnExecuterFichier;
  MenuItem* mnVoirFichier;
  MenuItem* mnCopierSelect;
  MenuItem* mnToutSelect;
  MenuItem* mnToutDeselec;
  MenuItem* mnFermer;

  // ---- The window ----
  void Form_Load() override;
  void Form_Resize() override;
  void Form_DblClick() override;
  void Form_MouseMove() override;
  void mnFermer_Click();

  // ---- All pages at once ----
  void MyButton1_Click();
  void MyButton2_Click();
  void MyButton3_Click();
  void Command1_Click();
  void Command2_Click();
  void FermerToutesFenetresListes();

  // ---- Presentation ----
  void Command4_Click();
  void Command5_Click();
  void LV_ResizeColumns(ListView* liste);
  void ColorerLignesListView(ListView* liste, quint32 couleur1, quint32 couleur2);

  // ---- List events and file actions ----
  void ListView2_Click();
  void ListView2_ColumnClick(int colonne);
  void ListView2_DblClick();
  void ListView2_ItemCheck(int ligne, bool cochee);
  void ListView2_MouseDown(int bouton, int maj, int x, int y);
  void mnExecuterFichier_Click();
  void mnVoirFichier_Click();
  void mnToutSelect_Click();
  void mnToutDeselec_Click();

  // ---- Copy of the ticked files ----
  void mnCopierSelect_Click();
  void MyButton6_Click();
  void CopierFichiersCoches();

 private:
  void buildControls();
  void buildMenu();
  void wire();
  QPointer<Main2> main_;
};

}  // namespace vrn
