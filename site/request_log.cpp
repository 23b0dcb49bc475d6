#include "site/request_log.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

namespace site {

std::string sanitizeForLog(std::string_view text, std::size_t limit) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(std::min(text.size(), limit) + 8);
  for (unsigned char c : text) {
    if (out.size() >= limit) {
      out += "...";
      break;
    }
    if (c <= 0x20 || c >= 0x7f || c == '"' || c == '\\' || c == '%') {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xf];
    } else {
      out += char(c);
    }
  }
  return out.empty() ? "-" : out;
}

std::string formatLogLine(std::chrono::system_clock::time_point when, std::string_view requester,
                          std::string_view method, std::string_view path, int status,
                          std::string_view port, std::string_view verdict,
                          std::chrono::milliseconds elapsed) {
  const auto sinceEpoch = when.time_since_epoch();
  const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
  const long millis =
      long(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);

  std::string line = stamp;
  line += ' ';
  line += sanitizeForLog(requester, 64);
  line += " \"";
  line += sanitizeForLog(method, 16);
  line += ' ';
  line += sanitizeForLog(path);
  line += "\" ";
  line += std::to_string(status);
  line += " port=";
  line += sanitizeForLog(port, 16);
  line += " verdict=";
  line += sanitizeForLog(verdict, 32);
  line += " ms=";
  line += std::to_string(elapsed.count());
  return line;
}

void writeLogLine(std::string line) {
  line += '\n';
  const char* data = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t written = ::write(STDERR_FILENO, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // nowhere to log to; serving goes on
    data += written;
    left -= std::size_t(written);
  }
}

}  // namespace site
