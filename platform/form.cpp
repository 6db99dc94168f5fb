#include "platform/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <functional>

#include "platform/menu.h"
#include "platform/windowmanager.h"

namespace vrn {

namespace {
QList<Form*>& loadedForms() {
  static QList<Form*> forms;
  return forms;
}
// The size a minimised window reports.
constexpr int kMinimisedWidth = 2400;
constexpr int kMinimisedHeight = 420;

// The borders of the last window the window manager framed; before any, a
// title bar and thin borders.
QMargins& lastFrame() {
  static QMargins frame(4, 24, 4, 4);
  return frame;
}

// Calls back each time the window it watches is exposed.
class ExposeWatch : public QObject {
 public:
  ExposeWatch(QObject* parent, std::function<void()> exposed) : QObject(parent), exposed_(std::move(exposed)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Expose) exposed_();
    return QObject::eventFilter(watched, e);
  }

 private:
  std::function<void()> exposed_;
};

// Where a maximised window goes: the screen less the desktop's panels.
QRect workArea() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
}
}  // namespace

void installDesignFonts() {
  // The faces the window designs name, by fonts with the same metrics, so
  // every caption takes the room it was given.
  const QString sans = QStringLiteral("Liberation Sans");
  const QString serif = QStringLiteral("Liberation Serif");
  for (const char* face : {"MS Sans Serif", "Microsoft Sans Serif", "Arial"})
    QFont::insertSubstitution(QString::fromLatin1(face), sans);
  for (const char* face : {"Times New Roman", "MS Reference Serif"})
    QFont::insertSubstitution(QString::fromLatin1(face), serif);
}

Form::Form(const char* name, QWidget* parent) : QWidget(parent, Qt::Window) {
  static const bool fonts = (installDesignFonts(), true);
  Q_UNUSED(fonts);
  setObjectName(QString::fromLatin1(name));
  // The twips layouts were drawn for the compact 8-point dialog font.
  QFont compact(QStringLiteral("MS Sans Serif"));
  compact.setPointSizeF(8);
  setFont(compact);
  setMouseTracking(true);
  static const bool watching = (watchFrameChanges([](QWindow* w) {
                                  if (auto* f = qobject_cast<Form*>(QWidget::find(w->winId()))) f->reportArrived();
                                }),
                                true);
  Q_UNUSED(watching);
}

Form::~Form() { loadedForms().removeAll(this); }

QList<Form*> Form::Forms() { return loadedForms(); }

QMargins Form::frameMargins() const { return frameKnown_ ? frame_ : lastFrame(); }

int Form::qtState(Qt::WindowStates states) {
  return (states & Qt::WindowMinimized) ? vbMinimized : (states & Qt::WindowMaximized) ? vbMaximized : vbNormal;
}

QRect Form::outer() const {
  const QWindow* handle = windowHandle();
  return handle ? handle->frameGeometry() : frameGeometry();
}

int Form::Left() const {
  if (state_ == vbMaximized && isVisible()) return toTwips(outer().x());
  return left_;
}

int Form::Top() const {
  if (state_ == vbMaximized && isVisible()) return toTwips(outer().y());
  return top_;
}

int Form::Width() const {
  if (state_ == vbMinimized) return kMinimisedWidth;
  if (state_ == vbMaximized) return toTwips(isVisible() ? outer().width() : workArea().width());
  return width_;
}

int Form::Height() const {
  if (state_ == vbMinimized) return kMinimisedHeight;
  if (state_ == vbMaximized) return toTwips(isVisible() ? outer().height() : workArea().height());
  return height_;
}

int Form::ScaleWidth() const {
  if (state_ == vbMinimized) return 0;
  if (isVisible()) return toTwips(width());
  const QMargins m = frameMargins();
  return std::max(0, Width() - toTwips(m.left() + m.right()));
}

int Form::ScaleHeight() const {
  if (state_ == vbMinimized) return 0;
  if (isVisible()) return toTwips(height());
  const QMargins m = frameMargins();
  return std::max(0, Height() - toTwips(m.top() + m.bottom()));
}

QRect Form::wantedFrame() const { return QRect(toPixels(left_), toPixels(top_), toPixels(width_), toPixels(height_)); }

