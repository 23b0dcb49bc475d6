#include "checkoptions.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QUrl>

#include "app/engine/siteaddress.h"
#include "app/engine/siteroute.h"
#include "net/unisock.h"
#include "persist/userfolders.h"
#include "router/routerclient.h"

namespace {

constexpr int kDefaultTimeoutSeconds = 20;
constexpr double kLongestTimeoutSeconds = 3600;
// A week, the longest lease a router is asked to keep; a rule for good is never
// asked for (a lease of 0 would even remove a NAT-PMP rule).
constexpr int kLongestLeaseSeconds = 604800;

const char kDescription[] =
    "Tests whether the router forwards ports to this computer: listens on each port itself\n"
    "and asks the test site to reach it.\n"
    "\n"
    "PORT/PROTO: 8080/tcp, 27015/udp (protocol in any letter case; a bare number is TCP).\n"
    "Without ports, the port list of the window (its ports.dat) is tested.\n"
    "\n"
    "Output: one line a port as results come (open, closed, in-use, no-permission,\n"
    "error: TEXT), then the public address the site saw. --json prints one object:\n"
    "{\"site\", \"ip\", \"public_address\", \"ports\": [{\"port\", \"protocol\", \"family\", "
    "\"result\",\n"
    "\"detail\"}]}; \"family\" is \"ipv4\" or \"ipv6\".\n"
    "\n"
    "IPv6: --ip takes an IPv6 address too, and -6 tests over IPv6 from the address this\n"
    "computer reaches the site from (-4: IPv4, the default). The site is then reached over\n"
    "IPv6 (site6= in settings.ini names an IPv6 site of its own), since it probes the\n"
    "address the request came from.\n"
    "\n"
    "Router help: --router first asks the home router (UPnP IGD, else NAT-PMP; the search\n"
    "takes at most about 2 s) and names it on a first line; a port that is not open gets a\n"
    "short reason on its line. The JSON gains \"router\": {\"found\", \"protocol\"\n"
    "(\"upnp-igd\", \"nat-pmp\" or null), \"external_address\" (or null)} and, on every port,\n"
    "\"diagnosis\": ok, no-mapping (the router has no rule), mapped-elsewhere (its rule\n"
    "points at another computer or port), cgnat (the provider's NAT is in front of the\n"
    "router), double-nat (another NAT is), unknown (no router answered, or it tells nothing).\n"
    "--forward (implies --router) first asks the router to forward each port, same port, to\n"
    "the --ip address and no other, for --lease seconds; the rules are left to their lease.\n"
    "Each port of the JSON then says \"forwarded\": true or false.\n"
    "\n"
    "Exit status: 0 every port open; 1 at least one port not open; 2 no test could be\n"
    "made (bad usage, the site unreachable or not a test site).";

ParsedCheckOptions failure(const QString& text) {
  ParsedCheckOptions parsed;
  parsed.action = ParsedCheckOptions::Action::Fail;
  parsed.text = text;
  return parsed;
}

bool isSiteUrl(const QString& text) {
  const QUrl url(text, QUrl::StrictMode);
  return url.isValid() &&
         (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
         !url.host().isEmpty() && !url.hasQuery() && !url.hasFragment();
}

bool isIpAddress(const QString& text, QAbstractSocket::NetworkLayerProtocol family) {
  QHostAddress address;
  return address.setAddress(text) && address.protocol() == family;
}

}  // namespace

ParsedCheckOptions parseCheckOptions(const QStringList& arguments, const QString& programFolder) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromLatin1(kDescription));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this text."));
  const QCommandLineOption site(
      QStringLiteral("site"),
      QStringLiteral("The test site (default: site= in settings.ini beside the "
                     "program, else %1).")
          .arg(compiledSiteAddress()),
      QStringLiteral("URL"));
  const QCommandLineOption ip(
      QStringLiteral("ip"),
      QStringLiteral("The local IPv4 or IPv6 address to listen on (default: this "
                     "computer's first address, as in the window)."),
      QStringLiteral("ADDR"));
  const QCommandLineOption json(QStringLiteral("json"),
                                QStringLiteral("Print one JSON object instead of lines."));
  const QCommandLineOption timeout(
      QStringLiteral("timeout"),
      QStringLiteral("Time limit for each port in seconds (default %1).")
          .arg(kDefaultTimeoutSeconds),
      QStringLiteral("S"));
  const QCommandLineOption routerHelp(
      QStringLiteral("router"),
      QStringLiteral("Ask the router why a port is not open (see above)."));
  const QCommandLineOption forward(
      QStringLiteral("forward"),
      QStringLiteral("Have the router forward each port to --ip before the test."));
  const QCommandLineOption lease(
      QStringLiteral("lease"),
      QStringLiteral(
          "How long the router keeps a --forward rule, in seconds (default %1, at most %2).")
          .arg(router::kDefaultLeaseSeconds)
          .arg(kLongestLeaseSeconds),
      QStringLiteral("S"));
  const QCommandLineOption ipv4(QStringLiteral("4"),
                                QStringLiteral("Test over IPv4 (the default)."));
  const QCommandLineOption ipv6(
      QStringLiteral("6"),
      QStringLiteral("Test over IPv6, from the address this computer reaches the site from."));
  parser.addOptions({help, site, ip, ipv4, ipv6, json, timeout, routerHelp, forward, lease});
  parser.addPositionalArgument(QStringLiteral("PORT/PROTO"), QStringLiteral("Ports to test."),
                               QStringLiteral("[PORT/PROTO ...]"));

  if (!parser.parse(arguments)) return failure(parser.errorText());
  if (parser.isSet(help)) {
    ParsedCheckOptions parsed;
    parsed.action = ParsedCheckOptions::Action::ShowHelp;
    parsed.text = parser.helpText();
    return parsed;
  }

  CheckOptions options;
  options.json = parser.isSet(json);
  options.forward = parser.isSet(forward);
  options.router = options.forward || parser.isSet(routerHelp);
  options.leaseSeconds = router::kDefaultLeaseSeconds;
  if (parser.isSet(lease)) {
    if (!options.forward) return failure(QStringLiteral("--lease is only for --forward"));
    bool isNumber = false;
    options.leaseSeconds = parser.value(lease).toInt(&isNumber);
    if (!isNumber || options.leaseSeconds < 1 || options.leaseSeconds > kLongestLeaseSeconds) {
      return failure(QStringLiteral("--lease: \"%1\" is not a whole number of seconds from 1 to %2")
                         .arg(parser.value(lease))
                         .arg(kLongestLeaseSeconds));
    }
  }

  double seconds = kDefaultTimeoutSeconds;
  if (parser.isSet(timeout)) {
    bool isNumber = false;
    seconds = parser.value(timeout).toDouble(&isNumber);
    if (!isNumber || !(seconds > 0) || seconds > kLongestTimeoutSeconds) {
      return failure(
          QStringLiteral("--timeout: \"%1\" is not a number of seconds above 0 and at most %2")
              .arg(parser.value(timeout))
              .arg(kLongestTimeoutSeconds));
    }
  }
  options.timeout = std::chrono::milliseconds(static_cast<qint64>(seconds * 1000.0 + 0.5));

  // The window's files: beside the program, or the user's own for an installed copy.
  const QString dataFolder = userDataFolder(programFolder);
  if (parser.isSet(ipv4) && parser.isSet(ipv6))
    return failure(QStringLiteral("-4 and -6 exclude each other"));
  if (parser.isSet(ip)) {
    options.localIp = parser.value(ip).trimmed();
    const bool isV4 = isIpAddress(options.localIp, QAbstractSocket::IPv4Protocol);
    options.ipv6 = isIpAddress(options.localIp, QAbstractSocket::IPv6Protocol);
    if (!isV4 && !options.ipv6) {
      return failure(
          QStringLiteral("--ip: \"%1\" is not an IPv4 or IPv6 address").arg(options.localIp));
    }
    if ((parser.isSet(ipv4) && options.ipv6) || (parser.isSet(ipv6) && isV4)) {
      return failure(QStringLiteral("--ip: \"%1\" is not of the family -4 or -6 asks for")
                         .arg(options.localIp));
    }
  } else {
    options.ipv6 = parser.isSet(ipv6);
  }

  const QString settingsFile = dataFolder + QStringLiteral("/settings.ini");
  if (parser.isSet(site)) {
    options.site = parser.value(site).trimmed();
  } else {
    options.site = options.ipv6 ? siteAddress6(settingsFile) : QString();
    if (options.site.isEmpty()) options.site = siteAddress(settingsFile);
  }
  while (options.site.endsWith(QLatin1Char('/'))) options.site.chop(1);
  if (!isSiteUrl(options.site)) {
    return failure(
        QStringLiteral("--site: \"%1\" is not an http:// or https:// address").arg(options.site));
  }
  std::variant<SiteRoute, QString> route = routeToSite(options.site, options.ipv6);
  if (auto* message = std::get_if<QString>(&route)) return failure(*message);
  options.route = std::get<SiteRoute>(route);

  if (options.localIp.isEmpty() && options.ipv6) {
    options.localIp = sourceAddressToward(options.route);
    if (options.localIp.isEmpty()) {
      return failure(
          QStringLiteral("-6: this computer has no IPv6 address that reaches the site ") +
          options.site);
    }
  } else if (options.localIp.isEmpty()) {
    // The window's choice: the address the socket object names as its own.
    options.localIp = UniSock().LocalIP();
  }

  const QStringList portTexts = parser.positionalArguments();
  for (const QString& text : portTexts) {
    std::variant<TestedPort, QString> tested = parseTestedPort(text);
    if (auto* message = std::get_if<QString>(&tested)) return failure(*message);
    options.ports.push_back(std::get<TestedPort>(tested));
  }
  if (portTexts.isEmpty()) {
    const QString listFile = dataFolder + QStringLiteral("/ports.dat");
    std::variant<std::vector<TestedPort>, QString> testedPorts = testedPortsFromFile(listFile);
    if (auto* message = std::get_if<QString>(&testedPorts)) return failure(*message);
    options.ports = std::get<std::vector<TestedPort>>(testedPorts);
    if (options.ports.empty()) {
      return failure(QStringLiteral("no ports given, and the port list %1 has none").arg(listFile));
    }
  }

  ParsedCheckOptions parsed;
  parsed.action = ParsedCheckOptions::Action::Run;
  parsed.options = options;
  return parsed;
}
