#pragma once
// The facts of one file: existence, name, extension, size, three dates and
// attribute letters, as the file lists show them.
#include <QByteArray>
#include <QString>

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
// when nothing is found.
struct FindData {
  qint32 attributes = 0;
  quint64 size = 0;
  FileTime creationTime;
  FileTime accessTime;
  FileTime writeTime;
};

// Attribute bits, built from the Linux facts.
enum AttributeBit : qint32 {
  kAttrReadOnly = 1,        // the owner may not write
  kAttrHidden = 2,          // the name begins with "."
  kAttrSystem = 4,          // device, fifo or socket
  kAttrDirectory = 16,
  kAttrArchive = 32,        // regular file
  kAttrSparse = 512,        // fewer blocks allocated than the size
  kAttrReparsePoint = 1024, // symbolic link
  kAttrCompressed = 2048,
  kAttrEncrypted = 16384,
};

// True when an entry exists at the path (a folder, or a dangling link, too).
bool FichierExiste(const QString& chemin);
FindData ChercherFichier(const QString& chemin);
FindData ChercherFichier(const QByteArray& cheminOctets);
// The user's short date with a four-digit year, a blank and the time with
// seconds; a time of exactly midnight gives the date alone; "" when unknown.
QString DateFichier(const FileTime& heure);
QString TexteAttributs(qint32 bits);
InfoFichier LireInfoFichier(const QString& chemin);

}  // namespace vrn
