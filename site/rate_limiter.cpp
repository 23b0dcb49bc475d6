#include "site/rate_limiter.h"

#include <algorithm>

namespace site {

RateLimiter::RateLimiter(unsigned burst, std::chrono::milliseconds refill, std::size_t maxTracked)
    : m_burst(std::max(1u, burst)),
      m_refill(std::max(std::chrono::milliseconds(1), refill)),
      m_maxTracked(std::max<std::size_t>(1, maxTracked)) {}

void RateLimiter::refillBucket(Bucket& bucket, Clock::time_point now) const {
  if (now <= bucket.lastRefill) return;
  const auto earned = (now - bucket.lastRefill) / m_refill;
  if (bucket.tokens + earned >= m_burst) {
    bucket.tokens = m_burst;
    bucket.lastRefill = now;
  } else {
    bucket.tokens += unsigned(earned);
    // Keep the part of an interval already served so refills stay on schedule.
    bucket.lastRefill += earned * m_refill;
  }
}

void RateLimiter::forgetFullBuckets(Clock::time_point now) {
  // A full bucket says nothing a new bucket would not, so it can go.
  for (auto it = m_buckets.begin(); it != m_buckets.end();) {
    refillBucket(it->second, now);
    it = it->second.tokens >= m_burst ? m_buckets.erase(it) : std::next(it);
  }
  m_lastSweep = now;
}

RateLimiter::Decision RateLimiter::take(const std::string& key, Clock::time_point now) {
  std::lock_guard lock(m_mutex);
  auto it = m_buckets.find(key);
  if (it == m_buckets.end()) {
    // Sweep at most once per refill interval so a flood of new addresses
    // cannot turn every request into a walk over the whole table.
    if (m_buckets.size() >= m_maxTracked && now - m_lastSweep >= m_refill) forgetFullBuckets(now);
    if (m_buckets.size() >= m_maxTracked) return {false, m_refill};
    it = m_buckets.emplace(key, Bucket{m_burst, now}).first;
  }
  Bucket& bucket = it->second;
  refillBucket(bucket, now);
  if (bucket.tokens == 0) {
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(bucket.lastRefill + m_refill - now);
    return {false, std::max(std::chrono::milliseconds(1), wait)};
  }
  if (bucket.tokens == m_burst)
    bucket.lastRefill = now;  // the refill clock starts with the first token spent
  --bucket.tokens;
  return {true, std::chrono::milliseconds(0)};
}

std::size_t RateLimiter::trackedCount() const {
  std::lock_guard lock(m_mutex);
  return m_buckets.size();
}

}  // namespace site
