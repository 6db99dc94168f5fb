// Widest texts of a column. Measuring a million texts one by one with the
// text layout takes seconds, so most texts are measured from tables made
// once per column: the advance of each character, the kerning of each pair
// and the overhang of each character ending a text, read off the font by
// measuring the characters alone and in pairs. That sum is what the layout
// gives for texts of one script without ligatures; texts with other
// characters (marks, other scripts, controls, characters the font lacks) are
// laid out whole, once per distinct text. The caller measures the rows found
// exactly, so a font that shapes beyond pairs costs at most a pixel on rows
// past the widest few.
#include "platform/columnwidths.h"

#include <QFontMetricsF>
#include <QHash>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/eventpump.h"

namespace vrn {

namespace {

// More characters than this in one column leave the rest to the layout.
constexpr int kMaxTableChars = 400;

int workerCount(qsizetype units) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const qsizetype byWork = std::max<qsizetype>(1, units / 20000);
  return int(std::min<qsizetype>(qsizetype(std::min(cores, 8u)), byWork));
}

// Runs job(worker) on `workers` threads. Meanwhile the calling thread, when
// it is the window's, lets events other than the user's run, so the window
// keeps painting while nothing can change the texts being read.
void runOnWorkers(int workers, const std::function<void(int)>& job) {
  std::vector<std::function<void()>> parts;
  parts.reserve(size_t(workers));
  for (int i = 0; i < workers; ++i) parts.emplace_back([&job, i] { job(i); });
  EventPump pump;
  pump.setEventFlags(QEventLoop::ExcludeUserInputEvents);
  runOnHelpers(parts, &pump);
}

// A font of the thread's own with the same description: fonts are not
// shared between threads.
QFont threadFont(const QFont& font) {
  QFont own;
  own.fromString(font.toString());
  return own;
}

// Calls f with each UTF-16 code unit of the text; f returns false to stop.
template <class F>
void forEachUnit(const char* p, quint32 n, F&& f) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  quint32 i = 0;
  while (i < n) {
    const unsigned c = b[i];
    if (c < 0x80) {
      if (!f(char16_t(c))) return;
      i += 1;
    } else if (c < 0xE0) {
      if (i + 2 > n || !f(char16_t(((c & 0x1F) << 6) | (b[i + 1] & 0x3F)))) return;
      i += 2;
    } else if (c < 0xF0) {
      if (i + 3 > n || !f(char16_t(((c & 0x0F) << 12) | ((b[i + 1] & 0x3F) << 6) | (b[i + 2] & 0x3F)))) return;
      i += 3;
    } else {
      if (i + 4 > n) return;
      char32_t cp = ((c & 0x07) << 18) | ((b[i + 1] & 0x3F) << 12) | ((b[i + 2] & 0x3F) << 6) | (b[i + 3] & 0x3F);
      cp -= 0x10000;
      if (!f(char16_t(0xD800 + (cp >> 10))) || !f(char16_t(0xDC00 + (cp & 0x3FF)))) return;
      i += 4;
    }
  }
}

// Characters whose width the tables can give: Latin letters and the common
// digits, punctuation and symbols that the font has, laid out left to right
// without marks or controls.
bool tableChar(char16_t u, const QFontMetricsF& fm) {
  const QChar c(u);
  if (c.isSurrogate()) return false;
  switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
      return false;
    default:
      break;
  }
  if (c.script() != QChar::Script_Latin && c.script() != QChar::Script_Common) return false;
  const QChar::Direction d = c.direction();
  if (d == QChar::DirR || d == QChar::DirAL || d == QChar::DirAN) return false;
  return fm.inFont(c);
}

qint64 to64(qreal pixels) { return std::llround(pixels * 64); }

struct Tables {
  std::vector<qint16> index = std::vector<qint16>(65536, -1);  // code unit -> table row, -1: laid out whole
  std::vector<qint64> advance, overhang;
  std::vector<qint32> kerning;  // n x n, [first * n + second]
  int n = 0;
};

struct Candidate {
  qint64 width;
  qsizetype row;
};

// Keeps the `limit` widest candidates (a min-heap on the width).
struct Widest {
  std::vector<Candidate> heap;
  void offer(qint64 width, qsizetype row, int limit) {
    auto narrower = [](const Candidate& a, const Candidate& b) { return a.width > b.width; };
    if (int(heap.size()) < limit) {
      heap.push_back({width, row});
      std::push_heap(heap.begin(), heap.end(), narrower);
    } else if (width > heap.front().width) {
      std::pop_heap(heap.begin(), heap.end(), narrower);
      heap.back() = {width, row};
      std::push_heap(heap.begin(), heap.end(), narrower);
    }
  }
};

}  // namespace

qint64 textWidth64(const QString& text, const QFont& font) {
  QString laid = text;
  laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(laid, font);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  qreal widest = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(1e7);
    widest = std::max(widest, line.naturalTextWidth());
  }
  layout.endLayout();
  return to64(widest);
}

