#pragma once
// Probes allowed per visitor: a bucket of `burst` tokens that refills one token
// every `refill` interval. Thread-safe; time is passed in so tests can drive it.

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace site {

class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  struct Decision {
    bool allowed = false;
    // When refused: how long until the next token.
    std::chrono::milliseconds retryAfter{0};
  };

  RateLimiter(unsigned burst, std::chrono::milliseconds refill, std::size_t maxTracked = 100000);

  // Takes one token for `key` if there is one.
  Decision take(const std::string& key, Clock::time_point now);
  std::size_t trackedCount() const;

 private:
  struct Bucket {
    unsigned tokens = 0;
    Clock::time_point lastRefill;
  };

  void refillBucket(Bucket& bucket, Clock::time_point now) const;
  void forgetFullBuckets(Clock::time_point now);

  const unsigned m_burst;
  const std::chrono::milliseconds m_refill;
  const std::size_t m_maxTracked;
  mutable std::mutex m_mutex;
  std::unordered_map<std::string, Bucket> m_buckets;
  Clock::time_point m_lastSweep{};
};

}  // namespace site
