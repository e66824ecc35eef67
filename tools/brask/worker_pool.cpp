// SPDX-License-Identifier: MIT
#include "tools/brask/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "tools/brask/interrupt.h"

namespace brask {

void RunOnWorkers(size_t count, unsigned workers, const std::function<void(size_t)>& run) {
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (;;) {
      if (InterruptRequested().load()) return;
      const size_t index = next.fetch_add(1);
      if (index >= count) return;
      run(index);
    }
  };
  const size_t worker_count = std::max<size_t>(1, std::min<size_t>(workers, count));
  std::vector<std::thread> threads;
  for (size_t i = 1; i < worker_count; ++i) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
}

}  // namespace brask
