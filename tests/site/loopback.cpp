#include "loopback.h"

#include "posix/pollwait.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace sitetest {

namespace {

sockaddr_in loopbackAddress(const char* address, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, address, &a.sin_addr);
  return a;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

}  // namespace

std::string HttpResponse::header(const std::string& lowerName) const {
  const auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

Fd connectTo(std::uint16_t port, const char* source) {
  Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return fd;
  timeval timeout{20, 0};
  setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (source) {
    const sockaddr_in from = loopbackAddress(source, 0);
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) return Fd();
  }
  const sockaddr_in to = loopbackAddress("127.0.0.1", port);
  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) return Fd();
  return fd;
}

bool sendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data.remove_prefix(std::size_t(sent));
  }
  return true;
}

HttpResponse readResponse(int fd) {
  HttpResponse response;
  std::string data;
  std::size_t headEnd = std::string::npos;
  std::size_t wanted = std::string::npos;
  char buffer[8192];
  for (;;) {
    if (headEnd != std::string::npos && wanted != std::string::npos &&
        data.size() >= headEnd + 4 + wanted)
      break;
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    data.append(buffer, std::size_t(got));
    if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
      const std::string head = data.substr(0, headEnd);
      std::size_t lineEnd = head.find("\r\n");
      const std::string statusLine = head.substr(0, lineEnd);
      if (statusLine.rfind("HTTP/1.", 0) != 0 || statusLine.size() < 12) return response;
      response.status = std::stoi(statusLine.substr(9, 3));
      while (lineEnd != std::string::npos) {
        const std::size_t next = head.find("\r\n", lineEnd + 2);
        const std::string line = head.substr(
            lineEnd + 2, next == std::string::npos ? std::string::npos : next - lineEnd - 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
          std::string value = line.substr(colon + 1);
          value.erase(0, value.find_first_not_of(' '));
          response.headers[lower(line.substr(0, colon))] = value;
        }
        lineEnd = next;
      }
      const std::string length = response.header("content-length");
      if (!length.empty()) wanted = std::stoul(length);
    }
  }
  if (headEnd != std::string::npos) response.body = data.substr(headEnd + 4, wanted);
  return response;
}

std::string readToEnd(int fd) {
  std::string data;
  char buffer[8192];
  for (;;) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return data;
    data.append(buffer, std::size_t(got));
  }
}

std::string getRequestText(const std::string& target, const std::string& extraHeaders) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extraHeaders +
         "\r\n";
}

HttpResponse request(std::uint16_t port, const std::string& raw, const char* source) {
  Fd fd = connectTo(port, source);
  if (!fd.valid() || !sendAll(fd.get(), raw)) return {};
  return readResponse(fd.get());
}

HttpResponse get(std::uint16_t port, const std::string& target, const char* source,
                 const std::string& extraHeaders) {
  return request(port, getRequestText(target, extraHeaders), source);
}

HttpResponse postForm(std::uint16_t port, const std::string& path, const std::string& body) {
  return request(port, "POST " + path +
                           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body);
}

Fd tcpListener(const char* address, std::uint16_t port, int backlog) {
  Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  const int on = 1;
  setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in at = loopbackAddress(address, port);
  if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
      listen(fd.get(), backlog) != 0)
    return Fd();
  return fd;
}

Fd udpSocket(const char* address, std::uint16_t port) {
  Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  const sockaddr_in at = loopbackAddress(address, port);
  if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) return Fd();
  return fd;
}

std::uint16_t localPort(int fd) {
  sockaddr_in at{};
  socklen_t length = sizeof at;
  getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
  return ntohs(at.sin_port);
}

bool acceptNow(int listener) {
  const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool waitReadable(int fd, std::chrono::milliseconds limit) {
  return waitForEvents(fd, POLLIN, PollClock::now() + limit);
}

std::string receiveDatagram(int fd, std::chrono::milliseconds limit) {
  if (!waitReadable(fd, limit)) return {};
  char buffer[2048];
  const ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  return got > 0 ? std::string(buffer, std::size_t(got)) : std::string();
}

}  // namespace sitetest
