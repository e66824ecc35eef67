// SPDX-License-Identifier: MIT
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
// a literal run's 16-byte move starts at most 1 + 8 * 2 bytes in (the empty last run after
// eight references). Eight items write at most 8 * 17 = 136 bytes; a reference's 32-byte move
// starts at most 7 * 17 in, a run's 16-byte one at most 136, and the rare path's
// CopyMatchWide overshoots its item by 15.
constexpr size_t kByteGroupInput = 1 + 8 * 2 + 16;
constexpr size_t kByteGroupOutput = 8 * 17 + kSlack;
// A group moves the input by at most 1 + 8 * 2 bytes, and the output by at most 8 * 17 and
// at least 8 (eight literals).
constexpr GroupLimits kByteGroupLimits{kByteGroupInput, kByteGroupOutput, 1 + 8 * 2, 8 * 17};
constexpr size_t kByteGroupLeastWritten = 8;

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

// Moves the run of literals at the bottom of `flags` as one block. The bits past the group's
// last item are clear, so the run stops at the group's end; with bit 0 clear the run is empty
// and the block only scratch.
BRASK_ALWAYS_INLINE void MoveLiteralBytes(unsigned& flags, const uint8_t*& in, uint8_t*& out) {
  const unsigned run = static_cast<unsigned>(__builtin_ctz(~flags));
  MoveBlocks<16>(out, in);
  in += run;
  out += run;
  flags >>= run;
}

// One flag group, bit 0 first: eight literals in one move, else a step per reference (a
// literal run, perhaps empty, and the reference) and a last run, so the loop has one exit.
template <class Variant, bool kNearStart>
BRASK_ALWAYS_INLINE void DecodeByteGroup(const Variant& variant, unsigned flags,
                                         const uint8_t*& in, uint8_t*& out, uint8_t* dst) {
  if (flags == 0xFF) {
    MoveBlocks<16>(out, in);
    in += 8;
    out += 8;
    return;
  }
  unsigned references = 8 - LiteralCount(flags);
  do {
    MoveLiteralBytes(flags, in, out);
    DecodeByteReference<Variant, kNearStart>(variant, in, out, dst);
    flags >>= 1;
  } while (--references != 0);
  MoveLiteralBytes(flags, in, out);
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
  // Batches of groups that surely have room: one test per batch, not two per group.
  auto groups_with_room = [&] {
    return GroupsWithRoom(kByteGroupLimits, static_cast<size_t>(in_end - in),
                          static_cast<size_t>(out_end - out));
  };
  // Near the start, batches also stop once the output surely passes the longest distance.
  while (static_cast<size_t>(out - dst) <= Variant::kLongestDistance) {
    const size_t to_pass = GroupsToWrite(static_cast<size_t>(out - dst),
                                         Variant::kLongestDistance + 1, kByteGroupLeastWritten);
    size_t groups = groups_with_room();
    if (groups == 0) break;
    for (groups = groups < to_pass ? groups : to_pass; groups != 0; --groups) {
      const unsigned flags = *in++;
      DecodeByteGroup<Variant, true>(variant, flags, in, out, dst);
    }
  }
  for (size_t groups = groups_with_room(); groups != 0; groups = groups_with_room()) {
    for (; groups != 0; --groups) {
      const unsigned flags = *in++;
      DecodeByteGroup<Variant, false>(variant, flags, in, out, dst);
    }
  }
  return FinishLowFirst(variant, dst, dst_capacity, src, src_length,
                        static_cast<size_t>(in - src), static_cast<size_t>(out - dst));
}

}  // namespace lz_detail
