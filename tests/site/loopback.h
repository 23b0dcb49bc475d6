#pragma once
// Plain sockets on 127.0.0.0/8 for the site tests: an HTTP/1.1 client that
// reads whole answers, and TCP and UDP listeners that stand for the visitor's
// program. Independent of how the site parses requests, so it checks the site from outside.

#include "posix/uniquefd.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace sitetest {

using Fd = UniqueFd;

struct HttpResponse {
  int status = 0;                              // 0: no answer could be read
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string header(const std::string& lowerName) const;
};

// Connects to 127.0.0.1:port, from `source` when given (another loopback
// address, standing for another visitor). Reads time out after 20 s.
Fd connectTo(std::uint16_t port, const char* source = nullptr);
bool sendAll(int fd, std::string_view data);
// Reads one answer: up to Content-Length, or to the end of the stream.
HttpResponse readResponse(int fd);
// Everything the peer sends until it closes (or reads time out).
std::string readToEnd(int fd);

HttpResponse request(std::uint16_t port, const std::string& raw, const char* source = nullptr);
HttpResponse get(std::uint16_t port, const std::string& target, const char* source = nullptr,
                 const std::string& extraHeaders = {});
HttpResponse postForm(std::uint16_t port, const std::string& path, const std::string& body);
std::string getRequestText(const std::string& target, const std::string& extraHeaders = {});

Fd tcpListener(const char* address, std::uint16_t port = 0, int backlog = 16);
Fd udpSocket(const char* address, std::uint16_t port = 0);
std::uint16_t localPort(int fd);
// A connection is waiting in the listener's queue right now (no waiting).
bool acceptNow(int listener);
bool waitReadable(int fd, std::chrono::milliseconds limit);
// The next datagram, or "" when none comes within `limit`.
std::string receiveDatagram(int fd, std::chrono::milliseconds limit);

}  // namespace sitetest
