#pragma once
// The HTML the site serves. Plain pages, one inline style sheet, no scripts:
// they must load quickly in an embedded browser and read well in any other.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace site {

enum class Protocol { Tcp, Udp };

const char* protocolName(Protocol protocol);  // "TCP", "UDP"
const char* testPagePath(Protocol protocol);  // "/port_test.php", "/port_test_udp.php"

extern const char* const kHelpPagePath;

std::string htmlEscape(std::string_view text);

// The test form. Its first form holds the "port" text field and the
// "Check Port" submit button that the desktop program drives.
std::string formPage(Protocol protocol);

struct ResultView {
  Protocol protocol = Protocol::Tcp;
  std::string address;  // the address that was probed
  std::uint16_t port = 0;
  // TCP: whether the connection was established. UDP: datagrams sent.
  bool open = false;
  int datagramsSent = 0;
  int datagramsPlanned = 0;
  std::string token;
  std::chrono::milliseconds elapsed{0};
  std::chrono::milliseconds timeout{0};
};

// The verdict in the words the result page and the log use: "open",
// "closed or filtered", "datagrams sent" or "datagrams not sent".
std::string verdictText(const ResultView& result);
std::string resultPage(const ResultView& result);

// A short page for a refused request, with a link back to `backPath`.
std::string errorPage(int status, std::string_view title, std::string_view message,
                      std::string_view backPath = "/");

std::string indexPage();
std::string helpPage();

// Shared frame: head with title and style, a header bar, `body`, a footer.
std::string pageFrame(std::string_view title, std::string_view body);

}  // namespace site
