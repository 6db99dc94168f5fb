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

class QtShell : public Shell {
 public:
  void openPath(const QString& path) override;
  void openWebPage(const QString& address) override;
};

class SystemClock : public Clock {
 public:
  double secondsSinceMidnight() override;
  void waitForEvents(double seconds) override;
};

}  // namespace vrn
