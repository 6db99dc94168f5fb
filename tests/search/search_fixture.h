#pragma once
// Search window tests: a started main window whose database names a
// temporary source folder, list files written by the test, the event loop
// let through after every record, and one audio device so sounds count.
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "platform/pathcodec.h"
#include "search/searchengine.h"
#include "support/VariablesVRN.h"
#include "support/formats.h"
#include "tests/mainwindow/main2_fixture.h"

namespace vrn::testing {

// What a search changes in the window: the criterion typed, the scope and
// list chosen, the rows and the tools beside them, the counts, progress and
// status, the full width, and the end sound. The busy picture moves on real
// time while it runs.
inline const QList<Change> kSearchResult =
    kWidthChange +
    QList<Change>{
        {"Text2", "Text"},       {"Check17", "Value"},     {"Check18", "Value"},     {"Check19", "Value"},
        {"Check20", "Value"},    {"Combo10", "ListIndex"}, {"Combo10", "Text"},      {"ListView2", "*"},
        {"Command4", "Visible"}, {"Command8", "Visible"},  {"Command11", "Visible"}, {"ImageList1", "Images"},
        {"Label2", "Caption"},   {"Label28", "Caption"},   {"Label32", "Caption"},   {"Label32", "Visible"},
        {"Label35", "Caption"},  {"etat(0)", "Width"},     {"Picture3", "Left"},     {"Audio", "Plays"},
    };

class SearchTest : public SourceFolderTest {
 protected:
  void SetUp() override {
    SourceFolderTest::SetUp();
    oldSlice_ = searchEventSliceMs();
    searchEventSliceMs() = 0;
  }
  void TearDown() override {
    searchEventSliceMs() = oldSlice_;
    SourceFolderTest::TearDown();
  }

  // Starts the window on the source; the list sets fill the panel's list
  // chooser with a blank and then every list.
  Main2* start() {
    writeFile(dbDir() + "/der.rep", encodePath(src()).leftJustified(1024, ' '));
    Main2* w = startWindow();
    svc->audio.devices = 1;
    return w;
  }
  void openPanel() { win->mnRechercheCritere->click(); }
  // Types the criterion, ticks the scope as the user does, and launches.
  void search(const QString& criterion, CheckBox* scope) {
    win->Text2->setText(criterion);
    scope->setValue(1);
    win->MyButton25->click();
  }
  void searchList(const QString& criterion, const QString& list) {
    win->Combo10->setListIndex(win->Combo10->findText(list));
    search(criterion, win->Check20);
  }
  QStringList column(int k) const {
    QStringList out;
    for (int r = 1; r <= win->ListView2->Count(); ++r)
      out << (k == 0 ? win->ListView2->Text(r) : win->ListView2->SubItem(r, k));
    return out;
  }
  // A percentage as the search writes it, in the user's number format.
  static QString percent(const QString& whole, const QString& hundredths) {
    return whole + userDecimalSeparator() + hundredths + "%";
  }

  int oldSlice_ = 8;
};

}  // namespace vrn::testing
