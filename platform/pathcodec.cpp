#include "platform/pathcodec.h"

namespace vrn {

namespace {

// Length of the valid UTF-8 sequence starting at p (1..4), or 0 when invalid.
int validSequenceLength(const unsigned char* p, qsizetype left) {
  const unsigned char c = p[0];
  if (c < 0x80) return 1;
  int len;
  char32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
  } else return 0;
  if (left < len) return 0;
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
  if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
  return len;
}

}  // namespace

QString decodePath(const char* data, qsizetype size) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  // Fast path: plain ASCII or valid UTF-8 without escapes.
  qsizetype i = 0;
  while (i < size && p[i] < 0x80) ++i;
  if (i == size) return QString::fromLatin1(data, size);
  QString out;
  out.reserve(size);
  out.append(QLatin1StringView(data, i));
  while (i < size) {
    const int len = validSequenceLength(p + i, size - i);
    if (len == 0) {
      out.append(QChar(char16_t(0xDC00 + p[i])));
      ++i;
    } else if (len == 1) {
      out.append(QChar(char16_t(p[i])));
      ++i;
    } else {
      out.append(QString::fromUtf8(data + i, len));
      i += len;
    }
  }
  return out;
}

QString decodePath(const QByteArray& bytes) { return decodePath(bytes.constData(), bytes.size()); }

QByteArray encodePath(const QString& text) {
  const qsizetype n = text.size();
  const QChar* s = text.constData();
  // Fast path: the plain ASCII start converts in one go.
  qsizetype i = 0;
  while (i < n && s[i].unicode() < 0x80) ++i;
  if (i == n) return text.toLatin1();
  QByteArray out;
  out.reserve(n * 3);
  out.append(QStringView(s, i).toLatin1());
  while (i < n) {
    const char16_t u = s[i].unicode();
    if (u < 0x80) {
      out.append(char(u));
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      out.append(char(u - 0xDC00));  // an escaped raw byte
      ++i;
    } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(s[i + 1].unicode())) {
      out.append(QStringView(s + i, 2).toUtf8());
      i += 2;
    } else {
      out.append(QStringView(s + i, 1).toUtf8());
      ++i;
    }
  }
  return out;
}

QByteArray cutAtCharBoundary(const QByteArray& bytes, qsizetype maxBytes) {
  if (bytes.size() <= maxBytes) return bytes;
  qsizetype cut = maxBytes;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  qsizetype lead = cut;
  while (lead > 0 && (p[lead] & 0xC0) == 0x80) --lead;
  if (lead < cut) {
    // The cut falls after a lead byte: drop the whole character if it is real.
    const int len = validSequenceLength(p + lead, bytes.size() - lead);
    if (len > 1 && lead + len > cut) cut = lead;
  }
  return bytes.left(cut);
}

}  // namespace vrn
