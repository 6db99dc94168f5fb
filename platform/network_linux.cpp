#include "platform/network_linux.h"

#include <QFile>
#include <QList>
#include <cstring>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vrn {

namespace {

constexpr unsigned kRouteUp = 0x0001;      // RTF_UP
constexpr unsigned kRouteReject = 0x0200;  // RTF_REJECT: an unreachable route

QList<QByteArray> fieldsOf(const QByteArray& line) { return line.simplified().split(' '); }

QByteArray readProcFile(const char* path) {
  QFile file(QString::fromLatin1(path));
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();  // proc files report no size: read to the end
}

bool interfaceUp(const QString& name) {
  const QByteArray n = name.toLocal8Bit();
  if (n.isEmpty() || n.size() >= IFNAMSIZ) return false;
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq request{};
  std::memcpy(request.ifr_name, n.constData(), size_t(n.size()));
  const bool up = ioctl(s, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_UP) &&
                  (request.ifr_flags & IFF_RUNNING) && !(request.ifr_flags & IFF_LOOPBACK);
  close(s);
  return up;
}

}  // namespace

bool hasDefaultRoute(const QByteArray& ipv4Table, const QByteArray& ipv6Table,
                     const std::function<bool(const QString&)>& isUp) {
  // IPv4: Iface Destination Gateway Flags RefCnt Use Metric Mask ...; a
  // header line first. The default route has destination and mask 0.
  const QList<QByteArray> lines4 = ipv4Table.split('\n');
  for (qsizetype i = 1; i < lines4.size(); ++i) {
    const QList<QByteArray> f = fieldsOf(lines4[i]);
    if (f.size() < 8) continue;
    bool ok = false;
    const unsigned flags = f[3].toUInt(&ok, 16);
    if (!ok || f[1] != "00000000" || f[7] != "00000000") continue;
    if (!(flags & kRouteUp) || (flags & kRouteReject)) continue;
    const QString iface = QString::fromLocal8Bit(f[0]);
    if (iface != QLatin1String("lo") && isUp(iface)) return true;
  }
  // IPv6: dest prefixlen src srcprefixlen nexthop metric refcnt use flags iface.
  for (const QByteArray& line : ipv6Table.split('\n')) {
    const QList<QByteArray> f = fieldsOf(line);
    if (f.size() < 10) continue;
    bool ok = false;
    const unsigned flags = f[8].toUInt(&ok, 16);
    if (!ok || f[0] != QByteArray(32, '0') || f[1] != "00") continue;
    if (!(flags & kRouteUp) || (flags & kRouteReject)) continue;
    const QString iface = QString::fromLocal8Bit(f[9]);
    if (iface != QLatin1String("lo") && isUp(iface)) return true;
  }
  return false;
}

bool LinuxNetwork::connected() {
  return hasDefaultRoute(readProcFile("/proc/net/route"), readProcFile("/proc/net/ipv6_route"), interfaceUp);
}

}  // namespace vrn
