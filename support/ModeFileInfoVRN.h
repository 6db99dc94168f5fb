#pragma once
// The facts of one file: existence, name, extension, size, three dates and
// attribute letters, as the file lists show them.
#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <string>

struct stat;
struct statx;

namespace vrn {

struct InfoFichier {
  bool Existe = false;
  QString Nom;
  QString CheminComplet;
  QString Extension;
  QString Taille;
  QString DateCreation;
  QString DateAcces;
  QString DateModification;
  QString Attributs;
};

// A file time: UTC seconds since 1970; unknown when the file system does not
// record it (a birth time on some file systems).
struct FileTime {
  qint64 seconds = 0;
  bool known = false;
};

// The facts of the entry itself (a symbolic link is not followed); all zero
// when nothing is found. A folder and a link have size 0.
struct FindData {
  qint32 attributes = 0;
  quint64 size = 0;
  FileTime creationTime;
  FileTime accessTime;
  FileTime writeTime;
};

// Attribute bits, built from the Linux facts.
enum AttributeBit : qint32 {
  kAttrReadOnly = 1,  // the owner may not write
  kAttrHidden = 2,    // the name begins with "."
  kAttrSystem = 4,    // device, fifo or socket
  kAttrDirectory = 16,
  kAttrArchive = 32,         // regular file
  kAttrSparse = 512,         // fewer blocks allocated than the size
  kAttrReparsePoint = 1024,  // symbolic link
  kAttrCompressed = 2048,
  kAttrEncrypted = 16384,
};

// True when an entry exists at the path (a folder, or a dangling link, too).
bool FichierExiste(const QString& chemin);
// The same from the path's bytes; what was seen of the entry itself (a link
// not followed) goes to *vu.
bool FichierExiste(const QByteArray& cheminOctets, struct stat* vu);
FindData ChercherFichier(const QString& chemin);
FindData ChercherFichier(const QByteArray& cheminOctets);
// The find data of an entry already looked at with statx (type, mode, size,
// blocks and the three times asked for).
FindData findDataOfEntry(QByteArrayView path, const struct statx& st);
// The user's short date with a four-digit year, a blank and the time with
// seconds; a time of exactly midnight gives the date alone; "" when unknown.
QString DateFichier(const FileTime& heure);
// The same rule for another locale (its tables are made at each call).
QString dateTextInLocale(const QLocale& locale, const FileTime& heure);
// DateFichier's text appended as UTF-8 (nothing when unknown); may be called
// from any thread.
void appendDateText(std::string& out, const FileTime& heure);
// Local times follow the zone localtime_r uses; after a change of TZ and
// tzset(), this makes the dates follow the new zone.
void localZoneChanged();
// Taille's text appended as UTF-8: "#,###,###", so nothing for 0.
void appendSizeText(std::string& out, quint64 size);
QString TexteAttributs(qint32 bits);
InfoFichier LireInfoFichier(const QString& chemin);

}  // namespace vrn
