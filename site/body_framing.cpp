#include "site/body_framing.h"

#include "site/header_text.h"

#include <string_view>

namespace site {

namespace {

// Digits only: a sign, a blank inside or a trailing word would be read one way
// here and another way by whatever passed the request on.
bool parseLength(std::string_view text, std::size_t& length) {
  text = trimmedHeaderValue(text);
  constexpr std::size_t kMaxDigits = 18;  // fits any size_t without overflow
  if (text.empty() || text.size() > kMaxDigits) return false;
  length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    length = length * 10 + std::size_t(c - '0');
  }
  return true;
}

bool hasContentCoding(const HeaderList& headers) {
  for (const std::string& coding : headers.all("Content-Encoding")) {
    if (!sameIgnoringCase(trimmedHeaderValue(coding), "identity")) return true;
  }
  return false;
}

}  // namespace

BodyFraming frameBody(const HeaderList& headers, std::size_t maxBodyBytes) {
  const auto refuse = [](int status) { return BodyFraming{BodyFraming::Kind::Refused, 0, status}; };
  const std::size_t lengths = headers.count("Content-Length");
  const std::size_t codings = headers.count("Transfer-Encoding");
  // Two framings, or one given twice, is how a request hides inside another:
  // whoever forwarded it may have read it the other way.
  if (lengths > 1 || codings > 1 || (lengths > 0 && codings > 0)) return refuse(400);

  BodyFraming framing;
  if (codings > 0) {
    // Anything but plain chunked leaves the end of the body to the close of the connection.
    if (!sameIgnoringCase(trimmedHeaderValue(*headers.find("Transfer-Encoding")), "chunked"))
      return refuse(400);
    framing.kind = BodyFraming::Kind::Chunked;
  } else if (lengths > 0) {
    std::size_t length = 0;
    if (!parseLength(*headers.find("Content-Length"), length)) return refuse(400);
    if (length > 0) framing = {BodyFraming::Kind::Length, length, 0};
  }
  if (framing.kind != BodyFraming::Kind::None && hasContentCoding(headers)) return refuse(415);
  if (framing.length > maxBodyBytes) return refuse(413);
  return framing;
}

}  // namespace site
