#pragma once
// One accepted connection as a buffer of received bytes, with the limits that
// keep a slow or oversized client from holding a worker: a deadline for each
// whole request, a bound on each write, caps on the request line and the head,
// and a body that can only be read as far as its framing allows.

#include "site/body_framing.h"
#include "site/ip_address.h"
#include "posix/uniquefd.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace site {

class StopSignal;

class ConnectionStream {
 public:
  using Clock = std::chrono::steady_clock;

  struct Limits {
    std::size_t maxHeadBytes = 16 * 1024;
    // The request line alone, its line end included.
    std::size_t maxRequestLineBytes = 8 * 1024;
    // The most a chunked body may take on the wire, its framing included.
    std::size_t maxBodyBytes = 4 * 1024;
    // Time to receive one whole request, and the bound on each write.
    std::chrono::milliseconds clientTimeout{10000};
    // The most one read takes off the socket (small reads split every head).
    std::size_t readBytes = 4096;
  };

  // `fd` is non-blocking.
  ConnectionStream(UniqueFd fd, IpAddress peer, Limits limits, const StopSignal& stop);
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

  // The head so far: what is received and not yet consumed, cut where the
  // limits say a head cannot go on (so a head over them never looks whole).
  // Nothing is consumed before the head is whole.
  std::string_view headWindow() const;
  // Receives more of the head; false when it cannot go on: over a limit
  // (headTooLarge()), out of time, stopped or ended by the client.
  bool receiveHead();

  // The head is read: the body may now be read as `framing` says, and not a byte further.
  void beginBody(const BodyFraming& framing);
  // The part of what is received that the body's framing still allows.
  std::string_view bodyWindow() const;
  // Receives more of the body; false over the limit of a chunked body
  // (bodyTooLarge()), out of time, stopped or ended by the client.
  bool receiveBody();

  // Takes `count` bytes of the head or the body off the front of what is received.
  void consume(std::size_t count);

  bool headTooLarge() const { return m_headTooLarge; }
  bool bodyTooLarge() const { return m_bodyTooLarge; }
  // True while the request line itself was still being read.
  bool inRequestLine() const { return !m_requestLineDone; }
  bool timedOut() const { return m_timedOut; }
  // Some of this request has been received.
  bool requestStarted() const { return m_requestStarted; }
  std::size_t bytesWrittenThisRequest() const { return m_writtenThisRequest; }
  Clock::time_point requestStart() const { return m_requestStart; }
  const IpAddress& peer() const { return m_peer; }

  // Sends all of `data` within the client time limit; false if it could not.
  bool write(std::string_view data);

  // Sends our side's end, reads what the client still had in flight for a
  // moment (so an error answer is not lost to a reset), and closes.
  void closeGracefully(bool clientMayStillBeSending);

 private:
  std::string_view received() const { return {m_buffer.data() + m_begin, m_end - m_begin}; }
  // Whether the first line of `head` ends within the request line's limit.
  bool requestLineEndsWithin(std::string_view head) const;
  // Appends what the client sent next; false on end of stream, timeout, stop or error.
  bool receive();
  // Waits for `events` until `deadline` or the stop signal.
  bool waitUntil(short events, Clock::time_point deadline) const;
  std::size_t bodyLeft() const;

  UniqueFd m_fd;
  IpAddress m_peer;
  Limits m_limits;
  const StopSignal& m_stop;

  // Holds a whole head, or a body's window, with room to receive more.
  std::vector<char> m_buffer;
  std::size_t m_begin = 0;
  std::size_t m_end = 0;

  const Clock::time_point m_connectionStart = Clock::now();
  Clock::time_point m_requestStart{};
  Clock::time_point m_readDeadline{};
  bool m_requestStarted = false;
  bool m_requestLineDone = false;
  bool m_headTooLarge = false;
  BodyFraming m_body;
  std::size_t m_bodyRead = 0;
  bool m_inBody = false;
  bool m_bodyTooLarge = false;
  bool m_timedOut = false;
  bool m_failed = false;
  std::size_t m_writtenThisRequest = 0;
};

}  // namespace site
