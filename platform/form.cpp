#include "platform/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "platform/menu.h"

namespace vrn {

namespace {
QList<Form*>& loadedForms() {
  static QList<Form*> forms;
  return forms;
}
// The size a minimised window reports.
constexpr int kMinimisedWidth = 2400;
constexpr int kMinimisedHeight = 420;

// The borders of the last normal window seen with a frame; before any, a
// title bar and thin borders.
QMargins& lastFrame() {
  static QMargins frame(4, 24, 4, 4);
  return frame;
}

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
}

Form::~Form() { loadedForms().removeAll(this); }

QList<Form*> Form::Forms() { return loadedForms(); }

// None yet while the window manager has not framed the window, or none at
// all without one: the geometry is applied again when they come. Asked of
// the window system: a widget's own copy is only brought up to date when the
// window moves or is resized.
QMargins Form::realFrame() const {
  const QWindow* handle = windowHandle();
  const QRect f = handle ? handle->frameGeometry() : frameGeometry();
  const QRect g = handle ? handle->geometry() : geometry();
  return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

// While the window manager is still framing a window, its frame can read
// smaller than the window, and its place as the frame's own corner.
bool Form::frameSettled() const {
  const QMargins m = realFrame();
  return m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0;
}

QMargins Form::frameMargins() const {
  if (isVisible() && QWidget::windowState() == Qt::WindowNoState) return frameSettled() ? realFrame() : applied_;
  return lastFrame();
}

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

void Form::applyGeometry() {
  const QMargins m = frameMargins();
  applied_ = m;
  applying_ = true;
  // The client area is what is left inside the frame; the frame's corner
  // goes to Left, Top.
  const QSize inner(std::max(0, toPixels(width_) - m.left() - m.right()),
                    std::max(0, toPixels(height_) - m.top() - m.bottom()));
  if (isVisible() && windowHandle()) {
    // Placed by the client area with the borders as the window system has
    // them now (the widget's own idea of them can be out of date).
    setGeometry(QRect(QPoint(toPixels(left_) + m.left(), toPixels(top_) + m.top()), inner));
  } else {
    // Not shown yet: the window system puts the frame's corner there.
    resize(inner);
    move(toPixels(left_), toPixels(top_));
  }
  applying_ = false;
}

bool Form::checkFrame() {
  if (applying_ || state_ != vbNormal || !isVisible() || QWidget::windowState() != Qt::WindowNoState || !frameSettled())
    return false;
  const QMargins m = frameMargins();
  if (!m.isNull()) lastFrame() = m;
  if (m == applied_) return false;
  placeWindow();
  // The inside is now the frame less the real borders.
  runResize();
  return true;
}

void Form::placeWindow() {
  confirmed_ = false;
  reasserts_ = 0;
  applyGeometry();
}

void Form::followWindow() {
  if (applying_ || state_ != vbNormal || !isVisible() || statePending() ||
      QWidget::windowState() != Qt::WindowNoState || !frameSettled() || checkFrame())
    return;
  const QRect f = outer();
  const QRect wanted(toPixels(left_), toPixels(top_), toPixels(width_), toPixels(height_));
  if (f == wanted) {
    confirmed_ = true;
    return;
  }
  // Until the window system shows the window where the program put it, a
  // different place is the window manager still placing it (while it frames
  // or restores the window): put it back, a few times at most.
  if (!confirmed_ && reasserts_ < 3) {
    ++reasserts_;
    applyGeometry();
    return;
  }
  // The user's move or size, or the window manager's last word.
  confirmed_ = true;
  if (f.topLeft() != wanted.topLeft()) {
    left_ = toTwips(f.x());
    top_ = toTwips(f.y());
  }
  if (f.size() != wanted.size()) {
    width_ = toTwips(f.width());
    height_ = toTwips(f.height());
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
  placeWindow();
}

void Form::setWidth(int v) {
  if (state_ != vbNormal) return;  // a minimised or maximised window cannot be sized
  width_ = std::max(v, 0);
  placeWindow();
  runResize();
}

void Form::setHeight(int v) {
  if (state_ != vbNormal) return;
  height_ = std::max(v, 0);
  placeWindow();
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
      placeWindow();
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
  if (state_ == vbMinimized) {
    showMinimized();
    requestState(Qt::WindowMinimized);
  } else if (state_ == vbMaximized) {
    showMaximized();
    requestState(Qt::WindowMaximized);
  } else {
    placeWindow();
    show();
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

void Form::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  checkFrame();
  // The window manager frames a window a moment after it is shown, and
  // nothing tells the window when.
  for (int ms : {50, 150, 400, 1000, 2500, 5000}) QTimer::singleShot(ms, this, [this] { checkFrame(); });
}

void Form::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (applying_ || !isVisible()) return;
  if (state_ == vbMaximized) {
    // The size the window manager gave the maximised window.
    runResize();
    return;
  }
  followWindow();
}

void Form::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  followWindow();
}

void Form::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::ActivationChange) checkFrame();
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
