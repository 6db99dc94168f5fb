// Every caption of the window designs fits its control at the fonts the
// designs name: measured with the font's metrics, wrapped to the control's
// width where the control wraps its text, against the room the control has.
#include <QFontInfo>
#include <QFontMetrics>
#include <ostream>

#include "pages/FormEssai.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

struct Misfit {
  QString control, text;
  QSize need, room;
};

bool operator==(const Misfit& a, const Misfit& b) { return a.control == b.control && a.text == b.text; }

void PrintTo(const Misfit& m, std::ostream* os) {
  *os << m.control.toStdString() << " \"" << m.text.toStdString() << "\" needs " << m.need.width() << " x "
      << m.need.height() << " px, has " << m.room.width() << " x " << m.room.height();
}

// The text laid out in the room, as the font's metrics measure it.
bool fits(const QFont& font, const QRect& room, int flags, const QString& text, QSize* need) {
  const QRect r = QFontMetrics(font).boundingRect(QRect(0, 0, room.width(), 100000), flags, text);
  *need = r.size();
  return r.width() <= room.width() && r.height() <= room.height();
}

// Buttons that only stand for a procedure to run and are never shown.
const QStringList kNeverShown = {"Main2.Command3",  "Main2.Command9",     "Main2.Command12",
                                 "Main2.Command14", "FormEssai.Command1", "FormEssai.Command2"};

// Every label, picture button and captioned panel of the window whose
// caption does not fit.
QList<Misfit> misfits(QWidget* window, const QStringList& only = {}) {
  QList<Misfit> out;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    const QString name = window->objectName() + "." + w->objectName();
    if (kNeverShown.contains(name) || (!only.isEmpty() && !only.contains(w->objectName()))) continue;
    QString text;
    QFont font;
    QRect room;
    int flags = 0;
    if (auto* l = qobject_cast<Label*>(w)) {
      text = l->Caption();
      font = l->font();
      room = l->contentsRect();
      flags = int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0);
    } else if (auto* b = qobject_cast<MyButton*>(w)) {
      text = b->Caption();
      font = b->captionFont();
      room = b->captionRect();
      // A button lower than two lines keeps its caption on one line.
      flags = Qt::AlignCenter | (room.height() >= 2 * QFontMetrics(font).height() ? int(Qt::TextWordWrap) : 0);
    } else if (auto* f = qobject_cast<MyFrame*>(w)) {
      text = f->Caption();
      font = f->captionFont();
      room = f->captionRect();
      flags = Qt::AlignLeft | Qt::AlignVCenter;
    } else {
      continue;
    }
    if (text.trimmed().isEmpty()) continue;
    QSize need;
    if (!fits(font, room, flags, text, &need)) out << Misfit{name, text, need, room.size()};
  }
  return out;
}

}  // namespace

class TextFitTest : public Main2Test {};

TEST_F(TextFitTest, TheDesignedFacesResolveToFontsWithTheirMetrics) {
  win = std::make_unique<Main2>();
  EXPECT_EQ(QFontInfo(win->Label27->font()).family(), "Liberation Sans");
  EXPECT_EQ(QFontInfo(win->Command1->captionFont()).family(), "Liberation Sans");
  EXPECT_EQ(QFontInfo(win->Combo7->font()).family(), "Liberation Serif");
  EXPECT_DOUBLE_EQ(win->Combo7->font().pointSizeF(), 9.75);
  FormEssai page(nullptr);
  EXPECT_EQ(QFontInfo(page.Label2->font()).family(), "Liberation Serif");
  EXPECT_EQ(QFontInfo(page.Label4->font()).family(), "Liberation Serif");
  EXPECT_EQ(QFontInfo(page.Command4->captionFont()).family(), "Liberation Sans");
}

TEST_F(TextFitTest, EveryCaptionOfTheMainWindowFitsItsControl) {
  win = std::make_unique<Main2>();
  // The longest caption of the options, the one that was cut on two lines.
  QSize need;
  EXPECT_TRUE(
      fits(win->Label27->font(), win->Label27->contentsRect(), Qt::TextWordWrap, win->Label27->Caption(), &need))
      << need.width() << " x " << need.height();
  EXPECT_EQ(misfits(win.get()), QList<Misfit>{});
}

TEST_F(TextFitTest, TheCaptionsStartUpAndThePanelsWriteFitTheirControls) {
  Main2* w = startWindow();
  // Start-up's hint and search caption; the search panel's scope captions.
  EXPECT_EQ(misfits(w, {"Label7", "MyFrame3", "Label1", "lblAffich", "lblnbr", "Label10"}), QList<Misfit>{});
  w->mnRechercheCritere->click();
  EXPECT_EQ(misfits(w->MyFrame3), QList<Misfit>{});
  // The preferences panel as its button opens it.
  w->MyButton7->click();
  EXPECT_EQ(misfits(w->MyFrame1), QList<Misfit>{});
}

TEST_F(TextFitTest, EveryCaptionOfTheListPageFitsItsControl) {
  FormEssai page(nullptr);
  EXPECT_EQ(misfits(&page), QList<Misfit>{});
  // The copy's two-line progress on the stop button, for a list with a
  // four-digit count, is drawn at the button's own size.
  page.MyButton6->setCaption("Arrêter Copie\nhtml (1234)-1234/1234");
  EXPECT_EQ(misfits(&page, {"MyButton6"}), QList<Misfit>{});
  EXPECT_EQ(page.MyButton6->fittedCaptionFont().pointSizeF(), page.MyButton6->captionFont().pointSizeF());
}
