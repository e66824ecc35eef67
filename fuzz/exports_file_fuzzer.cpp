// SPDX-License-Identifier: MIT
// GetPictureInfo and GetPicture on file input: the image written to a file whose name ends
// in .g00 or another way, after a prefix of junk bytes so the position is not always zero.
// Byte 0: bits 0-1 pick the name, bits 2-4 the progress call that cancels; byte 1: the
// prefix length; the rest is the image.
#include <cstdio>
#include <string>

#include <unistd.h>

#include "fuzz/exports_harness.h"

namespace {

std::string TempPath(const char* ending) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/brask-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder + "/input" + ending;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 20)) return 0;
  platform::SetAllocationLimit(fuzz_exports::kAllocationLimit);
  static const char* const kEndings[] = {".g00", ".G00", ".pdt", ""};
  const std::string path = TempPath(kEndings[data[0] & 3]);
  const int cancel_at = static_cast<int>((data[0] >> 2) & 7) % 5 - 1;
  const size_t prefix = data[1] % 64;

  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  static const uint8_t kJunk[64] = {0xEE};
  std::fwrite(kJunk, 1, prefix, file);
  std::fwrite(data + 2, 1, size - 2, file);
  std::fclose(file);

  const int32_t position = static_cast<int32_t>(prefix);
  fuzz_exports::GetInfo(path.c_str(), position, 0);
  fuzz_exports::DecodeAndRelease(path.c_str(), position, 0, cancel_at);
  return 0;
}
