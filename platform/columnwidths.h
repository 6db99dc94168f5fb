#pragma once
// Finding the widest texts of a list column: every text of a column of up to
// a million rows measured, on worker threads while the window's events keep
// running, so that fitting the column cuts none of them.
#include <QFont>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

namespace vrn {

// One column's texts, readable from any thread for the time of the search.
struct ColumnTexts {
  qsizetype rows = 0;
  // Row r's text as the list keeps it: UTF-8, where a lone UTF-16 surrogate
  // is written as its own three-byte sequence.
  std::function<std::pair<const char*, quint32>(qsizetype row)> bytes;
  // Row r's text.
  std::function<QString(qsizetype row)> text;
  // Rows drawn alike beside their text (the same check box and picture) are
  // of one kind; the widest texts are found for each kind. Empty: one kind.
  std::function<int(qsizetype row)> kind;
};

// The rows holding the widest texts of the column in the given font, widest
// first, at most `perKind` of each kind: no row left out has a text wider
// than the narrowest row returned of its kind. Texts are laid out on one line
// each, a line break starting a new line, as a list view lays out its cells.
std::vector<qsizetype> widestTextRows(const ColumnTexts& column, const QFont& font, int perKind = 64);

// The width of a text laid out as above, in 1/64 pixel.
qint64 textWidth64(const QString& text, const QFont& font);

}  // namespace vrn
