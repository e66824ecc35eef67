// SPDX-License-Identifier: MIT
// Timing for the chrono-timed benchmarks of the Windows builds (no Google Benchmark there).
#pragma once

#include <chrono>
#include <cstddef>

namespace bench {

// Seconds one run of `run` takes, averaged over a turn: runs it until `turn` has passed.
template <class Run>
double SecondsPerRun(Run run, std::chrono::milliseconds turn) {
  using Clock = std::chrono::steady_clock;
  size_t repeats = 0;
  const Clock::time_point start = Clock::now();
  Clock::duration spent{};
  do {
    run();
    ++repeats;
    spent = Clock::now() - start;
  } while (spent < turn);
  return std::chrono::duration<double>(spent).count() / static_cast<double>(repeats);
}

}  // namespace bench
