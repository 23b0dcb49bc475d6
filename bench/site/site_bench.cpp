// Measures vantrel-site on loopback: form page requests per second (with wrk
// when it is installed, and with a small keep-alive client of our own), and
// the latency and rate of TCP probes through the JSON call. The reference is a
// bare loopback TCP connect measured in the same run: the part of a probe no
// server can avoid.
//
//   SiteBench [seconds per phase, default 5]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "posix/spawn.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int connectLoopback(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in to = loopback(port);
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// One keep-alive GET: sends the request and reads the whole answer (by
// Content-Length). Returns the status, or 0 on failure; `closing` tells
// whether the site said it closes the connection after this answer.
int keepAliveGet(int fd, const std::string& request, std::string& buffer, bool& closing) {
  closing = false;
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) return 0;
  buffer.clear();
  char chunk[16384];
  std::size_t headEnd = std::string::npos, total = std::string::npos;
  while (total == std::string::npos || buffer.size() < total) {
    const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return 0;
    buffer.append(chunk, std::size_t(got));
    if (headEnd == std::string::npos && (headEnd = buffer.find("\r\n\r\n")) != std::string::npos) {
      const std::size_t at = buffer.find("Content-Length: ");
      if (at == std::string::npos || at > headEnd) return 0;
      total = headEnd + 4 + std::strtoul(buffer.c_str() + at + 16, nullptr, 10);
      const std::size_t close = buffer.find("Connection: close");
      closing = close != std::string::npos && close < headEnd;
    }
  }
  return std::atoi(buffer.c_str() + 9);
}

struct Site {
  pid_t pid = -1;
  std::uint16_t port = 0;
  std::thread drain;
  std::atomic<long> logLines{0};
};

bool startSite(Site& site, const std::string& program) {
  int err[2];
  if (pipe2(err, O_CLOEXEC) != 0) return false;
  std::vector<std::string> args = {program,        "--listen",    "127.0.0.1",
                                   "--port",       "0",           "--burst",
                                   "1000000",      "--refill-ms", "1",
                                   "--max-probes", "1000",        "--max-connections-per-address",
                                   "1000",         "--workers",   "96"};
  site.pid = spawnProgram(args, {-1, err[1]});
  const bool spawned = site.pid > 0;
  close(err[1]);
  if (!spawned) {
    close(err[0]);
    return false;
  }
  // Read up to the "serving" line, then keep draining the log (one line per
  // request) so the site never blocks on a full pipe.
  std::string text;
  char buffer[4096];
  while (text.find("/\n") == std::string::npos) {
    pollfd p{err[0], POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) return false;
    const ssize_t got = read(err[0], buffer, sizeof buffer);
    if (got <= 0) return false;
    text.append(buffer, std::size_t(got));
  }
  const std::size_t at = text.find("127.0.0.1:");
  if (at == std::string::npos) return false;
  site.port = std::uint16_t(std::atoi(text.c_str() + at + 10));
  site.drain = std::thread([fd = err[0], &site] {
    char sink[65536];
    for (;;) {
      const ssize_t got = read(fd, sink, sizeof sink);
      if (got <= 0) break;
      site.logLines += std::count(sink, sink + got, '\n');
    }
    close(fd);
  });
  return true;
}

void stopSite(Site& site) {
  if (site.pid > 0) {
    kill(site.pid, SIGTERM);
    int status = 0;
    waitpid(site.pid, &status, 0);
  }
  if (site.drain.joinable()) site.drain.join();
}

// A TCP listener that accepts and closes everything: the visitor's program.
struct Listener {
  int fd = -1;
  std::uint16_t port = 0;
  std::atomic<bool> stop{false};
  std::thread thread;

  void start() {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in at = loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(fd, 4096);
    socklen_t length = sizeof at;
    getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
    port = ntohs(at.sin_port);
    thread = std::thread([this] {
      while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
          const int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
          if (c >= 0) close(c);
        }
      }
    });
  }
  ~Listener() {
    stop = true;
    if (thread.joinable()) thread.join();
    if (fd >= 0) close(fd);
  }
};

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

// Runs `clients` keep-alive clients asking for `target` for `seconds`; requests per second.
double keepAliveRate(std::uint16_t port, const std::string& target, int clients, double seconds,
                     long& failures) {
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::atomic<long> done{0}, failed{0};
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(seconds));
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&] {
      std::string buffer;
      bool closing = false;
      int fd = connectLoopback(port);
      while (Clock::now() < end) {
        const bool ok = fd >= 0 && keepAliveGet(fd, request, buffer, closing) == 200;
        if (ok)
          ++done;
        else
          ++failed;
        if (!ok || closing) {
          // The site hands a connection on after a while, or when others wait.
          if (fd >= 0) close(fd);
          fd = connectLoopback(port);
        }
      }
      if (fd >= 0) close(fd);
    });
  }
  for (auto& t : threads) t.join();
  failures = failed;
  return double(done) / std::chrono::duration<double>(Clock::now() - start).count();
}

