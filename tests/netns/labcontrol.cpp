#include "labcontrol.h"

#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace lab {
namespace {

constexpr char kSiteAddress[] = "198.51.100.2";
constexpr int kSitePort = 8380;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

bool present() { return !environment("VANTREL_LAB_DIR").empty(); }

bool control(const std::string& arguments) {
  const std::string command = quoted(environment("VANTREL_LAB_SCRIPT")) + " " +
                              quoted(environment("VANTREL_LAB_DIR")) + " " + arguments;
  return std::system(command.c_str()) == 0;
}

bool ensure(Wan wan, Daemon daemon) {
  // The lab starts with a public WAN and no daemon.
  static Wan currentWan = Wan::Public;
  static Daemon currentDaemon = Daemon::Off;
  if (wan != currentWan) {
    if (!control(wan == Wan::Public ? "wan public" : "wan cgnat")) return false;
    currentWan = wan;
    currentDaemon = Daemon::Off;  // re-addressing stops the daemon
  }
  if (daemon != currentDaemon) {
    const char* command = daemon == Daemon::Off               ? "daemon stop"
                          : daemon == Daemon::NatPmpOnly      ? "daemon start natpmp"
                          : daemon == Daemon::UpnpV1AndNatPmp ? "daemon start upnp-v1"
                                                              : "daemon start upnp";
    if (!control(command)) return false;
    currentDaemon = daemon;
  }
  return true;
}

std::optional<SiteAnswer> askSite(int port) {
  httplib::Client site(kSiteAddress, kSitePort);
  site.set_connection_timeout(5);
  site.set_read_timeout(20);
  const auto answer = site.Get("/api/port/" + std::to_string(port) + "?proto=tcp");
  if (!answer || answer->status != 200) return std::nullopt;
  const QJsonObject json =
      QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object();
  return SiteAnswer{json.value("ip").toString().toStdString(), json.value("open").toBool()};
}

Listener::Listener(int port) {
  m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, kPcAddress, &at.sin_addr);
  const int yes = 1;
  setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (bind(m_fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(m_fd, 8) != 0) {
    close(m_fd);
    m_fd = -1;
  }
}

Listener::~Listener() {
  if (m_fd >= 0) close(m_fd);
}

bool Listener::connectionArrived() const {
  pollfd waiting{m_fd, POLLIN, 0};
  return poll(&waiting, 1, 0) == 1 && (waiting.revents & POLLIN);
}

}  // namespace lab
