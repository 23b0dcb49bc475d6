#include "site/connection_server.h"

#include "site/answer_writer.h"
#include "site/body_framing.h"
#include "site/connection_stream.h"
#include "site/form_fields.h"
#include "site/header_text.h"
#include "site/request_log.h"
#include "site/request_reader.h"
#include "site/stop_signal.h"
#include "posix/pollwait.h"

#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace site {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DrainingCloser::Limits kRefusedClosing{512, std::chrono::milliseconds(250), 64 * 1024};
constexpr std::chrono::milliseconds kAcceptBackoff{10};
constexpr char kHtml[] = "text/html; charset=utf-8";

// After these the input may be out of step with the requests (an unread body,
// a cut-off head), so the connection ends after the answer.
bool endsConnection(int status) {
  return status == 400 || status == 408 || status == 413 || status == 414 || status == 415 ||
         status == 431;
}

// The answer to a request that could not be read whole, or 0 when none is
// owed (nothing of it came, or the client went away within its first line).
int cutOffStatus(const ConnectionStream& stream) {
  if (stream.headTooLarge()) return stream.inRequestLine() ? 414 : 431;
  if (stream.bodyTooLarge()) return 413;
  if (stream.timedOut()) return 408;
  // A client that ended its side midway may still read why it was not served.
  if (stream.requestStarted() && !stream.inRequestLine()) return 400;
  return 0;
}

const char* cutOffVerdict(int status) {
  switch (status) {
    case 408:
      return "timeout";
    case 413:
    case 414:
    case 431:
      return "too-large";
    default:
      return nullptr;
  }
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

// A client that asks before sending its body is told to go on only once the
// head has passed every check; an HTTP/1.0 client never waits for that.
bool expectsContinue(const HttpRequest& request) {
  const std::string* expect = request.headers.find("Expect");
  return request.version >= 11 && expect &&
         sameIgnoringCase(trimmedHeaderValue(*expect), "100-continue");
}

// The query's fields, then those of a form body.
FormFields fieldsOf(const HttpRequest& request) {
  FormFields fields;
  addFields(request.query, fields);
  const std::string* type = request.headers.find("Content-Type");
  if (type && isFormContentType(*type)) addFields(request.body, fields);
  return fields;
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
    dispatch(std::move(fd), *peer);
  }
}

void ConnectionServer::dispatch(UniqueFd fd, const IpAddress& peer) {
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
  m_queue.push_back({std::move(fd), peer, !exempt});
  ++m_waiting;
  lock.unlock();
  m_workAvailable.notify_one();
}

void ConnectionServer::workerLoop() {
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
    serveConnection(connection);
    releaseAddress(connection);
  }
}

void ConnectionServer::releaseAddress(const Accepted& connection) {
  if (!connection.counted) return;
  std::lock_guard lock(m_mutex);
  auto it = m_perAddress.find(connection.peer.visitorKey());
  if (it != m_perAddress.end() && --it->second == 0) m_perAddress.erase(it);
}

void ConnectionServer::serveConnection(Accepted& connection) {
  ConnectionStream::Limits limits;
  limits.maxHeadBytes = m_limits.maxHeadBytes;
  limits.maxBodyBytes = m_limits.maxBodyBytes;
  limits.clientTimeout = m_limits.clientTimeout;
  ConnectionStream stream(std::move(connection.fd), connection.peer, limits, m_stop);
  RequestRecord record;

  Next next = Next::Close;
  const auto othersWaiting = [this] { return m_waiting.load() > 0; };
  for (unsigned served = 0; served < m_limits.maxRequestsPerConnection; ++served) {
    const auto idle = served == 0 ? m_limits.clientTimeout : m_limits.keepAliveIdle;
    // A fresh connection has sent nothing yet, so it cannot give way to others.
    if (!stream.waitForRequest(idle, served == 0 ? std::function<bool()>() : othersWaiting)) {
      next = Next::Close;
      break;
    }
    stream.beginRequest(served == 0);
    record = RequestRecord{};
    record.requester = connection.peer.text();
    record.start = stream.requestStart();
    // With others waiting for a worker, this one is handed on after the answer.
    const bool closeAfter =
        served + 1 == m_limits.maxRequestsPerConnection || othersWaiting() || m_stop.raised();
    next = serveRequest(stream, record, closeAfter);
    if (next != Next::ServeAnother) break;
  }
  stream.closeGracefully(next == Next::CloseDraining);
}

