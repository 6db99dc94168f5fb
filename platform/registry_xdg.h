#pragma once
// Registry values on Linux: the autostart value becomes the user's autostart
// entry; every other value lives in a small INI store.
#include "platform/services.h"

namespace vrn {

class XdgRegistry : public Registry {
 public:
  void writeValue(quint32 root, const QString& key, const QString& name, const QString& data) override;
  void deleteValue(quint32 root, const QString& key, const QString& name) override;
  QString readValue(quint32 root, const QString& key, const QString& name) override;
};

}  // namespace vrn
