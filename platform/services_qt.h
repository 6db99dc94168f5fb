#pragma once
// The real services on a Linux desktop.
#include "platform/services.h"

namespace vrn {

class QtDialogs : public Dialogs {
 public:
  int msgBox(QWidget* owner, const QString& text, int style, const QString& title) override;
  QString browseForFolder(QWidget* owner, const QString& title) override;
  QString saveFileName(QWidget* owner, const QString& title, const QString& startFolder,
                       const QString& proposedName) override;
};

// Files and folders go to the desktop's opener (xdg-open) as file:// URIs
// built from the path's bytes; show-in-folder asks a file manager on the
// session bus to select the item (org.freedesktop.FileManager1) and opens
// the folder when none answers. Failures are silent.
class QtShell : public Shell {
 public:
  // busName: a connection made with QDBusConnection::connectToBus; empty
  // means the session bus.
  explicit QtShell(const QString& busName = QString()) : busName_(busName) {}
  void openPath(const QString& path) override;
  void openWebPage(const QString& address) override;
  void showInFolder(const QString& folder, const QString& item) override;

 private:
  QString busName_;
};

class SystemClock : public Clock {
 public:
  double secondsSinceMidnight() override;
  void waitForEvents(double seconds) override;
};

}  // namespace vrn
