#include "platform/controls.h"

#include <cmath>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>
#include <dirent.h>
#include <sys/stat.h>

#include "platform/folderlisting.h"
#include "platform/pathcodec.h"

namespace vrn {

int twipsPerPixel() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
  const int tpp = int(std::lround(1440.0 / (dpi > 0 ? dpi : 96.0)));
  return tpp > 0 ? tpp : 15;
}

int toPixels(int twips) { return twips / twipsPerPixel(); }
int toTwips(int pixels) { return pixels * twipsPerPixel(); }

namespace Screen {
int Width() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return toTwips(s ? s->geometry().width() : 1024);
}
int Height() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return toTwips(s ? s->geometry().height() : 768);
}
}  // namespace Screen

QColor vbColor(quint32 bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QString cssColor(quint32 bgr) { return vbColor(bgr).name(); }

bool isSeenInWindow(const QWidget* w) {
  const QWidget* window = w->window();
  if (!w->isVisible() || w == window) return w->isVisible();
  const QPoint middle = w->mapTo(window, w->rect().center());
  if (!window->rect().contains(middle)) return false;
  const QWidget* top = window->childAt(middle);
  return top && (top == w || w->isAncestorOf(top));
}

// ---- Control ----

void Control::Move(int left, int top, int width, int height) {
  // A negative size is an invalid value: the control keeps its place.
  if (width < 0 || height < 0) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  self_->setGeometry(toPixels(left_), toPixels(top_), toPixels(width_), toPixels(height_));
}

bool Control::Visible() const { return !self_->isHidden(); }

bool Control::Enabled() const {
  return self_->parentWidget() ? self_->isEnabledTo(self_->parentWidget()) : self_->isEnabled();
}

QString Control::ToolTipText() const { return self_->property("vbToolTip").toString(); }

void Control::setToolTipText(const QString& text) {
  self_->setProperty("vbToolTip", text);
  self_->setToolTip(text);
}

// ---- Label ----

Label::Label(QWidget* parent) : QLabel(parent), Control(this) {
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setTextFormat(Qt::PlainText);
}

void Label::setForeColor(quint32 bgr) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, vbColor(bgr));
  setPalette(p);
}

void Label::setBackColor(quint32 bgr) {
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, vbColor(bgr));
  setPalette(p);
}

void Label::setTransparent(bool transparent) { setAutoFillBackground(!transparent); }

void Label::mousePressEvent(QMouseEvent* e) {
  QLabel::mousePressEvent(e);
  if (e->button() == Qt::LeftButton) emit Click();
}

// ---- TextBox ----

TextBox::TextBox(QWidget* parent, bool multiLine) : QWidget(parent), Control(this) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  if (multiLine) {
    multi_ = new QPlainTextEdit(this);
    multi_->setReadOnly(false);
    // Tab moves on to the next control, as in any form's text box.
    multi_->setTabChangesFocus(true);
    layout->addWidget(multi_);
  } else {
    line_ = new QLineEdit(this);
    layout->addWidget(line_);
  }
}

QString TextBox::Text() const { return line_ ? line_->text() : multi_->toPlainText(); }

void TextBox::setText(const QString& t) {
  if (line_) line_->setText(t);
  else multi_->setPlainText(t);
}

QWidget* TextBox::editor() const { return line_ ? static_cast<QWidget*>(line_) : multi_; }

// ---- CheckBox ----

CheckBox::CheckBox(QWidget* parent) : QCheckBox(parent), Control(this) { setTristate(false); }

