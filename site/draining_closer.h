#pragma once
// Closes connections that already have their answer, many at once and without
// waiting on any one of them. Each is read away for a short while first:
// closing with unread input makes the kernel send a reset, which can destroy
// an answer the client has not read yet.

#include "posix/uniquefd.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <vector>

namespace site {

class StopSignal;

class DrainingCloser {
 public:
  using Clock = std::chrono::steady_clock;

  struct Limits {
    std::size_t maxConnections = 512;
    std::chrono::milliseconds linger{250};
    std::size_t maxDrainBytes = 64 * 1024;
  };

  DrainingCloser(const StopSignal& stop, Limits limits);
  DrainingCloser(const DrainingCloser&) = delete;
  DrainingCloser& operator=(const DrainingCloser&) = delete;

  // Takes `fd`, whose answer is sent, and ends our side of it. Never waits:
  // when already holding its maximum, it closes the connection at once.
  void add(UniqueFd connection);
  // Closes what it holds as each client goes quiet or its time runs out,
  // until the stop signal; what is left is closed with the closer.
  void run();

 private:
  struct Lingering {
    UniqueFd fd;
    Clock::time_point until;
    std::size_t drained = 0;
  };

  void takeArrivals();
  // Reads what is waiting; true once the connection is done with.
  bool drain(Lingering& connection);
  Clock::time_point soonestEnd() const;

  const StopSignal& m_stop;
  Limits m_limits;
  UniqueFd m_wakeFd;
  std::mutex m_mutex;
  std::vector<UniqueFd> m_arrived;
  std::atomic<std::size_t> m_held{0};
  std::vector<Lingering> m_lingering;  // only run() touches it
};

}  // namespace site
