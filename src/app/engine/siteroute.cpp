#include "app/engine/siteroute.h"

#include <QHostAddress>
#include <QEventLoop>
#include <QHostInfo>
#include <QTimer>

#include <chrono>

#include "app/engine/siteaddress.h"
#include "net/socketfd.h"

namespace {

constexpr std::chrono::seconds kLongestSiteLookup{10};

QString hostHeaderOf(const QUrl& url) {
  QString header = url.host(QUrl::FullyEncoded);
  if (header.contains(QLatin1Char(':'))) header = QLatin1Char('[') + header + QLatin1Char(']');
  if (url.port() != -1) header += QLatin1Char(':') + QString::number(url.port());
  return header;
}

QString noIpv6Message(const QString& site) {
  QString message = QStringLiteral("the site ");
  message += site;
  message += QStringLiteral(
      " has no IPv6 address, so it cannot test an IPv6 address (give an IPv6 site: "
      "site6= in settings.ini, or --site)");
  return message;
}

// The resolver may take seconds: the look-up runs beside the event loop,
// which keeps running (a window stays responsive, a Stop click is seen), and
// the wait is bounded.
QHostInfo lookUpWhileEventsRun(const QString& host) {
  QHostInfo found;
  bool done = false;
  QEventLoop wait;
  const int id = QHostInfo::lookupHost(host, &wait, [&](const QHostInfo& info) {
    found = info;
    done = true;
    wait.quit();
  });
  if (!done) {
    QTimer::singleShot(kLongestSiteLookup, &wait, &QEventLoop::quit);
    wait.exec();
  }
  if (!done) QHostInfo::abortHostLookup(id);
  return found;
}

}  // namespace

bool isIpv6AddressText(const QString& address) {
  Endpoint parsed;
  return sys::parseNumeric(address, &parsed) && parsed.ipv6;
}

std::variant<SiteRoute, QString> routeToSite(const QString& site, bool ipv6) {
  SiteRoute route;
  route.url = QUrl(site);
  route.host = route.url.host();
  if (!ipv6) return route;
  QHostAddress literal;
  if (literal.setAddress(route.host)) {
    if (literal.protocol() == QAbstractSocket::IPv6Protocol) return route;
    return noIpv6Message(site);
  }
  const QHostInfo found = lookUpWhileEventsRun(route.host);
  for (const QHostAddress& address : found.addresses()) {
    if (address.protocol() != QAbstractSocket::IPv6Protocol) continue;
    route.hostHeader = hostHeaderOf(route.url);
    route.url.setHost(address.toString());
    return route;
  }
  return noIpv6Message(site);
}

TestSite windowTestSite(const QString& settingsFile, const QString& localIp) {
  TestSite chosen;
  const QString site = siteAddress(settingsFile);
  chosen.base = site;
  if (!isIpv6AddressText(localIp)) return chosen;
  if (const QString ownSite = siteAddress6(settingsFile); !ownSite.isEmpty()) {
    chosen.base = ownSite;
    return chosen;
  }
  const std::variant<SiteRoute, QString> route = routeToSite(site, true);
  if (const auto* message = std::get_if<QString>(&route)) {
    chosen.base.clear();
    chosen.error = *message;
  } else if (const SiteRoute& found = std::get<SiteRoute>(route); !found.hostHeader.isEmpty()) {
    chosen.base = found.url.toString(QUrl::StripTrailingSlash);
    chosen.certificateName = found.host;
  }
  return chosen;
}

QString sourceAddressToward(const SiteRoute& route) {
  Endpoint site;
  if (!sys::parseNumeric(route.url.host(), &site) || !site.ipv6) return QString();
  int error = 0;
  const SocketFd probe = sys::openSocket(sys::Kind::Datagram, &error, true);
  // Any port will do: connecting a datagram socket only picks the route.
  site.port = route.url.port(80);
  Endpoint local;
  if (!probe.valid() || sys::startConnect(probe.get(), site) != 0 ||
      sys::localEndpoint(probe.get(), &local) != 0) {
    return QString();
  }
  local.port = 0;
  return sys::addressText(local);
}
