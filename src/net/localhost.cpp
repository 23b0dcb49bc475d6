#include "net/localhost.h"

#include "net/syserror.h"

#include <arpa/inet.h>
#include <cerrno>
#include <ifaddrs.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>
#include <vector>

namespace localhost {
namespace {

bool isLoopback(std::uint32_t address) { return (ntohl(address) >> 24) == 127; }

struct AddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};
struct IfAddrsFree {
  void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

// All IPv4 addresses of a name, in the order the resolver gives them.
int resolveAll(const QString& name, std::vector<std::uint32_t>* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* raw = nullptr;
  const int rc = ::getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &raw);
  std::unique_ptr<addrinfo, AddrInfoFree> list(raw);
  if (rc != 0) return sockerr::fromLookup(rc);
  for (const addrinfo* ai = list.get(); ai != nullptr; ai = ai->ai_next) {
    if (ai->ai_family == AF_INET && ai->ai_addr != nullptr) {
      out->push_back(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr);
    }
  }
  return out->empty() ? sockerr::kNoData : 0;
}

bool firstInterfaceAddress(std::uint32_t* address) {
  ifaddrs* raw = nullptr;
  if (::getifaddrs(&raw) != 0) return false;
  std::unique_ptr<ifaddrs, IfAddrsFree> list(raw);
  for (const ifaddrs* it = list.get(); it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
    const std::uint32_t a = reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr;
    if (!isLoopback(a)) {
      *address = a;
      return true;
    }
  }
  return false;
}

}  // namespace

bool hostName(QString* name, int* error) {
  char buffer[257] = {};
  if (::gethostname(buffer, 256) != 0) {
    *error = sockerr::fromErrno(errno);
    return false;
  }
  buffer[256] = '\0';
  *name = QString::fromLocal8Bit(buffer);  // cut at the first NUL
  *error = 0;
  return true;
}

bool firstAddress(std::uint32_t* address, int* error) {
  QString name;
  std::vector<std::uint32_t> all;
  int lookupError = 0;
  if (hostName(&name, &lookupError)) lookupError = resolveAll(name, &all);
  for (std::uint32_t a : all) {
    if (!isLoopback(a)) {
      *address = a;
      *error = 0;
      return true;
    }
  }
  if (firstInterfaceAddress(address)) {
    *error = 0;
    return true;
  }
  if (!all.empty()) {
    *address = all.front();
    *error = 0;
    return true;
  }
  *error = lookupError != 0 ? lookupError : sockerr::kNoData;
  return false;
}

bool resolveFirst(const QString& name, std::uint32_t* address, int* error) {
  std::vector<std::uint32_t> all;
  *error = resolveAll(name, &all);
  if (*error != 0) return false;
  *address = all.front();
  return true;
}

bool reverseName(std::uint32_t address, QString* name, int* error) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = address;
  char host[NI_MAXHOST] = {};
  const int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host, sizeof host,
                               nullptr, 0, 0);
  *error = sockerr::fromLookup(rc);
  if (rc != 0) return false;
  *name = QString::fromLocal8Bit(host);
  return true;
}

}  // namespace localhost
