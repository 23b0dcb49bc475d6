#include "site/form_fields.h"

#include "site/header_text.h"
#include "site/http_request.h"

namespace site {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string decodePercent(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += char(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += (plusIsSpace && c == '+') ? ' ' : c;
  }
  return out;
}

void addFields(std::string_view text, FormFields& fields) {
  while (!text.empty()) {
    const std::size_t end = text.find('&');
    const std::string_view piece = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t equals = piece.find('=');
    const std::string_view name = piece.substr(0, equals);
    if (name.empty()) continue;
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1);
    fields.emplace(decodePercent(name, true), decodePercent(value, true));
  }
}

bool isFormContentType(std::string_view contentType) {
  // The media type alone: parameters such as "; charset=utf-8" change nothing here.
  const std::string_view type = trimmedHeaderValue(contentType.substr(0, contentType.find(';')));
  return sameIgnoringCase(type, "application/x-www-form-urlencoded");
}

}  // namespace site
