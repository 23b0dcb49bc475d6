#pragma once
// One line per request on standard error:
//   <UTC time> <requester> "<METHOD> <path>" <status> port=<port> verdict=<verdict> ms=<ms>

#include <chrono>
#include <string>
#include <string_view>

namespace site {

// What a request's handling learned, for its log line. The transport owns one
// per request and hands it to the request's handler.
struct RequestRecord {
  std::string requester = "-";
  std::string port = "-";
  std::string verdict = "-";
  int status = 0;
  std::chrono::steady_clock::time_point start{};
};

// Control characters, blanks, quotes, backslashes and bytes above 0x7e become
// %XX, and the text is cut at `limit`, so a visitor cannot forge log lines.
std::string sanitizeForLog(std::string_view text, std::size_t limit = 200);

std::string formatLogLine(std::chrono::system_clock::time_point when, std::string_view requester,
                          std::string_view method, std::string_view path, int status,
                          std::string_view port, std::string_view verdict,
                          std::chrono::milliseconds elapsed);

// Writes the line and a newline to standard error in one write, so lines from
// different workers never interleave.
void writeLogLine(std::string line);

}  // namespace site
