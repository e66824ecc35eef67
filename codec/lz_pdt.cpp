// The three PDT stream variants: flags high bit first, fetched after each group's eighth item.
#include "codec/byte_io.h"
#include "codec/lz.h"
#include "codec/lz_stream.h"

namespace {

struct PdtPixelVariant {
  static constexpr size_t kUnit = 3;
  static constexpr size_t kReferenceBytes = 2;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    const unsigned w = ReadU16Le(p);
    *length = (w & 0x0F) + 1;
    *distance = (w >> 4) + 1;
  }
};

struct PdtMaskVariant {
  static constexpr size_t kUnit = 1;
  static constexpr size_t kReferenceBytes = 2;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    *length = p[0] + 2u;
    *distance = p[1] + 1u;
  }
};

// Distances that are 0 or negative as signed 32-bit values reach outside the output; they
// are kept as 0, which the copy treats as outside.
struct PdtIndexedVariant {
  static constexpr size_t kUnit = 1;
  static constexpr size_t kReferenceBytes = 1;
  size_t distances[kPdtDistanceCount];
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    *length = (p[0] >> 4) + 2u;
    *distance = distances[p[0] & 0x0F];
  }
};

}  // namespace

size_t DecodePdtPixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return lz_detail::DecodeHighFirst(PdtPixelVariant{}, dst, dst_capacity, src, src_length);
}

size_t DecodePdtMask(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return lz_detail::DecodeHighFirst(PdtMaskVariant{}, dst, dst_capacity, src, src_length);
}

size_t DecodePdtIndexed(uint8_t* dst, size_t dst_capacity, const uint8_t* block,
                        size_t block_length) {
  if (block_length <= kPdtDistanceTableBytes + 1) return 0;
  PdtIndexedVariant variant;
  for (size_t i = 0; i < kPdtDistanceCount; ++i) {
    const int32_t distance = ReadI32Le(block + 4 * i);
    variant.distances[i] = distance > 0 ? static_cast<size_t>(distance) : 0;
  }
  return lz_detail::DecodeHighFirst(variant, dst, dst_capacity, block + kPdtDistanceTableBytes,
                                    block_length - kPdtDistanceTableBytes);
}
