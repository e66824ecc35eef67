// SPDX-License-Identifier: MIT
// PDT11 indexes: byte units, flags high bit first, one back-reference byte c with length
// (c >> 4) + 2 and distance table[c & 15] from the block's 16-entry table. A table distance
// of 0, or negative as a signed 32-bit value, reaches outside the output.
#include "codec/byte_io.h"
#include "codec/lz.h"
#include "codec/lz_stream.h"

namespace {

struct PdtIndexedVariant {
  static constexpr size_t kUnit = 1;
  static constexpr size_t kReferenceBytes = 1;
  static constexpr size_t kMaxLength = 17;
  size_t distances[kPdtDistanceCount];  // 0 for the entries that reach outside
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    *length = (p[0] >> 4) + 2u;
    *distance = distances[p[0] & 0x0F];
  }
};

}  // namespace

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