void Form::applyGeometry() {
  // The client area is what the borders leave inside the frame, and the
  // frame's corner goes to Left, Top.
  const QMargins m = frameMargins();
  const QRect client(toPixels(left_) + m.left(), toPixels(top_) + m.top(),
                     std::max(1, toPixels(width_) - m.left() - m.right()),
                     std::max(1, toPixels(height_) - m.top() - m.bottom()));
  QWindow* handle = windowHandle();
  const bool shown = isVisible() && handle && handle->handle();
  if (shown && client == geometry() && client == handle->geometry()) return;
  applying_ = true;
  if (shown) {
    requested_.append(client);
    if (requested_.size() > 16) requested_.removeFirst();
  }
  // Placed by the client area (a window not shown yet keeps it for its
  // first mapping).
  setGeometry(client);
  if (shown) {
    // Qt moves a shown window by its position alone, with the size it last
    // heard of, which may be an earlier one still on its way.
    if (handle->geometry() != client) handle->setGeometry(client);
    // What the window system holds right after the request is its answer
    // to it (some answer at once), not a change to follow.
    lastReport_ = handle->geometry();
  }
  applying_ = false;
}

void Form::learnFrame() {
  QWindow* handle = windowHandle();
  if (!handle) {
    winId();
    handle = windowHandle();
  }
  std::optional<QMargins> m = askFrame(handle);
  // Without an X11 window manager, Qt's own idea of the borders.
  if (!m && handle && !handle->frameMargins().isNull()) m = handle->frameMargins();
  if (!m) return;
  frame_ = *m;
  frameKnown_ = true;
  lastFrame() = *m;
}

void Form::reportArrived() {
  if (applying_ || reportQueued_) return;
  reportQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        reportQueued_ = false;
        followWindow();
      },
      Qt::QueuedConnection);
}

void Form::followWindow() {
  QWindow* handle = windowHandle();
  if (state_ != vbNormal || !isVisible() || !handle || QWidget::windowState() != Qt::WindowNoState) return;
  // What the window manager does to a maximised or minimised window is not
  // the normal frame.
  if (heldOutOfNormalState(handle).value_or(false)) return;
  // Until the window is on the screen the window manager is still framing
  // it, and the place Qt reads meanwhile can be its frame's first corner.
  if (!handle->isExposed()) return;
  if (const std::optional<QMargins> published = publishedFrame(handle)) {
    if (!frameKnown_) {
      // A window manager that did not say before mapping the window: the
      // frame keeps its place and size, the inside is what its borders leave.
      frame_ = *published;
      frameKnown_ = true;
      lastFrame() = frame_;
      applyGeometry();
      runResize();
      return;
    }
    // Other borders than the normal ones: the window manager is on its way
    // to or from another state.
    if (*published != frame_) return;
  }
  const QRect client = handle->geometry();
  if (client == lastReport_) return;
  lastReport_ = client;
  const qsizetype asked = requested_.indexOf(client);
  if (asked >= 0) {
    requested_.remove(0, asked + 1);
    // The window system catching up with requests still on their way.
    if (!requested_.isEmpty()) return;
  } else {
    // The user's move or size, or the window manager's last word: it stands,
    // and nothing asked before it is waited for any more.
    requested_.clear();
  }
  const QRect f = client.marginsAdded(frameMargins());
  const QRect wanted = wantedFrame();
  if (f.topLeft() != wanted.topLeft()) {
    left_ = toTwips(f.x());
    top_ = toTwips(f.y());
  }
  if (f.size() != wanted.size()) {
    width_ = toTwips(f.width());
    height_ = toTwips(f.height());
    // The layout rules apply to the new size; a rule that changes the size
    // again (a floor) is a new request.
    runResize();
  }
}

bool Form::statePending() const { return statePending_ && !stateDeadline_.hasExpired(); }

void Form::requestState(Qt::WindowStates state) {
  QWidget::setWindowState(state);
  // The window manager answers in its own time, and may first answer an
  // earlier request: for a moment, states other than the one asked for are
  // taken for such answers.
  statePending_ = true;
  stateDeadline_.setRemainingTime(1000);
  QTimer::singleShot(1100, this, [this] { settleState(); });
}

void Form::settleState() {
  if (!statePending_ || !stateDeadline_.hasExpired()) return;
  statePending_ = false;
  // The window manager's last word stands.
  const int s = qtState(QWidget::windowState());
  if (s == state_) return;
  state_ = s;
  runResize();
}

void Form::runResize() {
  if (loaded_ && !unloading_) Form_Resize();
}

void Form::setBackColor(quint32 bgr) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, vbColor(bgr));
  setPalette(pal);
}

void Form::setLeft(int v) { Move(v, top_); }
void Form::centreHorizontally() { setLeft((Screen::Width() - Width()) / 2); }
void Form::centreOnScreen() { Move((Screen::Width() - Width()) / 2, (Screen::Height() - Height()) / 2); }
void Form::setTop(int v) { Move(left_, v); }

void Form::Move(int left, int top) {
  if (state_ != vbNormal) return;
  left_ = left;
  top_ = top;
  applyGeometry();
}

