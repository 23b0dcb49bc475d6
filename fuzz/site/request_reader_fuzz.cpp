// Bytes a client may send, read the way the site reads them: requests one
// after another, each head, then its framing, then its body, in reads of a
// size the input chooses. A request read is HTTP/1.0 or 1.1 with a method and
// a target; its body is exactly the length it announced, or no more than the
// limit on the wire when chunked. The fields of its query and body, written
// back with every byte percent-encoded, read back the same.
#include "site/body_framing.h"
#include "site/connection_stream.h"
#include "site/form_fields.h"
#include "site/request_reader.h"
#include "site/stop_signal.h"

#include <sys/socket.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string encodeEveryByte(std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 0xf];
  }
  return out;
}

void checkFields(std::string_view text) {
  site::FormFields fields;
  site::addFields(text, fields);
  std::string again;
  for (const auto& [name, value] : fields) {
    if (name.empty()) std::abort();
    if (!again.empty()) again += '&';
    again += encodeEveryByte(name) + "=" + encodeEveryByte(value);
  }
  site::FormFields reread;
  site::addFields(again, reread);
  if (reread != fields) std::abort();
  if (text.find_first_of("%+") == std::string_view::npos && site::decodePercent(text, true) != text)
    std::abort();
}

void checkRequest(const site::HttpRequest& request, const site::BodyFraming& framing,
                  std::size_t maxBodyBytes) {
  if (request.version != 10 && request.version != 11) std::abort();
  if (request.method.empty() || request.target.empty()) std::abort();
  switch (framing.kind) {
    case site::BodyFraming::Kind::Length:
      if (request.body.size() != framing.length) std::abort();
      break;
    case site::BodyFraming::Kind::Chunked:
      if (request.body.size() > maxBodyBytes) std::abort();
      break;
    default:
      if (!request.body.empty()) std::abort();
  }
  checkFields(request.query);
  checkFields(request.body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const site::StopSignal stop;
  if (size == 0) return 0;
  // The first byte sets how much one read takes, so heads and bodies come in pieces.
  site::ConnectionStream::Limits limits;
  limits.readBytes = 1 + data[0] % 64;
  ++data;
  --size;
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) return 0;
  UniqueFd client(ends[1]);
  // The whole input is sent before reading starts; what a socket buffer does not take is dropped.
  const ssize_t sent = send(client.get(), data, size, MSG_NOSIGNAL);
  if (sent < 0) return 0;
  shutdown(client.get(), SHUT_WR);

  limits.maxHeadBytes = 2048;
  limits.maxRequestLineBytes = 512;
  limits.maxBodyBytes = 512;
  site::ConnectionStream stream(UniqueFd(ends[0]), *site::IpAddress::parse("127.0.0.1"), limits,
                                stop);
  using Result = site::RequestReader::Result;
  for (bool first = true;; first = false) {
    stream.beginRequest(first);
    site::HttpRequest request;
    site::RequestReader reader(stream);
    if (reader.readHead(request) != Result::Read) break;
    const site::BodyFraming framing = site::frameBody(request.headers, limits.maxBodyBytes);
    if (framing.kind == site::BodyFraming::Kind::Refused) break;
    stream.beginBody(framing);
    if (reader.readBody(request) != Result::Read) break;
    checkRequest(request, framing, limits.maxBodyBytes);
  }
  return 0;
}
