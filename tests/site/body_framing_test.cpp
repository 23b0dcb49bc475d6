#include "site/body_framing.h"

#include <gtest/gtest.h>

using site::BodyFraming;
using site::frameBody;

TEST(BodyFraming, OneFramingOrARefusalBeforeAnyBodyIsRead) {
  using Kind = BodyFraming::Kind;
  struct Case {
    site::HeaderList headers;
    Kind kind;
    std::size_t lengthOrStatus;
  };
  const Case cases[] = {
      {{}, Kind::None, 0},
      {{{"Content-Length", "0"}}, Kind::None, 0},
      {{{"content-length", " 4096 "}}, Kind::Length, 4096},
      {{{"Transfer-Encoding", "Chunked"}}, Kind::Chunked, 0},
      {{{"Content-Encoding", "identity"}, {"Content-Length", "5"}}, Kind::Length, 5},
      {{{"Content-Encoding", "gzip"}}, Kind::None, 0},  // nothing to inflate
      {{{"Content-Length", "4097"}}, Kind::Refused, 413},
      {{{"Content-Length", "99999999999999999999999"}}, Kind::Refused, 400},
      {{{"Content-Length", "5"}, {"Transfer-Encoding", "chunked"}}, Kind::Refused, 400},
      {{{"Content-Length", "5"}, {"Content-Length", "5"}}, Kind::Refused, 400},
      {{{"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "chunked"}}, Kind::Refused, 400},
      {{{"Transfer-Encoding", "gzip, chunked"}}, Kind::Refused, 400},
      {{{"Content-Length", "+5"}}, Kind::Refused, 400},
      {{{"Content-Length", "5 5"}}, Kind::Refused, 400},
      {{{"Content-Length", "0x5"}}, Kind::Refused, 400},
      {{{"Content-Length", ""}}, Kind::Refused, 400},
      {{{"Content-Encoding", "gzip"}, {"Content-Length", "10"}}, Kind::Refused, 415},
      {{{"Content-Encoding", "identity"},
        {"Content-Encoding", "br"},
        {"Transfer-Encoding", "chunked"}},
       Kind::Refused,
       415},
  };
  for (const Case& c : cases) {
    const BodyFraming framing = frameBody(c.headers, 4096);
    const std::string shown = c.headers.empty() ? ""
                                                : c.headers.lines().front().first + ": " +
                                                      c.headers.lines().front().second;
    EXPECT_EQ(framing.kind, c.kind) << shown;
    EXPECT_EQ(c.kind == Kind::Refused ? std::size_t(framing.status) : framing.length,
              c.lengthOrStatus)
        << shown;
  }
}
