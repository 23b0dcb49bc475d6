#pragma once
// A small web site on 127.0.0.1 for the browser tests: a test page with a
// form, its result page, a page that tries to open a pop-up, and a missing
// page. It records every path it was asked for.
#include <httplib.h>

#include <QString>
#include <QStringList>
#include <mutex>
#include <thread>

class TestSite {
 public:
  // The public address the result page says it tested.
  static constexpr const char* kAddressTested = "198.51.100.7";

  TestSite() {
    m_server.Get("/port_test.php",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   record(request);
                   response.set_content(
                       "<html><head><title>Port test</title></head><body>"
                       "<a id='help' href='/help'>help</a>"
                       "<form method='post' action='/port_test.php'>"
                       "<input type='hidden' name='token' value='t1'>"
                       "<input type='text' name='port' id='portfield' value=''>"
                       "<input type='submit' name='go' id='checkbutton' value='Check Port'>"
                       "</form>"
                       "<form><input type='text' id='other' name='other'></form>"
                       "</body></html>",
                       "text/html");
                 });
    m_server.Post("/port_test.php", [this](const httplib::Request& request,
                                           httplib::Response& response) {
      record(request);
      {
        std::lock_guard lock(m_mutex);
        m_submittedPort = QString::fromStdString(request.get_param_value("port"));
      }
      response.set_content(
          "<html><body><p id='result'>Result for " + request.get_param_value("port") +
              "</p><dl><dt>Address tested</dt><dd>" + kAddressTested + "</dd></dl></body></html>",
          "text/html");
    });
    m_server.Get("/popup", [this](const httplib::Request& request, httplib::Response& response) {
      record(request);
      response.set_content(
          "<html><body><button id='opener' "
          "onclick=\"window.open('/elsewhere','_blank')\">open</button>"
          "<script>alert('quiet please'); console.log('quiet');</script></body></html>",
          "text/html");
    });
    m_server.Get("/elsewhere",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   record(request);
                   response.set_content("<html><body>pop-up</body></html>", "text/html");
                 });
    m_server.set_error_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
          record(request);
          response.set_content("<html><body>No such page</body></html>", "text/html");
        });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    // The socket already listens; early connections wait for the accept loop.
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
  }

  ~TestSite() {
    m_server.stop();
    if (m_thread.joinable()) m_thread.join();
  }

  TestSite(const TestSite&) = delete;
  TestSite& operator=(const TestSite&) = delete;

  QString url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
  }
  int port() const { return m_port; }

  QStringList requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
  }
  QString submittedPort() const {
    std::lock_guard lock(m_mutex);
    return m_submittedPort;
  }

 private:
  void record(const httplib::Request& request) {
    std::lock_guard lock(m_mutex);
    m_requests << QString::fromStdString(request.method + " " + request.path);
  }

  httplib::Server m_server;
  std::thread m_thread;
  int m_port = 0;
  mutable std::mutex m_mutex;
  QStringList m_requests;
  QString m_submittedPort;
};
