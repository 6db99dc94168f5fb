// The controls from the keyboard: Tab stops only where the user sees a
// control that takes the focus, a picture button shows its focus once the
// keyboard moved it, and Space, Return and Enter press the focused button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include "platform/controls.h"
#include "platform/form.h"
#include "platform/listview.h"
#include "tests/testing/contrast.h"
#include "tests/testing/keyboard.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

// A shown, active window.
bool activate(QWidget* w) {
  w->show();
  w->activateWindow();
  return QTest::qWaitForWindowActive(w);
}

void sendKey(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
             bool autoRepeat = false) {
  QKeyEvent e(type, key, mods, QString(), autoRepeat);
  QApplication::sendEvent(w, &e);
}

// The face colours the windows give their picture buttons.
const quint32 kFaces[] = {0x8C4E1F, 0x5F3616, 0x747A1D, 0x2D32A8, 0x327D2E};

}  // namespace

TEST(Keyboard, SpaceReturnAndEnterPressTheFocusedButtonOnceEach) {
  Form form("KeyForm");
  form.setWidth(4500);
  form.setHeight(3000);
  auto* button = place(new MyButton(&form, "Presser"), "Presser", 150, 150, 1500, 450);
  auto* other = place(new MyButton(&form, "Autre"), "Autre", 1800, 150, 1500, 450);
  ASSERT_TRUE(activate(&form));
  button->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(button->hasFocus());
  QSignalSpy clicks(button, &MyButton::Click);
  QSignalSpy otherClicks(other, &MyButton::Click);

  // Space presses when let go, shown down while held; held keys repeat
  // nothing.
  const QImage up = button->grab().toImage();
  sendKey(button, QEvent::KeyPress, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_NE(button->grab().toImage(), up) << "held down";
  sendKey(button, QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, true);
  sendKey(button, QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, true);
  EXPECT_EQ(clicks.count(), 0);
  sendKey(button, QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(button->grab().toImage(), up) << "up again";

  // Return, and Enter on the keypad, press at once.
  QTest::keyClick(button, Qt::Key_Return);
  EXPECT_EQ(clicks.count(), 2);
  QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicks.count(), 3);
  sendKey(button, QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, true);
  EXPECT_EQ(clicks.count(), 3) << "a held Return presses once";

  // Keys with Ctrl or Alt, and other keys, are not the button's.
  QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClick(button, Qt::Key_Space, Qt::AltModifier);
  QTest::keyClick(button, Qt::Key_A);
  QTest::keyClick(button, Qt::Key_Escape);
  EXPECT_EQ(clicks.count(), 3);

  // A Space released elsewhere, or after the focus left, presses nothing.
  sendKey(button, QEvent::KeyPress, Qt::Key_Space);
  other->setFocus(Qt::TabFocusReason);
  sendKey(button, QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 3);
  EXPECT_EQ(otherClicks.count(), 0);

  // A button disabled while Space is held is not pressed when it comes back.
  button->setFocus(Qt::TabFocusReason);
  sendKey(button, QEvent::KeyPress, Qt::Key_Space);
  button->setEnabled(false);
  EXPECT_FALSE(button->hasFocus()) << "a disabled button gives the focus up";
  EXPECT_TRUE(other->hasFocus());
  button->setEnabled(true);
  sendKey(button, QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 3);

  // A press that hides or disables its own button is made once.
  QObject::connect(button, &MyButton::Click, button, [button] { button->setEnabled(false); });
  button->setFocus(Qt::TabFocusReason);
  QTest::keyClick(button, Qt::Key_Return);
  QTest::keyClick(button, Qt::Key_Return);
  EXPECT_EQ(clicks.count(), 4);
  EXPECT_EQ(otherClicks.count(), 0);
}

TEST(Keyboard, AFocusedButtonShowsARingThatStandsOutOnEveryFaceOnceTheKeyboardMovedTheFocus) {
  for (const quint32 face : kFaces) {
    for (const bool hovered : {false, true}) {
      SCOPED_TRACE(QStringLiteral("face %1%2").arg(cssColor(face), hovered ? " hovered" : "").toStdString());
      Form form("RingForm");
      form.setWidth(4500);
      form.setHeight(3000);
      auto* first = place(new MyButton(&form, "Premier"), "Premier", 150, 150, 2175, 615);
      auto* button = place(new MyButton(&form, "Second"), "Second", 150, 1200, 2175, 615);
      for (MyButton* b : {first, button}) b->setAccent(face);
      ASSERT_TRUE(activate(&form));
      if (hovered) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(button, &enter);
      }
      const QImage plain = button->grab().toImage();

      // Focused as a click does, before any key moved the focus: no ring.
      button->setFocus(Qt::MouseFocusReason);
      ASSERT_TRUE(button->hasFocus());
      EXPECT_FALSE(button->showsFocus());
      EXPECT_EQ(button->grab().toImage(), plain);

      // Reached with Tab: a ring inside the edge, which one of its lines
      // makes stand out from the face at every side.
      first->setFocus(Qt::MouseFocusReason);
      QTest::keyClick(first, Qt::Key_Tab);
      ASSERT_TRUE(button->hasFocus());
      EXPECT_TRUE(button->showsFocus());
      const QImage ring = button->grab().toImage();
      const int w = ring.width(), h = ring.height();
      const QList<QPair<QPoint, QPoint>> sides = {
          {{1, h / 2}, {1, 0}}, {{w - 2, h / 2}, {-1, 0}}, {{w / 2, 1}, {0, 1}}, {{w / 2, h - 2}, {0, -1}}};
      for (const auto& [from, step] : sides) {
        double most = 1.0;
        for (int i = 0; i < 5; ++i) {
          const QPoint at = from + i * step;
          most = std::max(most, contrast(ring.pixelColor(at), plain.pixelColor(at)));
        }
        EXPECT_GE(most, 3.0) << "side from " << from.x() << "," << from.y();
      }

      // Leaving takes the ring away.
      QTest::keyClick(button, Qt::Key_Tab);
      EXPECT_TRUE(first->hasFocus());
      EXPECT_EQ(button->grab().toImage(), plain);
    }
  }
}

