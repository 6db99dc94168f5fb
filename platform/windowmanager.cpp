#include "platform/windowmanager.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace vrn {

namespace {

xcb_connection_t* connection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  static QHash<QByteArray, xcb_atom_t> known;
  const QByteArray key(name);
  const auto it = known.constFind(key);
  if (it != known.constEnd()) return *it;
  xcb_atom_t a = XCB_ATOM_NONE;
  if (xcb_intern_atom_reply_t* r =
          xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(key.size()), key.constData()), nullptr)) {
    a = r->atom;
    std::free(r);
  }
  known.insert(key, a);
  return a;
}

// The 32-bit values of a window property; empty when it is not set.
QList<quint32> property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name, xcb_atom_t type, uint32_t count) {
  QList<quint32> values;
  xcb_get_property_reply_t* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, type, 0, count), nullptr);
  if (!r) return values;
  if (r->type == type && r->format == 32) {
    const auto* data = static_cast<const quint32*>(xcb_get_property_value(r));
    for (int i = 0; i < xcb_get_property_value_length(r) / 4; ++i) values << data[i];
  }
  std::free(r);
  return values;
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t w) {
  xcb_window_t root = XCB_WINDOW_NONE;
  if (xcb_query_tree_reply_t* r = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr)) {
    root = r->root;
    std::free(r);
  }
  return root;
}

std::optional<QMargins> extentsOf(xcb_connection_t* c, xcb_window_t w) {
  const QList<quint32> v = property(c, w, atom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 4);
  if (v.size() != 4) return std::nullopt;
  // Published as left, right, top, bottom.
  return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
}

bool offersFrameRequests(xcb_connection_t* c, xcb_window_t root) {
  return property(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024)
      .contains(atom(c, "_NET_REQUEST_FRAME_EXTENTS"));
}

class FrameWatcher : public QAbstractNativeEventFilter {
 public:
  std::function<void(QWindow*)> changed;

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t" || !changed) return false;
    const auto* e = static_cast<const xcb_generic_event_t*>(message);
    if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(e);
    xcb_connection_t* c = connection();
    if (!c || p->atom != atom(c, "_NET_FRAME_EXTENTS")) return false;
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
      if (w->handle() && w->winId() == p->window) {
        // Not while Qt is still handling the window system's events.
        QMetaObject::invokeMethod(
            qApp,
            [w = QPointer<QWindow>(w), f = changed] {
              if (w) f(w);
            },
            Qt::QueuedConnection);
        break;
      }
    }
    return false;
  }
};

}  // namespace

std::optional<QMargins> publishedFrame(const QWindow* window) {
  xcb_connection_t* c = connection();
  if (!c || !window || !window->handle()) return std::nullopt;
  return extentsOf(c, xcb_window_t(window->winId()));
}

std::optional<QMargins> askFrame(QWindow* window) {
  xcb_connection_t* c = connection();
  if (!c || !window) return std::nullopt;
  const auto w = xcb_window_t(window->winId());
  if (auto known = extentsOf(c, w)) return known;
  const xcb_window_t root = rootOf(c, w);
  if (root == XCB_WINDOW_NONE || !offersFrameRequests(c, root)) return std::nullopt;
  xcb_client_message_event_t ask{};
  ask.response_type = XCB_CLIENT_MESSAGE;
  ask.format = 32;
  ask.window = w;
  ask.type = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
  xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&ask));
  xcb_flush(c);
  // The window manager answers at once unless the machine is very busy.
  const QDeadlineTimer deadline(2000);
  while (!deadline.hasExpired()) {
    if (auto answer = extentsOf(c, w)) return answer;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return std::nullopt;
}

std::optional<bool> heldOutOfNormalState(const QWindow* window) {
  xcb_connection_t* c = connection();
  if (!c || !window || !window->handle()) return std::nullopt;
  const QList<quint32> states = property(c, xcb_window_t(window->winId()), atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32);
  for (const char* held : {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ", "_NET_WM_STATE_HIDDEN",
                           "_NET_WM_STATE_FULLSCREEN"})
    if (states.contains(atom(c, held))) return true;
  return false;
}

void watchFrameChanges(std::function<void(QWindow*)> changed) {
  static std::unique_ptr<FrameWatcher> watcher;
  if (!connection()) return;
  if (!watcher) {
    watcher = std::make_unique<FrameWatcher>();
    QCoreApplication::instance()->installNativeEventFilter(watcher.get());
  }
  watcher->changed = std::move(changed);
}

}  // namespace vrn
