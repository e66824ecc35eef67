// SPDX-License-Identifier: MIT
// PDT decoding under the platform's fault switch: every allocation or lock failing in turn in
// every mode, and cancellation at each progress call; fresh-memory fills are in the
// whole-system sweep. The switch lives in the POSIX stand-in, so these run natively only.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/plugin_api.h"
#include "platform/fault_injection.h"
#include "formats/image_files.h"

#if !defined(_WIN32)
namespace {

using Bytes = std::vector<uint8_t>;
using platform::KernelCall;

// A value no handle ever has, so a test sees whether the decoder wrote the host's variable.
HLOCAL Sentinel() { return reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A50u)); }

struct Progress {
  int calls = 0;
  int cancel_at = 0;  // 1-based call that answers non-zero; 0: never
};

int32_t BRASK_CALL CountProgress(int32_t, int32_t, UserData user_data) {
  Progress* progress = reinterpret_cast<Progress*>(user_data);
  return ++progress->calls == progress->cancel_at ? 1 : 0;
}

struct Outcome {
  int32_t result = -100;
  int calls = 0;
  bool variables_untouched = false;
  KernelCall failed = KernelCall::kNone;  // the call the switch made fail
  long counted_calls = 0;                 // counted kernel calls the decode made
  Bytes info;
  Bytes pixels;
};

Bytes TakeBlock(HLOCAL block) {
  Bytes bytes(LocalSize(block));
  const void* memory = LocalLock(block);
  if (memory != nullptr) std::memcpy(bytes.data(), memory, bytes.size());
  LocalUnlock(block);
  LocalFree(block);
  return bytes;
}

// Decodes from memory (flags 1) under the fault switch as set by the caller, then turns the
// switch off and takes over and frees the blocks whenever the variables were written.
Outcome Decode(const Bytes& file, int cancel_at = 0) {
  Progress progress{0, cancel_at};
  HLOCAL info = Sentinel();
  HLOCAL pixels = Sentinel();
  Outcome outcome;
  outcome.result = GetPicture(reinterpret_cast<const char*>(file.data()),
                              static_cast<int32_t>(file.size()), 1, &info, &pixels,
                              CountProgress, reinterpret_cast<UserData>(&progress));
  outcome.calls = progress.calls;
  outcome.failed = platform::FailedCall();
  outcome.counted_calls = platform::CountedCallsSoFar();
  platform::FailCountedCall(0);
  outcome.variables_untouched = info == Sentinel() && pixels == Sentinel();
  if (info != Sentinel()) outcome.info = TakeBlock(info);
  if (pixels != Sentinel()) outcome.pixels = TakeBlock(pixels);
  return outcome;
}

Bytes Picture(size_t bytes, uint32_t seed) {
  Bytes out(bytes);
  uint32_t state = seed;
  for (size_t i = 0; i < bytes; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = (state >> 16) % 3 == 0 ? static_cast<uint8_t>(state >> 24) : static_cast<uint8_t>(i / 5);
  }
  return out;
}

struct Sample {
  std::string name;
  Bytes file;
};

// Every mode at a width that needs row padding.
std::vector<Sample> Samples() {
  const int32_t width = 5;
  const int32_t height = 3;
  const size_t count = 15;
  Bytes bgra = Picture(4 * count, 1);
  return {{"plain", encode::EncodePdt10({width, height, Picture(3 * count, 2)})},
          {"masked", encode::EncodePdt10Masked({width, height, bgra})},
          {"indexed", encode::EncodePdt11({width, height, Picture(1024, 3), Picture(count, 4)})}};
}


class PdtFaults : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = platform::LiveResources(); }
  void TearDown() override {
    platform::FailCountedCall(0);
    platform::SetFreshMemoryFill(-1);
    EXPECT_EQ(platform::LiveResources(), live_before_) << "a block or buffer was not released";
  }
  long live_before_ = 0;
};

// Sites, in order: information block, its lock, work buffer, pixel block, its lock.
TEST_F(PdtFaults, EveryAllocationOrLockFailingGivesOutOfMemoryAndReleasesEverything) {
  for (const Sample& sample : Samples()) {
    std::vector<KernelCall> seen;
    for (long n = 1;; ++n) {
      for (int cancel_last : {0, 1}) {
        platform::FailCountedCall(n);
        const Outcome got = Decode(sample.file, cancel_last ? 3 : 0);
        const KernelCall failed = got.failed;
        if (failed == KernelCall::kNone) {
          ASSERT_EQ(got.result, cancel_last ? 1 : 0) << sample.name;
          continue;
        }
        const std::string what = sample.name + ", call " + std::to_string(n) + " (" +
                                 platform::KernelCallName(failed) + ") failing" +
                                 (cancel_last ? ", last callback cancelling" : "");
        if (!cancel_last) seen.push_back(failed);
        // The pixel block's failures come after the middle call and still see the last one,
        // which turns them into 1; the earlier ones stop before any further call.
        const bool pixel_site = n >= 4;
        EXPECT_EQ(got.result, pixel_site && cancel_last ? 1 : 4) << what;
        EXPECT_EQ(got.calls, pixel_site ? 3 : 1) << what;
        EXPECT_TRUE(got.variables_untouched) << what;
        EXPECT_EQ(platform::LiveResources(), live_before_) << what;
      }
      if (static_cast<long>(seen.size()) < n) break;  // no n-th counted call: all sites seen
    }
    const std::vector<KernelCall> sites = {KernelCall::kLocalAlloc, KernelCall::kLocalLock,
                                           KernelCall::kHeapAlloc, KernelCall::kLocalAlloc,
                                           KernelCall::kLocalLock};
    EXPECT_EQ(seen, sites) << sample.name;
  }
}

TEST_F(PdtFaults, CancellationReleasesEverythingNotHandedOver) {
  for (const Sample& sample : Samples()) {
    for (int call = 1; call <= 3; ++call) {
      const Outcome got = Decode(sample.file, call);
      const std::string what = sample.name + ", cancelled at call " + std::to_string(call);
      EXPECT_EQ(got.result, 1) << what;
      EXPECT_EQ(got.calls, call) << what;
      EXPECT_EQ(got.variables_untouched, call < 3) << what;
      EXPECT_EQ(platform::LiveResources(), live_before_) << what;
    }
  }
}

TEST_F(PdtFaults, ImagesNoBlockCanHoldAllocateNothing) {
  for (uint8_t version : {uint8_t{'0'}, uint8_t{'1'}}) {
    Bytes file(1200, 0);
    std::memcpy(file.data(), "PDT1", 4);       // signature
    file[4] = version;                         // version
    const uint32_t end = 1200;                 // end offset: the whole data
    const uint32_t side = 0x10000;             // width and height: 2^32 pixels
    std::memcpy(&file[8], &end, 4);
    std::memcpy(&file[12], &side, 4);
    std::memcpy(&file[16], &side, 4);
    platform::FailCountedCall(0);
    const Outcome got = Decode(file);
    EXPECT_EQ(got.result, 4) << "version " << version;
    EXPECT_EQ(got.counted_calls, 0) << "version " << version;
    EXPECT_TRUE(got.variables_untouched);
  }
}


}  // namespace
#endif  // !_WIN32
