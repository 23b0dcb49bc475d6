#pragma once
// The status code a failed navigation reports. A server's error answer keeps
// its HTTP status (404, 500, ...). A failure of the network or of the request
// is reported as one of the URL moniker error codes the window can name
// (CANNOT_CONNECT, RESOURCE_NOT_FOUND, ...), negative 32-bit numbers.
#include <QWebEngineLoadingInfo>

namespace moniker {
inline constexpr int kAccessDenied = -2147024891;
inline constexpr int kInvalidUrl = -2146697214;
inline constexpr int kCannotConnect = -2146697212;
inline constexpr int kResourceNotFound = -2146697211;
inline constexpr int kDataNotAvailable = -2146697209;
inline constexpr int kDownloadFailure = -2146697208;
inline constexpr int kConnectionTimeout = -2146697205;
inline constexpr int kInvalidRequest = -2146697204;
inline constexpr int kUnknownProtocol = -2146697203;
inline constexpr int kSecurityProblem = -2146697202;
inline constexpr int kRedirecting = -2146697196;
inline constexpr int kInvalidCertificate = -2146697191;
}  // namespace moniker

// The engine's own network error codes that matter here.
namespace neterror {
inline constexpr int kAborted = -3;
}

// The code reported for a failed load of the given error domain and engine
// error code.
int navigateErrorCode(QWebEngineLoadingInfo::ErrorDomain domain, int errorCode);

// Whether a failed load was only stopped (by Stop, or replaced by a newer
// navigation) rather than failed; such loads raise no error.
bool isAbortedLoad(QWebEngineLoadingInfo::ErrorDomain domain, int errorCode);
