// The windows as a window manager frames, places and maximises them: run on
// a virtual X screen under openbox, with a 40-pixel panel band at the bottom
// of the screen (see run.sh). Sizes set in twips are outer frames.
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWindow>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/services_qt.h"
#include "tests/pages/pages_fixture.h"
#include "tests/testing/keyboard.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

// The window manager answers in its own time.
bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 10000); }

// The frame around a window as the window system has it now (a widget's own
// copy is brought up to date only when it moves or is resized).
QRect frameOf(const QWidget* w) { return w->windowHandle()->frameGeometry(); }
QRect innerOf(const QWidget* w) { return w->windowHandle()->geometry(); }

// Taken in by the window manager: a title bar and borders around it.
bool framed(const QWidget* w) { return w->isVisible() && frameOf(w) != innerOf(w); }

QRect onScreen(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

QString run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000)) return QString();
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The values of a window property, as xprop lists them.
QStringList property(const QWidget* w, const char* name) {
  const QString out = run("xprop", {"-id", QString::number(w->winId()), QString::fromLatin1(name)});
  QStringList values;
  const int eq = out.indexOf('=');
  if (eq < 0) return values;
  for (const QString& a : out.mid(eq + 1).split(',')) values << a.trimmed();
  return values;
}

// Counts the requests to close a window that reach it.
class CloseRequests : public QObject {
 public:
  explicit CloseRequests(QWidget* w) { w->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Close) ++count;
    return false;
  }
};

// The frame the window manager drew around a window, as the X server has it:
// the window manager's own window that holds the window, borders included.
// Empty while the window is not framed or its frame is not on the screen.
QRect managerFrame(const QWidget* w) {
  xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  const auto client = xcb_window_t(w->winId());
  xcb_window_t frame = client;
  for (;;) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, frame), nullptr);
    if (!tree) return QRect();
    const bool top = tree->parent == tree->root;
    const xcb_window_t parent = tree->parent;
    std::free(tree);
    if (top) break;
    frame = parent;
  }
  if (frame == client) return QRect();
  xcb_get_window_attributes_reply_t* a =
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, frame), nullptr);
  const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(a);
  if (!shown) return QRect();
  xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, frame), nullptr);
  if (!g) return QRect();
  const QRect r(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
  std::free(g);
  return r;
}

// Adds to `seen` the frames a window shows, each change once, sampled at
// every turn of the event loop until `done` holds or `ms` have passed.
void watchFrames(
    const QWidget* w, QList<QRect>& seen, int ms, const std::function<bool()>& done = [] { return false; }) {
  const QDeadlineTimer deadline(ms);
  for (;;) {
    QCoreApplication::processEvents();
    const QRect f = managerFrame(w);
    if (f.isValid() && (seen.isEmpty() || seen.last() != f)) seen << f;
    if (done() || deadline.hasExpired()) break;
    QThread::msleep(1);
  }
}

std::string describe(const QList<QRect>& frames) {
  std::string out;
  for (const QRect& f : frames)
    out += QString("[%1,%2 %3x%4] ").arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height()).toStdString();
  return out;
}

// A busy loop on every core while it lives: the machine under load.
class BusyCores {
 public:
  BusyCores() {
    for (int i = 0; i < QThread::idealThreadCount(); ++i) {
      loops_.push_back(std::make_unique<QProcess>());
      loops_.back()->start("sh", {"-c", "while :; do :; done"});
    }
  }
  ~BusyCores() {
    for (auto& p : loops_) {
      p->kill();
      p->waitForFinished(5000);
    }
  }

 private:
  std::vector<std::unique_ptr<QProcess>> loops_;
};

// xdotool's arguments that put the pointer at a point of the screen and wait
// until it is there (a synced move to where the pointer already is would
// wait for ever).
QStringList pointerTo(const QPoint& at) {
  return {"mousemove", QString::number(at.x() + 1), QString::number(at.y()), "mousemove",
          "--sync",    QString::number(at.x()),     QString::number(at.y())};
}

