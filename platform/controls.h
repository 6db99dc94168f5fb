#pragma once
// VB-like controls: thin Qt widgets whose geometry is held in twips
// (1440 per inch) and whose value changes from code raise the same events as
// a user's action where the program relies on it.
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <functional>

class QLineEdit;
class QPlainTextEdit;

namespace vrn {

// Every colour the controls take is a number as the runtime writes it,
// 0x00BBGGRR (&HBBGGRR&): red in the low byte. These two are the one place
// such a number becomes a colour, for painting or for a style sheet.
QColor vbColor(quint32 bgr);
QString cssColor(quint32 bgr);  // "#rrggbb"

// Twips per pixel of the primary screen (15 at 96 DPI).
int twipsPerPixel();
int toPixels(int twips);
int toTwips(int pixels);

namespace Screen {
int Width();   // twips
int Height();  // twips
}  // namespace Screen

// Whether the user sees the widget in its window: at its middle it is the
// topmost thing there, not covered by a panel laid over it nor cut off by
// its panel or by the window's edge.
bool isSeenInWindow(const QWidget* w);

// Twips geometry shared by every control. The twips values are kept as set,
// so code that computes layouts in twips reads back exactly what it wrote.
class Control {
 public:
  explicit Control(QWidget* self) : self_(self) {}
  virtual ~Control() = default;
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void setLeft(int v) { Move(v, top_, width_, height_); }
  void setTop(int v) { Move(left_, v, width_, height_); }
  void setWidth(int v) { Move(left_, top_, v, height_); }
  void setHeight(int v) { Move(left_, top_, width_, v); }
  virtual void Move(int left, int top, int width, int height);
  bool Visible() const;
  bool Enabled() const;
  QString ToolTipText() const;
  void setToolTipText(const QString& text);

 protected:
  QWidget* self_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

// Name and geometry in one call, as the window designer would set them.
template <class C>
C* place(C* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->Move(left, top, width, height);
  return control;
}

class Label : public QLabel, public Control {
  Q_OBJECT
 public:
  explicit Label(QWidget* parent = nullptr);
  QString Caption() const { return text(); }
  void setCaption(const QString& c) { setText(c); }
  void setForeColor(quint32 bgr);
  void setBackColor(quint32 bgr);
  void setTransparent(bool transparent);
 signals:
  void Click();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
};

class TextBox : public QWidget, public Control {
  Q_OBJECT
 public:
  explicit TextBox(QWidget* parent = nullptr, bool multiLine = false);
  QString Text() const;
  void setText(const QString& t);
  QWidget* editor() const;

 private:
  QLineEdit* line_ = nullptr;
  QPlainTextEdit* multi_ = nullptr;
};

// Value 0 unticked, 1 ticked, 2 grey. Setting another value from code raises
// Click as a user's click does; setting the same value raises nothing.
class CheckBox : public QCheckBox, public Control {
  Q_OBJECT
 public:
  explicit CheckBox(QWidget* parent = nullptr);
  int Value() const { return value_; }
  void setValue(int v);
 signals:
  void Click();

 protected:
  void nextCheckState() override;

 private:
  void showValue();
  int value_ = 0;
};

// Drop-down list. Selecting an entry, by the user or from code, raises Click.
class ComboBox : public QComboBox, public Control {
  Q_OBJECT
 public:
  explicit ComboBox(QWidget* parent = nullptr);
  void setSorted(bool s) { sorted_ = s; }  // case-insensitive order, as items arrive
  void AddItem(const QString& text);
  void RemoveItem(int index);
  void Clear();
  int ListCount() const { return count(); }
  QString List(int index) const;  // "" past the end
  void setItemDataAt(int index, int value);
  int ItemDataAt(int index) const;
  int ListIndex() const { return currentIndex(); }
  void setListIndex(int index);
  QString Text() const;
  void setText(const QString& t);  // selects the equal entry
  void DropDown() { showPopup(); }
  // Colours of the box and of its dropped-down list; the list's current
  // entry (under the pointer, or moved to with the arrow keys) takes the two
  // highlight colours.
  void setListColors(quint32 foreBgr, quint32 backBgr, quint32 currentForeBgr, quint32 currentBackBgr);
 signals:
  void Click();

