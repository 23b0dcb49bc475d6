// The HTTP layer in this process: a Site served on a thread of the test, on a
// free port of 127.0.0.1, driven through plain sockets.
#include "loopback.h"
#include "site/site_service.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <regex>
#include <thread>

using namespace sitetest;
using namespace std::chrono_literals;

namespace {

// Serves until it goes out of scope; the stop is the one SIGTERM would give.
class ServedSite {
 public:
  explicit ServedSite(site::SiteOptions options) : m_site(tuned(std::move(options))) {
    std::string error;
    m_listening = m_site.listen(error);
    if (m_listening) m_thread = std::thread([this] { m_site.run(); });
  }
  ~ServedSite() {
    m_site.stop();
    if (m_thread.joinable()) m_thread.join();
  }
  bool listening() const { return m_listening; }
  std::uint16_t port() const { return m_site.port(); }

 private:
  static site::SiteOptions tuned(site::SiteOptions options) {
    options.port = 0;
    options.probeAddress = site::IpAddress::parse("127.0.0.9");  // nothing listens there
    return options;
  }

  site::Site m_site;
  bool m_listening = false;
  std::thread m_thread;
};

std::size_t countStatus(const std::string& answers, int status) {
  const std::regex line("HTTP/1\\.1 " + std::to_string(status) + " ");
  return std::size_t(std::distance(std::sregex_iterator(answers.begin(), answers.end(), line),
                                   std::sregex_iterator()));
}

}  // namespace

TEST(SiteHttpLayer, PipelinedRequestsAreAnsweredInOrderAndABodyIsNeverARequest) {
  ServedSite site({});
  ASSERT_TRUE(site.listening());
  Fd connection = connectTo(site.port());
  // The GET's body spells a request of its own: it must be read away, not served.
  const std::string hidden = "GET /api/port/80 HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_TRUE(sendAll(connection.get(), "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                                            std::to_string(hidden.size()) + "\r\n\r\n" + hidden +
                                            getRequestText("/port_test.php?port=0")));
  const std::string answers = readToEnd(connection.get());
  EXPECT_EQ(countStatus(answers, 200), 1u) << answers.substr(0, 300);
  EXPECT_EQ(countStatus(answers, 400), 1u);
  EXPECT_LT(answers.find("HTTP/1.1 200 "), answers.find("HTTP/1.1 400 "));
}

TEST(SiteHttpLayer, HeadSplitAcrossManyReadsIsServed) {
  ServedSite site({});
  ASSERT_TRUE(site.listening());
  Fd connection = connectTo(site.port());
  const int on = 1;
  setsockopt(connection.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  for (char c : getRequestText("/port_test.php")) {
    ASSERT_TRUE(sendAll(connection.get(), std::string(1, c)));
    waitReadable(connection.get(), 1ms);  // gives each byte a read of its own, mostly
  }
  EXPECT_EQ(readResponse(connection.get()).status, 200);
}

TEST(SiteHttpLayer, SlowOrMissingInputIsCutOffWhileOthersAreServed) {
  site::SiteOptions options;
  options.workers = 2;
  options.clientTimeout = 300ms;
  ServedSite site(options);
  ASSERT_TRUE(site.listening());
  // A body that is announced but never sent, and a head that never ends.
  Fd missingBody = connectTo(site.port());
  ASSERT_TRUE(
      sendAll(missingBody.get(),
              "POST /port_test.php HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\nport="));
  Fd slowHead = connectTo(site.port());
  ASSERT_TRUE(sendAll(slowHead.get(), "GET /port_test.php HTTP/1.1\r\nHost: x\r\n"));

  EXPECT_EQ(get(site.port(), "/port_test.php").status, 200);
  EXPECT_EQ(readResponse(missingBody.get()).status, 408);
  EXPECT_EQ(readResponse(slowHead.get()).status, 408);
  // ...and each is closed after its answer.
  EXPECT_TRUE(readToEnd(missingBody.get()).empty());
  EXPECT_TRUE(readToEnd(slowHead.get()).empty());
}

TEST(SiteHttpLayer, ConnectionsPerAddressAreCappedAddressByAddress) {
  site::SiteOptions options;
  options.maxConnectionsPerAddress = 2;
  ServedSite site(options);
  ASSERT_TRUE(site.listening());
  Fd held1 = connectTo(site.port(), "127.0.0.2");
  Fd held2 = connectTo(site.port(), "127.0.0.2");
  ASSERT_TRUE(sendAll(held1.get(), "GET / HTTP/1.1\r\n"));
  ASSERT_TRUE(sendAll(held2.get(), "GET / HTTP/1.1\r\n"));
  // Answered without a request: the connection may never send one.
  Fd over = connectTo(site.port(), "127.0.0.2");
  const HttpResponse refused = readResponse(over.get());
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.header("retry-after"), "1");
  EXPECT_EQ(get(site.port(), "/", "127.0.0.3").status, 200);
  // A place freed is a place given again.
  held1.reset();
  HttpResponse again;
  for (int attempt = 0; attempt < 100 && again.status != 200; ++attempt) {
    std::this_thread::sleep_for(20ms);
    again = get(site.port(), "/", "127.0.0.2");
  }
  EXPECT_EQ(again.status, 200);
}

TEST(SiteHttpLayer, FoldedOrNulHeadersAreRefusedAndChunksMayArriveInAnyPieces) {
  ServedSite site({});
  ASSERT_TRUE(site.listening());
  // A folded line may have been read as a line of its own by whoever passed the request on.
  for (const std::string& header :
       {std::string("X-A: 1\r\n continued\r\n"), std::string("X-A: a\0b\r\n", 10)})
    EXPECT_EQ(get(site.port(), "/", nullptr, header).status, 400) << header;

  Fd connection = connectTo(site.port());
  const int on = 1;
  setsockopt(connection.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  // "port=9" in two chunks, cut inside a size line, a chunk, and the last chunk's end.
  for (const char* piece : {"POST /port_test.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
                            "application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n"
                            "\r\n3\r\npo",
                            "r\r\n3;ext\r", "\nt=9\r\n0\r\n", "\r\n"}) {
    ASSERT_TRUE(sendAll(connection.get(), piece));
    waitReadable(connection.get(), 20ms);
  }
  const HttpResponse answer = readResponse(connection.get());
  EXPECT_EQ(answer.status, 200);
  EXPECT_NE(answer.body.find("TCP port 9: "), std::string::npos);  // "port=9" was read whole
}
