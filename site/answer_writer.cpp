#include "site/answer_writer.h"

namespace site {

namespace {

// The pages are made afresh for each request and never embedded elsewhere.
constexpr const char* kEveryAnswer[][2] = {
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
    // A Range is ignored: served, overlapping ranges would multiply one page many times over.
    {"Accept-Ranges", "none"},
};

void addHeader(std::string& text, std::string_view name, std::string_view value) {
  text += name;
  text += ": ";
  text += value;
  text += "\r\n";
}

}  // namespace

const char* reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 415:
      return "Unsupported Media Type";
    case 429:
      return "Too Many Requests";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Unknown";
  }
}

std::string answerText(const Answer& answer, const AnswerFraming& framing) {
  std::string text;
  text.reserve(256 + (framing.headOnly ? 0 : answer.body.size()));
  text += "HTTP/1.1 ";
  text += std::to_string(answer.status);
  text += ' ';
  text += reasonPhrase(answer.status);
  text += "\r\n";
  for (const auto& header : kEveryAnswer) addHeader(text, header[0], header[1]);
  for (const auto& [name, value] : answer.headers) addHeader(text, name, value);
  if (!answer.contentType.empty()) addHeader(text, "Content-Type", answer.contentType);
  addHeader(text, "Content-Length", std::to_string(answer.body.size()));
  if (framing.closing) {
    addHeader(text, "Connection", "close");
  } else {
    std::string keepAlive = "timeout=";
    keepAlive += std::to_string(framing.idleSeconds);
    keepAlive += ", max=";
    keepAlive += std::to_string(framing.maxRequests);
    addHeader(text, "Keep-Alive", keepAlive);
  }
  text += "\r\n";
  if (!framing.headOnly) text += answer.body;
  return text;
}

}  // namespace site