void Form::setWidth(int v) {
  if (state_ != vbNormal) return;  // a minimised or maximised window cannot be sized
  width_ = std::max(v, 0);
  applyGeometry();
  runResize();
}

void Form::setHeight(int v) {
  if (state_ != vbNormal) return;
  height_ = std::max(v, 0);
  applyGeometry();
  runResize();
}

void Form::setWindowState(int state) {
  if (state != vbNormal && state != vbMinimized && state != vbMaximized) return;
  if (state == state_) return;
  state_ = state;
  if (isVisible() || loaded_) {
    if (state == vbMinimized) requestState(Qt::WindowMinimized);
    else if (state == vbMaximized) requestState(Qt::WindowMaximized);
    else {
      requestState(Qt::WindowNoState);
      // At once the normal frame, with the normal state's borders.
      applyGeometry();
    }
  }
  runResize();
}

void Form::setMousePointer(int pointer) {
  pointer_ = pointer;
  if (pointer == vbHourglass) setCursor(Qt::WaitCursor);
  else unsetCursor();
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  loadedForms().append(this);
  Form_Load();
}

void Form::Show() {
  Load();
  if (unloading_) return;
  if (!frameKnown_ && !isVisible()) {
    learnFrame();
    applyGeometry();
  }
  if (state_ == vbMinimized) {
    showMinimized();
    requestState(Qt::WindowMinimized);
  } else if (state_ == vbMaximized) {
    showMaximized();
    requestState(Qt::WindowMaximized);
  } else {
    show();
  }
  // Where the window manager put the window once it shows it is its word.
  if (windowHandle() && !exposeWatch_) {
    exposeWatch_ = new ExposeWatch(this, [this] {
      if (isVisible()) reportArrived();
    });
    windowHandle()->installEventFilter(exposeWatch_);
  }
}

void Form::Unload() {
  if (unloading_) return;
  unloading_ = true;
  loadedForms().removeAll(this);
  loaded_ = false;
  hide();
  deleteLater();
}

void Form::PopupMenu(Menu* menu, int xTwips, int yTwips) {
  if (menu) menu->popup(this, xTwips, yTwips);
}

void Form::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (applying_ || !isVisible()) return;
  if (state_ == vbMaximized) {
    // The size the window manager gave the maximised window.
    runResize();
    return;
  }
  reportArrived();
}

void Form::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  if (!applying_ && isVisible()) reportArrived();
}

void Form::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() != QEvent::WindowStateChange) return;
  const int s = qtState(windowState());
  if (s == state_) {
    statePending_ = false;
    return;
  }
  // The answer to an earlier request: the one to the latest is to come.
  if (statePending()) return;
  statePending_ = false;
  state_ = s;
  runResize();
}

void Form::closeEvent(QCloseEvent* e) {
  if (unloading_) {
    e->accept();
    return;
  }
  int cancel = 0;
  Form_Unload(cancel);
  if (cancel) {
    e->ignore();
    return;
  }
  e->ignore();
  Unload();
}

void Form::mousePressEvent(QMouseEvent* e) {
  QWidget::mousePressEvent(e);
  if (e->button() == Qt::LeftButton) Form_Click();
}

void Form::mouseDoubleClickEvent(QMouseEvent* e) {
  QWidget::mouseDoubleClickEvent(e);
  Form_DblClick();
}

void Form::mouseMoveEvent(QMouseEvent* e) {
  QWidget::mouseMoveEvent(e);
  Form_MouseMove();
}

namespace {

QWidget* deepestFocusProxy(QWidget* w) {
  while (w->focusProxy()) w = w->focusProxy();
  return w;
}

}  // namespace

bool Form::focusNextPrevChild(bool next) {
  // Tab and Shift+Tab go round the controls that take the focus from the
  // keyboard, in the window's order, passing by those the user cannot see.
  QWidget* from = focusWidget() ? focusWidget() : this;
  QWidget* w = from;
  const qsizetype most = findChildren<QWidget*>().size() + 1;
  for (qsizetype i = 0; i < most; ++i) {
    w = next ? w->nextInFocusChain() : w->previousInFocusChain();
    if (w == from) break;
    if (w->window() != this || !w->isVisible() || !w->isEnabled()) continue;
    QWidget* target = deepestFocusProxy(w);
    // A compound control (a list and its inner view) is entered once.
    if (target != w && (next ? target->isAncestorOf(w) : w->isAncestorOf(target))) continue;
    if (target == from || !target->isEnabled() || (target->focusPolicy() & Qt::TabFocus) != Qt::TabFocus) continue;
    if (!isSeenInWindow(target)) continue;
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  return true;
}

}  // namespace vrn
