#include "app/weberrortext.h"

#include <array>

#include "platform/doevents.h"

namespace {

struct NamedCode {
  int code;
  const char* name;
};

// Compared in this order and every match overwrites the result, so where two
// names share a code the later one is shown.
constexpr std::array<NamedCode, 23> kHttpStatuses{{
    {502, "BAD_GATEWAY"},
    {405, "BAD_METHOD"},
    {400, "BAD_REQUEST"},
    {409, "CONFLICT"},
    {401, "DENIED"},
    {403, "FORBIDDEN"},
    {504, "GATEWAY_TIMEOUT"},
    {410, "GONE"},
    {411, "LENGTH_REQUIRED"},
    {406, "NONE_ACCEPTABLE"},
    {404, "NOT_FOUND"},
    {501, "NOT_SUPPORTED"},
    {402, "PAYMENT_REQ"},
    {412, "PRECOND_FAILED"},
    {407, "PROXY_AUTH_REQ"},
    {408, "REQUEST_TIMEOUT"},
    {413, "REQUEST_TOO_LARGE"},
    {449, "RETRY_WITH"},
    {500, "SERVER_ERROR"},
    {503, "SERVICE_UNAVAIL"},
    {415, "UNSUPPORTED_MEDIA"},
    {414, "URI_TOO_LONG"},
    {505, "VERSION_NOT_SUP"},
}};

constexpr NamedCode kAccessDenied{-2147024891, "Access Denied"};

constexpr std::array<NamedCode, 27> kMonikerErrors{{
    {-2146697207, "AUTHENTICATION_REQUIRED"},
    {-2146697212, "CANNOT_CONNECT"},
    {-2146697200, "CANNOT_INSTANTIATE_OBJECT"},
    {-2146697201, "CANNOT_LOAD_DATA"},
    {-2146697194, "CANNOT_LOCK_REQUEST"},
    {-2146696448, "CANNOT_REPLACE_SFP_FILE"},
    {-2146696960, "CODE_DOWNLOAD_DECLINED"},
    {-2146695936, "CODE_INSTALL_BLOCKED_BY_HASH_POLICY"},
    {-2146696192, "CODE_INSTALL_SUPPRESSED"},
    {-2146697205, "CONNECTION_TIMEOUT"},
    {-2146697209, "DATA_NOT_AVAILABLE"},
    {-2146697208, "DOWNLOAD_FAILURE"},
    {-2146697191, "INVALID_CERTIFICATE"},
    {-2146697204, "INVALID_REQUEST"},
    {-2146697214, "INVALID_URL"},
    {-2146697213, "NO_SESSION"},
    {-2146697206, "NO_VALID_MEDIA"},
    {-2146697210, "OBJECT_NOT_FOUND"},
    {-2146697196, "REDIRECT_FAILED"},
    {-2146697195, "REDIRECT_TO_DIR"},
    {-2146697196, "REDIRECTING"},
    {-2146697211, "RESOURCE_NOT_FOUND"},
    {-2146696704, "RESULT_DISPATCHED"},
    {-2146697202, "SECURITY_PROBLEM"},
    {-2146697192, "TERMINATED_BIND"},
    {-2146697203, "UNKNOWN_PROTOCOL"},
    {-2146697193, "USE_EXTEND_BINDING"},
}};

// "NAME(code)", no blank between the name and the parenthesis.
QString named(const NamedCode& entry) {
  return QString::fromLatin1(entry.name) + QLatin1Char('(') + QString::number(entry.code) +
         QLatin1Char(')');
}

template <size_t N>
void overwriteOnMatch(const std::array<NamedCode, N>& table, int statusCode, QString& result) {
  for (const NamedCode& entry : table) {
    if (entry.code == statusCode) result = named(entry);
  }
}

}  // namespace

QString WebBrowserErrorText(int statusCode) {
  DoEvents();
  QString result = QStringLiteral("Unknown Error: ") + QString::number(statusCode);
  overwriteOnMatch(kHttpStatuses, statusCode, result);
  DoEvents();
  if (statusCode == kAccessDenied.code) result = named(kAccessDenied);
  overwriteOnMatch(kMonikerErrors, statusCode, result);
  DoEvents();
  return result;
}
