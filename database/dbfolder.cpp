#include "database/dbfolder.h"

#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "platform/services.h"

namespace vrn {

QString dossierBase() { return appFolder() + QStringLiteral("/BDVRN"); }

QString fichierBase(const QString& fileName) { return dossierBase() + QLatin1Char('/') + fileName; }

QString trimBlanks(const QString& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && s[b] == QLatin1Char(' ')) ++b;
  while (e > b && s[e - 1] == QLatin1Char(' ')) --e;
  return s.mid(b, e - b);
}

QByteArray trimBlanks(const QByteArray& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.mid(b, e - b);
}

std::optional<QString> readStoredSource(bool create) {
  RecordFile& derRep = Canal(kCanalDerRep);
  derRep.close();
  if (!derRep.open(fichierBase(QStringLiteral("der.rep")), kEnregDerRep, create)) return std::nullopt;
  QByteArray record = derRep.read(1);
  derRep.close();
  if (const qsizetype nul = record.indexOf('\0'); nul >= 0) record.truncate(nul);
  return trimBlanks(decodePath(record));
}

}  // namespace vrn
