#include "platform/registry_xdg.h"

namespace vrn {

void XdgRegistry::writeValue(quint32, const QString&, const QString&, const QString&) {}
void XdgRegistry::deleteValue(quint32, const QString&, const QString&) {}
QString XdgRegistry::readValue(quint32, const QString&, const QString&) { return QString(); }

}  // namespace vrn
