// SPDX-License-Identifier: MIT
// GetPictureInfo and GetPicture on memory input: the PDT handler, and G00 bytes that must be
// refused without a name. The first byte picks the progress call that cancels (or none, or
// no callback at all); the rest is the image.
#include "fuzz/exports_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  platform::SetAllocationLimit(fuzz_exports::kAllocationLimit);
  const int cancel_at = static_cast<int>(data[0] % 5) - 1;  // -1: no callback; 0: never cancel
  const char* image = reinterpret_cast<const char*>(data + 1);
  const int32_t length = static_cast<int32_t>(size - 1);
  fuzz_exports::GetInfo(image, length, 1);
  fuzz_exports::DecodeAndRelease(image, length, 1, cancel_at);
  return 0;
}
