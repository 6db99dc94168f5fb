#pragma once
// The database folder beside the executable and the record lengths of its
// four kinds of file.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace vrn {

constexpr int kRecFichier = 300;     // list files, one path per record
constexpr int kEnregDerRep = 1024;   // der.rep, the last source
constexpr int kEnregAffichage = 30;  // affp.aff, the options
constexpr int kEnregMesPar = 30;     // mesp.par, one preferred list per record

// Channels (file numbers) of each kind of file.
constexpr int kListChannel = 1;
constexpr int kSourceChannel = 2;
constexpr int kPreferredChannel = 3;
constexpr int kOptionsChannel = 4;

QString databaseFolder();                       // <executable folder>/BDVRN
QString databaseFile(const QString& fileName);  // <executable folder>/BDVRN/<fileName>

// The runtime's Trim: blanks removed at both ends (other characters kept).
QString trimBlanks(const QString& s);
QByteArray trimBlanks(const QByteArray& s);

// The list file of a list name: <database>/<name>.vrn. The catalogue matches
// the suffix ignoring case, as the original file system did, while Linux file
// names are case-sensitive: when that exact file is missing, an existing file
// whose name differs only by letter case (MP3.VRN for "mp3") is the list's.
QString listFilePath(const QString& name);

// The text of a stored record: what comes before its first zero byte (a
// record past the end of a file, or the end of a short file, reads as zeros),
// blanks trimmed at both ends. A view into the record.
QByteArrayView recordText(const QByteArray& record);
QByteArrayView recordText(QByteArrayView record);

// A folder a scan may take as its source: an existing folder, given by its
// absolute path, that can be opened, whose path der.rep holds whole and reads back as it is (no blank
// at either end: readers trim them), and that is not the mount point of a
// disk unmounted since the database was made from it (sourcemount.h).
bool scannableFolder(const QString& folder);

// The source recorded in der.rep (record 1 on its channel): the text before
// its first zero byte (a short or empty file reads as zeros past its end),
// blanks trimmed. Nothing when the file cannot be opened; with create, a
// missing file is made empty first.
std::optional<QString> readStoredSource(bool create);

}  // namespace vrn
