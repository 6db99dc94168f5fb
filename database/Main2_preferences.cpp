// The preferred lists and the preferences panel.
#include "database/listsets.h"
#include "database/preferredlists.h"
#include "mainwindow/Main2.h"
#include "platform/services.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {

QStringList tickedItems(const CheckListBox* list) {
  QStringList out;
  for (int i = 0; i < list->ListCount(); ++i)
    if (list->Selected(i)) out << list->List(i);
  return out;
}

}  // namespace

void Main2::ChargerListesPreferees() {
  VariablesVRN& v = vrnVars();
  QStringList items;
  for (int i = 0; i < LstSources->ListCount(); ++i) items << LstSources->List(i);
  const std::optional<PreferredRecords> stored = readPreferredRecords(items);
  if (!stored) return;
  v.NumEnregistrement = stored->count;
  // No whole record stored (an empty or cut file): nothing loaded and
  // nothing cleared, so start-up still offers the common lists.
  if (v.NumEnregistrement == 0) return;
  Combo1->Clear();
  Combo8->Clear();
  // Catalogue order; a stored name of no list is dropped, a repeated one
  // gives one entry.
  for (int i = 0; i < items.size(); ++i) {
    const bool found = stored->stored[size_t(i)];
    LstSources->setSelected(i, found);
    if (found) {
      Combo1->AddItem(items[i]);
      Combo8->AddItem(items[i]);
    }
  }
  Combo1->setToolTipText(extensionsTip(Combo1->ListCount()));
  v.NbExtensionsPreferees = Combo1->ListCount();
  setListSetCaptions(countText(v.NbExtensionsPreferees));
  lblAffich->setCaption("Choix de mes (" + QString::number(Combo1->ListCount()) + ") Listes Préférées Disponibles");
  Label10->setCaption("(" + countText(v.NbExtensionsPreferees) + "/" + QString::number(LstSources->ListCount()) +
                      ") extensions");
}

void Main2::MyButton7_Click() {
  Combo7->hide();
  const int mode = vrnVars().ModeAffichageAuto;
  if (mode != kAutoPagesInTaskBar && mode != kAutoPagesOnScreen) {
    MyFrame1->show();
    Text1->show();
    setWidthCentred(kWideWidth);
    Timer2->setEnabled(true);
  } else {
    // The automatic page modes keep the compact window.
    MyFrame1->hide();
    Text1->hide();
    setWidthCentred(kCompactWidth);
  }
}

void Main2::mnChoisir_Click() { MyButton7_Click(); }

void Main2::Timer2_Timer() {
  VariablesVRN& v = vrnVars();
  v.NbSelectionnees = 0;
  v.NbNonSelectionnees = 0;
  const int count = LstSources->ListCount();
  for (int i = 0; i < count; ++i) {
    if (LstSources->Selected(i)) ++v.NbSelectionnees;
    else ++v.NbNonSelectionnees;
  }
  Label10->setCaption("(" + QString::number(v.NbSelectionnees) + "/" +
                      QString::number(v.NbSelectionnees + v.NbNonSelectionnees) + ") extensions...");
  // A new value runs Check1_Click: ticked fills the list of lists with every
  // list, unticked empties it, grey changes nothing more.
  if (v.NbSelectionnees == 0 && count == 0) Check1->setValue(0);
  else if (v.NbSelectionnees == count) Check1->setValue(1);
  else if (v.NbNonSelectionnees == count) Check1->setValue(0);
  else Check1->setValue(2);
}

void Main2::MyButton4_Click() {
  VariablesVRN& v = vrnVars();
  // 1. The panel goes.
  MyFrame1->hide();
  Text1->hide();
  Timer2->setEnabled(false);
  Combo1->hide();
  Combo1->Clear();

  // 2.-4. mesp.par rewritten with the ticked lists, in the order of the list.
  const QStringList ticked = tickedItems(LstSources);
  for (const QString& name : ticked) Combo1->AddItem(name);
  if (const std::optional<qint64> last = writePreferredLists(ticked)) v.NumEnregistrement = *last;

  // 5. Every set reloaded, then the preferred set shown.
  ChargerListesPreferees();
  ChargerListesCourantes();
  ChargerToutesListes();
  mnAF1_Click();

  // 6.-7. The captions, and the options saved with the lists.
  setListSetCaptions(QString::number(Combo1->ListCount()));
  MyFrame1->hide();
  SauverAffichage();

  // 8. The result panel is emptied for a new choice.
  Combo1->setToolTipText(extensionsTip(Combo1->ListCount()));
  ListView2->Clear();
  ListView2->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{Check2, Check3, Command4, Command5, Command8, Command11}) w->hide();
  Label2->setCaption("Faites votre Choix");
  Image1->setPicture(QIcon());
  Combo1->show();
}

void Main2::MyButton1_Click() {
  VariablesVRN& v = vrnVars();
  // 1. The panel goes; the window keeps its width.
  Text1->hide();
  Timer2->setEnabled(false);
  MyFrame1->hide();

  // 2.-4. The ticks against the lists as last loaded, position by position.
  Combo9->Clear();
  v.NbIdentiques = 0;
  for (const QString& name : tickedItems(LstSources)) Combo9->AddItem(name);
  for (int p = 0; p < Combo9->ListCount(); ++p)
    if (Combo9->List(p) == Combo8->List(p)) ++v.NbIdentiques;
  if (v.NbIdentiques == Combo1->ListCount()) return;

  // 5. Save, use for now, or go back to the saved lists.
  v.Reponse = services().dialogs->msgBox(
      this,
      "La Liste des Types de Fichiers à éditer a Changée par rapport à votre Liste Enregistrée...\n"
      "Voulez-vous Enregistrer cette Nouvelle Liste (Oui)..?\n"
      "Non je veux juste l'Utiliser pour l'instant  (Non)..?\n"
      "Je préfère Remettre mes Listes Préférées Enregistrées (Annuler)..?",
      vbInformation + vbYesNoCancel, "Changement de Liste de Fichiers...");
  if (v.Reponse == vbYes) {
    MyButton4_Click();
    FermerToutesFenetresListes();
    if (Check16->Value() == 1) mnAfficherEcran_Click();
  } else if (v.Reponse == vbNo) {
    Combo1->Clear();
    for (int p = 0; p < Combo9->ListCount(); ++p) Combo1->AddItem(Combo9->List(p));
    Combo1->setToolTipText(extensionsTip(Combo1->ListCount()));
    lblAffich->setCaption("Choix de mes (" + QString::number(Combo1->ListCount()) + ") Listes Préférées Provisoires");
    if (Check16->Value() == 1) {
      FermerToutesFenetresListes();
      mnAfficherEcran_Click();
    }
  } else if (v.Reponse == vbCancel) {
    // The saved lists are ticked again; extra ticks stay.
    for (int p = 0; p < Combo8->ListCount(); ++p) {
      const QString saved = Combo8->List(p);
      for (int i = 0; i < LstSources->ListCount(); ++i) {
        if (LstSources->List(i).compare(saved, Qt::CaseInsensitive) == 0) {
          LstSources->setSelected(i, true);
          break;
        }
      }
    }
  }
}

void Main2::MyButton2_Click() {
  Combo7->hide();
  PopupMenu(mnMenu2, MyButton2->Left() - 2000, MyButton2->Top() - (MyButton2->Height() + 970));
}

void Main2::MyButton2_RightClick() {
  PopupMenu(mnMenu2, MyButton2->Left(), MyButton2->Top() - (MyButton2->Height() + 300));
}

}  // namespace vrn
