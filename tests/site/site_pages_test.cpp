#include "loopback.h"
#include "site_process.h"

#include <gtest/gtest.h>

#include <regex>

using namespace sitetest;

namespace {

// The markup of the first <form> of a page (what the desktop program's form index 0 reaches).
std::string firstForm(const std::string& page) {
  const std::size_t start = page.find("<form");
  const std::size_t end = page.find("</form>", start);
  return start == std::string::npos || end == std::string::npos ? std::string()
                                                                : page.substr(start, end - start);
}

// The attributes of the first tag in `markup` that has attribute `name` equal to `value`.
std::string tagWith(const std::string& markup, const std::string& name, const std::string& value) {
  const std::regex tag("<input[^>]*\\b" + name + "=\"" + value + "\"[^>]*>");
  std::smatch match;
  return std::regex_search(markup, match, tag) ? match.str() : std::string();
}

class SitePages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_site = new SiteProcess(); }
  static void TearDownTestSuite() {
    delete s_site;
    s_site = nullptr;
  }
  std::uint16_t port() const { return s_site->port(); }
  static SiteProcess* s_site;
};
SiteProcess* SitePages::s_site = nullptr;

}  // namespace

TEST_F(SitePages, BothTestPagesCarryTheFormContract) {
  ASSERT_TRUE(s_site->started()) << s_site->log();
  for (const char* path : {"/port_test.php", "/port_test_udp.php"}) {
    const HttpResponse page = get(port(), path);
    ASSERT_EQ(page.status, 200) << path;
    EXPECT_NE(page.header("content-type").find("text/html"), std::string::npos);
    const std::string form = firstForm(page.body);
    ASSERT_FALSE(form.empty()) << path;
    EXPECT_NE(form.find(std::string("action=\"") + path + "\""), std::string::npos) << form;

    const std::string field = tagWith(form, "name", "port");
    EXPECT_NE(field.find("type=\"text\""), std::string::npos) << field;
    EXPECT_NE(field.find("id=\"port\""), std::string::npos) << field;
    // Nothing in the field may let the browser refuse to submit.
    EXPECT_EQ(field.find("required"), std::string::npos);
    EXPECT_EQ(field.find("pattern"), std::string::npos);

    const std::string button = tagWith(form, "name", "Check Port");
    EXPECT_NE(button.find("type=\"submit\""), std::string::npos) << button;
    EXPECT_NE(button.find("value=\"Check Port\""), std::string::npos) << button;
    EXPECT_NE(button.find("id=\"Check Port\""), std::string::npos) << button;
  }
}

TEST_F(SitePages, HelpPageCoversTheUsualCauses) {
  const HttpResponse help = get(port(), "/common-problems-fixes-port-forwarding");
  ASSERT_EQ(help.status, 200);
  for (const char* topic : {"must be listening", "firewall", "local address", "Double NAT",
                            "Carrier-grade NAT", "WAN", "provider blocks", "restart", "TCP or UDP"})
    EXPECT_NE(help.body.find(topic), std::string::npos) << topic;
}

TEST_F(SitePages, UnknownPathsAnswer404OtherMethods405AndEachRequestIsLogged) {
  EXPECT_EQ(get(port(), "/").status, 200);
  const HttpResponse missing = get(port(), "/port_test.asp?port=80");
  EXPECT_EQ(missing.status, 404);
  EXPECT_NE(missing.body.find("Page not found"), std::string::npos);
  EXPECT_EQ(get(port(), "/api/port/80/extra").status, 404);
  EXPECT_EQ(get(port(), "/api/port").status, 404);
  // A page that exists names the methods it takes; a path that does not stays 404.
  const auto sent = [this](const std::string& line) {
    return request(port(), line + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  };
  for (const auto& [line, allow] : {std::pair<std::string, std::string>{"PUT /", "GET, HEAD"},
                                    {"DELETE /port_test.php", "GET, HEAD, POST"},
                                    {"get /", "GET, HEAD"},
                                    {"POST /api/port/80", "GET, HEAD"},
                                    {"HEAD /api/port/80", "GET"}}) {
    const HttpResponse refused = sent(line);
    EXPECT_EQ(refused.status, 405) << line;
    EXPECT_EQ(refused.header("allow"), allow) << line;
  }
  EXPECT_EQ(sent("OPTIONS /nowhere").status, 404);
  EXPECT_TRUE(s_site->waitForLog("\"GET /port_test.asp\" 404 port=- verdict=- ms="));
}

TEST_F(SitePages, ServesManyRequestsOnOneKeptAliveConnection) {
  Fd connection = connectTo(port());
  ASSERT_TRUE(connection.valid());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(
        sendAll(connection.get(), "GET /port_test.php HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    const HttpResponse page = readResponse(connection.get());
    EXPECT_EQ(page.status, 200) << i;
    EXPECT_NE(page.body.find("Check Port"), std::string::npos);
  }
}

TEST_F(SitePages, RangeIsIgnored) {
  std::string ranges = "bytes=0-";
  for (int i = 0; i < 2700; ++i) ranges += ",0-";
  const HttpResponse plain = get(port(), "/");
  const HttpResponse ranged = get(port(), "/", nullptr, "Range: " + ranges + "\r\n");
  EXPECT_EQ(ranged.status, 200);
  EXPECT_EQ(ranged.body.size(), plain.body.size());
  EXPECT_TRUE(ranged.body == plain.body);
  // Nor is one that cannot be read: the page is not multiplied either.
  const HttpResponse unreadable = get(port(), "/", nullptr, "Range: " + ranges + ",5-1\r\n");
  EXPECT_TRUE(unreadable.body == plain.body);
}
