// deploy/nginx/vantrel-site.conf in front of two vantrel-site instances on
// loopback, as the deployment runs them (--trust-proxy 127.0.0.1). Visitors
// connect from other loopback addresses (127.0.0.2 and up), so the visitor's
// address and the proxy's differ.
#include "loopback.h"
#include "site_process.h"
#include "test_support.h"
#include "posix/spawn.h"
#include "posix/uniquefd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

using namespace sitetest;
using Clock = std::chrono::steady_clock;

constexpr unsigned kBurst = 3;

std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Replaces the one occurrence of `from`; a config that no longer has exactly
// one means this test no longer matches the shipped file.
void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  ASSERT_NE(at, std::string::npos) << "not in the config: " << from;
  ASSERT_EQ(text.find(from, at + 1), std::string::npos) << "twice in the config: " << from;
  text.replace(at, from.size(), to);
}

// Runs `command` with its stdout and stderr appended to the file `logPath`.
pid_t spawn(const std::vector<std::string>& command, const std::string& logPath) {
  const UniqueFd log(open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (!log) return -1;
  return spawnProgram(command, {log.get(), log.get()});
}

bool accepting(std::uint16_t port, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    if (connectTo(port).valid()) return true;
    usleep(20 * 1000);
  }
  return false;
}

// Our own nginx: its configuration, logs, pid and temporary files all in one
// temporary folder; stopped (and killed if need be) when the object goes.
class Nginx {
 public:
  Nginx(const std::string& folder, const std::string& siteConfig) : m_folder(folder) {
    std::ofstream(folder + "/vantrel-site.conf") << siteConfig;
    std::ofstream(folder + "/nginx.conf")
        << "daemon off;\nworker_processes 1;\npid " << folder << "/nginx.pid;\n"
        << "error_log " << folder << "/error.log;\n"
        << "events { worker_connections 256; }\n"
        << "http {\n  access_log off;\n"
        << "  client_body_temp_path " << folder << "/body;\n  proxy_temp_path " << folder
        << "/proxy;\n"
        << "  fastcgi_temp_path " << folder << "/fastcgi;\n  uwsgi_temp_path " << folder
        << "/uwsgi;\n"
        << "  scgi_temp_path " << folder << "/scgi;\n"
        << "  include " << folder << "/vantrel-site.conf;\n}\n";
    m_pid = spawn(
        {nginxPath(), "-e", folder + "/error.log", "-p", folder, "-c", folder + "/nginx.conf"},
        folder + "/output.log");
  }
  ~Nginx() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      reap(m_pid, std::chrono::seconds(10));
    }
  }
  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;

  bool running() const { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }
  std::string log() const {
    return readText(m_folder + "/output.log") + readText(m_folder + "/error.log");
  }

  static std::string nginxPath() {
    const char* path = std::getenv("VANTREL_NGINX");
    return path && *path ? path : "/usr/sbin/nginx";
  }

 private:
  std::string m_folder;
  pid_t m_pid = -1;
};

