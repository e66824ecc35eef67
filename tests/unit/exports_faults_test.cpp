// SPDX-License-Identifier: MIT
// The exports' own failure paths, driven through the platform's fault switch: every file,
// mapping and view they open is closed again whatever fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/plugin_api.h"
#include "platform/fault_injection.h"
#include "tests/support/test_files.h"

namespace {

using platform::KernelCall;

// A head the selection sends nowhere, so only the exports' own calls are counted.
const std::vector<uint8_t> kUnknown = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};

struct FaultCase {
  KernelCall call;
  int32_t want;
};

class ExportsFaults : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = platform::LiveResources(); }
  void TearDown() override {
    platform::FailCountedCall(0);
    EXPECT_EQ(platform::LiveResources(), live_before_) << "something opened was not released";
  }
  long live_before_ = 0;
};

TEST_F(ExportsFaults, GetPictureClosesEverythingWhateverFails) {
  const std::string path = WriteTempFile("faults.pdt", kUnknown);
  const FaultCase cases[] = {{KernelCall::kCreateFile, 6},
                             {KernelCall::kCreateFileMapping, 5},
                             {KernelCall::kMapViewOfFile, 5}};
  for (const FaultCase& fault : cases) {
    for (long n = 1;; ++n) {
      platform::FailCountedCall(n);
      HLOCAL info = nullptr;
      HLOCAL pixels = nullptr;
      const int32_t result = GetPicture(path.c_str(), 0, 0, &info, &pixels, nullptr, 0);
      if (platform::FailedCall() == KernelCall::kNone) break;  // no n-th call: all sites seen
      if (platform::FailedCall() != fault.call) continue;
      EXPECT_EQ(result, fault.want) << platform::KernelCallName(fault.call);
      EXPECT_EQ(platform::LiveResources(), live_before_) << platform::KernelCallName(fault.call);
    }
  }
  platform::FailCountedCall(0);
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  EXPECT_EQ(GetPicture(path.c_str(), 0, 0, &info, &pixels, nullptr, 0), 2);
}

TEST_F(ExportsFaults, GetPictureInfoReportsOpenAndReadFailuresAsFileErrors) {
  const std::string path = WriteTempFile("faults-info.pdt", kUnknown);
  const FaultCase cases[] = {{KernelCall::kCreateFile, 6}, {KernelCall::kReadFile, 6}};
  for (const FaultCase& fault : cases) {
    bool seen = false;
    for (long n = 1; n < 10 && !seen; ++n) {
      platform::FailCountedCall(n);
      PictureInfoRecord record{};
      const int32_t result = GetPictureInfo(path.c_str(), 0, 0, &record);
      if (platform::FailedCall() != fault.call) continue;
      seen = true;
      EXPECT_EQ(result, fault.want) << platform::KernelCallName(fault.call);
    }
    EXPECT_TRUE(seen) << platform::KernelCallName(fault.call) << " never called";
  }
}

TEST_F(ExportsFaults, IsSupportedAnswersZeroWhenTheHandleCannotBeRead) {
  platform::FailCountedCall(1);
  EXPECT_EQ(IsSupported("x.pdt", 3), 0);
  EXPECT_EQ(platform::FailedCall(), KernelCall::kReadFile);
}

}  // namespace
