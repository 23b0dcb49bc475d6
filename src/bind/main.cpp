// vantrel-bind: binds one TCP or UDP socket to a port below 1024 on one of this
// machine's IPv4 or IPv6 addresses and hands it to the program that started it.
//
// It holds cap_net_bind_service as a file capability, so it must do nothing
// else: it refuses every other port, any address that is not assigned to a
// local interface, and any socket kind but the two the port test needs. It
// reads no files and no environment and exits as soon as it has answered.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "bind/bindprotocol.h"
#include "posix/uniquefd.h"

namespace {

using bindprotocol::BindReply;

struct Request {
  int type = 0;  // SOCK_STREAM or SOCK_DGRAM
  int family = AF_INET;
  in_addr address{};
  in6_addr address6{};
  int port = 0;
};

bool parsePort(std::string_view text, int* port) {
  if (text.empty() || text.size() > 4) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value >= bindprotocol::kFirstUnprivilegedPort) return false;
  *port = value;
  return true;
}

// Whether an interface of this machine has the request's address, in the
// request's family ("any address" and IPv4 written as IPv6 never match).
bool isLocalAddress(const Request& request) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool found = false;
  for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != request.family) continue;
    if (request.family == AF_INET) {
      const auto* inet = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
      found = inet->sin_addr.s_addr == request.address.s_addr;
    } else {
      const auto* inet6 = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
      found = std::memcmp(&inet6->sin6_addr, &request.address6, sizeof request.address6) == 0;
    }
  }
  freeifaddrs(list);
  return found;
}

// 0 when the request is one the helper may carry out, else the errno to answer.
int parseRequest(int argc, char** argv, Request* request) {
  if (argc != 4) return EINVAL;
  const std::string_view kind = argv[1];
  if (kind == "tcp") {
    request->type = SOCK_STREAM;
  } else if (kind == "udp") {
    request->type = SOCK_DGRAM;
  } else {
    return EINVAL;
  }
  // inet_pton takes exactly four decimal parts, or a plain IPv6 text without
  // a zone: nothing short, nothing trailing.
  if (inet_pton(AF_INET, argv[2], &request->address) == 1) {
    request->family = AF_INET;
  } else if (inet_pton(AF_INET6, argv[2], &request->address6) == 1) {
    request->family = AF_INET6;
  } else {
    return EINVAL;
  }
  if (!parsePort(argv[3], &request->port)) return EINVAL;
  if (!isLocalAddress(*request)) return EADDRNOTAVAIL;
  return 0;
}

// The descriptor the answer goes to must be the Unix socket the caller made.
bool replyChannelIsUnixSocket() {
  struct stat info {};
  if (fstat(bindprotocol::kReplyDescriptor, &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
  sockaddr_storage name{};
  socklen_t length = sizeof name;
  if (getsockname(bindprotocol::kReplyDescriptor, reinterpret_cast<sockaddr*>(&name), &length) != 0)
    return false;
  return name.ss_family == AF_UNIX;
}

// Binds the socket; returns it, or no descriptor with errno set.
UniqueFd bindSocket(const Request& request) {
  UniqueFd fd(socket(request.family, request.type | SOCK_CLOEXEC, 0));
  if (!fd) return fd;
  const auto port = htons(static_cast<std::uint16_t>(request.port));
  int result = 0;
  if (request.family == AF_INET) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr = request.address;
    at.sin_port = port;
    result = bind(fd.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at);
  } else {
    // IPv6 only, as the caller's own IPv6 sockets are.
    const int on = 1;
    sockaddr_in6 at{};
    at.sin6_family = AF_INET6;
    at.sin6_addr = request.address6;
    at.sin6_port = port;
    result = setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (result == 0) result = bind(fd.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at);
  }
  if (result != 0) {
    const int error = errno;
    fd.reset();
    errno = error;
  }
  return fd;
}

bool sendReply(int error, int fd) {
  BindReply reply;
  reply.error = error;
  iovec part{&reply, sizeof reply};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (error == 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
  }
  ssize_t sent = 0;
  do {
    sent = sendmsg(bindprotocol::kReplyDescriptor, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(sizeof reply);
}

}  // namespace

int main(int argc, char** argv) {
  if (!replyChannelIsUnixSocket()) {
    std::fputs(
        "vantrel-bind: opens a socket on a port below 1024 for Vantrel; not meant to be run by "
        "hand\n",
        stderr);
    return 2;
  }
  Request request;
  if (const int refusal = parseRequest(argc, argv, &request); refusal != 0) {
    sendReply(refusal, -1);
    return 1;
  }
  const UniqueFd fd = bindSocket(request);
  if (!fd) return sendReply(errno, -1) ? 1 : 2;
  return sendReply(0, fd.get()) ? 0 : 2;
}