ConnectionServer::Next ConnectionServer::serveRequest(ConnectionStream& stream,
                                                      RequestRecord& record, bool closeAfter) {
  HttpRequest request;
  RequestReader reader(stream);
  const RequestReader::Result head = reader.readHead(request);
  if (head == RequestReader::Result::BadFraming) record.verdict = "bad-body";
  if (head != RequestReader::Result::Read)
    return refuseRequest(stream, request, record,
                         head == RequestReader::Result::CutOff ? cutOffStatus(stream) : 400);

  const BodyFraming framing = frameBody(request.headers, m_limits.maxBodyBytes);
  if (framing.kind == BodyFraming::Kind::Refused) {
    record.verdict = "bad-body";
    return refuseRequest(stream, request, record, framing.status);
  }
  if (framing.kind != BodyFraming::Kind::None && expectsContinue(request) &&
      !stream.write(kContinueAnswer))
    return Next::Close;
  stream.beginBody(framing);
  // Only a form's handler reads a body. Any other is read away after the
  // answer, so that it is never taken for the next request.
  const bool bodyFirst = request.method == "POST";
  if (bodyFirst) {
    const RequestReader::Result body = reader.readBody(request);
    if (body != RequestReader::Result::Read)
      return refuseRequest(stream, request, record,
                           body == RequestReader::Result::CutOff ? cutOffStatus(stream) : 400);
  }

  Answer reply = route(request, stream.peer(), record);
  const bool unreadChunks = !bodyFirst && framing.kind == BodyFraming::Kind::Chunked;
  const bool closing =
      closeAfter || !request.keepAlive || endsConnection(reply.status) || unreadChunks;
  if (!answer(stream, request, record, std::move(reply), closing)) return Next::Close;
  // Where a chunked body nobody wanted ends is not worth waiting for: it may never end.
  if (endsConnection(record.status) || unreadChunks) return Next::CloseDraining;
  if (!bodyFirst && framing.kind == BodyFraming::Kind::Length &&
      reader.readBody(request) != RequestReader::Result::Read)
    return Next::CloseDraining;
  return closing ? Next::Close : Next::ServeAnother;
}

Answer ConnectionServer::route(const HttpRequest& request, const IpAddress& peer,
                               RequestRecord& record) const {
  const bool post = request.method == "POST";
  const bool get = request.method == "GET" || request.method == "HEAD";
  for (const Route& route : m_routes) {
    std::string tail;
    if (!matches(route, request.path, tail)) continue;
    if (!get && !(post && route.methods == Route::Methods::GetAndPost)) {
      // A page that exists but not for this method says which methods it takes.
      record.verdict = "bad-method";
      return {405,
              {},
              {},
              {{"Allow",
                route.methods == Route::Methods::GetAndPost ? "GET, HEAD, POST" : "GET, HEAD"}}};
    }
    const FormFields fields = fieldsOf(request);
    // The peer is the connection's own (the socket's), never taken from a header.
    const SiteRequest siteRequest{request.method, request.path,
                                  fields,         std::move(tail),
                                  peer.text(),    request.headers.all("X-Forwarded-For")};
    return route.handler(siteRequest, record);
  }
  return {404, {}, {}, {}};  // the error page is added with the answer
}

ConnectionServer::Next ConnectionServer::refuseRequest(ConnectionStream& stream,
                                                       const HttpRequest& request,
                                                       RequestRecord& record, int status) {
  if (status == 0) return Next::Close;
  if (const char* verdict = cutOffVerdict(status)) record.verdict = verdict;
  answer(stream, request, record, Answer{status, {}, {}, {}}, true);
  return Next::CloseDraining;
}

bool ConnectionServer::answer(ConnectionStream& stream, const HttpRequest& request,
                              RequestRecord& record, Answer reply, bool closing) {
  if (reply.status >= 400 && reply.body.empty()) {
    reply.body = m_errorPage(reply.status, {});
    reply.contentType = kHtml;
  }
  AnswerFraming framing;
  framing.closing = closing;
  framing.headOnly = request.method == "HEAD";
  framing.idleSeconds = unsigned(std::max<long long>(
      1, std::chrono::duration_cast<std::chrono::seconds>(m_limits.keepAliveIdle).count()));
  framing.maxRequests = m_limits.maxRequestsPerConnection;
  const bool sent = stream.write(answerText(reply, framing));
  record.status = reply.status;
  writeLogLine(formatLogLine(std::chrono::system_clock::now(), record.requester, request.method,
                             request.path, reply.status, record.port, record.verdict,
                             since(record.start)));
  return sent;
}

void ConnectionServer::refuse(UniqueFd fd, const IpAddress& peer, Refusal why) {
  // Answered at once, before the request is read and without waiting on the
  // client, so that no number of silent connections can delay the answer to
  // another. A fresh connection's send buffer takes this small answer whole.
  const char* verdict = why == Refusal::Busy ? "busy" : "too-many-connections";
  AnswerFraming framing;
  framing.closing = true;
  const std::string response =
      answerText(Answer{503, kHtml, m_errorPage(503, verdict), {{"Retry-After", "1"}}}, framing);
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
