#include "loopback.h"
#include "site_process.h"

#include <gtest/gtest.h>

#include <regex>

using namespace sitetest;
using namespace std::chrono_literals;

namespace {

std::string submitForm(std::uint16_t port) {
  return "port=" + std::to_string(port) + "&Check+Port=Check+Port";
}

std::string postRequest(const std::string& path, const std::string& body) {
  return "POST " + path +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A port on 127.0.0.1 with nothing listening on it.
std::uint16_t closedPort() {
  Fd probe = tcpListener("127.0.0.1");
  return localPort(probe.get());  // released when `probe` goes
}

}  // namespace

TEST(SiteTcpProbe, OpenPortReadsOpenAndTheListenerSeesItBeforeTheAnswer) {
  SiteProcess site;
  ASSERT_TRUE(site.started()) << site.log();
  Fd listener = tcpListener("127.0.0.1");
  const std::uint16_t port = localPort(listener.get());

  Fd client = connectTo(site.port());
  ASSERT_TRUE(sendAll(client.get(), postRequest("/port_test.php", submitForm(port))));
  ASSERT_TRUE(waitReadable(client.get(), 20s));
  // The first byte of the answer is here: the probe's connection must already be queued.
  EXPECT_TRUE(acceptNow(listener.get()));

  const HttpResponse result = readResponse(client.get());
  EXPECT_EQ(result.status, 200);
  EXPECT_NE(result.body.find("TCP port " + std::to_string(port) + ": open"), std::string::npos)
      << result.body;
  EXPECT_NE(result.body.find("127.0.0.1"), std::string::npos);
  EXPECT_NE(result.body.find("href=\"/port_test.php\""), std::string::npos);
  EXPECT_TRUE(site.waitForLog("127.0.0.1 \"POST /port_test.php\" 200 port=" + std::to_string(port) +
                              " verdict=open"));
}

TEST(SiteTcpProbe, ClosedPortReadsClosedOrFiltered) {
  SiteProcess site;
  ASSERT_TRUE(site.started()) << site.log();
  const std::uint16_t port = closedPort();
  const HttpResponse page =
      get(site.port(), "/port_test.php?port=" + std::to_string(port) + "&Check+Port=Check+Port");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("closed or filtered"), std::string::npos);

  const HttpResponse json = get(site.port(), "/api/port/" + std::to_string(port) + "?proto=tcp");
  EXPECT_EQ(json.status, 200);
  EXPECT_EQ(json.header("content-type"), "application/json");
  EXPECT_TRUE(std::regex_match(
      json.body,
      std::regex(
          R"(\{"ip": "127\.0\.0\.1", "port": \d+, "proto": "tcp", "open": false, "ms": \d+\})")))
      << json.body;
}

TEST(SiteTcpProbe, SilentPortReadsClosedWhenTheTimeoutEnds) {
  SiteProcess site({"--probe-timeout-ms", "200"});
  ASSERT_TRUE(site.started()) << site.log();
  // A listener whose queue is full drops new connection attempts without an
  // answer, like a firewall that drops packets.
  Fd silent = tcpListener("127.0.0.1", 0, 0);
  Fd filler = connectTo(localPort(silent.get()));
  ASSERT_TRUE(filler.valid());

  const HttpResponse json =
      get(site.port(), "/api/port/" + std::to_string(localPort(silent.get())));
  EXPECT_EQ(json.status, 200);
  EXPECT_NE(json.body.find("\"open\": false"), std::string::npos) << json.body;
  EXPECT_TRUE(site.waitForLog("verdict=timeout"));
}

TEST(SiteUdpProbe, ThreeDatagramsWithOneTokenArrive) {
  SiteProcess site({"--udp-gap-ms", "30"});
  ASSERT_TRUE(site.started()) << site.log();
  Fd listener = udpSocket("127.0.0.1");
  const std::uint16_t port = localPort(listener.get());

  const HttpResponse page =
      request(site.port(), postRequest("/port_test_udp.php", submitForm(port)));
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("datagrams sent"), std::string::npos);
  EXPECT_NE(page.body.find("Only the program listening on your side can tell"), std::string::npos);
  std::smatch token;
  ASSERT_TRUE(std::regex_search(page.body, token, std::regex("vantrel-probe ([0-9a-f]{16})")))
      << page.body;

  for (int n = 1; n <= 3; ++n)
    EXPECT_EQ(receiveDatagram(listener.get(), 5s),
              "vantrel-probe " + token[1].str() + " " + std::to_string(n) + "\n");

  const HttpResponse json = get(site.port(), "/api/port/" + std::to_string(port) + "?proto=udp");
  EXPECT_NE(json.body.find("\"proto\": \"udp\", \"open\": null"), std::string::npos) << json.body;
  EXPECT_FALSE(receiveDatagram(listener.get(), 5s).empty());
}

