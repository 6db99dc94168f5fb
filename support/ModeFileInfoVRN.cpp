#include "support/ModeFileInfoVRN.h"

#include <QDateTime>
#include <QLocale>
#include <atomic>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <vector>

#include "platform/pathcodec.h"
#include "support/formats.h"

namespace vrn {

namespace {

long offsetAt(qint64 t) {
  const time_t tt = time_t(t);
  tm parts{};
  if (!localtime_r(&tt, &parts)) return 0L;
  return long(parts.tm_gmtoff);
}

std::atomic<quint32> zoneGeneration{0};

// Offset of local time from UTC at t, in seconds, as localtime_r gives it.
// One list asks for millions of dates, so the offset is kept per span of
// 2^16 seconds (18 hours). The zone database never changes an offset and
// changes it back within four days (the shortest such pause, Freetown's in
// 1939, lasted 95 hours), so a span holds at most one change: a span whose
// ends agree has one offset throughout, and one whose ends differ has its
// change found once by halving. 4096 spans cover eight and a half years.
long localOffset(qint64 t) {
  constexpr int kShift = 16;
  constexpr int kSpans = 4096;
  constexpr qint64 kLimit = qint64(1) << 46;
  if (t <= -kLimit || t >= kLimit) return offsetAt(t);
  struct Span {
    qint32 key = INT_MIN;
    qint32 change = INT_MAX;  // first second of the second offset, from the span's start
    qint32 before = 0;
    qint32 after = 0;
  };
  thread_local Span spans[kSpans];
  thread_local quint32 generation = 0;
  const quint32 current = zoneGeneration.load(std::memory_order_relaxed);
  if (generation != current) {
    for (Span& s : spans) s = Span{};
    generation = current;
  }
  const qint32 key = qint32(t >> kShift);  // rounds down for negative times too
  Span& span = spans[quint32(key) & (kSpans - 1)];
  const qint64 first = qint64(key) << kShift;
  if (span.key != key) {
    const qint64 last = first + (qint64(1) << kShift) - 1;
    Span fresh{key, INT_MAX, qint32(offsetAt(first)), qint32(offsetAt(last))};
    if (fresh.before != fresh.after) {
      qint64 lo = first, hi = last;  // offsetAt(lo) == before, offsetAt(hi) == after
      while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        (offsetAt(mid) == fresh.before ? lo : hi) = mid;
      }
      fresh.change = qint32(hi - first);
    }
    span = fresh;
  }
  return t - first < span.change ? span.before : span.after;
}

struct CivilTime {
  qint64 year;
  int month, day, hour, minute, second;
};

// Local seconds since 1970 to a proleptic Gregorian date and time
// (H. Hinnant's days-to-civil algorithm), in unsigned arithmetic for the
// years 1 to 9999 that the texts show; false outside them.
bool civilFromLocalSeconds(qint64 local, CivilTime& c) {
  constexpr qint64 kYear1 = -62135596800;  // 0001-01-01T00:00:00
  constexpr qint64 kYear10000 = 253402300800;
  if (local < kYear1 || local >= kYear10000) return false;
  const quint64 shifted = quint64(local - kYear1);  // seconds since year 1
  const quint64 days1 = shifted / 86400;
  const quint32 secs = quint32(shifted - days1 * 86400);
  // Days since 0000-03-01: year 1 begins 306 days after it.
  const quint32 z = quint32(days1 + 306);
  const quint32 era = z / 146097;
  const quint32 doe = z - era * 146097;
  const quint32 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const quint32 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const quint32 mp = (5 * doy + 2) / 153;
  c.day = int(doy - (153 * mp + 2) / 5 + 1);
  c.month = int(mp < 10 ? mp + 3 : mp - 9);
  c.year = qint64(yoe + era * 400) + (c.month <= 2);
  c.hour = int(secs / 3600);
  c.minute = int(secs / 60 % 60);
  c.second = int(secs % 60);
  return true;
}

// Writes local date-times with a locale's short date (four-digit year) and
// time with seconds, as UTF-8. The patterns are read from the locale once and
// split into pieces; numbers are written directly and names (months, days,
// am/pm) come from tables the locale wrote once. Anything rarer (native
// digits, time zones, eras) goes through QLocale for each date.
class DateWriter {
 public:
  explicit DateWriter(const QLocale& locale) : locale_(locale) {
    datePattern_ = fourDigitYear(locale.dateFormat(QLocale::ShortFormat));
    timePattern_ = timeWithSeconds(locale);
    for (int m = 1; m <= 12; ++m) {
      const QDate date(2001, m, 15);
      monthNames_[0][m] = locale.toString(date, QStringLiteral("MMM")).toStdString();
      monthNames_[1][m] = locale.toString(date, QStringLiteral("MMMM")).toStdString();
    }
    for (int d = 1; d <= 7; ++d) {
      const QDate date(2001, 1, d);  // a Monday, then the rest of its week
      dayNames_[0][d] = locale.toString(date, QStringLiteral("ddd")).toStdString();
      dayNames_[1][d] = locale.toString(date, QStringLiteral("dddd")).toStdString();
    }
    amPm_[0][0] = locale.amText().toUpper().toStdString();
    amPm_[0][1] = locale.pmText().toUpper().toStdString();
    amPm_[1][0] = locale.amText().toLower().toStdString();
    amPm_[1][1] = locale.pmText().toLower().toStdString();
    fast_ = locale.zeroDigit() == QStringLiteral("0") && split(datePattern_, datePieces_) &&
            split(timePattern_, timePieces_);
    if (fast_) buildTemplate();
  }

