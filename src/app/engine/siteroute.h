#pragma once
// The test site probes the address its request came from, so a test of an
// IPv6 address must reach the site over IPv6. The site's host is therefore
// looked up for the family of the local address under test.
#include <QString>
#include <QUrl>
#include <variant>

// Whether a local address text (the chooser's or --ip's) is an IPv6 address.
bool isIpv6AddressText(const QString& address);

// Where a test's requests go.
struct SiteRoute {
  QUrl url;  // the site, its host replaced by a numeric address when it was a name
  QString
      hostHeader;  // the site's own host[:port] for the Host header; empty when the URL keeps its host
  QString host;  // the host a certificate must name (https)
};

// IPv4: the site exactly as given. IPv6: the site as given when its host is
// an IPv6 address; a name is looked up (the event loop runs meanwhile, for
// at most a few seconds) and its first IPv6 address
// takes its place. A site with an IPv4 address, or a name without an IPv6
// address, gives a message saying so instead.
std::variant<SiteRoute, QString> routeToSite(const QString& site, bool ipv6);

// The window's test site for a test from `localIp`: for IPv4 the "site"
// setting as it stands; for IPv6 "site6=" when set (a name of its own has
// only IPv6 to be reached by), else "site" routed as routeToSite says. Either
// the base address for the browser, or a message why IPv6 cannot be tested.
struct TestSite {
  QString base;
  QString error;
  // When base reaches a named site at a numeric address: the name its
  // certificate shows (https); empty otherwise.
  QString certificateName;
};
TestSite windowTestSite(const QString& settingsFile, const QString& localIp);

// The local IPv6 address the system sends from toward the route's host, which
// is the address the site sees and probes; empty when there is none. Nothing
// is sent: a datagram socket is only connected and asked for its address.
QString sourceAddressToward(const SiteRoute& route);
