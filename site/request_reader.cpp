#include "site/request_reader.h"

#include "site/form_fields.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <limits>

namespace site {

namespace http = boost::beast::http;

struct RequestReader::Parser {
  http::request_parser<http::string_body> parser;
};

namespace {

// A header line that starts with a blank continues the one before (obsolete
// line folding). Whoever forwarded the request may have read it as a line of
// its own, so a folded head is refused rather than joined.
bool hasFoldedLine(std::string_view head) {
  for (std::size_t at = head.find('\n'); at != std::string_view::npos && at + 1 < head.size();
       at = head.find('\n', at + 1)) {
    if (head[at + 1] == ' ' || head[at + 1] == '\t') return true;
  }
  return false;
}

// The parser's own refusals of a body's framing: a length given twice
// differently, a length and chunks together, a length that is not a number.
RequestReader::Result refusal(const boost::system::error_code& error) {
  if (error == http::error::bad_content_length || error == http::error::bad_transfer_encoding ||
      error == http::error::multiple_content_length)
    return RequestReader::Result::BadFraming;
  return RequestReader::Result::Malformed;
}

std::size_t put(http::request_parser<http::string_body>& parser, std::string_view data,
                boost::system::error_code& error) {
  error = {};
  if (data.empty()) {
    error = http::error::need_more;
    return 0;
  }
  return parser.put(boost::asio::buffer(data.data(), data.size()), error);
}

}  // namespace

RequestReader::RequestReader(ConnectionStream& stream)
    : m_stream(stream), m_parser(std::make_unique<Parser>()) {
  auto& parser = m_parser->parser;
  // The stream's head window keeps to the site's own head limits; the
  // parser's must not cut in first, or an oversized head would get 400.
  parser.header_limit(std::numeric_limits<std::uint32_t>::max());
  // Likewise the body: its framing is judged from the head, and then the
  // stream's body window lets no more through.
  parser.body_limit(boost::none);
  // Stop after the head, so that the body is framed before any of it is read.
  parser.eager(false);
}

RequestReader::~RequestReader() = default;

RequestReader::Result RequestReader::readHead(HttpRequest& request) {
  auto& parser = m_parser->parser;
  // The parser takes the request line as soon as it is whole, but the head
  // stays in the stream until it is whole too, where the stream's limits see it.
  std::size_t parsed = 0;
  for (;;) {
    const std::string_view window = m_stream.headWindow();
    boost::system::error_code error;
    parsed += put(parser, window.substr(parsed), error);
    if (!error && parser.is_header_done()) {
      if (hasFoldedLine(window.substr(0, parsed))) return Result::Malformed;
      m_stream.consume(parsed);
      break;
    }
    if (error != http::error::need_more) return refusal(error);
    if (!m_stream.receiveHead()) return Result::CutOff;
  }

  const auto& head = parser.get();
  request.version = head.version();
  // Beast reads any "HTTP/x.y"; this site speaks only these two.
  if (request.version != 10 && request.version != 11) return Result::Malformed;
  request.method = std::string(head.method_string());
  request.target = std::string(head.target());
  const std::size_t question = request.target.find('?');
  request.path = decodePercent(std::string_view(request.target).substr(0, question), false);
  if (question != std::string::npos) request.query = request.target.substr(question + 1);
  for (const auto& field : head)
    request.headers.add(std::string(field.name_string()), std::string(field.value()));
  request.keepAlive = parser.keep_alive();
  return Result::Read;
}

RequestReader::Result RequestReader::readBody(HttpRequest& request) {
  auto& parser = m_parser->parser;
  while (!parser.is_done()) {
    boost::system::error_code error;
    const std::size_t used = put(parser, m_stream.bodyWindow(), error);
    m_stream.consume(used);
    if (error && error != http::error::need_more) return Result::Malformed;
    if (used == 0 && !m_stream.receiveBody()) return Result::CutOff;
  }
  request.body = std::move(parser.get().body());
  return Result::Read;
}

}  // namespace site