// A user's drag with the left button from one point of the screen to
// another, in a few steps as a hand moves.
void drag(const QPoint& from, const QPoint& to) {
  QStringList args = pointerTo(from) + QStringList{"mousedown", "1"};
  for (int step = 1; step <= 4; ++step)
    args << QStringList{"sleep", "0.05"} << pointerTo(from + (to - from) * step / 4);
  run("xdotool", args + QStringList{"mouseup", "1"});
}

// A user's drag of a window by its title bar, or by its bottom right corner.
void dragTitleBar(const QWidget* w, const QPoint& by) {
  const QRect frame = managerFrame(w);
  const QPoint at(frame.center().x(), frame.top() + (innerOf(w).top() - frame.top()) / 2);
  drag(at, at + by);
}
void dragCorner(const QWidget* w, const QPoint& by) {
  const QPoint at = managerFrame(w).bottomRight() - QPoint(1, 1);
  drag(at, at + by);
}

// What a program such as a pager or xdotool asks of a window: its frame
// moved to `frameAt`, or sized to `frameSize`, given by the client area as
// the X requests take it.
void moveFrameTo(const QWidget* w, const QPoint& frameAt) {
  const QPoint client = frameAt + (innerOf(w).topLeft() - managerFrame(w).topLeft());
  run("xdotool", {"windowmove", QString::number(w->winId()), QString::number(client.x()), QString::number(client.y())});
}
void sizeFrameTo(const QWidget* w, const QSize& frameSize) {
  const QSize client = frameSize - (managerFrame(w).size() - innerOf(w).size());
  run("xdotool",
      {"windowsize", QString::number(w->winId()), QString::number(client.width()), QString::number(client.height())});
}

// A user's double click in the middle of a window's title bar.
void doubleClickTitleBar(const QWidget* w) {
  const QRect frame = frameOf(w);
  const int titleHeight = innerOf(w).top() - frame.top();
  const QPoint at(frame.center().x(), frame.top() + titleHeight / 2);
  run("xdotool", pointerTo(at) + QStringList{"click", "--repeat", "2", "--delay", "80", "1"});
}

}  // namespace

class RealWindowTest : public PagesTest {
 protected:
  // The main window as shown and framed, at its compact size.
  // The window centred on the screen, the frame 5040 x 7500 twips.
  Main2* startFramed() {
    Main2* w = start();
    const QSize size(5040 / 15, 7500 / 15);
    const QRect screen = w->screen()->geometry();
    const QRect centred(QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2), size);
    EXPECT_TRUE(waitFor([&] { return framed(w) && frameOf(w) == centred; }))
        << "the main window's frame: " << frameOf(w).x() << ", " << frameOf(w).y() << ", " << frameOf(w).width()
        << " x " << frameOf(w).height();
    return w;
  }
  static QRect workArea(const QWidget* w) { return w->screen()->availableGeometry(); }

  // The frame gets to `expected` and stays there, and the window's twips
  // geometry follows it.
  static void expectFrameKept(const Form* w, const QRect& expected, const char* what) {
    EXPECT_TRUE(waitFor([&] { return managerFrame(w) == expected; }))
        << what << ": the frame is " << describe({managerFrame(w)}) << "not " << describe({expected});
    QList<QRect> after;
    watchFrames(w, after, 1000);
    EXPECT_EQ(describe(after), describe({expected})) << what << ": the frames seen afterwards";
    EXPECT_EQ(describe({QRect(w->Left(), w->Top(), w->Width(), w->Height())}),
              describe({QRect(expected.topLeft() * 15, expected.size() * 15)}))
        << what << ": the window's geometry in twips";
  }
  // The layout rules applied to the main window's size as it is now.
  static void expectLaidOut(const Main2* w, const char* what) {
    EXPECT_EQ(w->MyButton10->Width(), w->Width() - 120) << what;
    EXPECT_EQ(w->MyFrame6->Width(), w->Width() - 5040 - 300) << what;
    EXPECT_EQ(w->MyFrame6->Height(), w->Height() - 840 - 680) << what;
    EXPECT_EQ(w->ListView2->Height(), w->MyFrame6->Height() - 840 - 300) << what;
    EXPECT_EQ(w->Command4->Top(), 840 + w->MyFrame6->Height() - 240 - 40) << what;
    EXPECT_TRUE(w->rect().contains(w->MyFrame6->geometry())) << what << ": the result panel lies inside the window";
  }
};

