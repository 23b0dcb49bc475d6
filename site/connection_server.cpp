#include "site/connection_server.h"

#include "site/body_framing.h"
#include "site/connection_stream.h"
#include "site/request_log.h"
#include "site/stop_signal.h"
#include "posix/pollwait.h"

#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace site {

// Exposes the library's request processing for a stream we own, so that the
// accept loop, the queue and the time limits stay in our hands.
class ConnectionServer::HttpFront : public httplib::Server {
 public:
  bool serveOne(httplib::Stream& stream, bool closeAfter, bool& connectionClosed) {
    // The pages are small and made afresh for each request, so a Range is
    // ignored: served, overlapping ranges multiply one page many times over.
    return process_request(stream, closeAfter, connectionClosed,
                           [](httplib::Request& req) { req.ranges.clear(); });
  }
};

// A worker and what it knows of the connection it is serving. The library's
// callbacks take only its request and response; each worker has a front of
// its own whose callbacks hold this by reference, so nothing passes between
// them through per-thread or process-wide state.
struct ConnectionServer::Worker {
  HttpFront http;
  ConnectionStream* stream = nullptr;
  bool closeAfter = false;
  RequestRecord record;
};

namespace {

using Clock = std::chrono::steady_clock;

constexpr DrainingCloser::Limits kRefusedClosing{512, std::chrono::milliseconds(250), 64 * 1024};
constexpr std::chrono::milliseconds kAcceptBackoff{10};

// After these the input may be out of step with the requests (an unread body,
// a cut-off head), so the connection ends after the answer.
bool endsConnection(int status) {
  return status == 400 || status == 408 || status == 413 || status == 414 || status == 415 ||
         status == 431;
}

// The answer to a request that our own limits cut off, or 0 when they did not.
int cutOffStatus(const ConnectionStream& stream) {
  if (stream.headTooLarge()) return stream.inRequestLine() ? 414 : 431;
  if (stream.bodyTooLarge()) return 413;
  if (stream.timedOut()) return 408;
  return 0;
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

std::string cannedResponse(int status, const std::string& body, bool retryLater) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
  response += "Content-Type: text/html; charset=utf-8\r\n";
  response += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (retryLater) response += "Retry-After: 1\r\n";
  response += "Connection: close\r\n\r\n";
  response += body;
  return response;
}

// Whether `path` is served by `route`; a prefix route's tail is one path segment.
bool matches(const Route& route, const std::string& path, std::string& tail) {
  if (route.match == Route::Match::Path) return path == route.path;
  if (path.compare(0, route.path.size(), route.path) != 0 ||
      path.find('/', route.path.size()) != std::string::npos)
    return false;
  tail = path.substr(route.path.size());
  return true;
}

void serveRoute(const Handler& handler, RequestRecord& record, std::string tail,
                const httplib::Request& req, httplib::Response& res) {
  // Read from the header map itself: the library's value getters hand back C
  // strings, which would end an entry such as "192.0.2.1<NUL>junk" at the NUL.
  std::vector<std::string> forwardedFor;
  const auto [first, last] = req.headers.equal_range("X-Forwarded-For");
  for (auto it = first; it != last; ++it) forwardedFor.push_back(it->second);
  // remote_addr comes from our own stream (the socket's peer), never from a header.
  const SiteRequest request{req.method,      req.path,        req.params,
                            std::move(tail), req.remote_addr, std::move(forwardedFor)};
  Answer answer = handler(request, record);
  res.status = answer.status;
  for (const auto& [name, value] : answer.headers) res.set_header(name, value);
  res.set_content(std::move(answer.body), answer.contentType);
}

std::chrono::milliseconds since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace

ConnectionServer::ConnectionServer(ServerLimits limits, const StopSignal& stop,
                                   ErrorPageMaker errorPage)
    : m_limits(std::move(limits)),
      m_stop(stop),
      m_errorPage(std::move(errorPage)),
      m_refusedCloser(stop, kRefusedClosing) {}

ConnectionServer::~ConnectionServer() = default;

void ConnectionServer::setRoutes(std::vector<Route> routes) { m_routes = std::move(routes); }

void ConnectionServer::configure(Worker& worker) const {
  httplib::Server& http = worker.http;
  http.set_payload_max_length(m_limits.maxBodyBytes);
  http.set_keep_alive_max_count(m_limits.maxRequestsPerConnection);
  http.set_keep_alive_timeout(std::max<time_t>(
      1, std::chrono::duration_cast<std::chrono::seconds>(m_limits.keepAliveIdle).count()));

  http.set_error_handler([this, &worker](const httplib::Request& req, httplib::Response& res) {
    // The library answers 400 when it could not read the head; say why
    // when our own limits cut it off.
    if (res.status == 400 && worker.stream) {
      if (const int status = cutOffStatus(*worker.stream); status != 0) res.status = status;
    }
    if (res.status == 413) worker.record.verdict = "too-large";
    // Ranges still set here were read before the site saw the request (the
    // library refuses a Range it cannot parse), and they would be applied
    // to this page: an empty answer leaves nothing to multiply.
    if (res.body.empty() && req.ranges.empty())
      res.set_content(m_errorPage(res.status, {}), "text/html; charset=utf-8");
    // The library itself says "close" when it was going to close anyway.
    if (endsConnection(res.status) && !worker.closeAfter &&
        req.get_header_value("Connection") != "close")
      res.set_header("Connection", "close");
  });

  installBodyRules(worker);
  installRoutes(worker);

  http.set_logger([&worker](const httplib::Request& req, const httplib::Response& res) {
    RequestRecord& record = worker.record;
    record.status = res.status;
    writeLogLine(formatLogLine(std::chrono::system_clock::now(), record.requester, req.method,
                               req.path, res.status, record.port, record.verdict,
                               since(record.start)));
  });
}

void ConnectionServer::installBodyRules(Worker& worker) const {
  const std::size_t maxBodyBytes = m_limits.maxBodyBytes;
  // Refused before the client is told to go on and send the body.
  worker.http.set_expect_100_continue_handler(
      [maxBodyBytes, &worker](const httplib::Request& req, httplib::Response& res) {
        const BodyFraming framing = frameBody(req.headers, maxBodyBytes);
        if (framing.kind != BodyFraming::Kind::Refused) return 100;
        worker.record.verdict = "bad-body";
        res.status = framing.status;
        return framing.status;
      });
  // Runs once the head is read and before any of the body is.
  worker.http.set_pre_routing_handler(
      [maxBodyBytes, &worker](const httplib::Request& req, httplib::Response& res) {
        const BodyFraming framing = frameBody(req.headers, maxBodyBytes);
        if (framing.kind == BodyFraming::Kind::Refused) {
          worker.record.verdict = "bad-body";
          res.status = framing.status;
          return httplib::Server::HandlerResponse::Handled;
        }
        if (worker.stream) worker.stream->beginBody(framing);
        return httplib::Server::HandlerResponse::Unhandled;
      });
}

void ConnectionServer::installRoutes(Worker& worker) const {
  worker.http.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                   {"Referrer-Policy", "no-referrer"},
                                   {"Cache-Control", "no-store"},
                                   {"Accept-Ranges", "none"}});
  // The routes are looked up here rather than given to the library one by
  // one: it would compile a regular expression per route for every worker.
  const auto dispatch = [this, &worker](const httplib::Request& req, httplib::Response& res) {
    const bool post = req.method == "POST";
    for (const Route& route : m_routes) {
      std::string tail;
      if ((post && route.methods != Route::Methods::GetAndPost) || !matches(route, req.path, tail))
        continue;
      serveRoute(route.handler, worker.record, std::move(tail), req, res);
      return;
    }
    res.status = 404;  // the error page comes from the error handler
  };
  worker.http.Get(".*", dispatch);
  worker.http.Post(".*", dispatch);
}

