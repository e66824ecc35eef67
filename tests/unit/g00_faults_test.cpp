// SPDX-License-Identifier: MIT
// G00 decodes with each kernel call failing in turn: the result, the host's two variables
// (null where a block was freed, untouched where never written), the last progress call and
// nothing left held. Fresh-memory fills are in the whole-system sweep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/g00.h"
#include "host/plugin_api.h"
#include "platform/fault_injection.h"
#include "tests/support/g00_expected.h"
#include "tests/support/test_files.h"

namespace {

using platform::KernelCall;
using Progress = std::vector<std::pair<int32_t, int32_t>>;

HLOCAL Sentinel() { return reinterpret_cast<HLOCAL>(uintptr_t{0x5A5A5A50}); }

int32_t BRASK_CALL Record(int32_t numerator, int32_t denominator, UserData user_data) {
  reinterpret_cast<Progress*>(user_data)->emplace_back(numerator, denominator);
  return 0;
}

std::vector<uint8_t> Take(HLOCAL block) {
  const uint8_t* bytes = static_cast<const uint8_t*>(LocalLock(block));
  std::vector<uint8_t> copy(bytes, bytes + LocalSize(block));
  LocalUnlock(block);
  LocalFree(block);
  return copy;
}

struct DecodeRun {
  int32_t result;
  HLOCAL info;
  HLOCAL pixels;
  Progress progress;
  KernelCall failed;
};

// GetPicture on the file with the n-th counted call failing (0: none).
DecodeRun Decode(const std::string& path, long fail_at) {
  DecodeRun run{-100, Sentinel(), Sentinel(), {}, KernelCall::kNone};
  platform::FailCountedCall(fail_at);
  run.result = GetPicture(path.c_str(), 0, 0, &run.info, &run.pixels, Record,
                          reinterpret_cast<UserData>(&run.progress));
  run.failed = platform::FailedCall();
  platform::FailCountedCall(0);
  return run;
}

struct Case {
  const char* name;
  std::vector<uint8_t> file;
  std::vector<KernelCall> calls;  // every counted call of a clean decode, in order
};

std::vector<Case> Cases() {
  using K = KernelCall;
  const encode::ColourImage in_place{8, 3, g00_expected::PatternBytes(8 * 3 * 3, 1)};
  const encode::ColourImage padded{5, 3, g00_expected::PatternBytes(5 * 3 * 3, 2)};
  encode::IndexedImage indexed{5, 3, g00_expected::PatternBytes(8, 3), std::vector<uint8_t>(15, 1)};
  const encode::G00Part part{0, 0, 6, 4, {g00_expected::Block(1, 1, 3, 2, 4)}};
  const std::vector<K> file = {K::kCreateFile, K::kCreateFileMapping, K::kMapViewOfFile};
  auto with = [&](std::vector<K> more) {
    std::vector<K> all = file;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  return {
      // information block, its lock, pixel block, its lock, the flip's row buffer
      {"type 0 in place", encode::EncodeG00Type0(in_place),
       with({K::kLocalAlloc, K::kLocalLock, K::kLocalAlloc, K::kLocalLock, K::kHeapAlloc})},
      // information block, its lock, pixel block, work buffer, the pixel block's lock
      {"type 0 through a buffer", encode::EncodeG00Type0(padded),
       with({K::kLocalAlloc, K::kLocalLock, K::kLocalAlloc, K::kHeapAlloc, K::kLocalLock})},
      // information block, its lock, work buffer, pixel block, its lock
      {"type 1", encode::EncodeG00Type1(indexed),
       with({K::kLocalAlloc, K::kLocalLock, K::kHeapAlloc, K::kLocalAlloc, K::kLocalLock})},
      // information block, its lock, work buffer, the composed block, its lock
      {"type 2", encode::EncodeG00Type2({part}, 6, 4),
       with({K::kLocalAlloc, K::kLocalLock, K::kHeapAlloc, K::kLocalAlloc, K::kLocalLock})},
  };
}

TEST(G00Faults, EachAllocationAndLockFailingInTurn) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteTempFile("faults.g00", c.file);
    const long live_at_start = platform::LiveResources();
    platform::FailCountedCall(0);
    DecodeRun clean = Decode(path, 0);
    ASSERT_EQ(clean.result, 0);
    Take(clean.info);
    Take(clean.pixels);
    ASSERT_EQ(platform::LiveResources(), live_at_start);

    long info_alloc = 0, pixel_alloc = 0;
    for (long n = 1; n <= static_cast<long>(c.calls.size()) + 1; ++n) {
      SCOPED_TRACE(testing::Message() << "call " << n);
      DecodeRun run = Decode(path, n);
      if (n > static_cast<long>(c.calls.size())) {  // past the last call: nothing fails
        EXPECT_EQ(run.failed, KernelCall::kNone);
        EXPECT_EQ(run.result, 0);
        Take(run.info);
        Take(run.pixels);
        break;
      }
      ASSERT_EQ(run.failed, c.calls[static_cast<size_t>(n - 1)])
          << "have " << platform::KernelCallName(run.failed) << ", want "
          << platform::KernelCallName(c.calls[static_cast<size_t>(n - 1)]);
      if (run.failed == KernelCall::kLocalAlloc) (info_alloc == 0 ? info_alloc : pixel_alloc) = n;
      if (info_alloc == 0) {
        // The file could not be opened or mapped: the handler never ran.
        EXPECT_EQ(run.result, run.failed == KernelCall::kCreateFile ? 6 : 5);
        EXPECT_TRUE(run.progress.empty());
        EXPECT_EQ(run.info, Sentinel());
        EXPECT_EQ(run.pixels, Sentinel());
      } else if (n == info_alloc) {
        // No information block: 4 at once, no further call, the pixel variable untouched.
        EXPECT_EQ(run.result, 4);
        EXPECT_EQ(run.progress, (Progress{{0, 2}}));
        EXPECT_EQ(run.info, nullptr);
        EXPECT_EQ(run.pixels, Sentinel());
      } else {
        // Later: 4 through the failure path, the last call made, freed blocks named null.
        EXPECT_EQ(run.result, 4);
        ASSERT_FALSE(run.progress.empty());
        EXPECT_EQ(run.progress.front(), std::make_pair(0, 2));
        EXPECT_EQ(run.progress.back(), std::make_pair(2, 2));
        EXPECT_EQ(run.info, nullptr);
        if (pixel_alloc == 0) {
          EXPECT_EQ(run.pixels, Sentinel());
        } else {
          EXPECT_EQ(run.pixels, nullptr);
        }
      }
      EXPECT_EQ(platform::LiveResources(), live_at_start);
    }
    EXPECT_NE(pixel_alloc, 0);
  }
}