  void append(std::string& out, qint64 utcSeconds) const {
    CivilTime c{};
    if (!civilFromLocalSeconds(utcSeconds + localOffset(utcSeconds), c)) {
      out += slowWrite(utcSeconds).toStdString();
      return;
    }
    const bool midnight = c.hour == 0 && c.minute == 0 && c.second == 0;
    if (!fast_) {
      out += slowWrite(c, midnight).toStdString();
      return;
    }
    if (fixedWidth_) {
      // Copy the template and put the digits in their places.
      const size_t n = midnight ? dateLength_ : template_.size();
      const size_t at0 = out.size();
      out.append(template_, 0, n);
      char* d = out.data() + at0;
      for (const Slot& slot : slots_) {
        if (size_t(slot.position) >= n) break;
        const int v = value(slot.kind, c);
        char* at = d + slot.position;
        if (slot.width == 4) {
          at[0] = char('0' + v / 1000);
          at[1] = char('0' + v / 100 % 10);
          at += 2;
        }
        at[0] = char('0' + v / 10 % 10);
        at[1] = char('0' + v % 10);
      }
      return;
    }
    append(out, datePieces_, c);
    if (!midnight) {
      out += ' ';
      append(out, timePieces_, c);
    }
  }

 private:
  enum Kind {
    Text,
    Day,
    DayName,
    Month,
    MonthName,
    Year2,
    Year4,
    Hour24,
    Hour12,
    Minute,
    Second,
    AmPmUpper,
    AmPmLower
  };
  struct Piece {
    Kind kind;
    int width;         // 1 or 2 digits at least; for names, 0 short and 1 long
    std::string text;  // UTF-8
  };

  static qsizetype runLength(const QString& p, qsizetype i) {
    qsizetype n = 1;
    while (i + n < p.size() && p[i + n] == p[i]) ++n;
    return n;
  }

