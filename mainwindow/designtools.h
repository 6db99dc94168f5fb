#pragma once
// Small helpers for laying out a window's controls as the designer would:
// kind, name, twips place, caption and tooltip in one call.
#include <QIcon>
#include <QSignalBlocker>

#include "platform/controls.h"

namespace vrn::design {

constexpr quint32 kBlue = 0x1f4e8c;  // headers and buttons (RGB)
constexpr quint32 kDarkBlue = 0x16365f;
constexpr quint32 kTeal = 0x1d7a74;
constexpr quint32 kRed = 0xa8322d;
constexpr quint32 kGreen = 0x2e7d32;

// One of the program's pictures (resources/pictures/<name>.svg).
inline QIcon picture(const char* name) { return QIcon(QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(name))); }

template <class C, class... A>
C* make(QWidget* parent, const char* name, int l, int t, int w, int h, A&&... args) {
  return place(new C(parent, std::forward<A>(args)...), name, l, t, w, h);
}

inline Label* label(QWidget* parent, const char* name, int l, int t, int w, int h, const QString& caption) {
  auto* c = make<Label>(parent, name, l, t, w, h);
  c->setCaption(caption);
  return c;
}

inline MyButton* button(QWidget* parent, const char* name, int l, int t, int w, int h, const QString& caption,
                        const QString& tip = QString(), const QString& tipTitle = QString(), quint32 accent = kBlue) {
  auto* b = make<MyButton>(parent, name, l, t, w, h, caption);
  if (!tip.isEmpty()) b->setToolTipText(tip);
  if (!tipTitle.isEmpty()) b->setToolTipTitle(tipTitle);
  b->setAccent(accent);
  return b;
}

}  // namespace vrn::design