TEST_F(RealWindowTest, TheScreenKeepsABandForThePanel) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  EXPECT_EQ(screen->geometry(), QRect(0, 0, 1280, 1024));
  EXPECT_EQ(screen->availableGeometry(), QRect(0, 0, 1280, 984));
  EXPECT_EQ(twipsPerPixel(), 15);
}

TEST_F(RealWindowTest, TheMainWindowsOuterFrameMeasures5040By7500AndThePanelsFillIt) {
  writeListOf("txt", 3);
  Main2* w = startFramed();  // the frame measured, centred on the screen
  EXPECT_EQ(w->Width(), 5040);
  EXPECT_EQ(w->Height(), 7500);
  for (QWidget* c : std::initializer_list<QWidget*>{w->MyButton10, w->Label1, w->lblAffich, w->Command1, w->MyButton2,
                                                    w->Command2, w->MyButton6, w->MyButton9, w->MyButton7})
    EXPECT_TRUE(w->rect().contains(c->geometry())) << c->objectName().toStdString() << " lies inside the window";

  // A list shown: the wide window, the result panel and the list inside it.
  pick("txt");
  ASSERT_TRUE(waitFor([&] { return frameOf(w).width() == 14130 / 15; }));
  QApplication::processEvents();
  EXPECT_EQ(frameOf(w).height(), 500);
  const QRect panel = w->MyFrame6->geometry();
  EXPECT_TRUE(w->rect().contains(panel));
  // The 680 twips the layout keeps under the result panel, and the 300 at its
  // right, count from the frame's outer edge: the title bar and borders take
  // their share, and only the rest is left empty inside the window.
  const QRect outer = frameOf(w), inner = innerOf(w);
  const QMargins m(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                   outer.bottom() - inner.bottom());
  EXPECT_NEAR(w->height() - 1 - panel.bottom(), 680 / 15 - m.top() - m.bottom(), 1);
  EXPECT_NEAR(w->width() - 1 - panel.right(), 300 / 15 - m.left() - m.right(), 1);
  for (QWidget* c : std::initializer_list<QWidget*>{w->ListView2, w->Command4, w->Command8, w->Command11}) {
    EXPECT_TRUE(c->isVisible()) << c->objectName().toStdString();
    EXPECT_TRUE(panel.contains(c->geometry())) << c->objectName().toStdString() << " lies over the result panel";
  }
}

