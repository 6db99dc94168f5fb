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

}  // namespace vrn
