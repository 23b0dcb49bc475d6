// The codes a failed navigation reports: HTTP statuses as they are, network
// failures as the moniker codes the window names.
#include <gtest/gtest.h>

#include "app/outside/navigationerror.h"

using Domain = QWebEngineLoadingInfo::ErrorDomain;

TEST(NavigateErrorCode, HttpStatusKeepsItsNumber) {
  EXPECT_EQ(navigateErrorCode(Domain::HttpStatusCodeDomain, 404), 404);
  EXPECT_EQ(navigateErrorCode(Domain::HttpStatusCodeDomain, 503), 503);
}

TEST(NavigateErrorCode, NetworkFailuresMapToMonikerCodes) {
  EXPECT_EQ(navigateErrorCode(Domain::ConnectionErrorDomain, -102),
            moniker::kCannotConnect);  // refused
  EXPECT_EQ(navigateErrorCode(Domain::ConnectionErrorDomain, -109),
            moniker::kCannotConnect);  // unreachable
  EXPECT_EQ(navigateErrorCode(Domain::ConnectionErrorDomain, -105),
            moniker::kResourceNotFound);  // unknown host
  EXPECT_EQ(navigateErrorCode(Domain::DnsErrorDomain, -802), moniker::kResourceNotFound);
  EXPECT_EQ(navigateErrorCode(Domain::ConnectionErrorDomain, -118), moniker::kConnectionTimeout);
  EXPECT_EQ(navigateErrorCode(Domain::InternalErrorDomain, -7), moniker::kConnectionTimeout);
  EXPECT_EQ(navigateErrorCode(Domain::HttpErrorDomain, -300), moniker::kInvalidUrl);
  EXPECT_EQ(navigateErrorCode(Domain::HttpErrorDomain, -302), moniker::kUnknownProtocol);
  EXPECT_EQ(navigateErrorCode(Domain::HttpErrorDomain, -310), moniker::kRedirecting);
  EXPECT_EQ(navigateErrorCode(Domain::InternalErrorDomain, -10), moniker::kAccessDenied);
}

TEST(NavigateErrorCode, CertificateProblemsAreInvalidCertificate) {
  EXPECT_EQ(navigateErrorCode(Domain::CertificateErrorDomain, -202), moniker::kInvalidCertificate);
  EXPECT_EQ(navigateErrorCode(Domain::ConnectionErrorDomain, -201), moniker::kInvalidCertificate);
}

TEST(NavigateErrorCode, UnknownFailureIsDownloadFailure) {
  EXPECT_EQ(navigateErrorCode(Domain::InternalErrorDomain, -1), moniker::kDownloadFailure);
  EXPECT_EQ(navigateErrorCode(Domain::NoErrorDomain, 0), moniker::kDownloadFailure);
}

TEST(NavigateErrorCode, StoppedLoadIsNoFailure) {
  EXPECT_TRUE(isAbortedLoad(Domain::InternalErrorDomain, -3));
  EXPECT_FALSE(isAbortedLoad(Domain::ConnectionErrorDomain, -102));
  EXPECT_FALSE(isAbortedLoad(Domain::HttpStatusCodeDomain, 404));
}
