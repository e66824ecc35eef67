// SPDX-License-Identifier: MIT
// The answer comes from cpuid once per process: in a virtual machine one cpuid costs about
// 2.8 us (a trap to the hypervisor), as much as decoding a small sprite. The cache is one
// word written with a relaxed atomic store: every thread computes the same value, so a race
// only repeats the question, and nothing needs a C runtime or a lock.
#include "codec/cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

constexpr unsigned kKnown = 1u << 0;
constexpr unsigned kSse2 = 1u << 1;
constexpr unsigned kSsse3 = 1u << 2;
constexpr unsigned kAvx2 = 1u << 3;
#if defined(__i386__) || defined(__x86_64__)
// XCR0: the system saves the SSE and the AVX registers.
constexpr unsigned kXmmAndYmmState = 0x6;

// The processor's AVX2 bit alone is not enough: a system that does not save the 256-bit
// registers makes every AVX instruction fault.
bool SystemSavesYmm(unsigned leaf1_ecx) {
  if ((leaf1_ecx & bit_OSXSAVE) == 0 || (leaf1_ecx & bit_AVX) == 0) return false;
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__ volatile("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  return (xcr0_low & kXmmAndYmmState) == kXmmAndYmmState;
}
#endif

unsigned AskProcessor() {
  unsigned features = kKnown;
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
    if ((edx & bit_SSE2) != 0) features |= kSse2;
    if ((ecx & bit_SSSE3) != 0) features |= kSsse3;
    const bool ymm_saved = SystemSavesYmm(ecx);
    if (ymm_saved && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 &&
        (ebx & bit_AVX2) != 0) {
      features |= kAvx2;
    }
  }
#endif
  return features;
}

unsigned Features() {
  static unsigned cached = 0;  // constant-initialised: no guard, no runtime call
  unsigned features = __atomic_load_n(&cached, __ATOMIC_RELAXED);
  if (features == 0) {
    features = AskProcessor();
    __atomic_store_n(&cached, features, __ATOMIC_RELAXED);
  }
  return features;
}

}  // namespace

bool CpuHasSse2() { return (Features() & kSse2) != 0; }
bool CpuHasSsse3() { return (Features() & kSsse3) != 0; }
bool CpuHasAvx2() { return (Features() & kAvx2) != 0; }
