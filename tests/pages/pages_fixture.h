#pragma once
// Page tests: a started main window on a temporary scanned source, list files
// written by the test, quiet options, and every page closed and deleted at
// the end of each test.
#include <QCoreApplication>
#include <QEvent>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <ostream>

#include "database/dbfolder.h"
#include "mainwindow/listloader.h"
#include "pages/FormEssai.h"
#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/list_rows.h"
#include "tests/mainwindow/main2_fixture.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vrn::testing {

class PagesTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    ASSERT_TRUE(source_.isValid());
    oldSlice_ = listLoadEventSliceMs();
  }
  void TearDown() override {
    closeEveryPage();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    listLoadEventSliceMs() = oldSlice_;
    Main2Test::TearDown();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QString src() const { return source_.path(); }
  QString makeFile(const QString& relative, const QByteArray& bytes = "x") {
    const QString path = src() + "/" + relative;
    writeFile(path, bytes);
    return path;
  }
  void writeList(const QString& name, const QStringList& paths) {
    QList<QByteArray> bytes;
    for (const QString& p : paths) bytes << encodePath(p);
    writeFile(dbDir() + "/" + name + ".vrn", records(bytes));
  }
  // A list of `existing` files that exist and `missing` that do not.
  void writeListOf(const QString& name, int existing, int missing = 0) {
    QStringList paths;
    for (int i = 1; i <= existing; ++i) paths << makeFile(QString("%1/f%2.%1").arg(name).arg(i, 2, 10, QChar('0')));
    for (int i = 1; i <= missing; ++i) paths << src() + QString("/%1/gone%2.%1").arg(name).arg(i);
    writeList(name, paths);
  }

  // The window started on the source, with the details shown, no sound and
  // no page left from start-up.
  Main2* start() {
    writeFile(dbDir() + "/der.rep", encodePath(src()).leftJustified(1024, ' '));
    Main2* w = startWindow();
    closeEveryPage();
    w->Check15->setValue(0);
    w->Check16->setValue(0);
    for (CheckBox* c : {w->Check2, w->Check4, w->Check5, w->Check6, w->Check7, w->Check8, w->Check9}) c->setValue(1);
    return w;
  }
  // The list of lists offers exactly these entries (no list is loaded).
  void offer(const QStringList& names) {
    const QSignalBlocker quiet(win->Combo1);
    win->Combo1->Clear();
    for (const QString& n : names) win->Combo1->AddItem(n);
  }
  // Makes `name` the current list without loading it.
  void choose(const QString& name) {
    const QSignalBlocker quiet(win->Combo1);
    const int i = win->Combo1->findText(name);
    ASSERT_GE(i, 0) << name.toStdString();
    win->Combo1->setListIndex(i);
  }
  // Picks a list as the user does: it is loaded.
  void pick(const QString& name) {
    const int i = win->Combo1->findText(name);
    ASSERT_GE(i, 0) << name.toStdString();
    win->Combo1->setListIndex(i);
  }

  static QList<FormEssai*> pages() {
    QList<FormEssai*> out;
    for (Form* f : loadedPages()) out << qobject_cast<FormEssai*>(f);
    return out;
  }
  static QStringList captions() {
    QStringList out;
    for (Form* f : loadedPages()) out << f->Caption();
    return out;
  }
  static QList<QStringList> rowsOf(const ListView* list) {
    QList<QStringList> rows;
    for (int r = 1; r <= list->Count(); ++r) {
      QStringList cells{list->Text(r)};
      for (int k = 1; k <= 8; ++k) cells << list->SubItem(r, k);
      rows << cells;
    }
    return rows;
  }

 private:
  QTemporaryDir source_;
  int oldSlice_ = 8;
};

}  // namespace vrn::testing
