#include "support/ModeFileInfoVRN.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <array>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

#include "platform/pathcodec.h"
#include "support/formats.h"

namespace vrn {

namespace {

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Offset of local time from UTC at t, in seconds. The world's offsets and
// their changes fall on quarter hours, so a quarter hour whose two ends have
// the same offset has it throughout; such quarters are cached, since one list
// asks for millions of dates.
long localOffset(qint64 t) {
  struct Slot {
    qint64 band = LLONG_MIN;
    long offset = 0;
  };
  constexpr qint64 kBand = 900;
  thread_local std::array<Slot, 4096> cache;
  auto offsetAt = [](qint64 when) {
    const time_t tt = time_t(when);
    tm parts{};
    if (!localtime_r(&tt, &parts)) return 0L;
    return long(parts.tm_gmtoff);
  };
  const qint64 band = floorDiv(t, kBand);
  Slot& slot = cache[size_t(band) & (cache.size() - 1)];
  if (slot.band == band) return slot.offset;
  const long start = offsetAt(band * kBand);
  if (start != offsetAt(band * kBand + kBand - 1)) return offsetAt(t);  // a change inside: no cache
  slot = Slot{band, start};
  return start;
}

struct CivilTime {
  qint64 year;
  int month, day, hour, minute, second;
};

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
CivilTime civilFromLocalSeconds(qint64 local) {
  const qint64 days = floorDiv(local, 86400);
  const qint64 secs = local - days * 86400;
  const qint64 z = days + 719468;
  const qint64 era = floorDiv(z, 146097);
  const qint64 doe = z - era * 146097;
  const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const qint64 mp = (5 * doy + 2) / 153;
  const int d = int(doy - (153 * mp + 2) / 5 + 1);
  const int m = int(mp < 10 ? mp + 3 : mp - 9);
  const qint64 y = yoe + era * 400 + (m <= 2);
  return CivilTime{y, m, d, int(secs / 3600), int(secs / 60 % 60), int(secs % 60)};
}

// Writes local date-times with the user's short date (four-digit year) and
// time with seconds. The pattern is read from the locale once and split into
// pieces; numeric pieces are written directly, anything rarer (month names,
// native digits) goes through QLocale.
class DateWriter {
 public:
  DateWriter() {
    const QLocale locale = QLocale::system();
    datePattern_ = fourDigitYear(locale.dateFormat(QLocale::ShortFormat));
    timePattern_ = timeWithSeconds(locale);
    am_ = locale.amText();
    pm_ = locale.pmText();
    fast_ = locale.zeroDigit() == QStringLiteral("0") && split(datePattern_, datePieces_) &&
            split(timePattern_, timePieces_);
  }

  QString write(qint64 utcSeconds) const {
    const CivilTime c = civilFromLocalSeconds(utcSeconds + localOffset(utcSeconds));
    const bool midnight = c.hour == 0 && c.minute == 0 && c.second == 0;
    if (!fast_ || c.year < 1 || c.year > 9999) return slowWrite(c, midnight);
    QString out;
    out.reserve(20);
    append(out, datePieces_, c);
    if (!midnight) {
      out += u' ';
      append(out, timePieces_, c);
    }
    return out;
  }

 private:
  enum Kind { Text, Day, Month, Year2, Year4, Hour24, Hour12, Minute, Second, AmPmUpper, AmPmLower };
  struct Piece {
    Kind kind;
    int width;  // 1 or 2 digits at least
    QString text;
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
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
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
          pieces.push_back({Text, 0, QStringLiteral("'")});
          i += 2;
          continue;
        }
        const qsizetype stop = end < 0 ? p.size() : end;
        pieces.push_back({Text, 0, p.mid(i + 1, stop - i - 1)});
        i = stop + 1;
        continue;
      }
      const qsizetype n = runLength(p, i);
      switch (c.unicode()) {
        case 'd': if (n > 2) return false; pieces.push_back({Day, int(n), {}}); break;
        case 'M': if (n > 2) return false; pieces.push_back({Month, int(n), {}}); break;
        case 'y':
          if (n == 2) pieces.push_back({Year2, 2, {}});
          else if (n == 4) pieces.push_back({Year4, 4, {}});
          else return false;
          break;
        case 'H': if (n > 2) return false; pieces.push_back({Hour24, int(n), {}}); break;
        case 'h':
          if (n > 2) return false;
          pieces.push_back({twelveHour ? Hour12 : Hour24, int(n), {}});
          break;
        case 'm': if (n > 2) return false; pieces.push_back({Minute, int(n), {}}); break;
        case 's': if (n > 2) return false; pieces.push_back({Second, int(n), {}}); break;
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
          pieces.push_back({Text, 0, p.mid(i, n)});
          break;
      }
      i += n;
    }
    return true;
  }

  static void number(QString& out, qint64 v, int width) {
    char buf[24];
    int n = 0;
    do {
      buf[n++] = char('0' + v % 10);
      v /= 10;
    } while (v > 0);
    while (n < width) buf[n++] = '0';
    while (n > 0) out += QLatin1Char(buf[--n]);
  }

  void append(QString& out, const std::vector<Piece>& pieces, const CivilTime& c) const {
    for (const Piece& piece : pieces) {
      switch (piece.kind) {
        case Text: out += piece.text; break;
        case Day: number(out, c.day, piece.width); break;
        case Month: number(out, c.month, piece.width); break;
        case Year2: number(out, c.year % 100, 2); break;
        case Year4: number(out, c.year, 4); break;
        case Hour24: number(out, c.hour, piece.width); break;
        case Hour12: number(out, c.hour % 12 == 0 ? 12 : c.hour % 12, piece.width); break;
        case Minute: number(out, c.minute, piece.width); break;
        case Second: number(out, c.second, piece.width); break;
        case AmPmUpper: out += (c.hour < 12 ? am_ : pm_).toUpper(); break;
        case AmPmLower: out += (c.hour < 12 ? am_ : pm_).toLower(); break;
      }
    }
  }

  QString slowWrite(const CivilTime& c, bool midnight) const {
    const QLocale locale = QLocale::system();
    const QDate date(int(c.year), c.month, c.day);
    QString out = locale.toString(date, datePattern_);
    if (!midnight) out += u' ' + locale.toString(QTime(c.hour, c.minute, c.second), timePattern_);
    return out;
  }

  QString datePattern_, timePattern_, am_, pm_;
  std::vector<Piece> datePieces_, timePieces_;
  bool fast_ = false;
};

