#include "site/pages.h"

#include "sitecontract/sitecontract.h"

namespace site {

const char* const kHelpPagePath = sitecontract::kHelpPage;

namespace {

constexpr std::string_view kStyle = R"(
body { margin: 0; font: 16px/1.5 "DejaVu Sans", Verdana, sans-serif; color: #1d2733; background: #f4f6f8; }
header { background: #1f4e79; color: #fff; padding: 0.8em 1.5em; }
header a { color: #fff; text-decoration: none; font-weight: bold; font-size: 1.15em; }
main { max-width: 44em; margin: 1.5em auto; padding: 1.5em 2em; background: #fff;
       border: 1px solid #d5dbe1; border-radius: 6px; }
h1 { font-size: 1.5em; margin-top: 0; }
h2 { font-size: 1.15em; margin-top: 1.6em; }
label { font-weight: bold; margin-right: 0.5em; }
input { font-family: inherit; }
input[type=text] { font-size: 1em; padding: 0.35em 0.5em; width: 7em; border: 1px solid #8a96a3; border-radius: 4px; }
input[type=submit] { font-size: 1em; padding: 0.4em 1.1em; margin-left: 0.5em; color: #fff; background: #1f6fb2;
                     border: 0; border-radius: 4px; cursor: pointer; }
.verdict { font-size: 1.3em; font-weight: bold; padding: 0.6em 0.9em; border-radius: 4px; }
.open { background: #e3f4e6; color: #1b6b2b; }
.closed { background: #fbe9e7; color: #9c2a17; }
.sent { background: #e8f0fa; color: #1f4e79; }
dl { display: grid; grid-template-columns: max-content auto; gap: 0.3em 1.2em; }
dt { font-weight: bold; } dd { margin: 0; }
code { background: #eef1f4; padding: 0 0.25em; border-radius: 3px; }
.note { color: #4b5866; font-size: 0.93em; }
footer { text-align: center; color: #6b7785; font-size: 0.85em; margin-bottom: 2em; }
)";

}  // namespace

const char* protocolName(Protocol protocol) { return protocol == Protocol::Tcp ? "TCP" : "UDP"; }

const char* testPagePath(Protocol protocol) {
  return protocol == Protocol::Tcp ? sitecontract::kTcpTestPage : sitecontract::kUdpTestPage;
}

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string pageFrame(std::string_view title, std::string_view body) {
  std::string page;
  page.reserve(kStyle.size() + body.size() + 600);
  page +=
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page += htmlEscape(title);
  page += " - Vantrel</title>\n<style>";
  page += kStyle;
  page +=
      "</style>\n</head>\n<body>\n<header><a href=\"/\">Vantrel port test</a></header>\n<main>\n";
  page += body;
  page +=
      "</main>\n<footer><a href=\"/port_test.php\">TCP test</a> &middot; "
      "<a href=\"/port_test_udp.php\">UDP test</a> &middot; <a href=\"";
  page += kHelpPagePath;
  page += "\">Test still failing?</a></footer>\n</body>\n</html>\n";
  return page;
}

std::string formPage(Protocol protocol) {
  const std::string name = protocolName(protocol);
  std::string body;
  body += "<h1>" + name + " port test</h1>\n";
  // No "required" or "pattern" attributes: a browser that refused to submit
  // would leave the desktop program waiting; the server judges the input.
  body += "<form method=\"post\" action=\"";
  body += testPagePath(protocol);
  const std::string field = sitecontract::kPortField;
  const std::string button = sitecontract::kSubmitButton;
  body += "\">\n<label for=\"" + field + "\">Port</label><input type=\"text\" name=\"" + field +
          "\" id=\"" + field +
          "\" inputmode=\"numeric\" autocomplete=\"off\"><input type=\"submit\" name=\"" + button +
          "\" value=\"" + button + "\" id=\"" + button + "\">\n</form>\n";
  if (protocol == Protocol::Tcp) {
    body +=
        "<p>When you press <b>Check Port</b>, this site tries to open a TCP connection to the "
        "address your request came from, on the port you entered. It closes the connection at "
        "once and sends no data. The answer says whether the connection was accepted.</p>\n";
  } else {
    body +=
        "<p>When you press <b>Check Port</b>, this site sends three small UDP datagrams to the "
        "address your request came from, on the port you entered. UDP gives no answer back, so "
        "only the program listening on your side can tell whether they arrived.</p>\n";
  }
  body +=
      "<p class=\"note\">Only the address you are visiting from is ever tested. For the test to "
      "mean anything, a program on your computer must be listening on that port.</p>\n";
  return pageFrame(name + " port test", body);
}

std::string verdictText(const ResultView& result) {
  if (result.protocol == Protocol::Tcp) return result.open ? "open" : "closed or filtered";
  return result.datagramsSent > 0 ? "datagrams sent" : "datagrams not sent";
}

std::string resultPage(const ResultView& result) {
  const std::string name = protocolName(result.protocol);
  const std::string port = std::to_string(result.port);
  const std::string verdict = verdictText(result);
  std::string body;
  body += "<h1>" + name + " port " + port + ": " + htmlEscape(verdict) + "</h1>\n";
  body += "<dl>\n<dt>Address tested</dt><dd>" + htmlEscape(result.address) + "</dd>\n";
  body += "<dt>Port</dt><dd>" + port + "</dd>\n<dt>Protocol</dt><dd>" + name + "</dd>\n";
  body += "<dt>Result</dt><dd>" + htmlEscape(verdict) + "</dd>\n";
  body += "<dt>Time taken</dt><dd>" + std::to_string(result.elapsed.count()) + " ms</dd>\n</dl>\n";

  if (result.protocol == Protocol::Tcp && result.open) {
    body += "<p class=\"verdict open\">Port " + port + " is open: a TCP connection to " +
            htmlEscape(result.address) + " on port " + port +
            " was accepted.</p>\n"
            "<p>The connection was closed again at once; no data was sent.</p>\n";
  } else if (result.protocol == Protocol::Tcp) {
    body += "<p class=\"verdict closed\">Port " + port +
            " is closed or filtered: no program accepted "
            "a TCP connection to " +
            htmlEscape(result.address) + " on port " + port +
            ".</p>\n"
            "<p>Either nothing is listening on that port, or a router or firewall on the way "
            "refused or dropped the connection (this site waits up to " +
            std::to_string(result.timeout.count()) + " ms for an answer). <a href=\"" +
            std::string(kHelpPagePath) + "\">What to check next</a>.</p>\n";
  } else if (result.datagramsSent > 0) {
    body += "<p class=\"verdict sent\">" + std::to_string(result.datagramsSent) + " of " +
            std::to_string(result.datagramsPlanned) + " UDP datagrams were sent to " +
            htmlEscape(result.address) + " on port " + port +
            ".</p>\n"
            "<p>UDP has no answer to wait for, so this site cannot see whether they arrived. Only "
            "the program listening on your side can tell. Each datagram carried the text "
            "<code>vantrel-probe " +
            htmlEscape(result.token) + "</code> followed by its number.</p>\n";
  } else {
    body += "<p class=\"verdict closed\">The UDP datagrams could not be sent to " +
            htmlEscape(result.address) + ". Please try again later.</p>\n";
  }
  body += "<p><a href=\"" + std::string(testPagePath(result.protocol)) + "\">Test another " + name +
          " port</a></p>\n";
  return pageFrame(name + " port " + port + " result", body);
}

std::string errorPage(int status, std::string_view title, std::string_view message,
                      std::string_view backPath) {
  std::string body;
  body += "<h1>" + htmlEscape(title) + "</h1>\n<p>" + htmlEscape(message) + "</p>\n";
  body += "<p class=\"note\">Error " + std::to_string(status) + ". <a href=\"" +
          htmlEscape(backPath) + "\">Back</a></p>\n";
  return pageFrame(title, body);
}

std::string indexPage() {
  std::string body;
  body +=
      "<h1>Is your port forwarded?</h1>\n"
      "<p>These pages check whether a port on your router reaches the computer you are using. "
      "Start a program that listens on the port first, then run the test for its protocol.</p>\n"
      "<ul>\n<li><a href=\"/port_test.php\">TCP port test</a></li>\n"
      "<li><a href=\"/port_test_udp.php\">UDP port test</a></li>\n"
      "<li><a href=\"";
  body += kHelpPagePath;
  body +=
      "\">My router is set up, but the test still fails</a></li>\n</ul>\n"
      "<p class=\"note\">Scripts can ask <code>/api/port/N?proto=tcp</code> or "
      "<code>?proto=udp</code> for the same test as JSON.</p>\n";
  return pageFrame("Port test", body);
}

}  // namespace site
