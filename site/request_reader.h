#pragma once
// Reads one request off a connection into a plain HttpRequest: the head
// first, then (once the caller has looked at the head and framed the body)
// the body. The parsing itself is a library's; nothing of it shows here.

#include "site/connection_stream.h"
#include "site/http_request.h"

#include <memory>

namespace site {

class RequestReader {
 public:
  enum class Result {
    Read,
    Malformed,   // answer 400: the bytes are not a request this site accepts
    BadFraming,  // answer 400: the head frames its body twice or in a way not understood
    CutOff,      // the stream ended, or its limits cut it off (see the stream)
  };

  explicit RequestReader(ConnectionStream& stream);
  ~RequestReader();
  RequestReader(const RequestReader&) = delete;
  RequestReader& operator=(const RequestReader&) = delete;

  // Fills in everything of `request` but the body. What follows the head
  // stays unread.
  Result readHead(HttpRequest& request);
  // Reads the body, after ConnectionStream::beginBody, into request.body.
  Result readBody(HttpRequest& request);

 private:
  struct Parser;
  ConnectionStream& m_stream;
  std::unique_ptr<Parser> m_parser;
};

}  // namespace site
