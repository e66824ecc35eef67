// SPDX-License-Identifier: MIT
// G00 pictures through GetPictureInfo and GetPicture from a file named *.g00, compared with
// what fuzz/g00_reference.h works out: the result code, the progress calls, the host's
// variables (a block named there only once handed over, null where a block was freed, else
// untouched) and both blocks byte for byte; nothing stays allocated. Byte 0 picks the callback
// (0: none, 1: never cancels, 2-4: cancels at call 1-3); the rest is the file.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/exports_harness.h"
#include "fuzz/g00_reference.h"

namespace {

using fuzz_exports::Check;
using fuzz_exports::Sentinel;

// Larger blocks and buffers are refused as out of memory, which keeps every run cheap and
// drives the refusals too.
constexpr size_t kAllocationLimit = 4u << 20;

std::string TempPath() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/brask-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder + "/input.g00";
}

struct Calls {
  size_t cancel_at;  // 1-based call that answers non-zero; 0: none
  std::vector<int32_t> numerators;
};

int32_t BRASK_CALL Record(int32_t numerator, int32_t denominator, UserData user_data) {
  Calls* calls = reinterpret_cast<Calls*>(user_data);
  Check(denominator == 2);
  calls->numerators.push_back(numerator);
  return calls->numerators.size() == calls->cancel_at ? 1 : 0;
}

bool Holds(HLOCAL block, const std::vector<uint8_t>& expected) {
  if (LocalSize(block) != expected.size()) return false;
  const void* bytes = LocalLock(block);
  const bool same = bytes != nullptr && std::memcmp(bytes, expected.data(), expected.size()) == 0;
  LocalUnlock(block);
  return same;
}

void CheckInfo(const char* path, const uint8_t* image) {
  PictureInfoRecord record;
  std::memset(&record, 0x5A, sizeof record);
  Check(GetPictureInfo(path, 0, 0, &record) == kSuccess);
  Check(record.left == 0 && record.top == 0 && record.text_handle == 0);
  Check(record.x_density == 0 && record.y_density == 0);
  Check(record.width == ReadU16Le(image + 1) && record.height == ReadU16Le(image + 3));
  Check(record.colour_depth == (image[0] == 1 ? 8 : 24));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Only types 0 to 2 reach the G00 handler; the others are the selection rule's business.
  if (size < 6 || size > (1u << 20) || data[1] > 2) return 0;
  platform::SetAllocationLimit(kAllocationLimit);
  const uint8_t* image = data + 1;
  const size_t length = size - 1;
  const std::string path = TempPath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(image, 1, length, file);
  std::fclose(file);

  CheckInfo(path.c_str(), image);

  const g00_reference::Outcome expected = g00_reference::Decode(image, length, kAllocationLimit);
  std::vector<int32_t> expected_calls{0};
  if (expected.info_allocated) {
    if (expected.middle_call >= 0) expected_calls.push_back(expected.middle_call);
    expected_calls.push_back(2);
  }
  const size_t callback_mode = data[0] % 5u;
  const bool with_callback = callback_mode != 0;
  Calls calls{callback_mode > 1 ? callback_mode - 1 : 0, {}};

  // What a cancellation changes: at the first call nothing happens at all; at the middle one
  // the failure path runs; at the last one only the result changes.
  int32_t want_result = expected.result;
  bool info_freed = expected.info_allocated && expected.result != kSuccess;
  bool pixels_freed = expected.pixels_attempted && expected.result != kSuccess;
  bool handed_over = expected.result == kSuccess;
  if (with_callback && calls.cancel_at == 1) {
    expected_calls.resize(1);
    want_result = kCancelled;
    info_freed = pixels_freed = handed_over = false;
  } else if (with_callback && calls.cancel_at == 2 && expected_calls.size() == 3) {
    want_result = kCancelled;
    info_freed = true;
    pixels_freed = expected.pixels_before_middle;
    handed_over = false;
  } else if (with_callback && calls.cancel_at >= 2 && calls.cancel_at == expected_calls.size()) {
    want_result = kCancelled;
  }

  const long live_before = platform::LiveResources();
  HLOCAL info = Sentinel();
  HLOCAL pixels = Sentinel();
  const int32_t result =
      GetPicture(path.c_str(), 0, 0, &info, &pixels, with_callback ? Record : nullptr,
                 reinterpret_cast<UserData>(&calls));
  Check(result == want_result);
  Check(!with_callback || calls.numerators == expected_calls);
  if (handed_over) {
    fuzz_exports::CheckDib(info, pixels);
    Check(Holds(info, expected.info) && Holds(pixels, expected.pixels));
    Check(LocalFree(info) == nullptr && LocalFree(pixels) == nullptr);
  } else {
    Check(info == (info_freed ? nullptr : Sentinel()));
    Check(pixels == (pixels_freed ? nullptr : Sentinel()));
  }
  Check(platform::LiveResources() == live_before);
  return 0;
}
