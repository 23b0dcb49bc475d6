#include "loopback.h"
#include "site_process.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <random>
#include <regex>
#include <thread>
#include <vector>

using namespace sitetest;
using namespace std::chrono_literals;

namespace {

std::string apiPath(std::uint16_t port, const std::string& query = {}) {
  return "/api/port/" + std::to_string(port) + query;
}

std::uint16_t closedPort() {
  Fd probe = tcpListener("127.0.0.1");
  return localPort(probe.get());
}

// A TCP listener and a UDP socket on the same port number of 127.0.0.1.
struct BothProtocols {
  Fd tcp;
  Fd udp;
  std::uint16_t port = 0;
};

BothProtocols listenOnBoth() {
  BothProtocols both;
  for (int attempt = 0; attempt < 20 && !both.udp.valid(); ++attempt) {
    both.tcp = tcpListener("127.0.0.1");
    both.port = localPort(both.tcp.get());
    both.udp = udpSocket("127.0.0.1", both.port);
  }
  return both;
}

// Sends a request head one byte at a time, 50 ms apart, until the site answers
// or the connection ends (bounded: 400 bytes at most).
void trickle(int fd) {
  const std::string head =
      "GET /port_test.php HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(400, 'a');
  for (char c : head) {
    if (waitReadable(fd, 50ms) || !sendAll(fd, std::string(1, c))) return;
  }
}

// A client that never stops sending: `head` once, then `chunk` over and over
// on its own thread, until destroyed, the connection fails, or 30 s pass.
class EndlessSender {
 public:
  EndlessSender(int fd, std::string head, std::string chunk)
      : m_thread([this, fd, head = std::move(head), chunk = std::move(chunk)] {
          run(fd, head, chunk);
        }) {}
  ~EndlessSender() {
    m_stop = true;
    m_thread.join();
  }

 private:
  void run(int fd, const std::string& head, const std::string& chunk) {
    if (!sendAll(fd, head)) return;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (!m_stop && std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if ((p.revents & (POLLERR | POLLHUP)) != 0) return;
      if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN)
        return;
    }
  }

  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// The gzip stream of endless zeros, as a short start and a 13-byte piece that
// repeats: one literal zero, then copies of 258 bytes at distance 1 (13 bits
// each in fixed Huffman codes), so every byte sent inflates to about 160.
struct InflatingBody {
  std::string start;
  std::string repeat;
};

InflatingBody gzipOfZeros() {
  std::string bytes = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, 3};
  unsigned bitCount = 0;
  const auto bits = [&](unsigned value, unsigned count, bool msbFirst) {
    for (unsigned i = 0; i < count; ++i) {
      if (bitCount % 8 == 0) bytes += '\0';
      const unsigned bit = msbFirst ? (value >> (count - 1 - i)) & 1 : (value >> i) & 1;
      bytes.back() = char(bytes.back() | (bit << (bitCount % 8)));
      ++bitCount;
    }
  };
  bits(0b010, 3, false);  // not the last block; fixed Huffman codes
  bits(0x30, 8, true);    // literal 0
  for (int copy = 0; copy < 9; ++copy) {
    bits(0xc5, 8, true);  // length 258
    bits(0, 5, true);     // distance 1
  }
  // 3 + 8 + 13 bits end on a byte boundary; eight more copies are 13 whole bytes.
  return {bytes.substr(0, 13), bytes.substr(13)};
}

std::string postHead(const std::string& framing) {
  return "POST /port_test.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\n" +
         framing + "\r\n";
}

}  // namespace

