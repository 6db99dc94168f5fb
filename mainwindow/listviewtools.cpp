#include "mainwindow/listviewtools.h"

#include "platform/controls.h"
#include "platform/listview.h"
#include "support/VariablesVRN.h"

namespace vrn {

void fitListColumns(ListView* list) {
  const int columns = list->ColumnCount();
  if (columns == 0) return;
  list->setUpdatesLocked(true);
  for (int i = 0; i <= columns - 4; ++i) list->AutoSizeColumn(i);
  list->setUpdatesLocked(false);
}

void stripeListRows(ListView* list, quint32 first, quint32 second) {
  if (list->View() != ListView::lvwReport || list->Count() == 0) return;
  list->setRowColors(first, second);
}

void toggleColumnFit(ListView* list, MyButton* button) {
  VariablesVRN& v = vrnVars();
  if (v.AutoSizeActif == 0) {
    fitListColumns(list);
    v.AutoSizeActif = 1;
    button->setCaption("AutoSize/Non");
    return;
  }
  const int saved = int(v.LargeursColonnes.size()) - 1;  // widths 1 to 10
  for (int k = 1; k <= list->ColumnCount() && k <= saved; ++k) list->setColumnWidth(k, v.LargeursColonnes[size_t(k)]);
  v.AutoSizeActif = 0;
  button->setCaption("AutoSize/Oui");
}

void toggleStripes(ListView* list, Label* state) {
  if (state->Caption() == kStripesOff) {
    stripeListRows(list, kStripeWhite, kStripeYellow);
    state->setCaption(kStripesOn);
  } else if (state->Caption() == kStripesOn) {
    stripeListRows(list, kStripeWhite, kStripeWhite);
    state->setCaption(kStripesOff);
  }
}

void applyViewChoice(ListView* list, const ComboBox* combo) {
  const int i = combo->ListIndex();
  if (i >= 0) list->setView(combo->ItemDataAt(i));
}

}  // namespace vrn
