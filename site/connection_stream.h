#pragma once
// One accepted connection seen as the HTTP library's Stream, with the limits
// that keep a slow or oversized client from holding a worker: a deadline for
// each whole request, a bound on each write, a cap on the request head, and a
// body that can only be read as far as its framing allows.

#include "site/body_framing.h"
#include "site/ip_address.h"
#include "posix/uniquefd.h"

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>

namespace site {

class StopSignal;

class ConnectionStream final : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  struct Limits {
    std::size_t maxHeadBytes = 16 * 1024;
    // The most a chunked body may take on the wire, its framing included.
    std::size_t maxBodyBytes = 4 * 1024;
    // Time to receive one whole request, and the bound on each write.
    std::chrono::milliseconds clientTimeout{10000};
  };

  // `fd` is non-blocking.
  ConnectionStream(UniqueFd fd, IpAddress peer, int peerPort, Limits limits,
                   const StopSignal& stop);
  ConnectionStream(const ConnectionStream&) = delete;
  ConnectionStream& operator=(const ConnectionStream&) = delete;

  // Waits up to `idle` for the next request to start (or the peer to close).
  // `giveUp` is asked every few milliseconds; true ends the wait (other
  // connections are waiting for this worker).
  bool waitForRequest(std::chrono::milliseconds idle, const std::function<bool()>& giveUp);
  // Starts the clock and the head count for the next request. The first
  // request's time limit counts from when the connection reached a worker,
  // so waiting to send the first byte gains a slow client nothing.
  void beginRequest(bool firstOnConnection);

  // The head is read: the body may now be read as `framing` says, and not a
  // byte further. Past its end a body without a length reads as ended, and
  // a chunked one as too large.
  void beginBody(const BodyFraming& framing);
  // Reads away what the handlers left of a body of known length. False when
  // the connection cannot carry another request: that rest did not come, or
  // a chunked body was never read, so where the next request starts is unknown.
  bool finishBody();

  bool headTooLarge() const { return m_headTooLarge; }
  bool bodyTooLarge() const { return m_bodyTooLarge; }
  // True while the request line itself was still being read.
  bool inRequestLine() const { return !m_requestLineDone; }
  bool timedOut() const { return m_timedOut; }
  bool requestStarted() const { return m_headBytes > 0; }
  std::size_t bytesWrittenThisRequest() const { return m_writtenThisRequest; }
  Clock::time_point requestStart() const { return m_requestStart; }
  const IpAddress& peer() const { return m_peer; }

  // Sends our side's end, reads what the client still had in flight for a
  // moment (so an error answer is not lost to a reset), and closes.
  void closeGracefully(bool clientMayStillBeSending);

  // httplib::Stream
  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, std::size_t size) override;
  ssize_t write(const char* ptr, std::size_t size) override;
  using httplib::Stream::write;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return m_fd.get(); }

 private:
  // Refills the buffer; false on end of stream, timeout, stop or error.
  bool fill();
  // Waits for `events` until `deadline` or the stop signal.
  bool waitUntil(short events, Clock::time_point deadline) const;
  std::size_t countHeadBytes(const char* data, std::size_t size);
  std::size_t bodyLeft() const;

  UniqueFd m_fd;
  IpAddress m_peer;
  int m_peerPort;
  Limits m_limits;
  const StopSignal& m_stop;

  std::array<char, 4096> m_buffer{};
  std::size_t m_begin = 0;
  std::size_t m_end = 0;

  const Clock::time_point m_connectionStart = Clock::now();
  Clock::time_point m_requestStart{};
  Clock::time_point m_readDeadline{};
  std::size_t m_headBytes = 0;
  bool m_inHead = true;
  bool m_requestLineDone = false;
  unsigned m_headTail = 0;  // how much of "\r\n\r\n" the head ends with so far
  bool m_headTooLarge = false;
  BodyFraming m_body;
  std::size_t m_bodyRead = 0;
  bool m_bodyTooLarge = false;
  bool m_timedOut = false;
  bool m_failed = false;
  std::size_t m_writtenThisRequest = 0;
};

}  // namespace site
