// The two G00 stream variants: flags low bit first, distances without bias.
#include "codec/byte_io.h"
#include "codec/lz.h"
#include "codec/lz_stream.h"

namespace {

struct G00ByteVariant {
  static constexpr size_t kUnit = 1;
  static constexpr size_t kReferenceBytes = 2;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    const unsigned w = ReadU16Le(p);
    *length = (w & 0x0F) + 2;
    *distance = w >> 4;
  }
};

struct G00PixelVariant {
  static constexpr size_t kUnit = 3;
  static constexpr size_t kReferenceBytes = 2;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    const unsigned w = ReadU16Le(p);
    *length = (w & 0x0F) + 1;
    *distance = w >> 4;
  }
};

}  // namespace

size_t DecodeG00Bytes(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return lz_detail::DecodeLowFirst(G00ByteVariant{}, dst, dst_capacity, src, src_length);
}

size_t DecodeG00Pixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return lz_detail::DecodeLowFirst(G00PixelVariant{}, dst, dst_capacity, src, src_length);
}
