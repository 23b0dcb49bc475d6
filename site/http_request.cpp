#include "site/http_request.h"

#include <cctype>

namespace site {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::size_t HeaderList::count(std::string_view name) const {
  std::size_t n = 0;
  for (const auto& line : m_lines) n += sameIgnoringCase(line.first, name) ? 1 : 0;
  return n;
}

const std::string* HeaderList::find(std::string_view name) const {
  for (const auto& line : m_lines) {
    if (sameIgnoringCase(line.first, name)) return &line.second;
  }
  return nullptr;
}

std::vector<std::string> HeaderList::all(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& line : m_lines) {
    if (sameIgnoringCase(line.first, name)) values.push_back(line.second);
  }
  return values;
}

}  // namespace site
