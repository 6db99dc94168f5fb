#pragma once
// Registry values on Linux: the autostart value becomes the user's autostart
// entry; every other value lives in a small INI store.
#include <QByteArray>
#include <QString>

#include "platform/services.h"

namespace vrn {

class XdgRegistry : public Registry {
 public:
  void writeValue(quint32 root, const QString& key, const QString& name, const QString& data) override;
  void deleteValue(quint32 root, const QString& key, const QString& name) override;
  QString readValue(quint32 root, const QString& key, const QString& name) override;
};

// $XDG_CONFIG_HOME/autostart/Varnelo.desktop (~/.config when unset).
QString autostartEntryPath();
// The Exec value that starts the program at the given path, quoted and
// escaped as desktop entries require; and back.
QByteArray desktopExecValue(const QByteArray& program);
QByteArray parseDesktopExecValue(const QByteArray& value);

}  // namespace vrn
