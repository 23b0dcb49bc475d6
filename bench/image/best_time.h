#pragma once
// The best of several runs: the least disturbed measurement on a shared machine.
#include <algorithm>
#include <chrono>
#include <functional>

inline double bestSeconds(int runs, const std::function<void()>& work) {
  using Clock = std::chrono::steady_clock;
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

// The same, timing only work: prepare runs before each run, untimed.
inline double bestSeconds(int runs, const std::function<void()>& prepare,
                          const std::function<void()>& work) {
  using Clock = std::chrono::steady_clock;
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}
