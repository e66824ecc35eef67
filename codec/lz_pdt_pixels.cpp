// SPDX-License-Identifier: MIT
// PDT10 colour: 3-byte pixel units, flags high bit first, 16-bit back-reference w with
// length (w & 15) + 1 and distance (w >> 4) + 1 pixels.
#include "codec/byte_io.h"
#include "codec/lz.h"
#include "codec/lz_pixel_items.h"
#include "codec/lz_paths.h"

namespace {

struct PdtPixelVariant {
  static constexpr size_t kUnit = 3;
  static constexpr size_t kReferenceBytes = 2;
  static constexpr size_t kMaxLength = 16;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    const unsigned w = ReadU16Le(p);
    *length = (w & 0x0Fu) + 1;
    *distance = (w >> 4) + 1;
  }
};

}  // namespace

size_t DecodePdtPixelsOn(LzPath path, uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                         size_t src_length) {
  return lz_detail::DecodePixelsOn<PdtPixelVariant, true>(path, dst, dst_capacity, src, src_length);
}

size_t DecodePdtPixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return DecodePdtPixelsOn(FastestLzPath(), dst, dst_capacity, src, src_length);
}
