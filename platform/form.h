#pragma once
// Window base with the runtime's form behaviour: caption, icon, window state,
// twips geometry, mouse pointer, the Load/Resize/Unload/Click events and the
// application's collection of loaded windows (Forms).
#include <QDeadlineTimer>
#include <QList>
#include <QMargins>
#include <QWidget>

#include "platform/controls.h"

namespace vrn {

class Menu;

// Maps the font faces the window designs name to installed faces with the
// same metrics (Liberation Sans and Serif). Done by the first window made.
void installDesignFonts();

// Window states (WindowState) and mouse pointers (MousePointer), under the
// runtime's names.
enum FormWindowState { vbNormal = 0, vbMinimized = 1, vbMaximized = 2 };
enum MousePointerShape { vbDefault = 0, vbHourglass = 11 };

class Form : public QWidget {
  Q_OBJECT
 public:
  explicit Form(const char* name, QWidget* parent = nullptr);
  ~Form() override;

  // The loaded windows in load order.
  static QList<Form*> Forms();

  QString Caption() const { return windowTitle(); }
  void setCaption(const QString& c) { setWindowTitle(c); }
  QString Name() const { return objectName(); }
  void setBackColor(quint32 bgr);

  // vbNormal, vbMinimized or vbMaximized.
  int WindowState() const { return state_; }
  void setWindowState(int state);

  // The outer frame in twips, title bar and borders included. In the
  // minimised or maximised state the size reads as that state's (a maximised
  // window's as the window manager made it) and cannot be set.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void setLeft(int v);
  void setTop(int v);
  void setWidth(int v);
  void setHeight(int v);
  void Move(int left, int top);
  // Centres the frame across the screen, its top kept; or on the screen.
  void centreHorizontally();
  void centreOnScreen();
  // The inner (client) size in twips: the frame less the window manager's
  // borders; 0 when minimised.
  int ScaleWidth() const;
  int ScaleHeight() const;

  // Borders the window manager draws around the window in the normal state,
  // in pixels: as it said them for this window (asked before the window is
  // first shown, else read once it is framed), else the last ones seen on
  // any window.
  QMargins frameMargins() const;

  // vbDefault or vbHourglass.
  void setMousePointer(int pointer);
  int MousePointer() const { return pointer_; }

  bool Loaded() const { return loaded_; }
  void Load();    // runs Form_Load once
  void Show();    // loads, then shows in the current window state
  void Unload();  // leaves the Forms collection and closes for good
  void PopupMenu(Menu* menu, int xTwips, int yTwips);

 protected:
  virtual void Form_Load() {}
  virtual void Form_Resize() {}
  virtual void Form_Unload(int& cancel) {}
  virtual void Form_Click() {}
  virtual void Form_DblClick() {}
  virtual void Form_MouseMove() {}

  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  bool focusNextPrevChild(bool next) override;

 private:
  // Puts the window's frame where Left, Top, Width and Height say.
  void applyGeometry();
  void runResize();
  // Learns this window's borders from the window manager before it is
  // first mapped, so that its first frame is already the right one.
  void learnFrame();
  // A move or size the window system reports, or new borders the window
  // manager published, handled once the events that came with it (a state
  // change) have run.
  void reportArrived();
  void followWindow();
  void requestState(Qt::WindowStates state);
  bool statePending() const;
  void settleState();
  static int qtState(Qt::WindowStates states);
  QRect outer() const;        // the frame as the window system has it, in pixels
  QRect wantedFrame() const;  // the frame Left, Top, Width and Height give, in pixels
  int state_ = vbNormal;
  int left_ = 0, top_ = 0, width_ = 4800, height_ = 3600;
  int pointer_ = vbDefault;
  bool loaded_ = false;
  bool unloading_ = false;
  bool applying_ = false;
  QMargins frame_;  // the normal state's borders, once known for this window
  bool frameKnown_ = false;
  // Client areas asked of the window system and not yet reported back, in
  // the order asked: a report of one of them is the window system catching
  // up, anything else is the user's or the window manager's doing.
  QList<QRect> requested_;
  QRect lastReport_;
  bool reportQueued_ = false;
  QObject* exposeWatch_ = nullptr;
  bool statePending_ = false;
  QDeadlineTimer stateDeadline_;
};

}  // namespace vrn
