#include "platform/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

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
}  // namespace

Form::Form(const char* name, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QString::fromLatin1(name));
  // The twips layouts were drawn for a compact 8-point dialog font.
  QFont compact = font();
  compact.setPointSizeF(8);
  setFont(compact);
  setMouseTracking(true);
}

Form::~Form() { loadedForms().removeAll(this); }

QList<Form*> Form::Forms() { return loadedForms(); }

int Form::Width() const {
  if (state_ == 1) return kMinimisedWidth;
  if (state_ == 2) return Screen::Width();
  return width_;
}

int Form::Height() const {
  if (state_ == 1) return kMinimisedHeight;
  if (state_ == 2) return Screen::Height();
  return height_;
}

void Form::applyGeometry() {
  applying_ = true;
  setGeometry(toPixels(left_), toPixels(top_), toPixels(width_), toPixels(height_));
  applying_ = false;
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
  applying_ = true;
  move(toPixels(left_), toPixels(top_));
  applying_ = false;
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

void Form::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (applying_ || state_ != 0 || !isVisible()) return;
  const int w = toTwips(width());
  const int h = toTwips(height());
  // Only a size the user or the window manager chose is taken over.
  if (toPixels(width_) == width() && toPixels(height_) == height()) return;
  width_ = w;
  height_ = h;
  runResize();
}

void Form::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  if (applying_ || state_ != 0 || !isVisible()) return;
  if (toPixels(left_) == x() && toPixels(top_) == y()) return;
  left_ = toTwips(x());
  top_ = toTwips(y());
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
