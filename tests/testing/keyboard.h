#pragma once
// Driving a window from the keyboard as a user does: which control has the
// focus, and where Tab takes it.
#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <string>

#include "platform/controls.h"

namespace vrn::testing {

// The control a widget belongs to (a list's inner view, a text box's
// editor): its name, as the window design gives it.
inline QString controlName(const QWidget* w) {
  for (; w; w = w->parentWidget())
    if (dynamic_cast<const Control*>(w) || w->isWindow()) return w->objectName();
  return QString();
}

inline QString focusedControl() { return controlName(QApplication::focusWidget()); }

// One round of Tab (or Shift+Tab) from the focus: the focused control, then
// those Tab stops at, in order, until it comes back to one it met; the names
// one blank apart.
inline std::string tabRound(bool backwards = false) {
  QStringList stops = {focusedControl()};
  for (int i = 0; i < 200 && QApplication::focusWidget(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                    backwards ? Qt::ShiftModifier : Qt::NoModifier);
    const QString name = focusedControl();
    if (stops.contains(name)) break;
    stops << name;
  }
  return stops.join(' ').toStdString();
}

}  // namespace vrn::testing