const DateWriter& dateWriter() {
  static const DateWriter writer;
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
bool hiddenName(const QByteArray& path) {
  qsizetype end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const qsizetype slash = path.lastIndexOf('/', end - 1);
  const qsizetype start = slash + 1;
  return start < end && path[start] == '.';
}

FindData findDataOf(const QByteArray& path, const struct statx& st) {
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
  fd.size = st.stx_size;
  fd.creationTime = fileTime(st.stx_btime, st.stx_mask & STATX_BTIME);
  fd.accessTime = fileTime(st.stx_atime, st.stx_mask & STATX_ATIME);
  fd.writeTime = fileTime(st.stx_mtime, st.stx_mask & STATX_MTIME);
  return fd;
}

bool statEntry(const QByteArray& path, struct statx& st) {
  return !path.isEmpty() && statx(AT_FDCWD, path.constData(), kStatxFlags, kStatxMask, &st) == 0;
}

}  // namespace

bool FichierExiste(const QString& chemin) {
  const QByteArray path = encodePath(chemin);
  struct stat st;
  return !path.isEmpty() && fstatat(AT_FDCWD, path.constData(), &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0;
}

FindData ChercherFichier(const QByteArray& cheminOctets) {
  struct statx st;
  if (!statEntry(cheminOctets, st)) return FindData{};
  return findDataOf(cheminOctets, st);
}

FindData ChercherFichier(const QString& chemin) { return ChercherFichier(encodePath(chemin)); }

QString DateFichier(const FileTime& heure) {
  if (!heure.known) return QString();
  return dateWriter().write(heure.seconds);
}

QString TexteAttributs(qint32 bits) {
  if (bits == 128) return QStringLiteral("N");
  if (bits == 0) return QStringLiteral("None");
  struct Row {
    qint32 bit;
    const char* letters;
  };
  static constexpr Row rows[] = {{32768, "L"}, {16384, "E"}, {8192, ""},   {4096, "O"}, {2048, "C"},
                                 {1024, "R-P"}, {512, "S-F"}, {256, "T"},  {32, "A"},   {16, "D"},
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

InfoFichier LireInfoFichier(const QString& chemin) {
  InfoFichier info;
  info.CheminComplet = chemin;
  const qsizetype slash = chemin.lastIndexOf(u'/');
  if (slash >= 0) info.Nom = chemin.mid(slash + 1);
  const qsizetype dot = chemin.lastIndexOf(u'.');
  if (dot >= 0) info.Extension = chemin.mid(dot + 1);

  // One look at the entry answers both the existence test and the facts.
  const QByteArray path = encodePath(chemin);
  struct statx st;
  if (!statEntry(path, st)) return info;
  info.Existe = true;
  const FindData fd = findDataOf(path, st);
  info.Attributs = TexteAttributs(fd.attributes);
  static const NumberPattern sizePattern(QStringLiteral("#,###,###"));
  info.Taille = sizePattern.format(qint64(std::min<quint64>(fd.size, quint64(LLONG_MAX))));
  info.DateCreation = DateFichier(fd.creationTime);
  info.DateAcces = DateFichier(fd.accessTime);
  info.DateModification = DateFichier(fd.writeTime);
  return info;
}

}  // namespace vrn
