// SPDX-License-Identifier: MIT
// The public API's memory limit: claims over it are refused before anything is allocated,
// and the limit covers the input's copy, the work buffer and the RGBA output together.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codec/byte_io.h"
#include "platform/fault_injection.h"
#include "tests/support/api_picture.h"
#include "tests/support/g00_expected.h"
#include "tests/support/sample_images.h"

namespace {

using Bytes = std::vector<uint8_t>;
using api_picture::Open;
using api_picture::Opened;
using encode::G00Part;

// A PDT header of 36 bytes claiming 40000 x 40000 pixels, and a type-2 G00 whose directory
// claims 2 GiB: refused before any allocation. A type-2 whose parts compose a picture over
// the limit: refused once the directory is read, with nothing left held.
TEST(BraskApiLimit, RefusesClaimsOverTheLimitBeforeAllocating) {
  Bytes pdt(36, 0);
  std::memcpy(pdt.data(), "PDT10", 5);
  WriteU32Le(pdt.data() + 8, 36);
  WriteU32Le(pdt.data() + 12, 40000);
  WriteU32Le(pdt.data() + 16, 40000);
  const Bytes directory_claim = g00_expected::Type2File(Bytes(4, 0), 1, 1, 1, 0x80000000u);
  const long live = platform::LiveResources();
  for (const Bytes* file : {static_cast<const Bytes*>(&pdt), &directory_claim}) {
    platform::FailCountedCall(0);
    Opened opened;
    Open(*file, "x.g00", &opened);
    EXPECT_EQ(opened.result, BRASK_OVER_MEMORY_LIMIT);
    EXPECT_EQ(opened.picture, nullptr);
    EXPECT_EQ(platform::CountedCallsSoFar(), 0) << "allocated before refusing";
  }
  const Bytes tall = g00_expected::Type2File(
      encode::BuildG00PartDirectory({G00Part{0, 0, 20000, 20000, {}}}), 1, 1);
  Opened over;
  Open(tall, "x.g00", &over);
  EXPECT_EQ(over.result, BRASK_OVER_MEMORY_LIMIT);
  Opened within;
  Open(tall, "x.g00", &within, uint64_t{2} << 30);
  EXPECT_EQ(within.result, BRASK_OK);
  brask_close(within.picture);
  within.picture = nullptr;
  EXPECT_EQ(platform::LiveResources(), live);

  // The limit covers the input, the work buffer and the RGBA output together.
  const Bytes small = encode::EncodePdt10(MakeColourImage(4, 2, 5));
  const uint64_t cost = small.size() + (12 * 2 + 1) + 4 * 4 * 2;
  Opened exact, short_by_one;
  Open(small, nullptr, &exact, cost);
  Open(small, nullptr, &short_by_one, cost - 1);
  EXPECT_EQ(exact.result, BRASK_OK);
  EXPECT_EQ(short_by_one.result, BRASK_OVER_MEMORY_LIMIT);
}

}  // namespace
