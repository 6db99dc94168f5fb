#include "support/formats.h"

#include <QHash>
#include <QLocale>
#include <QVarLengthArray>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

namespace vrn {

namespace {

bool isPlaceholder(QChar c) { return c == u'#' || c == u'0'; }
bool isNumberChar(QChar c) { return isPlaceholder(c) || c == u'.' || c == u','; }

constexpr quint64 kPow10[] = {1ULL,       10ULL,       100ULL,       1000ULL,       10000ULL,      100000ULL,
                              1000000ULL, 10000000ULL, 100000000ULL, 1000000000ULL, 10000000000ULL};
constexpr int kMaxDecimals = 10;

struct Separators {
  QString group;
  QString decimal;
};

const Separators& separators() {
  static const Separators s = [] {
    const QLocale locale = QLocale::system();
    return Separators{locale.groupSeparator(), locale.decimalPoint()};
  }();
  return s;
}

bool isSpaceLike(QChar c) { return c == u' ' || c == QChar(0x00A0) || c == QChar(0x202F); }

}  // namespace

const QString& userGroupSeparator() { return separators().group; }

void appendGroupedNumber(std::string& out, quint64 v, int minDigits) {
  static const std::string group = separators().group.toStdString();
  char digits[24];
  int n = 0;
  for (; v > 0; v /= 10) digits[n++] = char('0' + v % 10);  // reversed
  while (n < minDigits && n < int(sizeof digits)) digits[n++] = '0';
  for (int i = n - 1; i >= 0; --i) {
    out += digits[i];
    if (i > 0 && i % 3 == 0) out += group;
  }
}
const QString& userDecimalSeparator() { return separators().decimal; }

NumberPattern::NumberPattern(const QString& pattern) {
  percent_ = pattern.contains(u'%');
  qsizetype first = -1, last = -1;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    if (isNumberChar(pattern[i])) {
      if (first < 0) first = i;
      last = i;
    }
  }
  if (first < 0) {
    prefix_ = pattern;
    return;
  }
  prefix_ = pattern.left(first);
  suffix_ = pattern.mid(last + 1);
  const QStringView body = QStringView(pattern).mid(first, last - first + 1);
  const qsizetype point = body.indexOf(u'.');
  hasPoint_ = point >= 0;
  const QStringView intPart = hasPoint_ ? body.left(point) : body;
  const QStringView fracPart = hasPoint_ ? body.mid(point + 1) : QStringView();

  int placeholders = 0;
  int firstZero = -1;
  for (QChar c : intPart) {
    if (isPlaceholder(c)) {
      if (c == u'0' && firstZero < 0) firstZero = placeholders;
      ++placeholders;
    } else if (c == u',' && placeholders > 0) {
      grouped_ = true;
    }
  }
  minIntDigits_ = firstZero < 0 ? 0 : placeholders - firstZero;

  int index = 0;
  for (QChar c : fracPart) {
    if (!isPlaceholder(c)) continue;
    ++index;
    if (c == u'0') minDecimals_ = index;
  }
  maxDecimals_ = std::min(index, kMaxDecimals);
  minDecimals_ = std::min(minDecimals_, maxDecimals_);
}

QString NumberPattern::formatScaled(quint64 magnitude, bool negative) const {
  const quint64 unit = kPow10[maxDecimals_];
  const quint64 whole = magnitude / unit;
  quint64 fraction = magnitude % unit;

  char digits[24];
  int n = 0;
  for (quint64 w = whole; w > 0; w /= 10) digits[n++] = char('0' + w % 10);  // reversed
  while (n < minIntDigits_ && n < int(sizeof digits)) digits[n++] = '0';

  const QString& group = userGroupSeparator();
  if (!hasPoint_ && prefix_.isEmpty() && suffix_.isEmpty() && !(negative && magnitude != 0)) {
    // Whole numbers (sizes, record numbers: every row of a list) are written
    // straight into their string, from the last digit back.
    const qsizetype separators = grouped_ && n > 0 ? (n - 1) / 3 : 0;
    QString out(n + separators * group.size(), Qt::Uninitialized);
    char16_t* end = reinterpret_cast<char16_t*>(out.data()) + out.size();
    for (int i = 0; i < n; ++i) {
      if (grouped_ && i > 0 && i % 3 == 0) {
        end -= group.size();
        std::memcpy(end, group.constData(), size_t(group.size()) * sizeof(char16_t));
      }
      *--end = char16_t(digits[i]);
    }
    return out;
  }

  // Built in one buffer and copied into the string once.
  const QString& decimal = userDecimalSeparator();
  QVarLengthArray<char16_t, 64> out;
  auto put = [&out](const QString& s) { out.append(reinterpret_cast<const char16_t*>(s.constData()), s.size()); };
  if (negative && magnitude != 0) out.append(u'-');
  put(prefix_);
  for (int i = n - 1; i >= 0; --i) {
    out.append(char16_t(digits[i]));
    if (grouped_ && i > 0 && i % 3 == 0) put(group);
  }
  if (hasPoint_) {
    put(decimal);
    int shown = maxDecimals_;
    while (shown > minDecimals_ && fraction % 10 == 0) {
      fraction /= 10;
      --shown;
    }
    char16_t frac[kMaxDecimals];
    for (int i = shown - 1; i >= 0; --i) {
      frac[i] = char16_t('0' + fraction % 10);
      fraction /= 10;
    }
    out.append(frac, shown);
  }
  put(suffix_);
  return QString(reinterpret_cast<const QChar*>(out.constData()), out.size());
}

