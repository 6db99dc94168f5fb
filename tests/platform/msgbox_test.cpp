// The real message box of the dialog service, answered offscreen as a user
// would: each style the program uses shows its icon and its French buttons,
// and each button gives the runtime's answer number.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "platform/services.h"
#include "platform/services_qt.h"

using namespace vrn;

namespace {

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;  // captions, sorted
  QRect frame;          // where it showed, frame included
};

// Shows the box, notes what it shows once it waits for the user, then lets
// `answer` close it; returns the service's answer.
int showAndAnswer(int style, const QString& title, SeenBox& seen, const std::function<void(QMessageBox*)>& answer,
                  QWidget* owner = nullptr) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, &seen, answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.frame = box->frameGeometry();
    for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
    std::sort(seen.buttons.begin(), seen.buttons.end());
    answer(box);
    if (box->isVisible()) box->done(0);  // a step that failed must not leave it open
  });
  poll->start();
  QtDialogs dialogs;
  return dialogs.msgBox(owner, QStringLiteral("Le texte"), style, title);
}

std::function<void(QMessageBox*)> click(const QString& caption) {
  return [caption](QMessageBox* box) {
    for (QAbstractButton* b : box->buttons())
      if (b->text() == caption) return b->click();
  };
}

}  // namespace

TEST(MsgBox, EachStyleShowsItsIconAndButtonsAndGivesTheRuntimesAnswers) {
  struct Case {
    int style;
    int number;  // the style as the runtime numbers it
    QMessageBox::Icon icon;
    QStringList buttons;
    QString clicked;
    int answer;
  };
  const Case cases[] = {
      {vbOKOnly, 0, QMessageBox::NoIcon, {"OK"}, "OK", 1},
      {vbCritical, 16, QMessageBox::Critical, {"OK"}, "OK", 1},
      {vbExclamation, 48, QMessageBox::Warning, {"OK"}, "OK", 1},
      {vbExclamation + vbYesNo, 52, QMessageBox::Warning, {"Non", "Oui"}, "Non", 7},
      {vbExclamation + vbYesNo, 52, QMessageBox::Warning, {"Non", "Oui"}, "Oui", 6},
      {vbInformation, 64, QMessageBox::Information, {"OK"}, "OK", 1},
      {vbInformation + vbYesNoCancel, 67, QMessageBox::Information, {"Annuler", "Non", "Oui"}, "Annuler", 2},
      {vbInformation + vbYesNoCancel, 67, QMessageBox::Information, {"Annuler", "Non", "Oui"}, "Non", 7},
      {vbInformation + vbYesNo, 68, QMessageBox::Information, {"Non", "Oui"}, "Oui", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(c.style, c.number);
    SeenBox seen;
    const int answer = showAndAnswer(c.style, QStringLiteral("Titre..."), seen, click(c.clicked));
    EXPECT_EQ(seen.title, "Titre...");
    EXPECT_EQ(seen.text, "Le texte");
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_EQ(seen.buttons, c.buttons);
    EXPECT_EQ(answer, c.answer);
  }
}

TEST(MsgBox, ABoxWithoutTitleShowsTheProgramsAndEscapeCancelsWhereItCan) {
  SeenBox seen;
  const auto escape = [](QMessageBox* box) { box->reject(); };
  EXPECT_EQ(showAndAnswer(vbOKOnly, QString(), seen, escape), vbOK);
  EXPECT_EQ(seen.title, "Varnelo");
  EXPECT_EQ(showAndAnswer(vbExclamation + vbYesNo, QString(), seen, escape), vbNo);
  EXPECT_EQ(showAndAnswer(vbInformation + vbYesNoCancel, QString(), seen, escape), vbCancel);
}

TEST(MsgBox, ABoxShownBeforeItsWindowIsCentredOnTheScreen) {
  // The main window during start-up: made, placed away from the centre, not
  // shown yet.
  QWidget window;
  window.setGeometry(0, 0, 640, 480);
  const QRect screen = window.screen()->geometry();
  ASSERT_NE(window.geometry().center(), screen.center());
  SeenBox seen;
  const auto ok = [](QMessageBox* box) { box->accept(); };
  for (const QString& title : {QStringLiteral("Programme en double Détecté..."), QString()}) {
    SCOPED_TRACE(title.toStdString());
    EXPECT_EQ(showAndAnswer(vbExclamation, title, seen, ok, &window), vbOK);
    ASSERT_TRUE(seen.frame.isValid());
    EXPECT_LE((seen.frame.center() - screen.center()).manhattanLength(), 1)
        << seen.frame.x() << ", " << seen.frame.y() << " " << seen.frame.width() << " x " << seen.frame.height();
  }
  // Without a window at all, the same.
  EXPECT_EQ(showAndAnswer(vbOKOnly, QString(), seen, ok), vbOK);
  EXPECT_LE((seen.frame.center() - screen.center()).manhattanLength(), 1);
}