class NginxFront : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_EQ(access(Nginx::nginxPath().c_str(), X_OK), 0)
        << "nginx is missing (scripts/packages.txt)";
    // nginx's workers may run as another user, who must reach the folder.
    ASSERT_EQ(chmod(folder().c_str(), 0711), 0);
    for (auto& instance : m_instances) {
      instance = std::make_unique<SiteProcess>(
          std::vector<std::string>{"--trust-proxy", "127.0.0.1", "--burst", std::to_string(kBurst),
                                   "--refill-ms", "600000"});
      ASSERT_TRUE(instance->started()) << instance->log();
    }
    m_httpPort = std::uint16_t(testsupport::freeTcpPort());
    std::string config =
        readText(testsupport::sourceDir().toStdString() + "/deploy/nginx/vantrel-site.conf");
    ASSERT_NO_FATAL_FAILURE(pointAtThisTest(config));
    m_nginx = std::make_unique<Nginx>(folder(), config);
    ASSERT_TRUE(accepting(m_httpPort, std::chrono::seconds(10))) << m_nginx->log();
  }

  std::string folder() const { return m_dir.path().toStdString(); }

  // The instances' real ports, a free loopback port for HTTP and one for
  // HTTPS with a throwaway certificate; the rest of the file as shipped.
  void pointAtThisTest(std::string& config) {
    replaceOnce(config, "server 127.0.0.1:8381",
                "server 127.0.0.1:" + std::to_string(m_instances[0]->port()));
    replaceOnce(config, "server 127.0.0.1:8382",
                "server 127.0.0.1:" + std::to_string(m_instances[1]->port()));
    replaceOnce(config, "listen 80;", "listen 127.0.0.1:" + std::to_string(m_httpPort) + ";");
    replaceOnce(config, "listen [::]:80;", "");
    replaceOnce(config, "listen 443 ssl",
                "listen 127.0.0.1:" + std::to_string(testsupport::freeTcpPort()) + " ssl");
    replaceOnce(config, "listen [::]:443 ssl http2;", "");
    const std::string certificate = folder() + "/certificate.pem", key = folder() + "/key.pem";
    const char* openssl = std::getenv("VANTREL_OPENSSL");
    const pid_t made = spawn(
        {openssl && *openssl ? openssl : "/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048",
         "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", certificate},
        folder() + "/openssl.log");
    ASSERT_TRUE(made > 0 && reap(made, std::chrono::seconds(60)) == 0)
        << readText(folder() + "/openssl.log");
    replaceOnce(config, "/etc/ssl/vantrel/CHANGE-ME-fullchain.pem", certificate);
    replaceOnce(config, "/etc/ssl/vantrel/CHANGE-ME-privkey.pem", key);
  }

  HttpResponse probe(const char* visitor, std::uint16_t port,
                     const std::string& extraHeaders = {}) {
    return get(m_httpPort, "/api/port/" + std::to_string(port) + "?proto=tcp", visitor,
               extraHeaders);
  }

  // Which instance logged a probe for `visitor` (the line may follow the
  // answer by a moment); -1 for none within a few seconds.
  int instanceOf(const std::string& visitor) const {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    do {
      for (int i = 0; i < 2; ++i)
        if (m_instances[i]->log().find(" " + visitor + " ") != std::string::npos) return i;
      usleep(10 * 1000);
    } while (Clock::now() < deadline);
    return -1;
  }

  QTemporaryDir m_dir;
  std::array<std::unique_ptr<SiteProcess>, 2> m_instances;
  std::uint16_t m_httpPort = 0;
  std::unique_ptr<Nginx> m_nginx;
};

// A port nobody listens on, on any loopback address: a probe of it is refused at once.
std::uint16_t closedPort() { return std::uint16_t(testsupport::freeTcpPort()); }

TEST_F(NginxFront, AProbeReachesTheVisitorNotTheProxyWhateverTheClientClaims) {
  Fd visitorProgram = tcpListener("127.0.0.2");
  ASSERT_TRUE(visitorProgram.valid());
  const HttpResponse answer =
      probe("127.0.0.2", localPort(visitorProgram.get()), "X-Forwarded-For: 127.0.0.9\r\n");
  EXPECT_EQ(answer.status, 200) << answer.body << m_nginx->log();
  EXPECT_NE(answer.body.find("\"ip\": \"127.0.0.2\""), std::string::npos) << answer.body;
  EXPECT_NE(answer.body.find("\"open\": true"), std::string::npos) << answer.body;
  EXPECT_TRUE(acceptNow(visitorProgram.get()));
}

// With the requests spread over both instances the visitor would get twice the burst.
TEST_F(NginxFront, OneVisitorsBurstMeets429AlthoughTwoInstancesServe) {
  const std::uint16_t port = closedPort();
  std::vector<int> statuses;
  for (unsigned i = 0; i < 2 * kBurst + 1; ++i) statuses.push_back(probe("127.0.0.3", port).status);
  std::vector<int> expected(2 * kBurst + 1, 429);
  std::fill_n(expected.begin(), kBurst, 200);
  EXPECT_EQ(statuses, expected) << m_nginx->log();
}

TEST_F(NginxFront, StoppingOneInstanceLosesNoVisitorAfterOneRetry) {
  // Visitors until each instance serves at least one of them.
  const std::uint16_t port = closedPort();
  std::vector<std::string> visitors;
  std::array<bool, 2> serves{};
  for (int last = 10; last < 42 && !(serves[0] && serves[1]); ++last) {
    visitors.push_back("127.0.0." + std::to_string(last));
    ASSERT_EQ(probe(visitors.back().c_str(), port).status, 200) << m_nginx->log();
    const int instance = instanceOf(visitors.back());
    ASSERT_GE(instance, 0);
    serves[std::size_t(instance)] = true;
  }
  ASSERT_TRUE(serves[0] && serves[1]) << "every visitor went to one instance";

  EXPECT_EQ(m_instances[0]->stop(), 0);
  for (const std::string& visitor : visitors) {
    int status = probe(visitor.c_str(), port).status;
    if (status != 200) status = probe(visitor.c_str(), port).status;
    EXPECT_EQ(status, 200) << visitor << "\n" << m_nginx->log();
  }
}

}  // namespace