QString NumberPattern::format(qint64 value) const {
  const bool negative = value < 0;
  const quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
  const quint64 factor = (percent_ ? 100 : 1) * kPow10[maxDecimals_];
  if (factor == 1) return formatScaled(magnitude, negative);
  if (magnitude <= std::numeric_limits<quint64>::max() / factor) return formatScaled(magnitude * factor, negative);
  return format(double(value));
}

QString NumberPattern::format(double value) const {
  if (!std::isfinite(value)) return QString();
  long double scaled = std::fabs(static_cast<long double>(value));
  if (percent_) scaled *= 100;
  scaled = std::roundl(scaled * kPow10[maxDecimals_]);  // half away from zero
  const long double limit = static_cast<long double>(std::numeric_limits<quint64>::max());
  const quint64 magnitude = scaled >= limit ? std::numeric_limits<quint64>::max() : quint64(scaled);
  return formatScaled(magnitude, value < 0);
}

namespace {

// Parsed patterns, so callers that pass the pattern text each time do not
// parse it each time.
const NumberPattern& patternFor(const QString& pattern) {
  static std::mutex lock;
  static QHash<QString, NumberPattern*> cache;
  std::lock_guard guard(lock);
  auto it = cache.constFind(pattern);
  if (it != cache.cend()) return **it;
  auto* parsed = new NumberPattern(pattern);  // kept for the life of the process
  cache.insert(pattern, parsed);
  return *parsed;
}

}  // namespace

QString formatNumber(double value, const QString& pattern) { return patternFor(pattern).format(value); }
QString formatNumber(qint64 value, const QString& pattern) { return patternFor(pattern).format(value); }

QString formatNumberText(const QString& text, const QString& pattern) {
  const QStringView t = QStringView(text).trimmed();
  if (t.isEmpty()) return text;
  const QString& group = userGroupSeparator();
  const QString& decimal = userDecimalSeparator();
  // A locale that groups with a space: any of the usual spaces reads as one.
  const bool spaceGroups = group.size() == 1 && isSpaceLike(group[0]);

  qsizetype i = 0;
  bool negative = false;
  if (t[0] == u'-' || t[0] == u'+') {
    negative = t[0] == u'-';
    ++i;
  }
  quint64 whole = 0;
  bool overflow = false;
  int digits = 0;
  QString plain;  // digits and a '.' for the floating-point road
  for (; i < t.size(); ++i) {
    const QChar c = t[i];
    if (c.isDigit() && c.unicode() < 128) {
      const unsigned d = c.unicode() - '0';
      if (whole > (std::numeric_limits<quint64>::max() - d) / 10) overflow = true;
      else whole = whole * 10 + d;
      plain += c;
      ++digits;
    } else if (digits > 0 && !group.isEmpty() && t.mid(i).startsWith(group)) {
      i += group.size() - 1;
    } else if (digits > 0 && spaceGroups && isSpaceLike(c)) {
    } else {
      break;
    }
  }
  bool hasFraction = false;
  if (i < t.size() && t.mid(i).startsWith(decimal)) {
    i += decimal.size();
    hasFraction = true;
    plain += u'.';
    for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128; ++i) {
      plain += t[i];
      ++digits;
    }
  }
  if (i != t.size() || digits == 0) return text;

  if (!hasFraction && !overflow && whole <= quint64(std::numeric_limits<qint64>::max()))
    return formatNumber(negative ? -qint64(whole) : qint64(whole), pattern);
  bool ok = false;
  const double value = QLocale::c().toDouble(plain, &ok);
  if (!ok) return text;
  return formatNumber(negative ? -value : value, pattern);
}

QString formatElapsed(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0;
  qint64 s = std::llround(seconds);
  s %= 86400;
  if (s < 0) s += 86400;
  const int h = int(s / 3600), m = int(s / 60 % 60), sec = int(s % 60);
  char buf[9] = {char('0' + h / 10),   char('0' + h % 10),   ':', char('0' + m / 10), char('0' + m % 10), ':',
                 char('0' + sec / 10), char('0' + sec % 10), 0};
  return QString::fromLatin1(buf, 8);
}

}  // namespace vrn
