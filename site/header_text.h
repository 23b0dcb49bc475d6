#pragma once
// Reading the values of request headers.
#include <string_view>

namespace site {

// The value without the blanks (spaces and tabs) HTTP allows around it.
inline std::string_view trimmedHeaderValue(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace site
