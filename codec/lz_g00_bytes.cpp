// SPDX-License-Identifier: MIT
// G00 types 1 and 2: byte units, flags low bit first, 16-bit back-reference w with length
// (w & 15) + 2 and distance w >> 4 (0 reaches outside).
#include "codec/byte_io.h"
#include "codec/lz.h"
#include "codec/lz_byte_steps.h"
#include "codec/lz_paths.h"
#include "codec/lz_stream.h"

namespace {

struct G00ByteVariant {
  static constexpr size_t kUnit = 1;
  static constexpr size_t kReferenceBytes = 2;
  static constexpr size_t kMaxLength = 17;
  static constexpr size_t kLongestDistance = 4095;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    const unsigned w = ReadU16Le(p);
    *length = (w & 0x0Fu) + 2;
    *distance = w >> 4;
  }
};

#if defined(BRASK_VECTOR_PATHS)
BRASK_VECTOR_ENTRY("sse2") size_t DecodeStepsSse2(uint8_t* dst, size_t dst_capacity,
                                                  const uint8_t* src, size_t src_length) {
  return lz_detail::DecodeByteSteps(G00ByteVariant{}, dst, dst_capacity, src, src_length);
}
#endif

}  // namespace

size_t DecodeG00BytesOn(LzPath path, uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                        size_t src_length) {
#if defined(BRASK_VECTOR_PATHS)
  if (path != LzPath::kGroups && LzPathRuns(LzPath::kSse2)) {
    return DecodeStepsSse2(dst, dst_capacity, src, src_length);
  }
#endif
  (void)path;
  return lz_detail::DecodeLowFirst(G00ByteVariant{}, dst, dst_capacity, src, src_length);
}

size_t DecodeG00Bytes(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return DecodeG00BytesOn(FastestLzPath(), dst, dst_capacity, src, src_length);
}
