#pragma once
// Window tests: a fresh Main2 in a temporary executable folder with scripted
// services, its own runtime folder (for the single-instance lock) and an exit
// hook in place of ending the process.
#include <QTemporaryDir>
#include <memory>

#include "mainwindow/Main2.h"
#include "platform/menu.h"
#include "tests/testing/fixture.h"

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
  // Creates the window and runs its start-up.
  Main2* startWindow() {
    win = std::make_unique<Main2>();
    started = win->start();
    return win.get();
  }
  QString runtimeDir() const { return runtime_.path(); }

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

}  // namespace vrn::testing