TEST(SiteProbeAddress, RedirectsEveryProbeToTheGivenAddress) {
  SiteProcess site({"--probe-address", "127.0.0.5"});
  ASSERT_TRUE(site.started()) << site.log();
  EXPECT_TRUE(site.waitForLog("TEST MODE"));

  Fd elsewhere = tcpListener("127.0.0.5");
  const std::uint16_t port = localPort(elsewhere.get());
  const HttpResponse redirected = get(site.port(), "/api/port/" + std::to_string(port));
  EXPECT_NE(redirected.body.find("\"ip\": \"127.0.0.5\""), std::string::npos) << redirected.body;
  EXPECT_NE(redirected.body.find("\"open\": true"), std::string::npos);
  EXPECT_TRUE(acceptNow(elsewhere.get()));

  // The visitor's own listener is never reached: it stands for a router that forwards nothing.
  Fd own = tcpListener("127.0.0.1");
  const HttpResponse own_result =
      get(site.port(), "/api/port/" + std::to_string(localPort(own.get())));
  EXPECT_NE(own_result.body.find("\"open\": false"), std::string::npos) << own_result.body;
  EXPECT_FALSE(acceptNow(own.get()));
}

TEST(SiteTrustedProxy, OnlyTheProxyAppendedEntryNamesTheVisitor) {
  SiteProcess site({"--trust-proxy", "127.0.0.1", "--max-connections-per-address", "64"});
  ASSERT_TRUE(site.started()) << site.log();
  const std::string path = "/api/port/" + std::to_string(closedPort());

  const HttpResponse proxied =
      get(site.port(), path, nullptr, "X-Forwarded-For: 127.0.0.66, 127.0.0.3\r\n");
  EXPECT_NE(proxied.body.find("\"ip\": \"127.0.0.3\""), std::string::npos) << proxied.body;

  const HttpResponse unnamed = get(site.port(), path);
  EXPECT_EQ(unnamed.status, 400) << unnamed.body;

  // Only a whole unicast address is probed: 0.0.0.0 would reach the site's own host.
  Fd own = tcpListener("127.0.0.1");
  const std::string ownPath = "/api/port/" + std::to_string(localPort(own.get()));
  for (const std::string& entry :
       {std::string("0.0.0.0"), std::string("127.0.0.1\0junk", 14), std::string("224.0.0.1")})
    EXPECT_EQ(get(site.port(), ownPath, nullptr, "X-Forwarded-For: " + entry + "\r\n").status, 400);
  EXPECT_FALSE(acceptNow(own.get()));

  // Anyone else's header is ignored: the probe goes to the connection's own address.
  const HttpResponse direct = get(site.port(), path, "127.0.0.2", "X-Forwarded-For: 127.0.0.3\r\n");
  EXPECT_NE(direct.body.find("\"ip\": \"127.0.0.2\""), std::string::npos) << direct.body;
}

TEST(SiteTrustedProxy, ABodyIsNeverReadAsTheNextRequest) {
  SiteProcess site({"--trust-proxy", "127.0.0.1", "--max-connections-per-address", "64"});
  ASSERT_TRUE(site.started()) << site.log();
  // A third party the hidden request would have the site probe, by its own forwarded-for.
  Fd third = tcpListener("127.0.0.4");
  const std::string hidden = "GET /api/port/" + std::to_string(localPort(third.get())) +
                             " HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 127.0.0.4\r\n\r\n";
  const std::string next =
      "GET /port_test.php HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 127.0.0.2\r\nConnection: "
      "close\r\n\r\n";
  const std::string chunked = std::to_string(hidden.size()) + "\r\n" + hidden + "\r\n0\r\n\r\n";
  struct Case {
    std::string head;
    std::string body;
    int answers;  // a chunked body that nobody reads ends the connection
  };
  const std::vector<Case> cases = {
      {"GET / HTTP/1.1\r\nContent-Length: " + std::to_string(hidden.size()), hidden, 2},
      {"HEAD / HTTP/1.1\r\nContent-Length: " + std::to_string(hidden.size()), hidden, 2},
      {"OPTIONS / HTTP/1.1\r\nContent-Length: " + std::to_string(hidden.size()), hidden, 2},
      {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked", chunked, 1},
  };
  for (const Case& c : cases) {
    Fd proxy = connectTo(site.port());
    ASSERT_TRUE(sendAll(
        proxy.get(), c.head + "\r\nHost: x\r\nX-Forwarded-For: 127.0.0.2\r\n\r\n" + c.body + next));
    const std::string answers = readToEnd(proxy.get());
    int count = 0;
    for (std::size_t at = answers.find("HTTP/1.1 "); at != std::string::npos;
         at = answers.find("HTTP/1.1 ", at + 1))
      ++count;
    EXPECT_EQ(count, c.answers) << c.head << "\n" << answers.substr(0, 300);
    EXPECT_EQ(answers.find("application/json"), std::string::npos) << c.head;
  }
  EXPECT_FALSE(acceptNow(third.get()));
}
