#include <QFileIconProvider>
#include <QFileInfo>

#include "support/IconeF.h"
#include "support/Module.h"
#include "support/ModeFileInfoVRN.h"

namespace vrn {

QIcon IconeFichier(const QString& chemin) {
  if (!FichierExiste(chemin)) return QIcon();
  QFileIconProvider provider;
  const QFileInfo info(chemin);
  // Qt cannot open a name whose bytes are not UTF-8: take the icon of its kind.
  if (!info.exists() && !info.isSymLink())
    return provider.icon(EstUnDossier(chemin) ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
  return provider.icon(info);
}

}  // namespace vrn
