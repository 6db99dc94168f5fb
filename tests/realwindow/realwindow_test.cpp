// The windows as a window manager frames, places and maximises them: run on
// a virtual X screen under openbox, with a 40-pixel panel band at the bottom
// of the screen (see run.sh). Sizes the Parts give in twips are outer frames.
#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "tests/pages/pages_fixture.h"

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

// A user's double click in the middle of a window's title bar.
void doubleClickTitleBar(const QWidget* w) {
  const QRect frame = frameOf(w);
  const int titleHeight = innerOf(w).top() - frame.top();
  const QPoint at(frame.center().x(), frame.top() + titleHeight / 2);
  run("xdotool", {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "--repeat", "2",
                  "--delay", "80", "1"});
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