  static QString fourDigitYear(const QString& pattern) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size();) {
      const QChar c = pattern[i];
      if (c == u'\'') quoted = !quoted;
      if (!quoted && c == u'y') {
        const qsizetype n = runLength(pattern, i);
        out += QStringLiteral("yyyy");
        i += n;
        continue;
      }
      out += c;
      ++i;
    }
    return out;
  }

  // The short time when it shows seconds; else the long time without its
  // time-zone name.
  static QString timeWithSeconds(const QLocale& locale) {
    QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    if (shortTime.contains(u's')) return shortTime;
    QString p = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < p.size();) {
      if (p[i] == u'\'') quoted = !quoted;
      if (!quoted && p[i] == u't') {
        i += runLength(p, i);
        continue;
      }
      out += p[i++];
    }
    out.replace(QStringLiteral("()"), QString());
    return out.trimmed();
  }

  // False when the pattern holds a piece only QLocale can write.
  bool split(const QString& p, std::vector<Piece>& pieces) const {
    const bool twelveHour = p.contains(u'a') || p.contains(u'A');
    for (qsizetype i = 0; i < p.size();) {
      const QChar c = p[i];
      if (c == u'\'') {
        const qsizetype end = p.indexOf(u'\'', i + 1);
        if (end == i + 1) {
          pieces.push_back({Text, 0, "'"});
          i += 2;
          continue;
        }
        const qsizetype stop = end < 0 ? p.size() : end;
        pieces.push_back({Text, 0, p.mid(i + 1, stop - i - 1).toStdString()});
        i = stop + 1;
        continue;
      }
      const qsizetype n = runLength(p, i);
      switch (c.unicode()) {
        case 'd':
          if (n > 4) return false;
          pieces.push_back(n > 2 ? Piece{DayName, int(n - 3), {}} : Piece{Day, int(n), {}});
          break;
        case 'M':
          if (n > 4) return false;
          pieces.push_back(n > 2 ? Piece{MonthName, int(n - 3), {}} : Piece{Month, int(n), {}});
          break;
        case 'y':
          if (n == 2) pieces.push_back({Year2, 2, {}});
          else if (n == 4) pieces.push_back({Year4, 4, {}});
          else return false;
          break;
        case 'H':
          if (n > 2) return false;
          pieces.push_back({Hour24, int(n), {}});
          break;
        case 'h':
          if (n > 2) return false;
          pieces.push_back({twelveHour ? Hour12 : Hour24, int(n), {}});
          break;
        case 'm':
          if (n > 2) return false;
          pieces.push_back({Minute, int(n), {}});
          break;
        case 's':
          if (n > 2) return false;
          pieces.push_back({Second, int(n), {}});
          break;
        case 'A':
        case 'a':
          // "AP"/"ap" (or a lone "A"/"a") is the am/pm text.
          if (i + 1 < p.size() && (p[i + 1] == u'P' || p[i + 1] == u'p')) {
            pieces.push_back({c == u'A' ? AmPmUpper : AmPmLower, 0, {}});
            i += 2;
            continue;
          }
          pieces.push_back({c == u'A' ? AmPmUpper : AmPmLower, 0, {}});
          break;
        default:
          if (c.isLetter() && c.unicode() < 128) return false;  // z, t, g...: leave to QLocale
          pieces.push_back({Text, 0, p.mid(i, n).toStdString()});
          break;
      }
      i += n;
    }
    return true;
  }

  static void number(std::string& out, qint64 v, int width) {
    char buf[24];
    int n = 0;
    do {
      buf[n++] = char('0' + v % 10);
      v /= 10;
    } while (v > 0);
    while (n < width) buf[n++] = '0';
    while (n > 0) out += buf[--n];
  }

  static int dayOfWeek(const CivilTime& c) {
    // Monday 1 to Sunday 7 (Sakamoto's rule on the proleptic Gregorian calendar).
    static constexpr int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const qint64 y = c.month < 3 ? c.year - 1 : c.year;
    const int sunday0 = int((y + y / 4 - y / 100 + y / 400 + t[c.month - 1] + c.day) % 7);
    return sunday0 == 0 ? 7 : sunday0;
  }

  void append(std::string& out, const std::vector<Piece>& pieces, const CivilTime& c) const {
    for (const Piece& piece : pieces) {
      switch (piece.kind) {
        case Text:
          out += piece.text;
          break;
        case Day:
          number(out, c.day, piece.width);
          break;
        case DayName:
          out += dayNames_[piece.width][dayOfWeek(c)];
          break;
        case Month:
          number(out, c.month, piece.width);
          break;
        case MonthName:
          out += monthNames_[piece.width][c.month];
          break;
        case Year2:
          number(out, c.year % 100, 2);
          break;
        case Year4:
          number(out, c.year, 4);
          break;
        case Hour24:
          number(out, c.hour, piece.width);
          break;
        case Hour12:
          number(out, c.hour % 12 == 0 ? 12 : c.hour % 12, piece.width);
          break;
        case Minute:
          number(out, c.minute, piece.width);
          break;
        case Second:
          number(out, c.second, piece.width);
          break;
        case AmPmUpper:
          out += amPm_[0][c.hour < 12 ? 0 : 1];
          break;
        case AmPmLower:
          out += amPm_[1][c.hour < 12 ? 0 : 1];
          break;
      }
    }
  }

  static int value(Kind kind, const CivilTime& c) {
    switch (kind) {
      case Day:
        return c.day;
      case Month:
        return c.month;
      case Year2:
        return int(c.year % 100);
      case Year4:
        return int(c.year);
      case Hour24:
        return c.hour;
      case Hour12:
        return c.hour % 12 == 0 ? 12 : c.hour % 12;
      case Minute:
        return c.minute;
      case Second:
        return c.second;
      default:
        return 0;
    }
  }

  // Patterns whose numbers all have a fixed width (dd/MM/yyyy HH:mm:ss) give
  // texts of one length: a template with the digits' places.
  void buildTemplate() {
    auto add = [this](const std::vector<Piece>& pieces) {
      for (const Piece& piece : pieces) {
        if (piece.kind == Text) {
          template_ += piece.text;
          continue;
        }
        const bool fixed = piece.kind == Year4 || piece.kind == Year2 ||
                           (piece.width == 2 && (piece.kind == Day || piece.kind == Month || piece.kind == Hour24 ||
                                                 piece.kind == Hour12 || piece.kind == Minute || piece.kind == Second));
        if (!fixed) return false;
        const int width = piece.kind == Year4 ? 4 : 2;
        slots_.push_back({piece.kind, int(template_.size()), width});
        template_.append(size_t(width), '0');
      }
      return true;
    };
    fixedWidth_ = add(datePieces_);
    dateLength_ = template_.size();
    template_ += ' ';
    fixedWidth_ = fixedWidth_ && add(timePieces_);
  }

  // Times outside the years 1 to 9999, through Qt's own calendar.
  QString slowWrite(qint64 utcSeconds) const {
    const QDateTime t = QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::LocalTime);
    if (!t.isValid()) return QString();
    QString out = locale_.toString(t.date(), datePattern_);
    if (t.time() != QTime(0, 0)) out += u' ' + locale_.toString(t.time(), timePattern_);
    return out;
  }

  QString slowWrite(const CivilTime& c, bool midnight) const {
    const QDate date(int(c.year), c.month, c.day);
    QString out = locale_.toString(date, datePattern_);
    if (!midnight) out += u' ' + locale_.toString(QTime(c.hour, c.minute, c.second), timePattern_);
    return out;
  }

  QLocale locale_;
  QString datePattern_, timePattern_;
  std::string monthNames_[2][13], dayNames_[2][8], amPm_[2][2];
  std::vector<Piece> datePieces_, timePieces_;
  bool fast_ = false;
  struct Slot {
    Kind kind;
    int position;
    int width;
  };
  bool fixedWidth_ = false;
  std::string template_;  // the date, a blank, the time
  size_t dateLength_ = 0;
  std::vector<Slot> slots_;
};

