#pragma once
// How well one colour reads on another, measured as the accessibility
// guidelines do: (lighter luminance + 0.05) / (darker + 0.05), from 1 (the
// same) to 21 (black on white). Text reads from 4.5, a mark from 3.
#include <QColor>
#include <QHash>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cmath>

namespace vrn::testing {

inline double luminance(const QColor& c) {
  const auto linear = [](int channel) {
    const double v = channel / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

inline double contrast(const QColor& a, const QColor& b) {
  const double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The colour most pixels of the area have: the ground under a text.
inline QColor groundOf(const QImage& image, const QRect& area) {
  QHash<QRgb, int> counts;
  const QRect r = area & image.rect();
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) ++counts[image.pixel(x, y)];
  QRgb best = 0;
  int most = -1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it)
    if (it.value() > most) {
      best = it.key();
      most = it.value();
    }
  return QColor::fromRgb(best);
}

// The pixel of the area that stands out most from its ground: the strokes of
// a text drawn there.
inline QColor inkOf(const QImage& image, const QRect& area) {
  const QColor ground = groundOf(image, area);
  QColor ink = ground;
  const QRect r = area & image.rect();
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (contrast(c, ground) > contrast(ink, ground)) ink = c;
    }
  return ink;
}

}  // namespace vrn::testing
