#include "platform/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

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

QMargins Form::frameMargins() const {
  if (isVisible() && QWidget::windowState() == Qt::WindowNoState) {
    const QRect f = frameGeometry(), g = geometry();
    // None yet while the window manager has not framed the window, or none
    // at all without one: the geometry is applied again when they come.
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
  }
  return lastFrame();
}

int Form::Left() const {
  if (state_ == 2 && isVisible()) return toTwips(frameGeometry().x());
  return left_;
}

int Form::Top() const {
  if (state_ == 2 && isVisible()) return toTwips(frameGeometry().y());
  return top_;
}

int Form::Width() const {
  if (state_ == 1) return kMinimisedWidth;
  if (state_ == 2) return toTwips(isVisible() ? frameGeometry().width() : workArea().width());
  return width_;
}

int Form::Height() const {
  if (state_ == 1) return kMinimisedHeight;
  if (state_ == 2) return toTwips(isVisible() ? frameGeometry().height() : workArea().height());
  return height_;
}

int Form::ScaleWidth() const {
  if (state_ == 1) return 0;
  if (isVisible()) return toTwips(width());
  const QMargins m = frameMargins();
  return std::max(0, Width() - toTwips(m.left() + m.right()));
}

int Form::ScaleHeight() const {
  if (state_ == 1) return 0;
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
  resize(std::max(0, toPixels(width_) - m.left() - m.right()), std::max(0, toPixels(height_) - m.top() - m.bottom()));
  move(toPixels(left_), toPixels(top_));
  applying_ = false;
}

void Form::checkFrame() {
  if (applying_ || state_ != 0 || !isVisible() || QWidget::windowState() != Qt::WindowNoState) return;
  const QMargins m = frameMargins();
  if (!m.isNull()) lastFrame() = m;
  if (m != applied_) applyGeometry();
}

void Form::runResize() {
  if (loaded_ && !unloading_) Form_Resize();
}

void Form::setLeft(int v) { Move(v, top_); }
void Form::setTop(int v) { Move(left_, v); }

void Form::Move(int left, int top) {
  if (state_ != 0) return;
  left_ = left;
  top_ = top;
  applyGeometry();
}

void Form::setWidth(int v) {
  if (state_ != 0) return;  // a minimised or maximised window cannot be sized
  width_ = std::max(v, 0);
  applyGeometry();
  runResize();
}

void Form::setHeight(int v) {
  if (state_ != 0) return;
  height_ = std::max(v, 0);
  applyGeometry();
  runResize();
}

void Form::setWindowState(int state) {
  if (state < 0 || state > 2) return;
  if (state == state_) return;
  state_ = state;
  if (isVisible() || loaded_) {
    if (state == 1) QWidget::setWindowState(Qt::WindowMinimized);
    else if (state == 2) QWidget::setWindowState(Qt::WindowMaximized);
    else {
      QWidget::setWindowState(Qt::WindowNoState);
      applyGeometry();
    }
  }
  runResize();
}

void Form::setMousePointer(int pointer) {
  pointer_ = pointer;
  if (pointer == 11) setCursor(Qt::WaitCursor);
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
  if (state_ == 1) showMinimized();
  else if (state_ == 2) showMaximized();
  else {
    applyGeometry();
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
  // The window manager frames a window a moment after it is shown.
  for (int ms : {50, 250, 1000}) QTimer::singleShot(ms, this, [this] { checkFrame(); });
}

void Form::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (applying_ || !isVisible()) return;
  if (state_ == 2) {
    // The size the window manager gave the maximised window.
    runResize();
    return;
  }
  if (state_ != 0) return;
  checkFrame();
  const QRect f = frameGeometry();
  // Only a size the user or the window manager chose is taken over.
  if (toPixels(width_) == f.width() && toPixels(height_) == f.height()) return;
  width_ = toTwips(f.width());
  height_ = toTwips(f.height());
  runResize();
}

void Form::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  if (applying_ || state_ != 0 || !isVisible()) return;
  checkFrame();
  const QRect f = frameGeometry();
  if (toPixels(left_) == f.x() && toPixels(top_) == f.y()) return;
  left_ = toTwips(f.x());
  top_ = toTwips(f.y());
}

void Form::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() != QEvent::WindowStateChange) return;
  const Qt::WindowStates ws = windowState();
  const int s = (ws & Qt::WindowMinimized) ? 1 : (ws & Qt::WindowMaximized) ? 2 : 0;
  if (s != state_) {
    state_ = s;
    runResize();
  }
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

}  // namespace vrn
