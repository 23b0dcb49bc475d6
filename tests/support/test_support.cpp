#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QtGlobal>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstring>

#include "posix/uniquefd.h"

namespace testsupport {
namespace {

QString envOr(const char* name, const QString& fallback) {
  const QByteArray value = qgetenv(name);
  return value.isEmpty() ? fallback : QString::fromLocal8Bit(value);
}

int freePort(int type) {
  const UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
  if (!fd) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    return 0;
  return ntohs(addr.sin_port);
}

}  // namespace

QString sourceDir() { return envOr("VANTREL_SOURCE_DIR", QDir::currentPath()); }
QString dataDir() { return sourceDir() + "/tests/data"; }
QString binDir() { return envOr("VANTREL_BIN_DIR", QDir::currentPath()); }
int freeTcpPort() { return freePort(SOCK_STREAM); }
int freeUdpPort() { return freePort(SOCK_DGRAM); }

bool bringUpLoopback() {
  const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  if (::ioctl(fd.get(), SIOCGIFFLAGS, &request) != 0) return false;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  return ::ioctl(fd.get(), SIOCSIFFLAGS, &request) == 0;
}

}  // namespace testsupport
