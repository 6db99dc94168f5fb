#pragma once
// Paths handed to and taken from the desktop. File names are bytes; the
// desktop's interfaces speak URIs and Qt's dialogs speak text decoded with
// replacement characters, so both directions are converted here exactly.
#include <QByteArray>
#include <QString>

namespace vrn {

// The file:// URI of a path, every byte outside the unreserved set and "/"
// percent-encoded. A relative path is taken from the current folder. The URI
// is plain ASCII, and a name beginning with "-" cannot be read as an option.
QByteArray fileUriOf(const QByteArray& pathBytes);

// Qt's widgets show a name that is not valid UTF-8 with replacement
// characters, so the path they give back names nothing. Each component that
// holds one is looked up among the raw names of its parent folder; when
// exactly one decodes to it, its bytes are used. An unmatched or ambiguous
// component is left as the text gave it.
QByteArray exactPathBytes(const QString& qtPath);

// A path as a person reads and types it: each byte that is not part of valid
// UTF-8 shows as "\xHH", the way file managers show it, so names that differ
// only in such bytes never look alike. A backslash that would read as the
// start of such an escape is doubled. Takes and gives decodePath's text.
QString displayedPath(const QString& decoded);
// The inverse, for typed text: "\xHH" (80 to FF) is that byte and "\\" one
// backslash; any other backslash stays as typed.
QString pathFromDisplayed(const QString& shown);

}  // namespace vrn
