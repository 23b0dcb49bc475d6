#pragma once
// What the desktop program and the test site agree on: the page addresses, the
// form the window fills in, the JSON test the command line calls and the UDP
// probe's payload. Both sides include this file, so a renamed page or field
// breaks the build instead of the test. Plain constants only: no Qt, no
// standard library beyond <string_view>, so that any code can include it.
#include <cstddef>
#include <string_view>

namespace sitecontract {

// Test pages: a GET shows the form; a submitted form runs the test and
// answers with the result page.
inline constexpr char kTcpTestPage[] = "/port_test.php";
inline constexpr char kUdpTestPage[] = "/port_test_udp.php";
// The page offered when a test keeps failing.
inline constexpr char kHelpPage[] = "/common-problems-fixes-port-forwarding";

// The test form: its text field for the port and its submit button. The
// button's name, value and id are all this text.
inline constexpr char kPortField[] = "port";
inline constexpr char kSubmitButton[] = "Check Port";

// The same test as JSON: GET kApiPortPrefix + N + "?" + kApiProtocolParameter
// + "=" + kApiTcp|kApiUdp.
inline constexpr char kApiPortPrefix[] = "/api/port/";
inline constexpr char kApiProtocolParameter[] = "proto";
inline constexpr char kApiTcp[] = "tcp";
inline constexpr char kApiUdp[] = "udp";

// Keys of the JSON answer: {"ip", "port", "proto", "open", "ms"} and, for UDP,
// {"sent", "token"}; a refused test answers {"error"} with a 4xx/5xx status.
inline constexpr char kAnswerAddress[] = "ip";  // the address the site probed
inline constexpr char kAnswerPort[] = "port";
inline constexpr char kAnswerProtocol[] = "proto";
inline constexpr char kAnswerOpen[] = "open";
inline constexpr char kAnswerElapsedMs[] = "ms";
inline constexpr char kAnswerSent[] = "sent";
inline constexpr char kAnswerToken[] = "token";
inline constexpr char kAnswerError[] = "error";

// A UDP probe datagram: kUdpProbeWord, a space, the token, a space, the
// datagram's number from 1, and a line feed. The token tells the visitor's
// program the site's datagrams from stray ones.
inline constexpr char kUdpProbeWord[] = "vantrel-probe";
// Tokens are this many lower-case hexadecimal digits.
inline constexpr std::size_t kUdpTokenLength = 16;

}  // namespace sitecontract
