#pragma once
// What a window shows, control by control and property by property, taken
// before an action and compared after it. A window test asserts its subject
// and leaves the rest of the window to expectOnlyChanged, which reports every
// other change by control and property.
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <source_location>

namespace vrn {
class Form;
struct TestServices;
}  // namespace vrn

namespace vrn::testing {

// Control name -> property -> value, as text. The window's own properties are
// under its name; the services' records under "Dialogs", "Shell", "Audio",
// and whatever a fixture adds.
using WindowState = QMap<QString, QMap<QString, QString>>;

struct WindowSnapshot {
  QString window;
  WindowState state;
  // The same picture taken again now (empty when the window is gone).
  std::function<WindowSnapshot()> retake;
};

// A change the test expects: one property of one control, or any of its
// properties with "*".
struct Change {
  QString control;
  QString property;
};

// Pictures a window: every control's visible and enabled state, caption or
// text, value, list index and contents, tooltip and twips geometry; the list
// views' rows, order and view; timers and menu items; the window's caption,
// geometry, state and pointer; the other loaded windows; and, given the
// services, the boxes, browser and save-box calls, shell calls and sounds.
// `extra` adds a fixture's own records.
WindowSnapshot snapshotOf(Form* window, const TestServices* services = nullptr,
                          std::function<void(WindowState&)> extra = nullptr);

// One line per difference that `allowed` does not name, then one per name in
// `allowed` that matches no control or property of either picture.
QStringList unexpectedChanges(const WindowState& before, const WindowState& after, const QList<Change>& allowed);

// Fails, with every unexpected change listed, unless the window now differs
// from `before` only in what `allowed` names.
void expectOnlyChanged(const WindowSnapshot& before, const QList<Change>& allowed = {},
                       std::source_location where = std::source_location::current());
void expectOnlyChanged(const WindowSnapshot& before, const WindowSnapshot& after, const QList<Change>& allowed,
                       std::source_location where = std::source_location::current());

}  // namespace vrn::testing