TEST(SiteBadInput, EveryKindAnswers400AndProbesNothing) {
  SiteProcess site({"--udp-gap-ms", "1", "--burst", "1000"});
  ASSERT_TRUE(site.started()) << site.log();
  BothProtocols target = listenOnBoth();
  ASSERT_TRUE(target.udp.valid());
  const std::string p = std::to_string(target.port);

  for (const char* page : {"/port_test.php", "/port_test_udp.php"}) {
    const std::vector<std::string> queries = {"port=0",
                                              "port=65536",
                                              "port=99999",
                                              "port=-1",
                                              "port=%2B" + p,
                                              "port=" + p + "abc",
                                              "port=%20" + p,
                                              "port=0x50",
                                              "port=8.0",
                                              "port=",
                                              "port=1e3",
                                              "port=" + p + "%00",
                                              "port=" + p + "&port=1",
                                              "Check+Port=Check+Port",
                                              "port=%D9%A8%D9%A0"};
    for (const std::string& query : queries) {
      const std::string target_path = std::string(page) + "?" + query;
      const HttpResponse answer = get(site.port(), target_path);
      EXPECT_EQ(answer.status, 400) << target_path;
      EXPECT_NE(answer.body.find("<h1>"), std::string::npos) << target_path;
    }
    for (const std::string& body :
         {std::string("port=abc"), std::string("Check+Port=Check+Port"), "port=" + p + "&port=1"})
      EXPECT_EQ(postForm(site.port(), page, body).status, 400) << page << " " << body;
    // A HEAD request never starts a probe either.
    EXPECT_EQ(request(site.port(), "HEAD " + std::string(page) + "?port=" + p +
                                       " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                  .status,
              405);
  }
  for (const std::string& path : std::vector<std::string>{
           "/api/port/abc", "/api/port/0", "/api/port/70000", "/api/port/%2B" + p,
           "/api/port/" + p + "?proto=sctp", "/api/port/" + p + "?proto=tcp&proto=udp"}) {
    const HttpResponse answer = get(site.port(), path);
    EXPECT_EQ(answer.status, 400) << path;
    EXPECT_NE(answer.body.find("\"error\""), std::string::npos) << path;
  }

  // Oversized requests carrying a valid port are refused before any probe.
  const std::string submit = "/port_test.php?port=" + p + "&Check+Port=Check+Port";
  std::string bigHeaders;
  for (int i = 0; i < 20; ++i)
    bigHeaders += "X-Filler-" + std::to_string(i) + ": " + std::string(1000, 'h') + "\r\n";
  EXPECT_EQ(get(site.port(), submit, nullptr, bigHeaders).status, 431);
  EXPECT_EQ(get(site.port(), submit + "&pad=" + std::string(10000, 'u')).status, 414);
  EXPECT_EQ(get(site.port(), submit + "&pad=" + std::string(20000, 'u')).status, 414);
  const HttpResponse tooLarge =
      postForm(site.port(), "/port_test.php", "port=" + p + "&pad=" + std::string(6000, 'b'));
  EXPECT_EQ(tooLarge.status, 413);

  // Every answer above came after any probe would have run: nothing may have arrived.
  EXPECT_FALSE(acceptNow(target.tcp.get()));
  // Datagrams can lag on loopback, so the UDP side asks for one real probe
  // and checks that the first datagram to arrive belongs to it.
  const HttpResponse real = get(site.port(), apiPath(target.port, "?proto=udp"));
  std::smatch token;
  ASSERT_TRUE(std::regex_search(real.body, token, std::regex("\"token\": \"([0-9a-f]+)\"")))
      << real.body;
  EXPECT_EQ(receiveDatagram(target.udp.get(), 5s), "vantrel-probe " + token[1].str() + " 1\n");
  EXPECT_TRUE(site.waitForLog("verdict=bad-port"));
}

TEST(SiteBadInput, GarbageNeverTakesTheSiteDown) {
  // Probes that garbage might start go to an address where nothing listens.
  SiteProcess site({"--probe-address", "127.0.0.9", "--burst", "1000"});
  ASSERT_TRUE(site.started()) << site.log();
  const std::vector<std::string> pieces = {"GET ",
                                           "POST ",
                                           "HEAD ",
                                           "/port_test.php",
                                           "/api/port/",
                                           "?port=",
                                           "80",
                                           "\r\n",
                                           "\r\n\r\n",
                                           " HTTP/1.1",
                                           "Content-Length: ",
                                           "18446744073709551616",
                                           "Transfer-Encoding: chunked\r\n",
                                           "ffffffffffffffff\r\n",
                                           "Expect: 100-continue\r\n",
                                           "Range: bytes=0-1,-5\r\n",
                                           "X-Forwarded-For: ",
                                           "%",
                                           "%0",
                                           ":",
                                           " ",
                                           "Content-Type: multipart/form-data; boundary=\r\n",
                                           std::string(1, '\0')};
  std::mt19937 random(20261208);  // fixed seed: the same garbage every run
  for (int i = 0; i < 80; ++i) {
    std::string blob;
    for (int n = int(random() % 24); n > 0; --n) {
      if (random() % 4 == 0)
        blob += char(random());
      else
        blob += pieces[random() % pieces.size()];
    }
    Fd connection = connectTo(site.port());
    ASSERT_TRUE(connection.valid()) << i;
    sendAll(connection.get(), blob);
    shutdown(connection.get(), SHUT_WR);  // no more is coming: the site need not wait
    readResponse(connection.get());
  }
  EXPECT_EQ(get(site.port(), "/port_test.php").status, 200);
  EXPECT_EQ(site.stop(), 0);
}

TEST(SiteRateLimit, Answers429ThenRecoversAfterTheRefillTime) {
  SiteProcess site({"--burst", "2", "--refill-ms", "300"});
  ASSERT_TRUE(site.started()) << site.log();
  const std::string path = apiPath(closedPort());

  EXPECT_EQ(get(site.port(), path).status, 200);
  EXPECT_EQ(get(site.port(), path).status, 200);
  const HttpResponse limited = get(site.port(), path);
  ASSERT_EQ(limited.status, 429);
  EXPECT_EQ(limited.header("retry-after"), "1");
  // Another visitor is counted apart.
  EXPECT_EQ(get(site.port(), path, "127.0.0.2").status, 200);

  int status = limited.status;
  for (int attempt = 0; attempt < 200 && status == 429; ++attempt) {
    usleep(50 * 1000);
    status = get(site.port(), path).status;
  }
  EXPECT_EQ(status, 200);
  EXPECT_TRUE(site.waitForLog("verdict=rate-limited"));
}

TEST(SiteCapacity, ProbeCapAnswers503WhileFull) {
  SiteProcess site({"--max-probes", "1", "--udp-gap-ms", "3000"});
  ASSERT_TRUE(site.started()) << site.log();
  Fd udp = udpSocket("127.0.0.1");

  // The first datagram shows that a probe is running; it runs six more seconds.
  Fd running = connectTo(site.port());
  ASSERT_TRUE(sendAll(running.get(), getRequestText(apiPath(localPort(udp.get()), "?proto=udp"))));
  ASSERT_FALSE(receiveDatagram(udp.get(), 10s).empty());

  const HttpResponse refused = get(site.port(), apiPath(closedPort()));
  EXPECT_EQ(refused.status, 503);
  EXPECT_FALSE(refused.header("retry-after").empty());
  EXPECT_NE(refused.body.find("\"error\""), std::string::npos);
  // Pages need no probe and are still served.
  EXPECT_EQ(get(site.port(), "/port_test.php").status, 200);
  EXPECT_EQ(site.stop(), 0);  // a running probe does not hold up the shutdown
}

TEST(SiteCapacity, FullQueueAnswers503) {
  SiteProcess site({"--workers", "1", "--max-queue", "1", "--udp-gap-ms", "3000"});
  ASSERT_TRUE(site.started()) << site.log();
  Fd udp = udpSocket("127.0.0.1");

  Fd busy = connectTo(site.port());  // holds the only worker in a probe
  ASSERT_TRUE(sendAll(busy.get(), getRequestText(apiPath(localPort(udp.get()), "?proto=udp"))));
  ASSERT_FALSE(receiveDatagram(udp.get(), 10s).empty());
  Fd queued = connectTo(site.port());  // takes the one place in the queue
  ASSERT_TRUE(sendAll(queued.get(), getRequestText("/")));

  const HttpResponse refused = get(site.port(), "/port_test.php");
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.header("retry-after"), "1");
  EXPECT_TRUE(site.waitForLog("503 port=- verdict=busy"));
}

