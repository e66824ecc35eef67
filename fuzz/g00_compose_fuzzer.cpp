// SPDX-License-Identifier: MIT
// ComposeG00Parts on raw decompressed type-2 data (the whole input), compared with the
// pixel-by-pixel composition of fuzz/g00_reference.h: the picture's size in the header and
// the return value, the block's size, and every byte of it (padding zero). A refused picture
// leaves no block and a null handle. Pictures between 1 MiB and the largest block are skipped:
// valid, but too slow to compose on every run.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/g00_reference.h"

namespace {

constexpr uint64_t kLargestComposedBytes = 1u << 20;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::vector<g00_reference::Part> parts = g00_reference::PartsOf(data, size);
  const g00_reference::Picture picture = g00_reference::PictureOf(parts);
  if (picture.bytes > kLargestComposedBytes && !picture.refused()) return 0;

  BITMAPINFOHEADER header;
  std::memset(&header, 0x77, sizeof header);
  HLOCAL block = reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A50u));
  const uint32_t bytes = ComposeG00Parts(&block, data, size, &header);
  if (picture.refused()) {
    Check(bytes == 0 && block == nullptr && header.biSizeImage == 0);
    return 0;
  }
  Check(bytes == picture.bytes && header.biSizeImage == bytes);
  Check(header.biWidth == picture.width &&
        static_cast<uint64_t>(header.biHeight) == picture.height);
  Check(block != nullptr && LocalSize(block) == bytes);
  const std::vector<uint8_t> expected = g00_reference::Compose(data, size, parts, picture);
  // The block is handed back locked: lock it once more to read it, then unlock both.
  const void* pixels = LocalLock(block);
  Check(pixels != nullptr && std::memcmp(pixels, expected.data(), bytes) == 0);
  LocalUnlock(block);
  LocalUnlock(block);
  Check(LocalFree(block) == nullptr);
  return 0;
}