bool ConnectionServer::listen(const IpAddress& address, int port, std::string& error) {
  UniqueFd listener(socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  const int fd = listener.get();
  if (!listener) {
    error = std::string("cannot create a socket: ") + std::strerror(errno);
    return false;
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (!address.isV4()) {
    const int off = 0;  // "::" also serves IPv4 visitors
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  }
  sockaddr_storage bound{};
  const socklen_t length = address.toSockaddr(std::uint16_t(port), bound);
  if (bind(fd, reinterpret_cast<sockaddr*>(&bound), length) < 0 || ::listen(fd, SOMAXCONN) < 0) {
    error = "cannot serve on " + address.text() + " port " + std::to_string(port) + ": " +
            std::strerror(errno);
    return false;
  }
  socklen_t actualLength = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &actualLength);
  m_port = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                            : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
  m_listenFd = std::move(listener);
  return true;
}

void ConnectionServer::run() {
  std::vector<std::thread> workers;
  workers.reserve(m_limits.workers);
  for (unsigned i = 0; i < m_limits.workers; ++i) workers.emplace_back([this] { workerLoop(); });
  std::thread closer([this] { m_refusedCloser.run(); });

  acceptLoop();

  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_workAvailable.notify_all();
  for (auto& worker : workers) worker.join();
  closer.join();
  m_queue.clear();  // closes what was still waiting
}

void ConnectionServer::acceptLoop() {
  for (;;) {
    pollfd fds[2] = {{m_listenFd.get(), POLLIN, 0}, {m_stop.fd(), POLLIN, 0}};
    if (pollUntil(fds, kNoDeadline) < 0 || fds[1].revents != 0) return;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    UniqueFd fd(accept4(m_listenFd.get(), reinterpret_cast<sockaddr*>(&address), &length,
                        SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // Out of descriptors: give the workers a moment to free some
        // instead of spinning on a listening socket that stays readable.
        waitForEvents(m_stop.fd(), POLLIN, PollClock::now() + kAcceptBackoff);
      }
      continue;
    }
    const auto peer = IpAddress::fromSockaddr(reinterpret_cast<sockaddr*>(&address), length);
    if (!peer) continue;
    const int on = 1;
    setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const int peerPort =
        ntohs(address.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                                           : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    dispatch(std::move(fd), *peer, peerPort);
  }
}

void ConnectionServer::dispatch(UniqueFd fd, const IpAddress& peer, int peerPort) {
  std::unique_lock lock(m_mutex);
  const bool exempt = m_limits.exemptAddress && peer == *m_limits.exemptAddress;
  std::optional<Refusal> refusal;
  if (!exempt && m_perAddress[peer.visitorKey()] >= m_limits.maxConnectionsPerAddress)
    refusal = Refusal::TooManyFromAddress;
  else if (m_queue.size() >= m_limits.maxQueue)
    refusal = Refusal::Busy;

  if (refusal) {
    if (m_perAddress[peer.visitorKey()] == 0) m_perAddress.erase(peer.visitorKey());
    lock.unlock();
    refuse(std::move(fd), peer, *refusal);
    return;
  }
  if (!exempt) ++m_perAddress[peer.visitorKey()];
  m_queue.push_back({std::move(fd), peer, peerPort, !exempt});
  ++m_waiting;
  lock.unlock();
  m_workAvailable.notify_one();
}

void ConnectionServer::workerLoop() {
  const auto worker = std::make_unique<Worker>();
  configure(*worker);
  for (;;) {
    Accepted connection;
    {
      std::unique_lock lock(m_mutex);
      m_workAvailable.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
      if (m_stopping) return;
      connection = std::move(m_queue.front());
      m_queue.pop_front();
      --m_waiting;
    }
    serveConnection(*worker, connection);
    releaseAddress(connection);
  }
}

void ConnectionServer::releaseAddress(const Accepted& connection) {
  if (!connection.counted) return;
  std::lock_guard lock(m_mutex);
  auto it = m_perAddress.find(connection.peer.visitorKey());
  if (it != m_perAddress.end() && --it->second == 0) m_perAddress.erase(it);
}

void ConnectionServer::serveConnection(Worker& worker, Accepted& connection) {
  ConnectionStream stream(std::move(connection.fd), connection.peer, connection.peerPort,
                          {m_limits.maxHeadBytes, m_limits.maxBodyBytes, m_limits.clientTimeout},
                          m_stop);
  worker.stream = &stream;
  RequestRecord& record = worker.record;

  bool clientMayStillBeSending = false;
  const auto othersWaiting = [this] { return m_waiting.load() > 0; };
  for (unsigned served = 0; served < m_limits.maxRequestsPerConnection; ++served) {
    const auto idle = served == 0 ? m_limits.clientTimeout : m_limits.keepAliveIdle;
    // A fresh connection has sent nothing yet, so it cannot give way to others.
    if (!stream.waitForRequest(idle, served == 0 ? std::function<bool()>() : othersWaiting)) break;
    stream.beginRequest(served == 0);
    record = RequestRecord{};
    record.requester = connection.peer.text();
    record.start = stream.requestStart();

    // With others waiting for a worker, this one is handed on after the answer.
    const bool closeAfter =
        served + 1 == m_limits.maxRequestsPerConnection || othersWaiting() || m_stop.raised();
    worker.closeAfter = closeAfter;
    bool closedByClient = false;
    const bool answered = worker.http.serveOne(stream, closeAfter, closedByClient);
    if (!answered) {
      if (stream.requestStarted() && stream.bytesWrittenThisRequest() == 0) {
        if (const int status = cutOffStatus(stream); status != 0)
          writeCanned(stream, status, record);
        clientMayStillBeSending = true;
      }
      break;
    }
    if (endsConnection(record.status)) {
      clientMayStillBeSending = true;
      break;
    }
    // A body the handlers did not want is still the client's, not the next request.
    if (!stream.finishBody()) {
      clientMayStillBeSending = true;
      break;
    }
    if (closeAfter || closedByClient) break;
  }
  worker.stream = nullptr;
  stream.closeGracefully(clientMayStillBeSending);
}

void ConnectionServer::writeCanned(ConnectionStream& stream, int status,
                                   const RequestRecord& record) {
  const std::string response = cannedResponse(status, m_errorPage(status, {}), false);
  stream.write(response.data(), response.size());
  writeLogLine(formatLogLine(std::chrono::system_clock::now(), stream.peer().text(), "-", "-",
                             status, "-", status == 408 ? "timeout" : "too-large",
                             since(record.start)));
}

void ConnectionServer::refuse(UniqueFd fd, const IpAddress& peer, Refusal why) {
  // Answered at once, before the request is read and without waiting on the
  // client, so that no number of silent connections can delay the answer to
  // another. A fresh connection's send buffer takes this small answer whole.
  const char* verdict = why == Refusal::Busy ? "busy" : "too-many-connections";
  const std::string response = cannedResponse(503, m_errorPage(503, verdict), true);
  [[maybe_unused]] ssize_t sent =
      send(fd.get(), response.data(), response.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  logRefusal(peer, 503, verdict);
  m_refusedCloser.add(std::move(fd));
}

void ConnectionServer::logRefusal(const IpAddress& peer, int status, const char* verdict) {
  writeLogLine(formatLogLine(std::chrono::system_clock::now(), peer.text(), "-", "-", status, "-",
                             verdict, std::chrono::milliseconds(0)));
}

}  // namespace site
