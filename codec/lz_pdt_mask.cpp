// SPDX-License-Identifier: MIT
// PDT10 alpha mask: byte units, flags high bit first, back-reference bytes b0, b1 with
// length b0 + 2 (up to 257: long runs of one alpha value) and distance b1 + 1.
#include "codec/lz.h"
#include "codec/lz_stream.h"

namespace {

struct PdtMaskVariant {
  static constexpr size_t kUnit = 1;
  static constexpr size_t kReferenceBytes = 2;
  static constexpr size_t kMaxLength = 257;
  void ReadReference(const uint8_t* p, size_t* length, size_t* distance) const {
    *length = p[0] + 2u;
    *distance = p[1] + 1u;
  }
};

}  // namespace

size_t DecodePdtMask(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return lz_detail::DecodeHighFirst(PdtMaskVariant{}, dst, dst_capacity, src, src_length);
}
