#pragma once
// Scripted services for tests: boxes are answered from a script and recorded,
// shell calls are recorded, the clock moves only when asked to wait.
#include <QList>
#include <QMap>
#include <QString>
#include <deque>
#include <functional>

#include "platform/services.h"

namespace vrn {

struct ShownBox {
  int style;
  QString title;
  QString text;
};

class TestDialogs : public Dialogs {
 public:
  int msgBox(QWidget* owner, const QString& text, int style, const QString& title) override;
  QString browseForFolder(QWidget* owner, const QString& title) override;
  QString saveFileName(QWidget* owner, const QString& title, const QString& startFolder,
                       const QString& proposedName) override;

  std::deque<int> answers;        // next box answers; when empty: OK, Non or Annuler
  std::deque<QString> folders;    // next folder-browser answers; when empty: ""
  std::deque<QString> saveNames;  // next save-box answers; when empty: ""
  QList<ShownBox> boxes;          // every box shown
  QStringList browserTitles;      // every folder-browser title
  struct SaveCall {
    QString title, startFolder, proposedName;
  };
  QList<SaveCall> saveCalls;
  // Runs while a box is "open", before it is answered (as a user would act).
  std::function<void(const ShownBox&)> onBox;
  std::function<void()> onBrowse;
};

class RecordingShell : public Shell {
 public:
  void openPath(const QString& path) override { opened.append(path); }
  void openWebPage(const QString& address) override { pages.append(address); }
  // A shown folder counts as opened; the item it selects is kept beside it.
  void showInFolder(const QString& folder, const QString& item) override {
    opened.append(folder);
    shownItems.append(item);
  }
  QStringList opened;
  QStringList pages;
  QStringList shownItems;
};

class ManualClock : public Clock {
 public:
  double secondsSinceMidnight() override { return now; }
  void waitForEvents(double seconds) override;
  double now = 36000.0;  // 10:00:00
  double waited = 0.0;   // total of all waits
  std::function<void()> onWait;
};

class TestAudio : public AudioOutput {
 public:
  int deviceCount() override { return devices; }
  void playPcm(std::shared_ptr<const QByteArray> pcm, int sampleRate, int channels) override;
  int devices = 0;
  int plays = 0;
  int cutOffs = 0;  // plays that started while another was still playing
  bool playing = false;
  std::shared_ptr<const QByteArray> current;
  int lastRate = 0;
  int lastChannels = 0;
};

class MemoryRegistry : public Registry {
 public:
  void writeValue(quint32 root, const QString& key, const QString& name, const QString& data) override;
  void deleteValue(quint32 root, const QString& key, const QString& name) override;
  QString readValue(quint32 root, const QString& key, const QString& name) override;
  QMap<QString, QString> values;
  int writes = 0;
  int deletes = 0;
};

class FixedNetwork : public Network {
 public:
  bool connected() override { return up; }
  bool up = false;
};

// Owns one set of test services and installs it; restores nothing on purpose:
// every test installs its own set.
struct TestServices {
  TestServices();
  TestDialogs dialogs;
  RecordingShell shell;
  ManualClock clock;
  TestAudio audio;
  MemoryRegistry registry;
  FixedNetwork network;
  void install();
};

}  // namespace vrn
