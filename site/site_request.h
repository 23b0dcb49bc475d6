#pragma once
// What the site's handlers see of a request, and what they answer: plain
// values that say nothing of how the request was read or the answer written,
// so that the handlers can be read, and tested, on their own.

#include "site/request_log.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace site {

struct SiteRequest {
  std::string method;
  std::string path;
  // Query and form fields, each as often as it was given.
  const std::multimap<std::string, std::string>& fields;
  // What follows a route's prefix ("80" in /api/port/80), for prefix routes.
  std::string pathTail;
  // The connection's own peer, as text; never read from a header.
  std::string peer;
  // Every X-Forwarded-For line in the order received, NUL bytes and all.
  std::vector<std::string> forwardedFor;

  std::size_t fieldCount(const std::string& name) const { return fields.count(name); }
  // The first value given for `name`, or "".
  std::string field(const std::string& name) const {
    const auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
  }
};

struct Answer {
  int status = 200;
  std::string contentType;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

// A handler fills in the record for the request's log line as it learns;
// the line is written once the answer has gone out.
using Handler = std::function<Answer(const SiteRequest&, RequestRecord&)>;

struct Route {
  enum class Methods { Get, GetAndPost };  // HEAD comes with GET
  enum class Match { Path, Prefix };       // a prefix route gets the rest as pathTail
  Methods methods;
  Match match;
  std::string path;
  Handler handler;
};

}  // namespace site