TEST(G00Handler, InformationOnAnUnknownTypeWritesAllButTheDepth) {
  PictureInfoRecord record;
  std::memset(&record, 0x5A, sizeof record);
  const uint8_t head[5] = {3, 0x34, 0x12, 0x78, 0x56};  // type 3, 0x1234 x 0x5678
  EXPECT_EQ(kG00Handler.GetInfo(head, 5, &record), 2);
  EXPECT_EQ(record.left, 0);
  EXPECT_EQ(record.top, 0);
  EXPECT_EQ(record.width, 0x1234);
  EXPECT_EQ(record.height, 0x5678);
  EXPECT_EQ(uint32_t{record.text_handle}, 0u);
  EXPECT_EQ(record.colour_depth, 0x5A5A);
  // Fewer than the five header bytes: refused, the record left alone.
  std::memset(&record, 0x5A, sizeof record);
  EXPECT_EQ(kG00Handler.GetInfo(head, 4, &record), 2);
  EXPECT_EQ(record.width, 0x5A5A5A5A);
}

TEST(G00Handler, DecodeOfAnUnknownTypeOrTooLittleDataAllocatesNothing) {
  const long live = platform::LiveResources();
  const uint8_t type3[13] = {3, 1, 0, 1, 0, 9, 0, 0, 0, 3, 0, 0, 0};
  HLOCAL info = Sentinel(), pixels = Sentinel();
  Progress progress;
  EXPECT_EQ(kG00Handler.Decode(type3, 13, &info, &pixels, Record,
                               reinterpret_cast<UserData>(&progress)), 2);
  const uint8_t type0[13] = {0, 1, 0, 1, 0, 9, 0, 0, 0, 3, 0, 0, 0};
  EXPECT_EQ(kG00Handler.Decode(type0, 4, &info, &pixels, Record,
                               reinterpret_cast<UserData>(&progress)), 2);
  EXPECT_EQ(kG00Handler.Decode(type0, -1, &info, &pixels, nullptr, 0), 2);
  EXPECT_EQ(progress, (Progress{{0, 2}, {0, 2}}));
  EXPECT_EQ(info, Sentinel());
  EXPECT_EQ(pixels, Sentinel());
  EXPECT_EQ(platform::LiveResources(), live);
}

}  // namespace
