// Colours given to the controls are numbers as the runtime writes them
// (0xBBGGRR): every control that takes one paints the colour meant, not the
// one with red and blue swapped.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <ostream>

#include "platform/controls.h"
#include "platform/form.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QColor& c, std::ostream* os) { *os << c.name().toStdString(); }
QT_END_NAMESPACE

using namespace vrn;

namespace {

constexpr quint32 kVbRed = 0x0000FF;
constexpr quint32 kVbBlue = 0xFF0000;

QColor pixel(QWidget& w, int x, int y) { return w.grab().toImage().pixelColor(x, y); }

// Red with some white or black mixed in (gradients, rounding), never blue.
bool reddish(const QColor& c) { return c.red() > 200 && c.green() < 110 && c.blue() < 110; }

}  // namespace

TEST(Colors, RuntimeNumbersBecomeTheColoursTheyName) {
  const struct {
    quint32 vb;
    QColor color;
    const char* css;
  } cases[] = {
      {0x0000FF, QColor(255, 0, 0), "#ff0000"},
      {0x00FF00, QColor(0, 255, 0), "#00ff00"},
      {0xFF0000, QColor(0, 0, 255), "#0000ff"},
      {0x800000, QColor(0, 0, 128), "#000080"},
      {0xC0FFFF, QColor(255, 255, 192), "#ffffc0"},
      {0x8C4E1F, QColor(0x1f, 0x4e, 0x8c), "#1f4e8c"},
      // Written with its leading zeros, as window designs give colours.
      {0x00C00000, QColor(0, 0, 0xC0), "#0000c0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vbColor(c.vb), c.color) << std::hex << c.vb;
    EXPECT_EQ(cssColor(c.vb), QLatin1String(c.css)) << std::hex << c.vb;
  }
}

TEST(Colors, EveryControlThatTakesAColourReadsItTheSameWay) {
  Label label;
  label.Move(0, 0, 1500, 600);
  label.setForeColor(kVbRed);
  label.setBackColor(kVbBlue);
  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(pixel(label, 50, 20), QColor(0, 0, 255));

  Shape shape;
  shape.Move(0, 0, 1500, 600);
  shape.setColors(kVbRed, kVbBlue, true);
  EXPECT_EQ(pixel(shape, 50, 20), QColor(255, 0, 0)) << "fill";
  EXPECT_EQ(pixel(shape, 0, 20), QColor(0, 0, 255)) << "border";

  MyButton button;
  button.Move(0, 0, 1500, 600);
  button.setAccent(kVbRed);
  const QColor face = pixel(button, 50, 36);
  EXPECT_TRUE(reddish(face)) << face.name().toStdString();

  MyFrame frame(nullptr, QStringLiteral("Cadre"));
  frame.Move(0, 0, 3000, 1500);
  frame.setHeaderColor(kVbRed);
  const QColor header = pixel(frame, frame.width() - 10, frame.captionRect().center().y());
  EXPECT_TRUE(reddish(header)) << header.name().toStdString();

  Form form("ColourForm");
  form.resize(100, 80);
  form.setBackColor(kVbRed);
  EXPECT_EQ(pixel(form, 50, 40), QColor(255, 0, 0));
}