 private:
  bool sorted_ = false;
};

// List with a check box per item; a ticked item is a selected item.
class CheckListBox : public QListWidget, public Control {
  Q_OBJECT
 public:
  explicit CheckListBox(QWidget* parent = nullptr);
  void AddItem(const QString& text);
  void Clear() { clear(); }
  int ListCount() const { return count(); }
  QString List(int index) const;
  bool Selected(int index) const;
  void setSelected(int index, bool on);
};

// Non-visual file list of one folder: names matching Pattern, alphabetical.
class FileListBox : public QWidget, public Control {
  Q_OBJECT
 public:
  explicit FileListBox(QWidget* parent = nullptr);
  QString Path() const { return path_; }
  void setPath(const QString& p);
  QString Pattern() const { return pattern_; }
  void setPattern(const QString& p) { pattern_ = p; }
  void Refresh();
  int ListCount() const { return int(names_.size()); }
  QString List(int index) const;

 private:
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
  QStringList names_;
};

// Picture box and image control: shows one picture (a QIcon, maybe empty).
class PictureBox : public QLabel, public Control {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent = nullptr);
  QIcon Picture() const { return picture_; }
  void setPicture(const QIcon& icon);
  void setStretch(bool s) {
    stretch_ = s;
    setPicture(picture_);
  }
  void Move(int left, int top, int width, int height) override;
 signals:
  void Click();

 protected:
  void mousePressEvent(QMouseEvent* e) override;

 private:
  QIcon picture_;
  bool stretch_ = true;
};

class Shape : public QFrame, public Control {
  Q_OBJECT
 public:
  explicit Shape(QWidget* parent = nullptr);
  void setColors(quint32 fillBgr, quint32 borderBgr, bool filled);
};

class Timer : public QObject {
  Q_OBJECT
 public:
  explicit Timer(QObject* parent, const char* name, int intervalMs, bool enabled);
  int Interval() const { return timer_.interval(); }
  void setInterval(int ms);
  bool Enabled() const { return enabled_; }
  void setEnabled(bool on);
 signals:
  void Timer_();  // the tick

 private:
  QTimer timer_;
  bool enabled_ = false;
};

// Picture button: caption, tooltip with a title, hover and disabled looks,
// Click and RightClick (the second click event). From the keyboard it is
// reached with Tab, shows a focus ring once the keyboard has moved the focus
// in its window, and Space (on release), Return or Enter press it.
class MyButton : public QWidget, public Control {
  Q_OBJECT
 public:
  explicit MyButton(QWidget* parent = nullptr, const QString& caption = QString());
  QString Caption() const { return caption_; }
  void setCaption(const QString& c);
  void setToolTipTitle(const QString& t);
  void setTip(const QString& tip) { setToolTipText(tip); }
  void setPicture(const QIcon& icon) {
    picture_ = icon;
    update();
  }
  void setAccent(quint32 bgr) {
    accent_ = bgr;
    update();
  }
  void click() { emit Click(); }
  // Where the caption is drawn, and in what font when it fits there (a
  // caption that does not fit is drawn smaller).
  QRect captionRect() const;
  QFont captionFont() const;
  // Whether the focus ring is drawn: the button has the focus and the
  // keyboard has moved the focus in its window (a mouse user sees none).
  bool showsFocus() const;
  // The font the caption is drawn in: captionFont, made smaller while the
  // caption does not fit captionRect; `flags` gets its alignment and wrap.
  QFont fittedCaptionFont(int* flags = nullptr) const;
 signals:
  void Click();
  void RightClick();
  void MouseMove();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  bool event(QEvent* e) override;

 private:
  void clickFromKeyboard();

  QString caption_;
  QString tipTitle_;
  QIcon picture_;
  quint32 accent_ = 0x8C4E1F;
  bool hover_ = false;
  bool pressed_ = false;
  bool spaceDown_ = false;
};

// Captioned panel with a coloured header and rounded corners.
class MyFrame : public QWidget, public Control {
  Q_OBJECT
 public:
  explicit MyFrame(QWidget* parent = nullptr, const QString& caption = QString());
  QString Caption() const { return caption_; }
  void setCaption(const QString& c) {
    caption_ = c;
    update();
  }
  void setHeaderColor(quint32 bgr) {
    header_ = bgr;
    update();
  }
  // Room kept before the caption, for a picture placed over the header.
  void setCaptionIndent(int pixels) {
    indent_ = pixels;
    update();
  }
  // The header's text area and font.
  QRect captionRect() const;
  QFont captionFont() const;
  // The font the caption is drawn in: captionFont, made smaller while the
  // caption does not fit captionRect; `flags` gets its alignment and wrap.
  QFont fittedCaptionFont(int* flags = nullptr) const;
 signals:
  void MouseMove();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;

 private:
  QString caption_;
  quint32 header_ = 0x8C4E1F;
  int indent_ = 0;
};

}  // namespace vrn