const DateWriter& dateWriter() {
  static const DateWriter writer(QLocale::system());
  return writer;
}

FileTime fileTime(const statx_timestamp& ts, bool known) {
  return known ? FileTime{qint64(ts.tv_sec), true} : FileTime{};
}

constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BLOCKS | STATX_ATIME | STATX_MTIME | STATX_BTIME;
// The entry itself, never the target of a link, and no automount triggered.
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

// True when the last component of the path (trailing "/" ignored) begins with ".".
bool hiddenName(QByteArrayView path) {
  qsizetype end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const qsizetype slash = path.lastIndexOf('/', end - 1);
  const qsizetype start = slash + 1;
  return start < end && path[start] == '.';
}

FindData findDataOf(QByteArrayView path, const struct statx& st) {
  FindData fd;
  const mode_t type = st.stx_mode & S_IFMT;
  qint32 bits = 0;
  if ((st.stx_mode & S_IWUSR) == 0 && type != S_IFLNK) bits |= kAttrReadOnly;
  if (hiddenName(path)) bits |= kAttrHidden;
  if (type == S_IFCHR || type == S_IFBLK || type == S_IFIFO || type == S_IFSOCK) bits |= kAttrSystem;
  if (type == S_IFDIR) bits |= kAttrDirectory;
  if (type == S_IFREG) {
    bits |= kAttrArchive;
    if ((st.stx_mask & STATX_BLOCKS) && st.stx_blocks * 512 < st.stx_size) bits |= kAttrSparse;
  }
  if (type == S_IFLNK) bits |= kAttrReparsePoint;
  if ((st.stx_attributes_mask & STATX_ATTR_COMPRESSED) && (st.stx_attributes & STATX_ATTR_COMPRESSED))
    bits |= kAttrCompressed;
  if ((st.stx_attributes_mask & STATX_ATTR_ENCRYPTED) && (st.stx_attributes & STATX_ATTR_ENCRYPTED))
    bits |= kAttrEncrypted;
  fd.attributes = bits;
  // The find data of a folder or a link gives no size.
  fd.size = type == S_IFDIR || type == S_IFLNK ? 0 : st.stx_size;
  fd.creationTime = fileTime(st.stx_btime, st.stx_mask & STATX_BTIME);
  fd.accessTime = fileTime(st.stx_atime, st.stx_mask & STATX_ATIME);
  fd.writeTime = fileTime(st.stx_mtime, st.stx_mask & STATX_MTIME);
  return fd;
}

