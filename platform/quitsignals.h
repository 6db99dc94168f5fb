#pragma once
// The signals that end a session: SIGTERM (a kill, a shutdown), SIGHUP (the
// session or its terminal ends) and SIGINT (Ctrl+C). Their handler only
// wakes the event loop; the program's quit runs from there, at a point where
// a command could run (a long job's event turns included), never inside the
// handler.
#include <QObject>
#include <functional>

namespace vrn {

// From now on these signals run `quit` from the event loop of the calling
// thread, for as long as `context` lives (then they end the process again).
void quitOnEndSignals(QObject* context, std::function<void()> quit);

}  // namespace vrn
