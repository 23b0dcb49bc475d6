#include "site/rate_limiter.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using site::RateLimiter;

namespace {
const RateLimiter::Clock::time_point kStart{std::chrono::hours(1)};
}

TEST(RateLimiter, AllowsTheBurstThenRefuses) {
  RateLimiter limiter(3, 2000ms);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.take("a", kStart).allowed) << i;
  const auto refused = limiter.take("a", kStart);
  EXPECT_FALSE(refused.allowed);
  EXPECT_EQ(refused.retryAfter, 2000ms);
}

TEST(RateLimiter, RefillsOneTokenPerInterval) {
  RateLimiter limiter(2, 1000ms);
  limiter.take("a", kStart);
  limiter.take("a", kStart);
  EXPECT_FALSE(limiter.take("a", kStart + 999ms).allowed);
  EXPECT_EQ(limiter.take("a", kStart + 400ms).retryAfter, 600ms);
  EXPECT_TRUE(limiter.take("a", kStart + 1000ms).allowed);
  EXPECT_FALSE(limiter.take("a", kStart + 1500ms).allowed);
  // Refills keep their schedule: the next token is due at 2000 ms, not 2500 ms.
  EXPECT_TRUE(limiter.take("a", kStart + 2000ms).allowed);
}

TEST(RateLimiter, NeverHoldsMoreThanTheBurst) {
  RateLimiter limiter(2, 100ms);
  const auto later = kStart + 1h;
  limiter.take("a", kStart);
  EXPECT_TRUE(limiter.take("a", later).allowed);
  EXPECT_TRUE(limiter.take("a", later).allowed);
  EXPECT_FALSE(limiter.take("a", later).allowed);
}

TEST(RateLimiter, CountsEachVisitorApart) {
  RateLimiter limiter(1, 1000ms);
  EXPECT_TRUE(limiter.take("a", kStart).allowed);
  EXPECT_FALSE(limiter.take("a", kStart).allowed);
  EXPECT_TRUE(limiter.take("b", kStart).allowed);
}

TEST(RateLimiter, ForgetsIdleVisitorsWhenTheTableIsFull) {
  RateLimiter limiter(1, 1000ms, 2);
  EXPECT_TRUE(limiter.take("a", kStart).allowed);
  EXPECT_TRUE(limiter.take("b", kStart).allowed);
  // Both are still counting down: a third visitor cannot be tracked yet.
  EXPECT_FALSE(limiter.take("c", kStart).allowed);
  // Once their buckets are full again they are forgotten and room is made.
  EXPECT_TRUE(limiter.take("c", kStart + 1000ms).allowed);
  EXPECT_LE(limiter.trackedCount(), 2u);
}