TEST_F(RealWindowTest, TheMainWindowCanBeMaximisedAndItsMaximisedLayoutsFollow) {
  Main2* w = startFramed();
  // The window asks for every command but Close (Motif functions: minimise
  // 8, maximise 16, close 32), and the window manager offers maximising.
  const QStringList motif = property(w, "_MOTIF_WM_HINTS");
  ASSERT_GE(motif.size(), 2);
  bool ok = false;
  const uint functions = motif[1].toUInt(&ok, 16);
  ASSERT_TRUE(ok) << motif.join(' ').toStdString();
  EXPECT_TRUE(functions & 8);
  EXPECT_TRUE(functions & 16);
  EXPECT_FALSE(functions & 32) << "Close is the one command taken away";
  const QStringList actions = property(w, "_NET_WM_ALLOWED_ACTIONS");
  EXPECT_TRUE(actions.contains("_NET_WM_ACTION_MAXIMIZE_HORZ")) << actions.join(' ').toStdString();
  EXPECT_TRUE(actions.contains("_NET_WM_ACTION_MAXIMIZE_VERT"));

  // Alt+F4 reaches the window and leaves it open.
  CloseRequests closes(w);
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  run("xdotool", {"key", "--clearmodifiers", "alt+F4"});
  ASSERT_TRUE(waitFor([&] { return closes.count > 0; }));
  QApplication::processEvents();
  EXPECT_TRUE(w->isVisible());

  // Maximised as a user does it, from the title bar.
  doubleClickTitleBar(w);
  const QRect area = workArea(w);
  ASSERT_TRUE(waitFor([&] { return w->WindowState() == vbMaximized && frameOf(w) == area; }));
  QApplication::processEvents();
  EXPECT_EQ(w->Width(), area.width() * 15);
  EXPECT_EQ(w->Height(), area.height() * 15);
  EXPECT_EQ(w->MyButton10->Width(), w->Width() - 120);
  EXPECT_TRUE(w->Image5->Visible()) << "a window this wide shows the decoration";
  EXPECT_EQ(w->MyFrame6->Width(), w->Width() - 5040 - 300);
  EXPECT_EQ(w->MyFrame6->Height(), w->Height() - 840 - 680);
  EXPECT_TRUE(w->rect().contains(w->MyFrame6->geometry())) << "the result panel lies inside the window";
  EXPECT_TRUE(area.contains(onScreen(w->MyFrame6))) << "and above the panel's band";

  // The special-folder list drops down at the maximised window's left edge.
  w->mnDetailRepPerso->click();
  EXPECT_EQ(w->Combo7->Left(), 0);
  EXPECT_TRUE(w->Combo7->isVisible());
  EXPECT_TRUE(w->rect().contains(w->Combo7->geometry()));
  w->Combo7->hidePopup();
  w->Combo7->hide();

  // The preferences' picture button gives the window its normal state back.
  w->MyButton8->click();
  ASSERT_TRUE(waitFor([&] { return !w->isMaximized() && frameOf(w).size() == QSize(336, 500); }));
  EXPECT_EQ(w->WindowState(), vbNormal);
}

TEST_F(RealWindowTest, AMaximisedPageShowsItsButtonsAndTheBottomOfItsList) {
  writeListOf("txt", 3);
  Main2* w = start();
  pick("txt");
  w->Command11->click();
  ASSERT_EQ(pages().size(), 1);
  FormEssai* p = pages().first();
  ASSERT_TRUE(waitFor([&] { return framed(p); }));

  QTest::mouseDClick(p, Qt::LeftButton, {}, QPoint(toPixels(1500), toPixels(200)));
  const QRect area = workArea(p);
  ASSERT_TRUE(waitFor([&] { return p->isMaximized() && frameOf(p) == area; }))
      << "maximised " << p->isMaximized() << ", frame " << frameOf(p).x() << "," << frameOf(p).y() << " "
      << frameOf(p).width() << "x" << frameOf(p).height() << ", inside " << innerOf(p).x() << "," << innerOf(p).y()
      << " " << innerOf(p).width() << "x" << innerOf(p).height() << ", _NET_WM_STATE "
      << property(p, "_NET_WM_STATE").join(' ').toStdString();
  QApplication::processEvents();
  EXPECT_EQ(p->WindowState(), vbMaximized);
  const QRect list = p->ListView2->geometry();
  EXPECT_TRUE(p->rect().contains(list)) << "the list's bottom edge at " << list.bottom() << ", the window's inside "
                                        << p->height();
  EXPECT_TRUE(area.contains(onScreen(p->ListView2)));
  for (MyButton* b : {p->Command4, p->MyButton1, p->MyButton2, p->MyButton3}) {
    EXPECT_TRUE(b->isVisible()) << b->Caption().toStdString();
    EXPECT_TRUE(p->rect().contains(b->geometry())) << b->Caption().toStdString() << " lies inside the page";
    EXPECT_TRUE(area.contains(onScreen(b))) << b->Caption().toStdString() << " lies above the panel's band";
    EXPECT_GT(b->geometry().top(), list.bottom()) << b->Caption().toStdString() << " stands under the list";
  }

  // A copy of a ticked row: the copy's stop button shows in the button row,
  // its two-line progress drawn at the button's own size.
  const QTemporaryDir backup;
  vrnVars().DossierSauvegarde = backup.path();
  p->ListView2->setChecked(1, true);
  emit p->ListView2->ItemCheck(1, true);
  p->CopierFichiersCoches();
  MyButton* stop = p->MyButton6;
  EXPECT_TRUE(stop->isVisible());
  EXPECT_TRUE(stop->Caption().startsWith("Arrêter Copie\n")) << stop->Caption().toStdString();
  EXPECT_EQ(stop->geometry().top(), p->Command4->geometry().top()) << "in the button row";
  EXPECT_TRUE(p->rect().contains(stop->geometry())) << "inside the page";
  EXPECT_TRUE(area.contains(onScreen(stop))) << "above the panel's band";
  EXPECT_GT(stop->geometry().left(), p->MyButton3->geometry().right()) << "beside the other buttons";
  EXPECT_EQ(stop->fittedCaptionFont().pointSizeF(), stop->captionFont().pointSizeF()) << "its caption not shrunk";
}

