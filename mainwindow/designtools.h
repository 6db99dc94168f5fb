#pragma once
// Small helpers for laying out a window's controls as the designer would:
// kind, name, twips place, caption and tooltip in one call.
#include <QIcon>
#include <QSignalBlocker>

#include "platform/controls.h"

namespace vrn::design {

// The program's own colours, written as the controls take them (0xBBGGRR).
constexpr quint32 kBlue = 0x8C4E1F;  // headers, buttons, the preferences list
constexpr quint32 kDarkBlue = 0x5F3616;
constexpr quint32 kTeal = 0x747A1D;
constexpr quint32 kRed = 0x2D32A8;
constexpr quint32 kGreen = 0x327D2E;
constexpr quint32 kNavy = 0x800000;        // the special folders list
constexpr quint32 kPaleSky = 0xF5E1CC;     // its current entry
constexpr quint32 kBarBlue = 0xB56D2F;     // the search's progress bar
constexpr quint32 kPaleBlue = 0xF6EFE9;    // the main window's background
constexpr quint32 kPaleYellow = 0xC0FFFF;  // the search criterion's box
constexpr quint32 kWhite = 0xFFFFFF;

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
