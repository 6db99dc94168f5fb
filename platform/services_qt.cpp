#include "platform/services_qt.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QUrl>

#include "platform/pathcodec.h"

namespace vrn {

int QtDialogs::msgBox(QWidget* owner, const QString& text, int style, const QString& title) {
  QMessageBox box(owner);
  box.setWindowTitle(title.isEmpty() ? QStringLiteral("Varnelo") : title);
  box.setText(text);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (style & 0xF0) {
    case 16: icon = QMessageBox::Critical; break;
    case 32: icon = QMessageBox::Question; break;
    case 48: icon = QMessageBox::Warning; break;
    case 64: icon = QMessageBox::Information; break;
  }
  box.setIcon(icon);
  struct Choice { QString label; int answer; QMessageBox::ButtonRole role; };
  std::vector<Choice> choices;
  switch (style & 0x0F) {
    case 3:
      choices = {{"Oui", vbYes, QMessageBox::YesRole}, {"Non", vbNo, QMessageBox::NoRole},
                 {"Annuler", vbCancel, QMessageBox::RejectRole}};
      break;
    case 4:
      choices = {{"Oui", vbYes, QMessageBox::YesRole}, {"Non", vbNo, QMessageBox::NoRole}};
      break;
    default:
      choices = {{"OK", vbOK, QMessageBox::AcceptRole}};
      break;
  }
  std::vector<std::pair<QAbstractButton*, int>> buttons;
  for (const auto& c : choices) buttons.emplace_back(box.addButton(c.label, c.role), c.answer);
  box.setDefaultButton(static_cast<QPushButton*>(buttons.front().first));
  if (choices.size() == 3) box.setEscapeButton(buttons.back().first);
  box.exec();
  for (const auto& [button, answer] : buttons)
    if (box.clickedButton() == button) return answer;
  // Closed with Escape or the title bar: the cancelling answer.
  return choices.size() == 3 ? vbCancel : choices.size() == 2 ? vbNo : vbOK;
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& title) {
  return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

QString QtDialogs::saveFileName(QWidget* owner, const QString& title, const QString& startFolder,
                                const QString& proposedName) {
  QString start = startFolder;
  if (!proposedName.isEmpty()) start = startFolder.isEmpty() ? proposedName : startFolder + "/" + proposedName;
  return QFileDialog::getSaveFileName(owner, title, start, QString(), nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}

void QtShell::openPath(const QString& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtShell::openWebPage(const QString& address) { QDesktopServices::openUrl(QUrl(address)); }

double SystemClock::secondsSinceMidnight() {
  return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void SystemClock::waitForEvents(double seconds) {
  const int ms = std::max(1, int(seconds * 1000));
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace vrn