TEST_F(RealWindowTest, PagesPlacedByTheCascadeHaveTheirWholeFrameOnScreen) {
  for (const char* n : {"doc", "odt", "txt"}) writeListOf(n, 2);
  Main2* w = start();
  const QSize pageFrame(toPixels(kPageWidth), toPixels(pageHeightFor(Screen::Height())));

  // After "Supprimer Toutes les Fenêtres" the next page goes to the corner.
  pick("doc");
  w->Command11->click();
  ASSERT_EQ(pages().size(), 1);
  pages().first()->MyButton3->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(pages().isEmpty());
  pick("odt");
  w->Command11->click();
  ASSERT_EQ(pages().size(), 1);
  FormEssai* corner = pages().first();
  // The window manager may report the frame's borders only after placing
  // the page: the size follows once they are known.
  ASSERT_TRUE(waitFor([&] {
    return framed(corner) && frameOf(corner).topLeft() == QPoint(0, 0) && frameOf(corner).size() == pageFrame;
  })) << "the frame at "
      << frameOf(corner).x() << ", " << frameOf(corner).y() << ", " << frameOf(corner).width() << " x "
      << frameOf(corner).height();
  EXPECT_TRUE(w->screen()->geometry().contains(frameOf(corner))) << "the title bar is on the screen";
  EXPECT_GT(innerOf(corner).top(), 0);

  // A fresh cascade starts at 100, 100 twips.
  w->Command14_Click();
  pick("txt");
  w->Command11->click();
  ASSERT_EQ(pages().size(), 1);
  FormEssai* first = pages().first();
  ASSERT_TRUE(waitFor([&] {
    return framed(first) && frameOf(first).topLeft() == QPoint(100 / 15, 100 / 15) &&
           frameOf(first).size() == pageFrame;
  })) << "the frame at "
      << frameOf(first).x() << ", " << frameOf(first).y() << ", " << frameOf(first).width() << " x "
      << frameOf(first).height();
}

// ---- The box of a second program ----