bool statEntry(const QByteArray& path, struct statx& st) {
  return !path.isEmpty() && statx(AT_FDCWD, path.constData(), kStatxFlags, kStatxMask, &st) == 0;
}

// The bytes of a path for one call. Plain ASCII, nearly every path, is copied
// into the caller's buffer without allocating; anything else goes through the
// path codec.
class PathBytes {
 public:
  explicit PathBytes(const QString& path) {
    const qsizetype n = path.size();
    const char16_t* s = reinterpret_cast<const char16_t*>(path.constData());
    if (n < qsizetype(sizeof small_)) {
      char16_t any = 0;
      for (qsizetype i = 0; i < n; ++i) any |= s[i];
      if (any < 0x80) {
        for (qsizetype i = 0; i < n; ++i) small_[i] = char(s[i]);
        small_[n] = 0;
        bytes_ = QByteArray::fromRawData(small_, n);
        return;
      }
    }
    bytes_ = encodePath(path);
  }
  const QByteArray& bytes() const { return bytes_; }

 private:
  char small_[1024];
  QByteArray bytes_;
};

}  // namespace

bool FichierExiste(const QString& chemin) {
  struct stat st;
  return FichierExiste(encodePath(chemin), &st);
}

bool FichierExiste(const QByteArray& cheminOctets, struct stat* vu) {
  return !cheminOctets.isEmpty() &&
         fstatat(AT_FDCWD, cheminOctets.constData(), vu, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0;
}

FindData ChercherFichier(const QByteArray& cheminOctets) {
  struct statx st;
  if (!statEntry(cheminOctets, st)) return FindData{};
  return findDataOf(cheminOctets, st);
}

FindData findDataOfEntry(QByteArrayView path, const struct statx& st) { return findDataOf(path, st); }

FindData ChercherFichier(const QString& chemin) { return ChercherFichier(encodePath(chemin)); }

void appendDateText(std::string& out, const FileTime& heure) {
  if (heure.known) dateWriter().append(out, heure.seconds);
}

QString DateFichier(const FileTime& heure) {
  if (!heure.known) return QString();
  std::string text;
  dateWriter().append(text, heure.seconds);
  return QString::fromStdString(text);
}

QString dateTextInLocale(const QLocale& locale, const FileTime& heure) {
  if (!heure.known) return QString();
  std::string text;
  DateWriter(locale).append(text, heure.seconds);
  return QString::fromStdString(text);
}

void localZoneChanged() { zoneGeneration.fetch_add(1, std::memory_order_relaxed); }

void appendSizeText(std::string& out, quint64 size) {
  if (size > 0) appendGroupedNumber(out, size, 0);
}

namespace {

QString attributeLetters(qint32 bits) {
  if (bits == 128) return QStringLiteral("N");
  if (bits == 0) return QStringLiteral("None");
  struct Row {
    qint32 bit;
    const char* letters;
  };
  static constexpr Row rows[] = {{32768, "L"},  {16384, "E"}, {8192, ""}, {4096, "O"}, {2048, "C"},
                                 {1024, "R-P"}, {512, "S-F"}, {256, "T"}, {32, "A"},   {16, "D"},
                                 {4, "S"},      {2, "H"},     {1, "R"}};
  qint64 left = bits;
  QString text;
  for (const Row& row : rows) {
    if (left >= row.bit && (left & row.bit)) {
      left -= row.bit;
      text += QLatin1StringView(row.letters);
    }
  }
  if (left != 0) return QStringLiteral("Erreur d'attribut");
  return text;
}

}  // namespace

QString TexteAttributs(qint32 bits) {
  // The texts of the bits this system sets are made once: rows ask for them
  // by the million.
  constexpr qint32 kCommon[] = {kAttrReadOnly, kAttrHidden,       kAttrSystem,     kAttrDirectory, kAttrArchive,
                                kAttrSparse,   kAttrReparsePoint, kAttrCompressed, kAttrEncrypted};
  static const std::vector<QString> common = [&kCommon] {
    std::vector<QString> texts(size_t(1) << std::size(kCommon));
    for (size_t index = 0; index < texts.size(); ++index) {
      qint32 value = 0;
      for (size_t b = 0; b < std::size(kCommon); ++b)
        if (index & (size_t(1) << b)) value |= kCommon[b];
      texts[index] = attributeLetters(value);
    }
    return texts;
  }();
  size_t index = 0;
  qint32 rest = bits;
  for (size_t b = 0; b < std::size(kCommon); ++b) {
    if (rest & kCommon[b]) {
      index |= size_t(1) << b;
      rest &= ~kCommon[b];
    }
  }
  return rest == 0 ? common[index] : attributeLetters(bits);
}

InfoFichier LireInfoFichier(const QString& chemin) {
  InfoFichier info;
  info.CheminComplet = chemin;
  // The last "/" and the last "." of the whole path, in one pass from the end.
  const char16_t* text = reinterpret_cast<const char16_t*>(chemin.constData());
  qsizetype slash = -1, dot = -1;
  for (qsizetype i = chemin.size() - 1; i >= 0 && slash < 0; --i) {
    if (text[i] == u'/') slash = i;
    else if (text[i] == u'.' && dot < 0) dot = i;
  }
  if (dot < 0 && slash > 0) dot = chemin.lastIndexOf(u'.', slash - 1);  // a dot only in a folder name
  const auto tail = [&chemin](qsizetype from) { return QString(chemin.constData() + from, chemin.size() - from); };
  if (slash >= 0) info.Nom = tail(slash + 1);
  if (dot >= 0) info.Extension = tail(dot + 1);

  // One look at the entry answers both the existence test and the facts.
  const PathBytes path(chemin);
  struct statx st;
  if (!statEntry(path.bytes(), st)) return info;
  info.Existe = true;
  const FindData fd = findDataOf(path.bytes(), st);
  info.Attributs = TexteAttributs(fd.attributes);
  std::string size;
  appendSizeText(size, fd.size);
  info.Taille = QString::fromStdString(size);
  // Files are often read, or never changed, in the second they were written:
  // equal times share one text.
  info.DateModification = DateFichier(fd.writeTime);
  const auto sameAsWrite = [&fd](const FileTime& t) {
    return t.known && fd.writeTime.known && t.seconds == fd.writeTime.seconds;
  };
  info.DateAcces = sameAsWrite(fd.accessTime) ? info.DateModification : DateFichier(fd.accessTime);
  info.DateCreation = sameAsWrite(fd.creationTime) ? info.DateModification : DateFichier(fd.creationTime);
  return info;
}

}  // namespace vrn
