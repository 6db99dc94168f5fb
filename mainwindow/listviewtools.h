#pragma once
// Presentation of a file list view, shared by the main window and the list
// pages: column fitting, striped rows, the two toggles and the view choice.
#include <QtGlobal>

#include "support/VariablesVRN.h"

namespace vrn {

class ComboBox;
class Label;
class ListView;
class MyButton;

// The stripe-state label's captions: kStripesOff (the yes word) while the
// rows are plain and the toggle stripes them next, kStripesOn while they are
// striped.
inline constexpr QLatin1String kStripesOff = kYes;
inline constexpr QLatin1String kStripesOn("non");

// Row colours as the program gives them (0xBBGGRR).
constexpr quint32 kStripeWhite = 0xFFFFFF;
constexpr quint32 kStripeYellow = 0xC0FFFF;

// Fits the columns from the first to the fourth from last to their headers
// and contents, with the view's updates locked meanwhile. The last three
// columns (the attributes and the two hidden keys of a file list) keep their
// widths; a list of three columns or fewer is left alone.
void fitListColumns(ListView* list);

// Alternate row colours; only a report view with at least one row changes.
void stripeListRows(ListView* list, quint32 first, quint32 second);

// Column widths toggle: fitted (AutoSizeActif 1, caption "AutoSize/Non") or
// back to the widths saved at start-up (AutoSizeActif 0, "AutoSize/Oui").
void toggleColumnFit(ListView* list, MyButton* button);

// Stripe toggle driven by a state label: kStripesOff puts white and
// pale-yellow stripes on and says kStripesOn; kStripesOn paints plain white
// and says kStripesOff; any other caption does nothing.
void toggleStripes(ListView* list, Label* state);

// View mode from the selected entry's item data; nothing without a selection.
void applyViewChoice(ListView* list, const ComboBox* combo);

}  // namespace vrn
