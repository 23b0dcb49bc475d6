#pragma once
// One request as read off a connection: plain values, so that nothing past
// the reader depends on how the bytes were parsed.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace site {

// Header lines in the order received, duplicates kept; names compare without case.
class HeaderList {
 public:
  HeaderList() = default;
  HeaderList(std::initializer_list<std::pair<std::string, std::string>> lines) : m_lines(lines) {}
  void add(std::string name, std::string value) {
    m_lines.emplace_back(std::move(name), std::move(value));
  }
  std::size_t count(std::string_view name) const;
  // The first value given for `name`, or nullptr.
  const std::string* find(std::string_view name) const;
  // Every value given for `name`, in order.
  std::vector<std::string> all(std::string_view name) const;
  bool empty() const { return m_lines.empty(); }
  const std::vector<std::pair<std::string, std::string>>& lines() const { return m_lines; }

 private:
  std::vector<std::pair<std::string, std::string>> m_lines;
};

bool sameIgnoringCase(std::string_view a, std::string_view b);

struct HttpRequest {
  std::string method;
  std::string target;  // as sent
  std::string path;    // the target up to '?', percent-decoded
  std::string query;   // after the first '?', as sent
  HeaderList headers;
  std::string body;
  unsigned version = 11;  // 10 for HTTP/1.0, 11 for HTTP/1.1
  // False when the client asked for the connection to end after this request.
  bool keepAlive = true;
};

}  // namespace site
