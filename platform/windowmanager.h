#pragma once
// What the X11 window manager says of the application's top-level windows,
// asked of the X server itself: Qt's own copy of a window's borders is empty
// until the window is framed and is brought up to date only when the window
// moves. Without an X11 display every answer is "unknown".
#include <QMargins>
#include <QRect>
#include <QWindow>
#include <functional>
#include <optional>

namespace vrn {

// The borders the window manager draws around the window (left, top, right,
// bottom, in pixels), as it last published them; none before it did.
std::optional<QMargins> publishedFrame(const QWindow* window);

// The borders the window manager will draw around a window it has not framed
// yet: asks for them (the window manager publishes them on the window before
// mapping it) and waits for the answer a while. None when it does not offer
// this or did not answer.
std::optional<QMargins> askFrame(QWindow* window);

// Whether the window manager holds the window maximised (either way),
// minimised or full screen now; unknown without an X11 display.
std::optional<bool> heldOutOfNormalState(const QWindow* window);

// Calls `changed` (later, from the event loop) with the window whose borders
// the window manager has published anew. One watcher for the application.
void watchFrameChanges(std::function<void(QWindow*)> changed);

}  // namespace vrn
