#pragma once
// The outside services the program calls: dialogs, shell, clock, audio,
// registry-like settings and the network test. Each has a Qt implementation
// for the real program and a scripted one for tests (testservices.h).
#include <QByteArray>
#include <QString>
#include <memory>

class QWidget;

namespace vrn {

// Message box styles, one button set plus one icon, added together as the
// runtime's constants are: vbOKOnly (0), vbCritical (16), vbExclamation (48),
// vbExclamation + vbYesNo (52), vbInformation (64), vbInformation +
// vbYesNoCancel (67), vbInformation + vbYesNo (68).
enum MsgBoxStyle {
  vbOKOnly = 0,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
};
constexpr int kMsgBoxButtons = 0x0F;  // the button set of a style
constexpr int kMsgBoxIcon = 0xF0;     // the icon of a style
// Answers: 1 OK, 6 Oui, 7 Non, 2 Annuler.
enum MsgBoxAnswer { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // An empty title shows the application's title.
  virtual int msgBox(QWidget* owner, const QString& text, int style, const QString& title) = 0;
  // The chosen folder, or "" when cancelled.
  virtual QString browseForFolder(QWidget* owner, const QString& title) = 0;
  // The chosen name (full path), or "" when cancelled. No overwrite question.
  virtual QString saveFileName(QWidget* owner, const QString& title, const QString& startFolder,
                               const QString& proposedName) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  virtual void openPath(const QString& path) = 0;        // a file or a folder
  virtual void openWebPage(const QString& address) = 0;  // a web address
  // Opens a folder in the file manager with `item` (a path inside it)
  // selected where the desktop offers that; an empty item opens the folder.
  virtual void showInFolder(const QString& folder, const QString& item) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since local midnight, with fractions.
  virtual double secondsSinceMidnight() = 0;
  // Lets window events run for up to the given time (returns earlier when it
  // likes); a manual clock advances itself instead of waiting.
  virtual void waitForEvents(double seconds) = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  virtual int deviceCount() = 0;
  // Plays interleaved 16-bit PCM in the background, cutting off any sound
  // still playing. The bytes are shared so they outlive the call.
  virtual void playPcm(std::shared_ptr<const QByteArray> pcm, int sampleRate, int channels) = 0;
};

// Stand-in for the few registry values the program reads and writes.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual void writeValue(quint32 root, const QString& key, const QString& name, const QString& data) = 0;
  virtual void deleteValue(quint32 root, const QString& key, const QString& name) = 0;
  virtual QString readValue(quint32 root, const QString& key, const QString& name) = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  virtual bool connected() = 0;
};

struct Services {
  Dialogs* dialogs = nullptr;
  Shell* shell = nullptr;
  Clock* clock = nullptr;
  AudioOutput* audio = nullptr;
  Registry* registry = nullptr;
  Network* network = nullptr;
};

Services& services();
// Installs the real implementations (called by the application's main).
void installQtServices();
// Loads Qt's own texts (standard dialogs and buttons) for the user's
// language; the translator belongs to the application. False when none was
// found for that language.
bool installQtTranslations();

// The folder of the running executable, taken from its own path bytes; ""
// when it cannot be found (never a guess such as "/" or the current folder).
// Tests point it elsewhere.
QString appFolder();
void setAppFolderForTests(const QString& folder);
// The folder of the file that a link to the running executable names
// (/proc/self/exe), decoded losslessly; "" when it cannot be read.
QString folderOfExecutable(const QByteArray& link);
// The link appFolder() reads; tests may point it at a link of their own.
QByteArray& executableLink();

}  // namespace vrn