TEST(SiteSlowClient, IsCutOffAndOthersAreServed) {
  SiteProcess site({"--workers", "2", "--client-timeout-ms", "400"});
  ASSERT_TRUE(site.started()) << site.log();
  Fd slow1 = connectTo(site.port());
  Fd slow2 = connectTo(site.port());
  std::thread t1(trickle, slow1.get());
  std::thread t2(trickle, slow2.get());

  // Both workers may be held by the slow clients; this one is served anyway.
  const HttpResponse served = get(site.port(), "/port_test.php");
  t1.join();
  t2.join();
  EXPECT_EQ(served.status, 200);
  EXPECT_EQ(readResponse(slow1.get()).status, 408);
  EXPECT_EQ(readResponse(slow2.get()).status, 408);
  EXPECT_TRUE(site.waitForLog("408 port=- verdict=timeout"));
}

TEST(SiteSlowClient, OneAddressCannotTakeEveryWorker) {
  SiteProcess site({"--workers", "3", "--max-connections-per-address", "2"});
  ASSERT_TRUE(site.started()) << site.log();
  // Two idle connections from one visitor hold two workers...
  Fd held1 = connectTo(site.port(), "127.0.0.2");
  Fd held2 = connectTo(site.port(), "127.0.0.2");
  ASSERT_TRUE(sendAll(held1.get(), "GET / HTTP/1.1\r\n"));
  ASSERT_TRUE(sendAll(held2.get(), "GET / HTTP/1.1\r\n"));
  // ...a third from the same address is turned away at once...
  const HttpResponse third = get(site.port(), "/", "127.0.0.2");
  EXPECT_EQ(third.status, 503);
  EXPECT_NE(third.body.find("Too many connections"), std::string::npos);
  // ...and everyone else is still served.
  EXPECT_EQ(get(site.port(), "/port_test.php").status, 200);
  EXPECT_EQ(get(site.port(), "/port_test_udp.php", "127.0.0.3").status, 200);
}

