#include "platform/services_qt.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTime>
#include <QTranslator>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>

#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "platform/services_browser.h"
#include "platform/services_paths.h"

namespace vrn {

namespace {

// A box is centred on its window. The boxes of start-up come before the
// window is on the screen (a second program, the lock, a missing source):
// Qt would centre them on where the hidden window happens to be, near the
// corner of the screen, so they are centred on the screen instead, where
// the window will be.
class CentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    if (event->spontaneous() || (parentWidget() && parentWidget()->window()->isVisible()) || !screen()) return;
    const QRect available = screen()->availableGeometry();
    QRect inside(QPoint(), size());
    inside.moveCenter(screen()->geometry().center());
    inside.moveLeft(std::max(available.left(), std::min(inside.left(), available.right() + 1 - inside.width())));
    inside.moveTop(std::max(available.top(), std::min(inside.top(), available.bottom() + 1 - inside.height())));
    // The inside of the box, placed before the window system shows it.
    setGeometry(inside);
  }
};

}  // namespace

int QtDialogs::msgBox(QWidget* owner, const QString& text, int style, const QString& title) {
  CentredMessageBox box(owner);
  box.setWindowTitle(title.isEmpty() ? QStringLiteral("Varnelo") : title);
  box.setText(text);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (style & kMsgBoxIcon) {
    case vbCritical:
      icon = QMessageBox::Critical;
      break;
    case vbQuestion:
      icon = QMessageBox::Question;
      break;
    case vbExclamation:
      icon = QMessageBox::Warning;
      break;
    case vbInformation:
      icon = QMessageBox::Information;
      break;
  }
  box.setIcon(icon);
  struct Choice {
    QString label;
    int answer;
    QMessageBox::ButtonRole role;
  };
  std::vector<Choice> choices;
  switch (style & kMsgBoxButtons) {
    case vbYesNoCancel:
      choices = {{"Oui", vbYes, QMessageBox::YesRole},
                 {"Non", vbNo, QMessageBox::NoRole},
                 {"Annuler", vbCancel, QMessageBox::RejectRole}};
      break;
    case vbYesNo:
      choices = {{"Oui", vbYes, QMessageBox::YesRole}, {"Non", vbNo, QMessageBox::NoRole}};
      break;
    default:
      choices = {{"OK", vbOK, QMessageBox::AcceptRole}};
      break;
  }
  std::vector<std::pair<QAbstractButton*, int>> buttons;
  buttons.reserve(choices.size());
  for (const auto& c : choices) buttons.emplace_back(box.addButton(c.label, c.role), c.answer);
  box.setDefaultButton(static_cast<QPushButton*>(buttons.front().first));
  if (choices.size() == 3) box.setEscapeButton(buttons.back().first);
  box.exec();
  for (const auto& [button, answer] : buttons)
    if (box.clickedButton() == button) return answer;
  // Closed with Escape or the title bar: the cancelling answer.
  return choices.size() == 3 ? vbCancel : choices.size() == 2 ? vbNo : vbOK;
}

namespace {
// The folder last chosen in the browser, where it opens next (this run only).
QByteArray& lastChosenFolder() {
  static QByteArray folder;
  return folder;
}
}  // namespace

QString QtDialogs::browseForFolder(QWidget* owner, const QString& title) {
  QByteArray start = lastChosenFolder();
  if (start.isEmpty()) start = QFile::encodeName(QDir::homePath());
  FolderBrowser dialog(owner, title, FolderBrowser::Mode::ChooseFolder, start);
  if (dialog.exec() != QDialog::Accepted) return QString();
  lastChosenFolder() = dialog.chosenPath();
  return decodePath(dialog.chosenPath());
}

QString QtDialogs::saveFileName(QWidget* owner, const QString& title, const QString& startFolder,
                                const QString& proposedName) {
  const QByteArray start = startFolder.isEmpty() ? QFile::encodeName(QDir::homePath()) : encodePath(startFolder);
  FolderBrowser dialog(owner, title, FolderBrowser::Mode::SaveName, start, proposedName);
  if (dialog.exec() != QDialog::Accepted) return QString();
  return decodePath(dialog.chosenPath());
}

namespace {

// Hands a URI to the desktop's opener as its one argument.
void openUri(const QByteArray& uri) {
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (!opener.isEmpty() && QProcess::startDetached(opener, {QString::fromLatin1(uri)})) return;
  // Without xdg-open, Qt's own launcher (it cannot carry every byte of a name).
  QDesktopServices::openUrl(QUrl::fromEncoded(uri));
}

bool pathExists(const QString& path) {
  struct stat st;
  return ::lstat(encodePath(path).constData(), &st) == 0;
}

const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");

bool fileManagerOffered(QDBusConnection& bus) {
  if (!bus.isConnected()) return false;
  QDBusConnectionInterface* daemon = bus.interface();
  if (!daemon) return false;
  if (daemon->isServiceRegistered(kFileManager)) return true;
  const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
  return activatable.isValid() && activatable.value().contains(kFileManager);
}

}  // namespace

void QtShell::openPath(const QString& path) { openUri(fileUriOf(encodePath(path))); }

void QtShell::openWebPage(const QString& address) { QDesktopServices::openUrl(QUrl(address)); }

void QtShell::showInFolder(const QString& folder, const QString& item) {
  QDBusConnection bus = busName_.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(busName_);
  if (item.isEmpty() || !pathExists(item) || !fileManagerOffered(bus)) {
    openPath(folder);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kFileManager, QStringLiteral("/org/freedesktop/FileManager1"),
                                                     kFileManager, QStringLiteral("ShowItems"));
  call << QStringList{QString::fromLatin1(fileUriOf(encodePath(item)))} << QString();
  // Answered later, so the window stays live while a file manager starts; a
  // refusal falls back to opening the folder.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
  const QByteArray folderUri = fileUriOf(encodePath(folder));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folderUri](QDBusPendingCallWatcher* w) {
    if (w->isError()) openUri(folderUri);
    w->deleteLater();
  });
}

bool installQtTranslations() {
  auto* translator = new QTranslator(qApp);
  if (!translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

double SystemClock::secondsSinceMidnight() { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

void SystemClock::waitForEvents(double seconds) { letEventsRunFor(seconds); }

}  // namespace vrn
