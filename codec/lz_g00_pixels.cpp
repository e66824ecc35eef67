// SPDX-License-Identifier: MIT
// G00 type 0: 3-byte pixel units, flags low bit first, 16-bit back-reference w with length
// (w & 15) + 1 and distance w >> 4 pixels (0 reaches outside).
#include "codec/byte_io.h"
#include "codec/lz.h"
#include "codec/lz_pixel_items.h"
#include "codec/lz_paths.h"

namespace {

struct G00PixelVariant {
  static constexpr size_t kUnit = 3;
  static constexpr size_t kReferenceBytes = 2;
  static constexpr size_t kMaxLength = 16;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    const unsigned w = ReadU16Le(p);
    *length = (w & 0x0Fu) + 1;
    *distance = w >> 4;
  }
};

}  // namespace

size_t DecodeG00PixelsOn(LzPath path, uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                         size_t src_length) {
  return lz_detail::DecodePixelsOn<G00PixelVariant, false>(path, dst, dst_capacity, src, src_length);
}

size_t DecodeG00Pixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return DecodeG00PixelsOn(FastestLzPath(), dst, dst_capacity, src, src_length);
}
