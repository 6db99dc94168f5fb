#pragma once
// TEMPORARY STAND-IN, to be deleted when the file-facts library lands: just
// enough of InfoFichier, FichierExiste, LireInfoFichier, IconeFichier and the
// number formats for the list loader to build and run. Nothing else may use it.
#include <QDateTime>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QString>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/pathcodec.h"

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

inline bool FichierExiste(const QString& chemin) {
  const QByteArray path = encodePath(chemin);
  struct stat st;
  return !path.isEmpty() && fstatat(AT_FDCWD, path.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

namespace standin {
inline QString digits(quint64 v, int minDigits, bool grouped) {
  QString s = QString::number(v).rightJustified(minDigits, u'0');
  if (!grouped) return s;
  const QString sep = QLocale::system().groupSeparator();
  for (qsizetype i = s.size() - 3; i > 0; i -= 3) s.insert(i, sep);
  return s;
}
inline QString date(const struct statx_timestamp& t, bool known) {
  if (!known) return QString();
  return QLocale::system().toString(QDateTime::fromSecsSinceEpoch(t.tv_sec), "dd/MM/yyyy HH:mm:ss");
}
}  // namespace standin

inline InfoFichier LireInfoFichier(const QString& chemin) {
  InfoFichier info;
  info.CheminComplet = chemin;
  const QByteArray path = encodePath(chemin);
  struct statx st;
  if (path.isEmpty() || statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
    return info;
  info.Existe = true;
  info.Taille = st.stx_size ? standin::digits(st.stx_size, 1, true) : QString();
  info.DateCreation = standin::date(st.stx_btime, st.stx_mask & STATX_BTIME);
  info.DateAcces = standin::date(st.stx_atime, true);
  info.DateModification = standin::date(st.stx_mtime, true);
  info.Attributs = S_ISREG(st.stx_mode) ? "A" : "";
  return info;
}

inline QIcon IconeFichier(const QString& chemin) {
  if (!FichierExiste(chemin)) return QIcon();
  return QFileIconProvider().icon(QFileInfo(chemin));
}

// Only the two patterns the loader uses.
inline QString formatNumber(qint64 value, const QString& pattern) {
  return standin::digits(quint64(value), int(pattern.count(u'0') + pattern.count(u'#')), pattern.contains(u','));
}
inline QString formatNumberText(const QString& text, const QString& pattern) {
  QString plain = text;
  plain.remove(QLocale::system().groupSeparator());
  bool ok = false;
  const qint64 v = plain.toLongLong(&ok);
  return ok ? formatNumber(v, pattern) : text;
}

}  // namespace vrn