// A second program on the same database is refused before any window shows:
// its box is centred on the screen (where the main window would be), not
// left in the corner.
TEST_F(RealWindowTest, TheBoxOfASecondProgramIsCentredOnTheScreen) {
  ASSERT_TRUE(QDir().mkpath(dbDir()));
  const int held = ::open(encodePath(dbDir() + "/.varnelo.lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(held, 0);
  // The first program's lock, and the real message boxes, until the end.
  QtDialogs real;
  struct Restore {
    int fd;
    Dialogs* scripted;
    ~Restore() {
      ::close(fd);
      services().dialogs = scripted;
    }
  } restore{held, services().dialogs};
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  services().dialogs = &real;

  // Once the window manager has framed the box, its place is read and it is
  // answered (or closed at the deadline, so that a fault cannot hang here).
  QString title;
  QRect inside, frame;
  QElapsedTimer clock;
  clock.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (!framed(box) && clock.elapsed() < 10000) return;
    poll.stop();
    title = box->windowTitle();
    inside = innerOf(box);
    frame = frameOf(box);
    box->buttons().first()->click();
  });
  poll.start(20);
  realStartWindow();
  EXPECT_FALSE(started);
  EXPECT_EQ(exitCodes, QList<int>{0});
  EXPECT_EQ(title, "Programme en double Détecté...");
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_NE(frame, inside) << "framed by the window manager";
  EXPECT_LE((inside.center() - screen.center()).manhattanLength(), 1)
      << "the box at " << inside.x() << ", " << inside.y() << ", " << inside.width() << " x " << inside.height();
  EXPECT_TRUE(screen.contains(frame));
}

TEST_F(RealWindowTest, TabReachesAButtonAndSpaceReturnAndEnterPressItFromTheRealKeyboard) {
  Main2* w = startFramed();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  ASSERT_TRUE(waitFor([] { return QApplication::focusWidget() != nullptr; }));
  // Keys typed as on a real keyboard, through the X server to the window
  // that has the input focus.
  const auto type = [](const char* key) { run("xdotool", {"key", "--clearmodifiers", key}); };
  const QImage plain = w->Command2->grab().toImage();
  for (int i = 0; i < 6 && focusedControl() != "Command2"; ++i) {
    const QString before = focusedControl();
    type("Tab");
    ASSERT_TRUE(waitFor([&] { return focusedControl() != before; })) << "Tab left " << before.toStdString();
  }
  ASSERT_EQ(focusedControl(), "Command2");
  EXPECT_TRUE(w->Command2->showsFocus());
  EXPECT_NE(w->Command2->grab().toImage(), plain) << "the focused button shows it";

  type("space");
  ASSERT_TRUE(waitFor([&] { return popups.size() == 1; }));
  type("Return");
  ASSERT_TRUE(waitFor([&] { return popups.size() == 2; }));
  type("KP_Enter");
  ASSERT_TRUE(waitFor([&] { return popups.size() == 3; }));
  for (const Popup& p : popups) EXPECT_EQ(p.menu, "mnMenu5") << "the quit-or-minimise menu";
  // Shift+Tab goes back to the button before it.
  type("shift+Tab");
  EXPECT_TRUE(waitFor([] { return focusedControl() == "MyButton2"; })) << focusedControl().toStdString();
  EXPECT_EQ(popups.size(), 3);
}

