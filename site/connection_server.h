#pragma once
// The transport under the site: one listening socket, an accept loop, a fixed
// pool of workers fed by a bounded queue, and an answer of 503 at once for
// what does not fit, instead of letting it wait without end. Each worker
// serves one connection at a time: it reads each request with RequestReader
// under the limits of ConnectionStream, routes it, answers and logs it.

#include "site/draining_closer.h"
#include "site/ip_address.h"
#include "site/site_options.h"
#include "site/site_request.h"
#include "posix/uniquefd.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace site {

class StopSignal;
class ConnectionStream;
struct HttpRequest;

struct ServerLimits {
  unsigned workers = 96;
  unsigned maxQueue = 256;
  unsigned maxConnectionsPerAddress = 16;
  // Connections from this address (a trusted proxy) are not counted per address.
  std::optional<IpAddress> exemptAddress;
  std::chrono::milliseconds clientTimeout{10000};
  std::size_t maxHeadBytes = kMaxHeadBytes;
  std::size_t maxBodyBytes = kMaxBodyBytes;
  std::chrono::milliseconds keepAliveIdle{2000};
  unsigned maxRequestsPerConnection = 100;
};

class ConnectionServer {
 public:
  // Makes the body of an error answer that a handler left empty.
  // `why` is empty, "busy" or "too-many-connections".
  using ErrorPageMaker = std::function<std::string(int status, std::string_view why)>;

  ConnectionServer(ServerLimits limits, const StopSignal& stop, ErrorPageMaker errorPage);
  ~ConnectionServer();
  ConnectionServer(const ConnectionServer&) = delete;
  ConnectionServer& operator=(const ConnectionServer&) = delete;

  // The pages served, set once before run(). Each request's handler gets
  // the record of its log line; the line is written after the answer.
  void setRoutes(std::vector<Route> routes);

  // Binds and listens; on failure returns false and says why in `error`.
  bool listen(const IpAddress& address, int port, std::string& error);
  std::uint16_t port() const { return m_port; }

  // Serves until the stop signal is raised, then lets the workers finish
  // their current request and returns.
  void run();

 private:
  struct Accepted {
    UniqueFd fd;
    IpAddress peer;
    bool counted = false;
  };
  enum class Refusal { Busy, TooManyFromAddress };
  // What becomes of a connection after a request.
  enum class Next { ServeAnother, Close, CloseDraining };

  void acceptLoop();
  void dispatch(UniqueFd fd, const IpAddress& peer);
  void workerLoop();
  void serveConnection(Accepted& connection);
  Next serveRequest(ConnectionStream& stream, RequestRecord& record, bool closeAfter);
  Answer route(const HttpRequest& request, const IpAddress& peer, RequestRecord& record) const;
  // Answers a request cut off or refused before it reached a handler, and logs
  // it; `status` 0 (the client went away, or the site is stopping) answers nothing.
  Next refuseRequest(ConnectionStream& stream, const HttpRequest& request, RequestRecord& record,
                     int status);
  bool answer(ConnectionStream& stream, const HttpRequest& request, RequestRecord& record,
              Answer reply, bool closing);
  void refuse(UniqueFd fd, const IpAddress& peer, Refusal why);
  void releaseAddress(const Accepted& connection);
  void logRefusal(const IpAddress& peer, int status, const char* verdict);

  ServerLimits m_limits;
  const StopSignal& m_stop;
  ErrorPageMaker m_errorPage;
  std::vector<Route> m_routes;
  DrainingCloser m_refusedCloser;
  UniqueFd m_listenFd;
  std::uint16_t m_port = 0;

  std::mutex m_mutex;
  std::condition_variable m_workAvailable;
  std::deque<Accepted> m_queue;
  std::map<std::string, unsigned> m_perAddress;
  std::atomic<unsigned> m_waiting{0};
  bool m_stopping = false;
};

}  // namespace site