void CheckBox::showValue() {
  const QSignalBlocker block(this);
  QCheckBox::setCheckState(value_ == 1 ? Qt::Checked : value_ == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void CheckBox::setValue(int v) {
  if (v < 0 || v > 2) v = 0;
  if (v == value_) return;
  value_ = v;
  showValue();
  emit Click();
}

void CheckBox::nextCheckState() {
  // A user's click: ticked becomes unticked, anything else becomes ticked.
  setValue(value_ == 1 ? 0 : 1);
}

// ---- ComboBox ----

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent), Control(this) {
  setEditable(false);
  connect(this, &QComboBox::activated, this, [this](int) { emit Click(); });
}

void ComboBox::AddItem(const QString& text) {
  const QSignalBlocker block(this);
  const int before = currentIndex();
  int at = count();
  if (sorted_) {
    // Ignoring case; paths that differ only in case are ordered exactly, so
    // equal texts always end up side by side.
    const auto after = [&](const QString& item) {
      const int c = QString::compare(item, text, Qt::CaseInsensitive);
      return c < 0 || (c == 0 && QString::compare(item, text, Qt::CaseSensitive) <= 0);
    };
    at = 0;
    while (at < count() && after(itemText(at))) ++at;
  }
  insertItem(at, text);
  // The runtime leaves no entry selected when items are added.
  if (before < 0) setCurrentIndex(-1);
}

void ComboBox::RemoveItem(int index) {
  const QSignalBlocker block(this);
  if (index >= 0 && index < count()) removeItem(index);
}

void ComboBox::Clear() {
  const QSignalBlocker block(this);
  clear();
}

QString ComboBox::List(int index) const { return index >= 0 && index < count() ? itemText(index) : QString(); }

void ComboBox::setItemDataAt(int index, int value) { setItemData(index, value); }

int ComboBox::ItemDataAt(int index) const { return itemData(index).toInt(); }

void ComboBox::setListIndex(int index) {
  {
    const QSignalBlocker block(this);
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
  }
  if (currentIndex() >= 0) emit Click();
}

QString ComboBox::Text() const { return currentIndex() >= 0 ? currentText() : QString(); }

void ComboBox::setText(const QString& t) {
  const int i = findText(t, Qt::MatchExactly);
  if (i >= 0) setListIndex(i);
}

void ComboBox::setListColors(quint32 foreBgr, quint32 backBgr, quint32 currentForeBgr, quint32 currentBackBgr) {
  // The style's own list paints its entries as menu items and leaves the
  // current one unmarked once the list has colours of its own; an item
  // delegate paints them as the style sheet says.
  if (!qobject_cast<QStyledItemDelegate*>(itemDelegate())) setItemDelegate(new QStyledItemDelegate(this));
  setStyleSheet(QStringLiteral("QComboBox { background: %1; color: %2; }"
                               "QComboBox QAbstractItemView { background: %1; color: %2; outline: 0; }"
                               "QComboBox QAbstractItemView::item { background: %1; color: %2; padding: 3px 4px; }"
                               "QComboBox QAbstractItemView::item:selected { background: %3; color: %4; }")
                    .arg(cssColor(backBgr), cssColor(foreBgr), cssColor(currentBackBgr), cssColor(currentForeBgr)));
}

// ---- CheckListBox ----

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent), Control(this) {}

void CheckListBox::AddItem(const QString& text) {
  auto* item = new QListWidgetItem(text, this);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
}

QString CheckListBox::List(int index) const {
  const QListWidgetItem* it = item(index);
  return it ? it->text() : QString();
}

bool CheckListBox::Selected(int index) const {
  const QListWidgetItem* it = item(index);
  return it && it->checkState() == Qt::Checked;
}

void CheckListBox::setSelected(int index, bool on) {
  if (QListWidgetItem* it = item(index)) it->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

// ---- FileListBox ----

FileListBox::FileListBox(QWidget* parent) : QWidget(parent), Control(this) { hide(); }

void FileListBox::setPath(const QString& p) {
  path_ = p;
  Refresh();
}

void FileListBox::Refresh() { names_ = listMatchingFiles(path_, pattern_); }

QString FileListBox::List(int index) const { return names_.value(index); }

// ---- PictureBox ----

PictureBox::PictureBox(QWidget* parent) : QLabel(parent), Control(this) { setAlignment(Qt::AlignCenter); }

void PictureBox::setPicture(const QIcon& icon) {
  picture_ = icon;
  if (icon.isNull() || width() <= 0 || height() <= 0) {
    clear();
    return;
  }
  const QSize s = stretch_ ? size() : icon.actualSize(size());
  setPixmap(icon.pixmap(s));
}

void PictureBox::Move(int left, int top, int width, int height) {
  Control::Move(left, top, width, height);
  setPicture(picture_);
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
  QLabel::mousePressEvent(e);
  if (e->button() == Qt::LeftButton) emit Click();
}

// ---- Shape ----

Shape::Shape(QWidget* parent) : QFrame(parent), Control(this) {}

void Shape::setColors(quint32 fillBgr, quint32 borderBgr, bool filled) {
  QString css = QStringLiteral("QFrame { border: 1px solid %1; border-radius: 4px; %2 }")
                    .arg(vbColor(borderBgr).name(),
                         filled ? QStringLiteral("background: %1;").arg(vbColor(fillBgr).name()) : QString());
  setStyleSheet(css);
}

// ---- Timer ----

Timer::Timer(QObject* parent, const char* name, int intervalMs, bool enabled) : QObject(parent) {
  setObjectName(QString::fromLatin1(name));
  timer_.setInterval(intervalMs);
  connect(&timer_, &QTimer::timeout, this, [this] { emit Timer_(); });
  setEnabled(enabled);
}

void Timer::setInterval(int ms) { timer_.setInterval(ms); }

void Timer::setEnabled(bool on) {
  enabled_ = on;
  if (on && timer_.interval() > 0) timer_.start();
  else timer_.stop();
}

// ---- MyButton ----

MyButton::MyButton(QWidget* parent, const QString& caption) : QWidget(parent), Control(this), caption_(caption) {
  setAttribute(Qt::WA_Hover);
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
}

void MyButton::setCaption(const QString& c) {
  caption_ = c;
  update();
}

void MyButton::setToolTipTitle(const QString& t) { tipTitle_ = t; }

bool MyButton::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    const QString tip = ToolTipText();
    if (tip.isEmpty()) return true;
    auto* he = static_cast<QHelpEvent*>(e);
    QString html = tipTitle_.isEmpty()
                       ? tip.toHtmlEscaped().replace("\n", "<br>")
                       : "<b>" + tipTitle_.toHtmlEscaped() + "</b><br>" + tip.toHtmlEscaped().replace("\n", "<br>");
    QToolTip::showText(he->globalPos(), html, this);
    return true;
  }
  return QWidget::event(e);
}

