#include "net/localhost.h"

#include "net/interfaceaddresses.h"
#include "net/sockregistry.h"
#include "net/syserror.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>
#include <vector>

namespace localhost {
namespace {

bool isLoopbackV4(std::uint32_t address) { return isLoopback(Endpoint{address, 0}); }

struct AddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
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
  const std::optional<std::vector<InterfaceAddress>> all = interfaceAddresses();
  if (!all) return false;
  for (const InterfaceAddress& entry : *all) {
    if (!entry.address.ipv6 && reachableFromOutside(entry.address)) {
      *address = entry.address.address;
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

namespace {

bool lookUpFirstAddress(std::uint32_t* address, int* error) {
  QString name;
  std::vector<std::uint32_t> all;
  int lookupError = 0;
  if (hostName(&name, &lookupError)) lookupError = resolveAll(name, &all);
  for (std::uint32_t a : all) {
    if (!isLoopbackV4(a)) {
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

}  // namespace

bool firstAddress(std::uint32_t* address, int* error) {
  if (const std::optional<std::uint32_t> known = sockregistry::firstAddress()) {
    *address = *known;
    *error = 0;
    return true;
  }
  if (!lookUpFirstAddress(address, error)) return false;
  sockregistry::rememberFirstAddress(*address);
  return true;
}

bool firstIpv6Address(Endpoint* address) {
  const std::optional<std::vector<InterfaceAddress>> all = interfaceAddresses();
  if (!all) return false;
  const InterfaceAddress* temporary = nullptr;
  for (const InterfaceAddress& entry : *all) {
    if (!entry.address.ipv6 || !reachableFromOutside(entry.address)) continue;
    if (!entry.temporary) {
      *address = entry.address;
      return true;
    }
    if (temporary == nullptr) temporary = &entry;
  }
  if (temporary == nullptr) return false;
  *address = temporary->address;
  return true;
}

bool resolveFirst(const QString& name, std::uint32_t* address, int* error) {
  std::vector<std::uint32_t> all;
  *error = resolveAll(name, &all);
  if (*error != 0) return false;
  *address = all.front();
  return true;
}

bool reverseName(const Endpoint& address, QString* name, int* error) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (address.ipv6) {
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    std::memcpy(sa.sin6_addr.s6_addr, address.address6.data(), address.address6.size());
    sa.sin6_scope_id = address.scopeId;
    std::memcpy(&storage, &sa, sizeof sa);
    length = sizeof sa;
  } else {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address.address;
    std::memcpy(&storage, &sa, sizeof sa);
    length = sizeof sa;
  }
  char host[NI_MAXHOST] = {};
  const int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&storage), length, host,
                               sizeof host, nullptr, 0, 0);
  *error = sockerr::fromLookup(rc);
  if (rc != 0) return false;
  *name = QString::fromLocal8Bit(host);
  return true;
}

}  // namespace localhost
