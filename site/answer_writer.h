#pragma once
// The bytes of an answer: the status line, the headers every answer of this
// site carries, the answer's own headers, its type and length, and its body.

#include "site/site_request.h"

#include <string>

namespace site {

struct AnswerFraming {
  // The connection ends after this answer ("Connection: close").
  bool closing = false;
  // A HEAD request: the headers of the answer, its length included, and no body.
  bool headOnly = false;
  // For a connection that stays open: how long it may stay idle and how many
  // requests it may carry in all, as the client is told.
  unsigned idleSeconds = 0;
  unsigned maxRequests = 0;
};

const char* reasonPhrase(int status);

std::string answerText(const Answer& answer, const AnswerFraming& framing);

// The interim answer that tells a client waiting on "Expect: 100-continue" to send its body.
inline constexpr char kContinueAnswer[] = "HTTP/1.1 100 Continue\r\n\r\n";

}  // namespace site
