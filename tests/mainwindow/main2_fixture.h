#pragma once
// Window tests: a fresh Main2 in a temporary executable folder with scripted
// services, its own runtime folder (for the single-instance lock) and an exit
// hook in place of ending the process.
#include <QFile>
#include <QTimer>
#include <functional>
#include <QTemporaryDir>
#include <memory>

#include "mainwindow/Main2.h"
#include "platform/menu.h"
#include "platform/pathcodec.h"
#include "tests/testing/fixture.h"
#include "tests/testing/windowsnapshot.h"

namespace vrn::testing {

class Main2Test : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
    Main2::exitHook() = [this](int code) { exitCodes.append(code); };
    Menu::popupHook() = [this](Menu* m, int x, int y) { popups.append({m->objectName(), x, y}); };
  }
  void TearDown() override {
    win.reset();
    Main2::exitHook() = nullptr;
    Menu::popupHook() = nullptr;
    if (oldRuntime_.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    else qputenv("XDG_RUNTIME_DIR", oldRuntime_);
    AppFolderTest::TearDown();
  }
  // Creates the window and runs its whole start-up on the folder as the test
  // left it.
  Main2* realStartWindow() {
    win = std::make_unique<Main2>();
    started = win->start();
    return win.get();
  }
  // A quiet start for tests of what comes after start-up: unless the test
  // stored its own, a known existing source (no first-run offer) and options
  // that neither scan nor open pages at start; afterwards the option boxes
  // are as designed and the list of lists offers every list.
  Main2* startWindow() {
    if (!QFile::exists(dbDir() + "/der.rep"))
      writeFile(dbDir() + "/der.rep", exeDir().toUtf8().leftJustified(1024, ' '));
    if (!QFile::exists(dbDir() + "/affp.aff"))
      writeFile(dbDir() + "/affp.aff", QByteArray("11111110000001") + QByteArray(16, '0'));
    Main2* w = realStartWindow();
    if (!started) return w;
    w->Check11->setValue(1);
    w->Check12->setValue(1);
    w->ChargerToutesListes();
    return w;
  }
  QString runtimeDir() const { return runtime_.path(); }
  // What the window (the main one unless named) shows now, with the boxes,
  // shell calls and sounds, the menus popped and the exits asked for; see
  // expectOnlyChanged.
  WindowSnapshot snapshot(Form* window = nullptr) {
    return snapshotOf(window ? window : win.get(), svc.get(), [this](WindowState& state) {
      QStringList shown, codes;
      for (const Popup& p : popups) shown << QString("%1 at %2,%3").arg(p.menu).arg(p.x).arg(p.y);
      for (int code : exitCodes) codes << QString::number(code);
      state["Menus"] = {{"Popups", shown.join(" | ")}};
      state["Program"] = {{"Exits", codes.join(' ')}};
    });
  }

  struct Popup {
    QString menu;
    int x, y;
  };
  std::unique_ptr<Main2> win;
  bool started = false;
  QList<int> exitCodes;
  QList<Popup> popups;

 private:
  QTemporaryDir runtime_;
  QByteArray oldRuntime_;
};

// What changing the window between its compact and full widths lays out
// again.
inline const QList<Change> kWidthChange = {
    {"Main2", "Width"},    {"Main2", "Left"},     {"MyButton10", "Width"}, {"Shape1", "Width"},   {"Label1", "Width"},
    {"MyFrame1", "Width"}, {"MyFrame6", "Width"}, {"ListView2", "Width"},  {"Image5", "Visible"},
};

// Runs fn at every turn of the event loop while it lives.
class EveryTurn {
 public:
  explicit EveryTurn(std::function<void()> fn) {
    QObject::connect(&timer_, &QTimer::timeout, std::move(fn));
    timer_.start(0);
  }

 private:
  QTimer timer_;
};

// A window test with a temporary folder standing for the scanned source.
class SourceFolderTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    ASSERT_TRUE(source_.isValid());
  }
  QString src() const { return source_.path(); }
  // A file of the source with `size` bytes; returns its path.
  QString makeFile(const QString& relative, int size = 0) {
    const QString path = src() + "/" + relative;
    writeFile(path, QByteArray(size, 'x'));
    return path;
  }
  // A list file of the database holding these paths.
  void writeList(const QString& name, const QStringList& paths) {
    QList<QByteArray> bytes;
    for (const QString& p : paths) bytes << encodePath(p);
    writeFile(dbDir() + "/" + name + ".vrn", records(bytes));
  }

 private:
  QTemporaryDir source_;
};

}  // namespace vrn::testing