TEST(Keyboard, TabStopsOnlyAtControlsTheUserSeesAndEntersACompoundControlOnce) {
  Form form("TabForm");
  form.setWidth(9000);
  form.setHeight(6000);
  place(new MyButton(&form, "Un"), "Un", 150, 150, 1500, 450);
  auto* disabled = place(new MyButton(&form, "Grise"), "Grise", 1800, 150, 1500, 450);
  disabled->setEnabled(false);
  auto* hidden = place(new MyButton(&form, "Cache"), "Cache", 3450, 150, 1500, 450);
  hidden->hide();
  // Pictures, labels, shapes and panels take no focus; a panel's buttons do
  // where the panel shows them.
  place(new PictureBox(&form), "Image", 150, 750, 450, 450);
  auto* label = place(new Label(&form), "Etiquette", 750, 750, 1500, 300);
  label->setCaption("Texte");
  place(new Shape(&form), "Forme", 2400, 750, 900, 450);
  auto* panel = place(new MyFrame(&form, "Cadre"), "Cadre", 150, 1350, 4500, 1200);
  place(new MyButton(panel, "Dedans"), "Dedans", 150, 450, 1500, 450);
  place(new MyButton(panel, "Coupe"), "Coupe", 150, 1500, 1500, 450);  // below the panel's edge
  place(new CheckBox(&form), "Case", 4800, 1500, 300, 300);
  place(new TextBox(&form, true), "Aide", 150, 2700, 3000, 900);
  auto* list = place(new ListView(&form), "Liste", 3300, 2700, 3000, 900);
  list->AddColumn("Nom", 1500);
  place(new MyButton(&form, "Dehors"), "Dehors", 9600, 150, 1500, 450);  // past the window's edge
  place(new MyButton(&form, "Couvert"), "Couvert", 150, 3750, 1500, 450);
  // A panel laid over a button hides it from Tab; a control over a panel
  // is seen.
  auto* cover = place(new MyFrame(&form, "Volet"), "Volet", 0, 3600, 4500, 900);
  place(new MyButton(&form, "Dessus"), "Dessus", 2700, 3750, 1500, 450);
  ASSERT_TRUE(activate(&form));
  form.findChild<QWidget*>("Un")->setFocus(Qt::TabFocusReason);

  EXPECT_EQ(tabRound(), "Un Dedans Case Aide Liste Dessus");
  EXPECT_EQ(tabRound(true), "Un Dessus Liste Aide Case Dedans") << "Shift+Tab goes the other way, into the list once";

  // Once its cover goes, the covered button is a stop again; a button shown
  // or enabled becomes one too.
  cover->hide();
  hidden->show();
  disabled->setEnabled(true);
  EXPECT_EQ(tabRound(), "Un Grise Cache Dedans Case Aide Liste Couvert Dessus");

  // A key press that lays a panel over its own button takes the focus on to
  // the next control shown.
  auto* covered = form.findChild<MyButton*>("Couvert");
  QObject::connect(covered, &MyButton::Click, cover, &QWidget::show);
  covered->setFocus(Qt::TabFocusReason);
  QTest::keyClick(covered, Qt::Key_Return);
  EXPECT_TRUE(cover->isVisible());
  EXPECT_EQ(focusedControl(), "Dessus");
}
