#pragma once
// What a file list and its pop-up menu do, shared by the main window and the
// list pages: the current file, the header sort, running a file (with the
// risky-file warning), showing it in its folder, the tick counter, tick all
// and untick all, the copy item of the menu and the nothing-ticked box.
#include <QString>

class QWidget;

namespace vrn {

class CheckBox;
class Label;
class ListView;
class MenuItem;

// The text after the last "." of a path; the whole path when it has no ".".
QString extensionAfterLastDot(const QString& path);

QString riskyFileWarningTitle();
QString riskyFileWarningText(const QString& path, const QString& extension);

// A leading number of a caption as the runtime reads it ("1" -> 1, "x" -> 0).
double captionValue(const QString& caption);

// The selected row's path becomes the current file; returns false (changing
// nothing) for an empty list or when no row is selected.
bool takeCurrentFile(ListView* list);

// The sort-direction label's captions, read as numbers: the next header
// click sorts ascending, or descending.
inline constexpr QLatin1String kAscendingNext("0");
inline constexpr QLatin1String kDescendingNext("1");

// Sorts on the clicked header (from 1), alternating the direction held in
// the flag label's caption (kAscendingNext or kDescendingNext).
void sortOnHeader(ListView* list, Label* directionFlag, int header);

// Opens the current file through the shell, after the warning for a risky
// extension; nothing when it no longer exists or the user answers No.
void runCurrentFile(QWidget* owner);

// The current file becomes its folder, which is shown (with the file
// selected where the desktop can) when it exists.
void showCurrentFileFolder();

// A user's tick or untick: the shared count and its label.
void countUserTick(Label* counter, bool ticked);

// Ticks or unticks every row; the shared count follows (the label does not);
// the confirmation sound plays when the sound option is ticked.
void tickAllRows(ListView* list, bool ticked, CheckBox* soundOption);

// The copy item's caption and state from the shared ticked count.
void setCopyItemFromCount(MenuItem* copyItem);

// The enabled states of the file items before the list's menu pops up.
void prepareFileMenu(MenuItem* runItem, MenuItem* showItem, MenuItem* copyItem);

// The nothing-ticked box when the shared count is 0; returns true when shown.
bool refuseEmptySelection(QWidget* owner);

}  // namespace vrn