namespace {
int pictureSide(int buttonHeight) { return std::min(buttonHeight - 8, 24); }
}  // namespace

QRect MyButton::captionRect() const {
  QRect r = rect().adjusted(4, 2, -4, -2);
  if (!picture_.isNull() && !caption_.isEmpty() && pictureSide(height()) > 8) r.setLeft(pictureSide(height()) + 10);
  // A low button gives its one line nearly all its room.
  if (r.height() < 24) r.adjust(-3, -1, 3, 1);
  return r;
}

QFont MyButton::captionFont() const {
  // Bold where there is room for it; a one-line button keeps the window's
  // font, for which its width was designed.
  QFont f = font();
  f.setBold(height() >= 24 + 4);
  return f;
}

void MyButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor base = vbColor(accent_);
  QColor top = base.lighter(hover_ ? 150 : 135);
  QColor bottom = base;
  if (!isEnabled()) {
    top = QColor(0xd8, 0xdb, 0xe0);
    bottom = QColor(0xc4, 0xc8, 0xce);
  } else if (pressed_ || spaceDown_) {
    std::swap(top, bottom);
  }
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  QPainterPath path;
  path.addRoundedRect(r, 6, 6);
  p.fillPath(path, g);
  p.setPen(QPen(isEnabled() ? base.darker(140) : QColor(0xa0, 0xa4, 0xaa), 1));
  p.drawPath(path);
  if (showsFocus()) {
    // A white ring with a dark line inside it: one of the two stands out
    // on every face colour, hovered or not.
    QPainterPath ring;
    ring.addRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    p.setPen(QPen(QColor(255, 255, 255), 2));
    p.drawPath(ring);
    QPainterPath inner;
    inner.addRoundedRect(r.adjusted(3, 3, -3, -3), 4, 4);
    p.setPen(QPen(QColor(0, 0, 0, 190), 1));
    p.drawPath(inner);
  }
  if (!picture_.isNull()) {
    const int side = pictureSide(height());
    if (side > 8)
      picture_.paint(&p, QRect(6, (height() - side) / 2, side, side), Qt::AlignCenter,
                     isEnabled() ? QIcon::Normal : QIcon::Disabled);
  }
  p.setPen(isEnabled() ? Qt::white : QColor(0x70, 0x74, 0x7a));
  int flags = 0;
  p.setFont(fittedCaptionFont(&flags));
  p.drawText(captionRect(), flags, caption_);
}

QFont MyButton::fittedCaptionFont(int* flags) const {
  // Small buttons get a smaller font rather than a cut caption.
  const QRect textRect = captionRect();
  QFont f = captionFont();
  int how = Qt::AlignCenter | Qt::TextWordWrap;
  for (qreal size = f.pointSizeF(); size > 5.0; size -= 0.5) {
    f.setPointSizeF(size);
    const QFontMetrics fm(f);
    // A button lower than two lines keeps its caption on one line.
    how = textRect.height() < 2 * fm.height() ? int(Qt::AlignCenter) : Qt::AlignCenter | Qt::TextWordWrap;
    const QRect need = fm.boundingRect(textRect, how, caption_);
    if (need.width() <= textRect.width() && need.height() <= textRect.height()) break;
  }
  if (flags) *flags = how;
  return f;
}

