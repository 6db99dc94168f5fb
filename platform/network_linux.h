#pragma once
// Connected when a network interface that is up carries a default route.
#include <QByteArray>
#include <QString>
#include <functional>

#include "platform/services.h"

namespace vrn {

class LinuxNetwork : public Network {
 public:
  bool connected() override;
};

// True when a route table in the kernel's text form (/proc/net/route or
// /proc/net/ipv6_route) holds a usable default route on an interface that
// isUp accepts; the loopback never counts.
bool hasDefaultRoute(const QByteArray& ipv4Table, const QByteArray& ipv6Table,
                     const std::function<bool(const QString&)>& isUp);

}  // namespace vrn
