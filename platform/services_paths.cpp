#include "platform/services_paths.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

#include "platform/pathcodec.h"

namespace vrn {

namespace {

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

QByteArray currentFolderBytes() {
  QByteArray buffer(4096, '\0');
  while (::getcwd(buffer.data(), size_t(buffer.size())) == nullptr) {
    if (errno != ERANGE) return QByteArray("/");
    buffer.resize(buffer.size() * 2);
  }
  return QByteArray(buffer.constData());
}

// The entries of a folder whose names Qt decodes to `name`.
QList<QByteArray> rawNamesDecodingTo(const QByteArray& folder, const QString& name) {
  QList<QByteArray> found;
  DIR* dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
  if (!dir) return found;
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray raw(entry->d_name);
    if (raw == "." || raw == "..") continue;
    if (QFile::decodeName(raw) == name) found.append(raw);
  }
  ::closedir(dir);
  return found;
}

bool isEscapedByte(QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; }

int hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  return -1;
}

// The byte of a typed "\xHH" escape whose "x" is at `at`, or -1.
int escapeByteAt(const QString& text, qsizetype at) {
  if (at + 2 >= text.size() || (text[at] != u'x' && text[at] != u'X')) return -1;
  const int high = hexDigit(text[at + 1]);
  const int low = hexDigit(text[at + 2]);
  if (high < 0 || low < 0) return -1;
  const int byte = high * 16 + low;
  return byte >= 0x80 ? byte : -1;
}

}  // namespace

QByteArray fileUriOf(const QByteArray& pathBytes) {
  QByteArray path = pathBytes;
  if (!path.startsWith('/')) {
    QByteArray base = currentFolderBytes();
    if (!base.endsWith('/')) base += '/';
    path.prepend(base);
  }
  static const char hex[] = "0123456789ABCDEF";
  QByteArray uri("file://");
  uri.reserve(7 + path.size() * 3);
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '/' || isUnreserved(c)) {
      uri += char(c);
    } else {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 0x0F];
    }
  }
  return uri;
}

QByteArray exactPathBytes(const QString& qtPath) {
  if (!qtPath.contains(QChar::ReplacementCharacter)) return encodePath(qtPath);
  const QStringList parts = qtPath.split(u'/');
  QByteArray out;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '/';
    const QString& part = parts[i];
    if (!part.contains(QChar::ReplacementCharacter)) {
      out += encodePath(part);
      continue;
    }
    const QList<QByteArray> matches = rawNamesDecodingTo(out, part);
    out += matches.size() == 1 ? matches.first() : encodePath(part);
  }
  return out;
}

QString displayedPath(const QString& decoded) {
  static const char hex[] = "0123456789ABCDEF";
  QString out;
  out.reserve(decoded.size());
  for (qsizetype i = 0; i < decoded.size(); ++i) {
    const QChar c = decoded[i];
    if (isEscapedByte(c)) {
      const int byte = c.unicode() - 0xDC00;
      out += QLatin1String("\\x");
      out += QLatin1Char(hex[byte >> 4]);
      out += QLatin1Char(hex[byte & 0x0F]);
    } else if (c == u'\\') {
      // What follows shows as a backslash, or as "xHH": doubled, it cannot
      // be read back as an escape.
      const bool looksEscaped = i + 1 < decoded.size() && (decoded[i + 1] == u'\\' || isEscapedByte(decoded[i + 1]) ||
                                                           escapeByteAt(decoded, i + 1) >= 0);
      out += looksEscaped ? QLatin1String("\\\\") : QLatin1String("\\");
    } else {
      out += c;
    }
  }
  return out;
}

QString pathFromDisplayed(const QString& shown) {
  QString out;
  out.reserve(shown.size());
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (shown[i] == u'\\' && i + 1 < shown.size()) {
      if (shown[i + 1] == u'\\') {
        out += u'\\';
        ++i;
        continue;
      }
      const int byte = escapeByteAt(shown, i + 1);
      if (byte >= 0) {
        out += QChar(char16_t(0xDC00 + byte));
        i += 3;
        continue;
      }
    }
    out += shown[i];
  }
  return out;
}

}  // namespace vrn
