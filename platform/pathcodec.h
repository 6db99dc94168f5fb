#pragma once
// File names on Linux are bytes. Text shown to the user is UTF-8; a byte that
// is not part of valid UTF-8 is kept as the lone surrogate U+DC00+byte so that
// encodePath(decodePath(b)) == b for every byte string.
#include <QByteArray>
#include <QString>

namespace vrn {

QString decodePath(const QByteArray& bytes);
QString decodePath(const char* data, qsizetype size);
QByteArray encodePath(const QString& text);

// Longest prefix of bytes no longer than maxBytes that does not end inside a
// multi-byte UTF-8 character.
QByteArray cutAtCharBoundary(const QByteArray& bytes, qsizetype maxBytes);

}  // namespace vrn