std::vector<qsizetype> widestTextRows(const ColumnTexts& column, const QFont& font, int perKind) {
  const qsizetype rows = column.rows;
  if (rows <= 0 || perKind <= 0) return {};
  const int workers = workerCount(rows);
  auto sliceOf = [rows, workers](int w) { return std::make_pair(rows * w / workers, rows * (w + 1) / workers); };

  // 1. The characters the column uses.
  std::vector<std::vector<quint64>> seenBy(size_t(workers), std::vector<quint64>(1024, 0));
  runOnWorkers(workers, [&](int w) {
    std::vector<quint64>& seen = seenBy[size_t(w)];
    const auto [from, to] = sliceOf(w);
    for (qsizetype r = from; r < to; ++r) {
      const auto [p, n] = column.bytes(r);
      forEachUnit(p, n, [&seen](char16_t u) {
        seen[u >> 6] |= quint64(1) << (u & 63);
        return true;
      });
    }
  });

  // 2. Their advances and overhangs, then the kerning of every pair.
  Tables t;
  {
    const QFontMetricsF fm(font);
    std::vector<char16_t> chars;
    for (int u = 0; u < 65536 && int(chars.size()) < kMaxTableChars; ++u) {
      bool used = false;
      for (const auto& seen : seenBy) used = used || (seen[size_t(u >> 6)] >> (u & 63) & 1);
      if (used && tableChar(char16_t(u), fm)) chars.push_back(char16_t(u));
    }
    t.n = int(chars.size());
    t.advance.resize(chars.size());
    t.overhang.resize(chars.size());
    for (int i = 0; i < t.n; ++i) {
      const QString one = QString(QChar(chars[size_t(i)]));
      t.index[chars[size_t(i)]] = qint16(i);
      t.advance[size_t(i)] = to64(fm.horizontalAdvance(one));
      t.overhang[size_t(i)] = textWidth64(one, font) - t.advance[size_t(i)];
    }
    t.kerning.assign(size_t(t.n) * size_t(t.n), 0);
    const int pairWorkers = std::max(1, std::min(workers, t.n / 16));
    runOnWorkers(pairWorkers, [&](int w) {
      const QFontMetricsF own(threadFont(font));
      QString pair(2, QChar());
      for (int a = w; a < t.n; a += pairWorkers) {
        pair[0] = QChar(chars[size_t(a)]);
        for (int b = 0; b < t.n; ++b) {
          pair[1] = QChar(chars[size_t(b)]);
          t.kerning[size_t(a) * size_t(t.n) + size_t(b)] =
              qint32(to64(own.horizontalAdvance(pair)) - t.advance[size_t(a)] - t.advance[size_t(b)]);
        }
      }
    });
  }

  // 3. Every text's width; each worker keeps the widest of each kind.
  std::vector<std::vector<Widest>> widestBy(static_cast<size_t>(workers));
  runOnWorkers(workers, [&](int w) {
    const QFont own = threadFont(font);
    QHash<QString, qint64> laidOut;  // texts the tables cannot give, once each
    std::vector<Widest>& widest = widestBy[size_t(w)];
    const auto [from, to] = sliceOf(w);
    const qint16* index = t.index.data();
    const qint64* advance = t.advance.data();
    const qint32* kerning = t.kerning.data();
    const size_t n = size_t(t.n);
    for (qsizetype r = from; r < to; ++r) {
      const auto [p, len] = column.bytes(r);
      qint64 width = 0;
      int previous = -1;
      bool tabled = true;
      forEachUnit(p, len, [&](char16_t u) {
        const int i = index[u];
        if (i < 0) return tabled = false;
        width += advance[i];
        if (previous >= 0) width += kerning[size_t(previous) * n + size_t(i)];
        previous = i;
        return true;
      });
      if (tabled) {
        if (previous >= 0) width += t.overhang[size_t(previous)];
      } else {
        const QString text = column.text(r);
        auto at = laidOut.constFind(text);
        if (at == laidOut.constEnd()) at = laidOut.insert(text, textWidth64(text, own));
        width = *at;
      }
      const int kind = column.kind ? std::max(0, column.kind(r)) : 0;
      if (size_t(kind) >= widest.size()) widest.resize(size_t(kind) + 1);
      widest[size_t(kind)].offer(width, r, perKind);
    }
  });

  // 4. The widest of each kind over all workers, widest first.
  size_t kinds = 0;
  for (const auto& widest : widestBy) kinds = std::max(kinds, widest.size());
  std::vector<qsizetype> out;
  for (size_t k = 0; k < kinds; ++k) {
    std::vector<Candidate> all;
    for (const auto& widest : widestBy)
      if (k < widest.size()) all.insert(all.end(), widest[k].heap.begin(), widest[k].heap.end());
    std::sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
      return a.width != b.width ? a.width > b.width : a.row < b.row;
    });
    if (int(all.size()) > perKind) all.resize(size_t(perKind));
    for (const Candidate& c : all) out.push_back(c.row);
  }
  return out;
}

}  // namespace vrn
