#pragma once
// Reading the test site's JSON answer to GET /api/port/N?proto=tcp|udp.
// The body comes from the network: anything that is not exactly the site's
// answer is reported, never trusted.
#include <QByteArrayView>
#include <QString>

#include "app/engine/testedport.h"

// Larger bodies are not the site's answer (which is well under 1 KiB).
inline constexpr qsizetype kMaxApiAnswerBytes = 64 * 1024;

struct ApiAnswer {
  enum class Kind {
    Tested,        // the site ran the test
    Refused,       // the site would not run it (rate limit, busy, bad request)
    NotATestSite,  // something answered, but not the test site
  };
  Kind kind = Kind::NotATestSite;
  QString address;  // Tested: the address the site probed (the public address it saw)
  QString token;    // Tested, UDP: the token its datagrams carried
  QString message;  // Refused: the site's reason; NotATestSite: what was wrong
};

// `httpStatus` and `body` of the answer to the test of `asked`.
ApiAnswer readApiAnswer(int httpStatus, QByteArrayView body, const TestedPort& asked);
