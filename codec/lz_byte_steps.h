// The G00 byte variant's step loop: each flag group is taken in steps
// of a literal run, moved as one 16-byte block, and the back-reference after it, moved as
// one 32-byte block when it ends before the output it reads (length <= distance). One rarely
// taken branch catches the rest (overlapping runs, references outside the output). Same
// contract and rules for bad streams as the group loop of lz_stream.h, whose careful tails
// finish the stream (the two must stay in step). Inlined into an SSE2 entry. On the benchmark
// photographs' colour-plus-alpha bytes it ran 1.3 to 1.6 times as fast as the group loop
// (PDT11 indexes gained nothing and keep the group loop; x86-64 VM, gcc 12).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/lz_pixel_items.h"
#include "codec/lz_stream.h"

namespace lz_detail {

// Group bounds: a flag byte and eight items read at most 1 + 8 * kReferenceBytes (17) bytes;
// a literal run's 16-byte move starts at most 1 + 7 * 2 bytes in. Eight items write at most
// 8 * 17 = 136 bytes; a reference's 32-byte move starts at most 7 * 17 in, and the rare
// path's CopyMatchWide overshoots its item by 15.
constexpr size_t kByteGroupInput = 1 + 7 * 2 + 16;
constexpr size_t kByteGroupOutput = 8 * 17 + kSlack;

// One back-reference. kNearStart: its distance is checked against the output written.
template <class Variant, bool kNearStart>
BRASK_ALWAYS_INLINE void DecodeByteReference(const Variant& variant, const uint8_t*& in,
                                             uint8_t*& out, uint8_t* dst) {
  size_t length, distance;
  variant.ReadReference(in, &length, &distance);
  in += Variant::kReferenceBytes;
  const size_t written = static_cast<size_t>(out - dst);
  // length <= distance also refuses distance 0 (outside).
  unsigned fast = length <= distance;
  if (kNearStart) fast &= distance <= written;
  if (__builtin_expect(fast != 0, 1)) {
    MoveBlocks<32>(out, out - distance);
    out += length;
  } else if (distance - 1 < written) {  // 1 <= distance <= written; 0 wraps and fails
    CopyMatchWide(out, distance, length, written);
    out += length;
  } else {
    size_t out_units = written;
    CopyUnitsChecked<1>(dst, out_units, out_units + length, length, distance);
    out = dst + out_units;
  }
}

// One flag group, bit 0 first: eight literals in one move, else steps.
template <class Variant, bool kNearStart>
BRASK_ALWAYS_INLINE void DecodeByteGroup(const Variant& variant, unsigned flags,
                                         const uint8_t*& in, uint8_t*& out, uint8_t* dst) {
  if (flags == 0xFF) {
    MoveBlocks<16>(out, in);
    in += 8;
    out += 8;
    return;
  }
  unsigned left = 8;
  for (;;) {
    // Bits above `left` are clear, so the run stops at the group's end.
    const unsigned run = static_cast<unsigned>(__builtin_ctz(~flags));
    MoveBlocks<16>(out, in);
    in += run;
    out += run;
    flags >>= run;
    left -= run;
    if (left == 0) return;
    DecodeByteReference<Variant, kNearStart>(variant, in, out, dst);
    flags >>= 1;
    if (--left == 0) return;
  }
}

// The whole stream, flags low bit first (G00). Groups run with the distance check until the
// output is longer than Variant::kLongestDistance, then without it.
template <class Variant>
BRASK_ALWAYS_INLINE size_t DecodeByteSteps(const Variant& variant, uint8_t* dst,
                                           size_t dst_capacity, const uint8_t* src,
                                           size_t src_length) {
  static_assert(Variant::kUnit == 1 && Variant::kMaxLength <= 17 &&
                    Variant::kReferenceBytes <= 2,
                "byte references of at most 17 bytes");
  const uint8_t* in = src;
  const uint8_t* const in_end = src + src_length;
  uint8_t* out = dst;
  uint8_t* const out_end = dst + dst_capacity;
  auto room = [&] {
    return static_cast<size_t>(in_end - in) > kByteGroupInput &&
           static_cast<size_t>(out_end - out) >= kByteGroupOutput;
  };
  while (room() && static_cast<size_t>(out - dst) <= Variant::kLongestDistance) {
    const unsigned flags = *in++;
    DecodeByteGroup<Variant, true>(variant, flags, in, out, dst);
  }
  while (room()) {
    const unsigned flags = *in++;
    DecodeByteGroup<Variant, false>(variant, flags, in, out, dst);
  }
  return FinishLowFirst(variant, dst, dst_capacity, src, src_length,
                        static_cast<size_t>(in - src), static_cast<size_t>(out - dst));
}

}  // namespace lz_detail