double wrkRate(std::uint16_t port, int seconds) {
  if (access("/usr/bin/wrk", X_OK) != 0) return -1;
  const std::string command = "/usr/bin/wrk -t2 -c32 -d" + std::to_string(seconds) +
                              "s http://127.0.0.1:" + std::to_string(port) + "/port_test.php 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char line[512];
  double rate = -1;
  while (std::fgets(line, sizeof line, pipe)) {
    if (std::strncmp(line, "Requests/sec:", 13) == 0) rate = std::atof(line + 13);
    if (std::strstr(line, "Non-2xx") || std::strstr(line, "Socket errors"))
      std::printf("  wrk: %s", line);
  }
  pclose(pipe);
  return rate;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  signal(SIGPIPE, SIG_IGN);
  const std::string program =
      (std::filesystem::path(argv[0]).parent_path() / "vantrel-site").string();
  Site site;
  if (!startSite(site, program)) {
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    return 1;
  }
  std::printf("vantrel-site on 127.0.0.1:%u, %u hardware threads\n", site.port,
              std::thread::hardware_concurrency());

  // Form page rate.
  const double wrk = wrkRate(site.port, seconds);
  long pageFailures = 0;
  const double own = keepAliveRate(site.port, "/port_test.php", 16, seconds, pageFailures);
  if (wrk >= 0)
    std::printf("form page, wrk (2 threads, 32 connections):    %9.0f requests/s\n", wrk);
  else
    std::printf("form page, wrk:                                not installed\n");
  std::printf("form page, own client (16 keep-alive clients): %9.0f requests/s  (%ld failed)\n",
              own, pageFailures);
  std::printf("  goal: at least 5000 requests/s -> %s\n",
              std::max(wrk, own) >= 5000 ? "met" : "NOT met");

  // Probe latency: one client, one probe at a time, against a listening port.
  Listener listener;
  listener.start();
  const std::string probe = "GET /api/port/" + std::to_string(listener.port) +
                            "?proto=tcp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::vector<double> probeMs, connectMs;
  {
    std::string buffer;
    bool closing = false;
    int fd = connectLoopback(site.port);
    for (int i = 0; i < 2000 && fd >= 0; ++i) {
      const auto t0 = Clock::now();
      const bool ok = keepAliveGet(fd, probe, buffer, closing) == 200 &&
                      buffer.find("\"open\": true") != std::string::npos;
      if (ok) probeMs.push_back(millisecondsBetween(t0, Clock::now()));
      if (!ok || closing) {
        close(fd);
        fd = connectLoopback(site.port);
      }
    }
    if (fd >= 0) close(fd);
    // The reference: a bare connect and close to the same listener.
    for (int i = 0; i < 2000; ++i) {
      const auto t0 = Clock::now();
      const int c = connectLoopback(listener.port);
      connectMs.push_back(millisecondsBetween(t0, Clock::now()));
      if (c >= 0) close(c);
    }
  }
  const double probeMedian = median(probeMs), connectMedian = median(connectMs);
  std::printf(
      "TCP probe via /api/port (open port), %zu probes: median %.3f ms, p90 %.3f ms, p99 %.3f ms\n",
      probeMs.size(), probeMedian, percentile(probeMs, 0.9), percentile(probeMs, 0.99));
  std::printf("reference: bare loopback connect, median %.3f ms; probe/connect ratio %.1f\n",
              connectMedian, connectMedian > 0 ? probeMedian / connectMedian : 0.0);
  std::printf("  goal: median probe answered within 1 ms -> %s\n",
              probeMedian <= 1.0 ? "met" : "NOT met");

  long probeFailures = 0;
  const std::string probeTarget = "/api/port/" + std::to_string(listener.port) + "?proto=tcp";
  const double probeRate = keepAliveRate(site.port, probeTarget, 8, seconds, probeFailures);
  std::printf("TCP probes, 8 concurrent clients:               %9.0f probes/s  (%ld failed)\n",
              probeRate, probeFailures);

  stopSite(site);
  std::printf("log lines written by the site: %ld\n", site.logLines.load());
  return 0;
}
