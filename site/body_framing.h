#pragma once
// Where a request's body ends, decided from its parsed head before a byte of
// the body is read, by one rule for every method. A body is then read (or read
// away) by that framing and nothing else, so that no part of it can be taken
// for the next request on the connection.

#include "site/http_request.h"

#include <cstddef>

namespace site {

struct BodyFraming {
  enum class Kind {
    None,     // no body: a request that gives no length has none
    Length,   // exactly `length` bytes
    Chunked,  // chunks, held to the body limit on the wire
    Refused,  // answer `status` without reading the body, and close
  };
  Kind kind = Kind::None;
  std::size_t length = 0;
  int status = 0;
};

// Refuses (400) a head that frames its body twice or ambiguously, (413) a
// declared length over `maxBodyBytes`, and (415) a body with a content coding:
// a compressed body would be inflated without bound before any limit applied.
BodyFraming frameBody(const HeaderList& headers, std::size_t maxBodyBytes);

}  // namespace site
