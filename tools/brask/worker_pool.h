// SPDX-License-Identifier: MIT
// Runs a batch's jobs on several threads at once: each worker takes the next job until none
// is left or Ctrl-C was pressed. Shared by `brask convert` and `brask encode`.
#pragma once

#include <cstddef>
#include <functional>

namespace brask {

// Calls run(i) once for each i below count that is taken before an interruption, on up to
// `workers` threads (the calling thread among them), and returns when all are done.
void RunOnWorkers(size_t count, unsigned workers, const std::function<void(size_t)>& run);

}  // namespace brask