TEST(SiteBodyLimits, EveryFramingIsCutAtTheLimitAndTheConnectionEnds) {
  SiteProcess site({"--probe-address", "127.0.0.9"});
  ASSERT_TRUE(site.started()) << site.log();
  const std::string chunkOf4k = "1000\r\n" + std::string(4096, 'a') + "\r\n";
  const std::string plain(4096, 'b');
  const InflatingBody gzip = gzipOfZeros();
  struct Case {
    std::string framing;
    std::string start;
    std::string repeat;
    int status;
  };
  const std::vector<Case> cases = {
      {"Transfer-Encoding: chunked\r\n", "", chunkOf4k, 413},
      {"Content-Length: 10000000000\r\n", "", plain, 413},
      {"Content-Encoding: gzip\r\nContent-Length: 4000\r\n", gzip.start, gzip.repeat, 415},
      {"Transfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n", "", chunkOf4k, 415},
      // Without a length a request has no body: what follows is not read as one.
      {"", "port=" + plain, plain, 400},
  };
  for (const Case& c : cases) {
    Fd connection = connectTo(site.port());
    EndlessSender sender(connection.get(), postHead(c.framing) + c.start, c.repeat);
    const int status =
        waitReadable(connection.get(), 5s) ? readResponse(connection.get()).status : 0;
    EXPECT_EQ(status, c.status) << c.framing;
    // ...and the connection is closed rather than read on.
    EXPECT_TRUE(waitReadable(connection.get(), 5s)) << c.framing;
    char byte;
    EXPECT_LE(recv(connection.get(), &byte, 1, MSG_DONTWAIT), 0) << c.framing;
  }
  EXPECT_EQ(postForm(site.port(), "/port_test.php", "port=0").status,
            400);  // a small form is still read
}

