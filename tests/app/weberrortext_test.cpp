// The names shown for failed navigations.
#include <gtest/gtest.h>

#include "app/weberrortext.h"

TEST(WebBrowserErrorText, NamesHttpStatusesWithTheirCode) {
  EXPECT_EQ(WebBrowserErrorText(404), "NOT_FOUND(404)");
  EXPECT_EQ(WebBrowserErrorText(502), "BAD_GATEWAY(502)");
  EXPECT_EQ(WebBrowserErrorText(449), "RETRY_WITH(449)");
  EXPECT_EQ(WebBrowserErrorText(505), "VERSION_NOT_SUP(505)");
}

TEST(WebBrowserErrorText, NamesAccessDenied) {
  EXPECT_EQ(WebBrowserErrorText(-2147024891), "Access Denied(-2147024891)");
}

TEST(WebBrowserErrorText, NamesNetworkFailuresWithNegativeCodes) {
  EXPECT_EQ(WebBrowserErrorText(-2146697212), "CANNOT_CONNECT(-2146697212)");
  EXPECT_EQ(WebBrowserErrorText(-2146695936), "CODE_INSTALL_BLOCKED_BY_HASH_POLICY(-2146695936)");
  EXPECT_EQ(WebBrowserErrorText(-2146697193), "USE_EXTEND_BINDING(-2146697193)");
}

TEST(WebBrowserErrorText, SharedCodeShowsTheLaterName) {
  EXPECT_EQ(WebBrowserErrorText(-2146697196), "REDIRECTING(-2146697196)");
}

TEST(WebBrowserErrorText, UnnamedCodesAreUnknown) {
  EXPECT_EQ(WebBrowserErrorText(12345), "Unknown Error: 12345");
  EXPECT_EQ(WebBrowserErrorText(0), "Unknown Error: 0");
  EXPECT_EQ(WebBrowserErrorText(200), "Unknown Error: 200");
  EXPECT_EQ(WebBrowserErrorText(-1), "Unknown Error: -1");
  EXPECT_EQ(WebBrowserErrorText(2146697212), "Unknown Error: 2146697212");
}
