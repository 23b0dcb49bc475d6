#include "app/outside/navigationerror.h"

namespace {

// Engine network error codes grouped by the moniker code they report.
int monikerForNetworkError(int errorCode) {
  switch (errorCode) {
    case -7:    // timed out
    case -118:  // connection timed out
      return moniker::kConnectionTimeout;
    case -105:  // name not resolved
    case -137:  // name resolution failed
    case -6:    // file not found
      return moniker::kResourceNotFound;
    case -300:  // invalid URL
    case -108:  // address invalid
      return moniker::kInvalidUrl;
    case -301:  // disallowed URL scheme
    case -302:  // unknown URL scheme
      return moniker::kUnknownProtocol;
    case -310:  // too many redirects
    case -311:  // unsafe redirect
      return moniker::kRedirecting;
    case -10:   // access denied
    case -138:  // network access denied
      return moniker::kAccessDenied;
    case -20:  // blocked by client
    case -27:  // blocked by response
      return moniker::kSecurityProblem;
    case -320:  // invalid response
    case -324:  // empty response
    case -354:  // content length mismatch
    case -355:  // incomplete chunked encoding
      return moniker::kDataNotAvailable;
    case -100:  // connection closed
    case -101:  // connection reset
    case -102:  // connection refused
    case -104:  // connection failed
    case -106:  // internet disconnected
    case -109:  // address unreachable
    case -111:  // tunnel connection failed
    case -130:  // proxy connection failed
      return moniker::kCannotConnect;
    default:
      break;
  }
  // Certificate errors occupy -200 to -299 and secure-connection failures
  // sit around -107 and -110 to -199.
  if (errorCode <= -200 && errorCode > -300) return moniker::kInvalidCertificate;
  if (errorCode == -107 || (errorCode <= -110 && errorCode > -200))
    return moniker::kSecurityProblem;
  if (errorCode <= -100 && errorCode > -200) return moniker::kCannotConnect;
  return moniker::kDownloadFailure;
}

}  // namespace

int navigateErrorCode(QWebEngineLoadingInfo::ErrorDomain domain, int errorCode) {
  switch (domain) {
    case QWebEngineLoadingInfo::HttpStatusCodeDomain:
      return errorCode;
    case QWebEngineLoadingInfo::CertificateErrorDomain:
      return moniker::kInvalidCertificate;
    case QWebEngineLoadingInfo::DnsErrorDomain:
      return moniker::kResourceNotFound;
    case QWebEngineLoadingInfo::ConnectionErrorDomain:
    case QWebEngineLoadingInfo::HttpErrorDomain:
    case QWebEngineLoadingInfo::FtpErrorDomain:
    case QWebEngineLoadingInfo::InternalErrorDomain:
    case QWebEngineLoadingInfo::NoErrorDomain:
      return monikerForNetworkError(errorCode);
  }
  return moniker::kDownloadFailure;
}

bool isAbortedLoad(QWebEngineLoadingInfo::ErrorDomain domain, int errorCode) {
  return domain != QWebEngineLoadingInfo::HttpStatusCodeDomain && errorCode == neterror::kAborted;
}