void MyButton::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    pressed_ = true;
    update();
  }
}

void MyButton::mouseReleaseEvent(QMouseEvent* e) {
  const bool inside = rect().contains(e->position().toPoint());
  if (e->button() == Qt::LeftButton) {
    pressed_ = false;
    update();
    if (inside) emit Click();
  } else if (e->button() == Qt::RightButton && inside) {
    emit RightClick();
  }
}

bool MyButton::showsFocus() const { return hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange); }

namespace {
enum class ButtonKey { None, Space, Enter };

// The keys that press a focused button, as on the desktop's own buttons;
// with Ctrl, Alt or Meta held the key is left to the window.
ButtonKey buttonKey(const QKeyEvent* e) {
  if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return ButtonKey::None;
  switch (e->key()) {
    case Qt::Key_Space:
    case Qt::Key_Select:
      return ButtonKey::Space;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return ButtonKey::Enter;
    default:
      return ButtonKey::None;
  }
}
}  // namespace

void MyButton::keyPressEvent(QKeyEvent* e) {
  const ButtonKey key = buttonKey(e);
  if (key == ButtonKey::None) {
    QWidget::keyPressEvent(e);
    return;
  }
  e->accept();
  if (e->isAutoRepeat()) return;
  if (key == ButtonKey::Enter) {
    clickFromKeyboard();
    return;
  }
  // Space shows the button down and presses it when let go.
  spaceDown_ = true;
  update();
}

void MyButton::keyReleaseEvent(QKeyEvent* e) {
  if (buttonKey(e) != ButtonKey::Space) {
    QWidget::keyReleaseEvent(e);
    return;
  }
  e->accept();
  if (e->isAutoRepeat() || !spaceDown_) return;
  spaceDown_ = false;
  update();
  clickFromKeyboard();
}

void MyButton::clickFromKeyboard() {
  if (!isEnabled() || !isVisible()) return;
  const QPointer<MyButton> self(this);
  emit Click();
  // A press that laid a panel over its button takes the focus on to what
  // the window shows now.
  if (self && hasFocus() && !isSeenInWindow(this)) focusNextChild();
}

void MyButton::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  update();
}

void MyButton::focusOutEvent(QFocusEvent* e) {
  // A Space held while the focus leaves presses nothing.
  spaceDown_ = false;
  QWidget::focusOutEvent(e);
  update();
}

void MyButton::mouseMoveEvent(QMouseEvent* e) {
  QWidget::mouseMoveEvent(e);
  emit MouseMove();
}

void MyButton::enterEvent(QEnterEvent*) {
  hover_ = true;
  update();
}

void MyButton::leaveEvent(QEvent*) {
  hover_ = false;
  pressed_ = false;
  update();
}

// ---- MyFrame ----

MyFrame::MyFrame(QWidget* parent, const QString& caption) : QWidget(parent), Control(this), caption_(caption) {
  setMouseTracking(true);
}

QFont MyFrame::captionFont() const {
  QFont f = font();
  f.setBold(true);
  return f;
}

QRect MyFrame::captionRect() const {
  if (caption_.isEmpty()) return QRect();
  const QFontMetrics fm(captionFont());
  const int lines = int(caption_.count('\n')) + 1;
  const int h = std::min(height(), fm.height() * lines + 8);
  return QRect(8 + indent_, 0, width() - 16 - indent_, h);
}

void MyFrame::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath path;
  path.addRoundedRect(r, 8, 8);
  p.fillPath(path, QColor(0xf7, 0xf9, 0xfc));
  if (!caption_.isEmpty()) {
    const QRect text = captionRect();
    const int h = text.height();
    QPainterPath header;
    header.addRoundedRect(QRectF(r.left(), r.top(), r.width(), h + 8), 8, 8);
    QPainterPath clip;
    clip.addRect(QRectF(r.left(), r.top(), r.width(), h));
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, vbColor(header_).lighter(130));
    g.setColorAt(1, vbColor(header_));
    p.fillPath(header.intersected(clip), g);
    p.setPen(Qt::white);
    p.setFont(captionFont());
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, caption_);
  }
  p.setPen(QPen(vbColor(header_).darker(110), 1));
  p.drawPath(path);
}

void MyFrame::mouseMoveEvent(QMouseEvent* e) {
  QWidget::mouseMoveEvent(e);
  emit MouseMove();
}

}  // namespace vrn
