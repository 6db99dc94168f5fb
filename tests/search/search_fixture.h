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

// Runs fn at every turn of the event loop while it lives.
class EveryTurn {
 public:
  explicit EveryTurn(std::function<void()> fn) {
    QObject::connect(&timer_, &QTimer::timeout, fn);
    timer_.start(0);
  }

 private:
  QTimer timer_;
};

class SearchTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    ASSERT_TRUE(source_.isValid());
    oldSlice_ = searchEventSliceMs();
    searchEventSliceMs() = 0;
  }
  void TearDown() override {
    searchEventSliceMs() = oldSlice_;
    Main2Test::TearDown();
  }

  QString src() const { return source_.path(); }
  QString makeFile(const QString& relative, int size = 0) {
    const QString path = src() + "/" + relative;
    writeFile(path, QByteArray(size, 'x'));
    return path;
  }
  void writeList(const QString& name, const QStringList& paths) {
    QList<QByteArray> bytes;
    for (const QString& p : paths) bytes << encodePath(p);
    writeFile(dbDir() + "/" + name + ".vrn", records(bytes));
  }
  // Starts the window on the source; the list chooser of the panel holds a
  // blank and then every list, as the list sets fill it.
  Main2* start() {
    writeFile(dbDir() + "/der.rep", encodePath(src()).leftJustified(1024, ' '));
    Main2* w = startWindow();
    w->Combo10->AddItem(" ");
    for (int i = 0; i < w->Combo1->ListCount(); ++i) w->Combo10->AddItem(w->Combo1->List(i));
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

  QTemporaryDir source_;
  int oldSlice_ = 8;
};

}  // namespace vrn::testing