TEST_F(RealWindowTest, TheUsersFirstMoveAndResizeAreKeptAfterEachSizeTheProgramSets) {
  writeListOf("txt", 3);
  Main2* w = startFramed();
  QRect frame(472, 262, 336, 500);
  ASSERT_TRUE(waitFor([&] { return managerFrame(w) == frame; })) << describe({managerFrame(w)});

  // Just started: the user drags the title bar, then the corner.
  dragTitleBar(w, QPoint(-150, -100));
  frame.translate(-150, -100);
  expectFrameKept(w, frame, "the first move after start-up");
  dragCorner(w, QPoint(120, 90));
  frame.setSize(frame.size() + QSize(120, 90));
  expectFrameKept(w, frame, "the first resize after start-up");
  expectLaidOut(w, "after the user's resize");
  // Lower than the layout's floor: the floor applies to the user's size,
  // whose width stands.
  sizeFrameTo(w, QSize(frame.width(), 300));
  frame.setHeight(5970 / 15);
  expectFrameKept(w, frame, "a resize below the floor");
  expectLaidOut(w, "at the floor");

  // A list loaded: the wide window, centred across the screen at the user's
  // height; then moved and sized again, by a program this time.
  pick("txt");
  frame = QRect((1280 - 942) / 2, frame.top(), 942, frame.height());
  expectFrameKept(w, frame, "the widened window");
  moveFrameTo(w, QPoint(60, 40));
  frame.moveTopLeft(QPoint(60, 40));
  expectFrameKept(w, frame, "the first move after the widening");
  sizeFrameTo(w, QSize(1100, 700));
  frame.setSize(QSize(1100, 700));
  expectFrameKept(w, frame, "the first resize after the widening");
  expectLaidOut(w, "after the user's resize of the wide window");
  EXPECT_EQ(w->ListView2->Width(), w->MyFrame6->Width() - 240);

  // The compact window the display commands ask for, then the user's move.
  w->makeCompact();
  frame = QRect(472, 40, 336, 500);
  expectFrameKept(w, frame, "the compact window");
  dragTitleBar(w, QPoint(200, 150));
  frame.translate(200, 150);
  expectFrameKept(w, frame, "the first move after the compact window");
}

TEST_F(RealWindowTest, TheFrameIsTheDesignFrameFromTheFirstAtEachOfTenStartsUnderLoad) {
  writeListOf("txt", 3);
  const QRect compact(472, 262, 336, 500), wide(169, 262, 942, 500);
  const BusyCores load;
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE(i);
    win.reset();
    Main2* w = start();
    // Every frame from the first the window manager draws, through 3 s
    // after the design frame.
    QList<QRect> seen;
    watchFrames(w, seen, 30000, [&] { return managerFrame(w) == compact; });
    watchFrames(w, seen, 3000);
    EXPECT_EQ(describe(seen), describe({compact})) << "start " << i;

    // The widening keeps the height and lands centred.
    pick("txt");
    seen.clear();
    watchFrames(w, seen, 30000, [&] { return managerFrame(w) == wide; });
    watchFrames(w, seen, 1000);
    ASSERT_FALSE(seen.isEmpty()) << "start " << i;
    for (const QRect& f : seen)
      EXPECT_TRUE(f.size() == compact.size() || f.size() == wide.size()) << "start " << i << ": " << describe(seen);
    EXPECT_EQ(describe({seen.last()}), describe({wide})) << "start " << i << ": " << describe(seen);
  }
}

TEST_F(RealWindowTest, RestoringFromMaximisedLandsOnTheWideFrameAtOnce) {
  writeListOf("txt", 3);
  Main2* w = startFramed();
  pick("txt");
  const QRect wide(169, 262, 942, 500);
  ASSERT_TRUE(waitFor([&] { return managerFrame(w) == wide; })) << describe({managerFrame(w)});
  const QRect area = workArea(w);
  // By the preferences' picture button, then by the title bar.
  for (const bool byButton : {true, false}) {
    const char* how = byButton ? "restored by the picture button" : "restored from the title bar";
    doubleClickTitleBar(w);
    ASSERT_TRUE(waitFor([&] { return w->WindowState() == vbMaximized && managerFrame(w) == area; })) << how;
    if (byButton) w->MyButton8->click();
    else doubleClickTitleBar(w);
    // The frames seen from the restore on, the maximised one left out.
    QList<QRect> seen;
    watchFrames(w, seen, 10000, [&] { return managerFrame(w) != area; });
    watchFrames(w, seen, 2500);
    seen.removeAll(area);
    EXPECT_EQ(describe(seen), describe({wide})) << how;
    EXPECT_EQ(w->WindowState(), vbNormal) << how;
    EXPECT_EQ(describe({QRect(w->Left(), w->Top(), w->Width(), w->Height())}),
              describe({QRect(wide.topLeft() * 15, wide.size() * 15)}))
        << how;
    expectLaidOut(w, how);
  }
}
