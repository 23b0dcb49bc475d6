#pragma once
// The best of several runs: the least disturbed measurement on a shared machine.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

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

// Two contenders measured in turns, each run prepared untimed, in the CPU time
// of this thread: whatever else the machine does then weighs on both alike.
// Only for work done on the calling thread. Returns the best of each.
inline std::pair<double, double> bestThreadSecondsInTurns(int runs,
                                                          const std::function<void()>& prepareA,
                                                          const std::function<void()>& workA,
                                                          const std::function<void()>& prepareB,
                                                          const std::function<void()>& workB) {
  const auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  };
  double bestA = 1e30, bestB = 1e30;
  for (int i = 0; i < runs; ++i) {
    prepareA();
    double start = now();
    workA();
    bestA = std::min(bestA, now() - start);
    prepareB();
    start = now();
    workB();
    bestB = std::min(bestB, now() - start);
  }
  return {bestA, bestB};
}
