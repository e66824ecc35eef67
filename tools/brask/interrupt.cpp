// SPDX-License-Identifier: MIT
#include "tools/brask/interrupt.h"

#include <csignal>

namespace brask {
namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) { g_interrupted.store(true); }

}  // namespace

void InstallInterruptHandler() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

const std::atomic<bool>& InterruptRequested() { return g_interrupted; }

}  // namespace brask
