#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {
namespace {

QString envOr(const char* name, const QString& fallback) {
  const QByteArray value = qgetenv(name);
  return value.isEmpty() ? fallback : QString::fromLocal8Bit(value);
}

int freePort(int type) {
  const int fd = ::socket(AF_INET, type, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace

QString sourceDir() { return envOr("VANTREL_SOURCE_DIR", QDir::currentPath()); }
QString dataDir() { return sourceDir() + "/tests/data"; }
QString binDir() { return envOr("VANTREL_BIN_DIR", QDir::currentPath()); }
int freeTcpPort() { return freePort(SOCK_STREAM); }
int freeUdpPort() { return freePort(SOCK_DGRAM); }

}  // namespace testsupport