TEST(SiteBodyLimits, SixteenGzipBodiesFromOneVisitorTakeLittleMemory) {
  SiteProcess site({"--probe-address", "127.0.0.9"});
  ASSERT_TRUE(site.started()) << site.log();
  // One chunk of 256 KiB that inflates to some 40 MB: 16 of them held whole would take 650 MB.
  const InflatingBody gzip = gzipOfZeros();
  std::string body = gzip.start;
  while (body.size() + gzip.repeat.size() <= 256 * 1024) body += gzip.repeat;
  char size[16];
  std::snprintf(size, sizeof size, "%zx\r\n", body.size());
  const std::string request = postHead("Transfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n") +
                              size + body + "\r\n0\r\n\r\n";
  std::vector<Fd> connections;
  std::vector<std::thread> senders;
  for (int i = 0; i < 16; ++i) {
    connections.push_back(connectTo(site.port()));
    senders.emplace_back([fd = connections.back().get(), &request] { sendAll(fd, request); });
  }
  for (const Fd& connection : connections) {
    const int status =
        waitReadable(connection.get(), 20s) ? readResponse(connection.get()).status : 0;
    EXPECT_TRUE(status == 415 || status == 413) << status;
  }
  for (std::thread& sender : senders) sender.join();
  const long peak = site.peakMemoryKiB();
  std::printf("site peak memory (VmHWM) under 16 gzip bodies: %ld KiB\n", peak);
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, 100 * 1024);
}

TEST(SiteSlowClient, StopEndsEvenConnectionsThatKeepSending) {
  SiteProcess site;
  ASSERT_TRUE(site.started()) << site.log();
  std::vector<Fd> connections;
  std::vector<std::unique_ptr<EndlessSender>> senders;
  for (const char* framing :
       {"Content-Length: 10000000000\r\n", "Transfer-Encoding: chunked\r\n", ""}) {
    for (int i = 0; i < 3; ++i) {
      connections.push_back(connectTo(site.port()));
      senders.push_back(
          std::make_unique<EndlessSender>(connections.back().get(), postHead(framing),
                                          "1000\r\n" + std::string(4096, 'c') + "\r\n"));
    }
  }
  usleep(300 * 1000);           // every connection is being read
  EXPECT_EQ(site.stop(5s), 0);  // well within 5 s, or it is killed and fails
}

TEST(SiteCapacity, OverCapConnectionIsAnsweredWhateverAnotherAddressHolds) {
  SiteProcess site({"--max-connections-per-address", "2"});
  ASSERT_TRUE(site.started()) << site.log();
  // 600 silent connections from one address: all but two are over its cap.
  std::vector<Fd> flood;
  for (int i = 0; i < 600; ++i) flood.push_back(connectTo(site.port(), "127.0.0.2"));
  Fd held1 = connectTo(site.port(), "127.0.0.3");
  Fd held2 = connectTo(site.port(), "127.0.0.3");
  ASSERT_TRUE(sendAll(held1.get(), "GET / HTTP/1.1\r\n"));
  ASSERT_TRUE(sendAll(held2.get(), "GET / HTTP/1.1\r\n"));
  Fd over = connectTo(site.port(), "127.0.0.3");
  ASSERT_TRUE(waitReadable(over.get(), 5s));
  EXPECT_EQ(readResponse(over.get()).status, 503);
  EXPECT_EQ(get(site.port(), "/", "127.0.0.4").status, 200);
}
