// SPDX-License-Identifier: MIT
// The pixel variants' item-uniform loop: a back-reference takes one path whatever the flag
// bits around it, with no branch on its flag bit. It reads the next two bytes as a reference
// word (harmless for a literal), picks the source without a branch (the input for a
// literal, the output 3 * distance back for a reference), moves a fixed kItemMoveBytes and
// advances by arithmetic selects. One rarely taken branch catches the references the fixed
// move cannot copy. Groups of three literals or more move their literal runs as blocks instead.
// Same contract and the same rules for bad streams as the group loop of lz_stream.h, whose
// careful tails finish the stream (the two must stay in step with it). Needs dst and src not
// to overlap. Everything here is inlined into an entry that names its instruction set
// (DecodePixelsAvx2, DecodePixelsSsse3, DecodePixelsSse2), so the same code is compiled once
// per path.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/lz_paths.h"
#include "codec/lz_stream.h"

namespace lz_detail {

#define BRASK_ALWAYS_INLINE inline __attribute__((always_inline))

// Every back-reference moves this many bytes: 16 pixels, the longest one.
constexpr size_t kItemMoveBytes = 48;
// Group bounds: a flag byte and eight items read at most 1 + 8 * 3 bytes. Reading further: an
// item's fixed move of kItemMoveBytes, starting at most 1 + 7 * 3 bytes in, and a literal
// run's 32-byte move, starting at most 1 + 3 * 3 + 5 * 2 in (the empty last run of three
// literals and five references). Eight items write at most 8 * 48 = 384 bytes; an item's
// fixed move stays inside them (it starts at most 7 * 48 in); past them write the rare path's
// CopyMatchWide (15 bytes past its item) and a literal run's move (up to kSlack).
constexpr size_t kPixelGroupInput = 1 + 7 * 3 + kItemMoveBytes;
constexpr size_t kPixelGroupOutput = 8 * 48 + kSlack;
// A group needs kPixelGroupInput and kPixelGroupOutput; it moves the input by at most a flag
// byte and eight literals, the output by at most eight references of 16 pixels, and by at
// least eight items of one pixel.
constexpr GroupLimits kPixelGroupLimits{kPixelGroupInput, kPixelGroupOutput, 1 + 8 * 3, 8 * 48};
constexpr size_t kPixelGroupLeastWritten = 8 * 3;
// Past this much output no reference reaches before the start (longest distance 4096).
constexpr size_t kPixelReachBytes = 3 * 4096;
// Groups with at least this many literals move their literal runs as blocks: on the
// benchmark pictures 2 and 3 did best of 0 to 5 (at 0 and 1 the reference-heavy photographs
// lose 5 to 40 %, at 4 and 5 the sprite loses 5 to 12 %).
constexpr unsigned kLiteralHeavyGroup = 3;
// The fixed move of a reference inside such a group: on the literal-heavy photograph 98 % of
// those references are 1 pixel long, and a 16-byte move (up to 5 pixels) beat 48 by 4-6 %;
// a longer one takes the rare path.
constexpr size_t kShortMoveBytes = 16;

typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint32_t Words4 __attribute__((vector_size(16)));

// A fixed move in 16-byte blocks: every load before the first store.
template <size_t kBytes>
BRASK_ALWAYS_INLINE void MoveBlocks(uint8_t* to, const uint8_t* from) {
  static_assert(kBytes % 16 == 0 && kBytes <= 48, "one to three blocks");
  Bytes16 block[kBytes / 16];
  for (size_t i = 0; i < kBytes / 16; ++i) __builtin_memcpy(&block[i], from + 16 * i, 16);
  for (size_t i = 0; i < kBytes / 16; ++i) __builtin_memcpy(to + 16 * i, &block[i], 16);
}

// `when_set` if `condition` (0 or 1) is 1, else `when_clear`, by arithmetic: compilers keep
// a ?: on an unpredictable bit as a branch.
BRASK_ALWAYS_INLINE const uint8_t* Select(unsigned condition, const uint8_t* when_set,
                                          const uint8_t* when_clear) {
  const uintptr_t mask = 0 - static_cast<uintptr_t>(condition);
  const uintptr_t set = reinterpret_cast<uintptr_t>(when_set);
  const uintptr_t clear = reinterpret_cast<uintptr_t>(when_clear);
  return reinterpret_cast<const uint8_t*>(clear ^ ((set ^ clear) & mask));
}

BRASK_ALWAYS_INLINE size_t Select(unsigned condition, size_t when_set, size_t when_clear) {
  const size_t mask = 0 - static_cast<size_t>(condition);
  return when_clear ^ ((when_set ^ when_clear) & mask);
}

// How the rare path copies a run of one pixel (distance 1, length 2 to 16), and whether the
// entry uses 256-bit registers.
struct RunsByShuffle {  // pshufb, in an SSSE3 entry: one load, three shuffles, three stores
  static constexpr bool kShuffles = true;
  static constexpr bool kWideRegisters = false;
};
struct RunsByShuffleWide : RunsByShuffle {  // in an AVX2 entry
  static constexpr bool kWideRegisters = true;
};
struct RunsByWords {  // CopyMatchWide's 8-byte pattern stores
  static constexpr bool kShuffles = false;
  static constexpr bool kWideRegisters = false;
};

#if defined(__i386__) || defined(__x86_64__)
// Clears the upper halves of the 256-bit registers. Until then every SSE instruction pays for
// them, in our tails and in the caller's code: the compiler did not clear them on every way
// out of the AVX2 loop, and masked PDT sprites composed 40 % slower after it.
__attribute__((target("avx"))) inline void ClearUpperHalves() { __builtin_ia32_vzeroupper(); }
#endif

// Writes 48 bytes repeating the pixel 3 bytes before `out` (the first byte of `out` is read
// with it, not used). Compiles to pshufb only inside an SSSE3 entry.
BRASK_ALWAYS_INLINE void RepeatPreviousPixel(uint8_t* out) {
  uint32_t word;
  __builtin_memcpy(&word, out - 3, 4);
  const Words4 words = {word, 0, 0, 0};
  const Bytes16 pixel = reinterpret_cast<const Bytes16&>(words);
  const Bytes16 phase0 =
      __builtin_shufflevector(pixel, pixel, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0);
  const Bytes16 phase1 =
      __builtin_shufflevector(pixel, pixel, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1);
  const Bytes16 phase2 =
      __builtin_shufflevector(pixel, pixel, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2);
  __builtin_memcpy(out, &phase0, 16);
  __builtin_memcpy(out + 16, &phase1, 16);
  __builtin_memcpy(out + 32, &phase2, 16);
}

// The references the fixed move cannot copy: those that overlap what they write (length
// above the distance), and those reaching outside the output. `out` then moves past them.
template <class Runs>
BRASK_ALWAYS_INLINE void CopyRarePixelReference(uint8_t*& out, uint8_t* dst, size_t length,
                                                size_t distance) {
  const size_t written = static_cast<size_t>(out - dst);
  const size_t d = 3 * distance;
  if (Runs::kShuffles && d == 3 && written >= 3) {
    RepeatPreviousPixel(out);
    out += 3 * length;
  } else if (d - 1 < written) {  // 1 <= d <= written; d = 0 wraps and fails
    CopyMatchWide(out, d, 3 * length, written);
    out += 3 * length;
  } else {
    size_t out_units = written / 3;
    CopyUnitsChecked<3>(dst, out_units, out_units + length, length, distance);
    out = dst + out_units * 3;
  }
}

// One item. `literal` is 0 or 1. kNearStart: a reference may reach before the start, so the
// fast test also checks the distance against the output written. kMove: the fixed move; a
// shorter one stores less and sends the longer references to the rare path.
template <class Variant, class Runs, bool kNearStart, size_t kMove = kItemMoveBytes>
BRASK_ALWAYS_INLINE void DecodePixelItem(unsigned literal, const uint8_t*& in, uint8_t*& out,
                                         uint8_t* dst) {
  size_t length, distance;
  Variant().ReadReference(in, &length, &distance);
  const size_t back = 3 * distance;
  // All loads come before the stores, so a reference is copied exactly when it ends before
  // the output it reads (length <= distance, which also refuses distance 0). One test, so
  // the compiler does not branch on the literal bit.
  unsigned fast = length <= distance;
  if (kMove < kItemMoveBytes) fast &= length * 3 <= kMove;
  if (kNearStart) fast &= back <= static_cast<size_t>(out - dst);
  if (__builtin_expect((literal | fast) == 0, 0)) {
    in += Variant::kReferenceBytes;
    CopyRarePixelReference<Runs>(out, dst, length, distance);
    return;
  }
  MoveBlocks<kMove>(out, Select(literal, in, out - back));
  out += 3 * Select(literal, 1, length);
  in += 2 + literal;
}

// The literals of a flag group: bits set in its 8 bits, from a table of 256 bytes. Every
// group asks, and one load beat the dozen shifts and masks of counting (2-6 %).
struct SetBitCounts {
  uint8_t of[256];
  constexpr SetBitCounts() : of{} {
    for (unsigned flags = 0; flags < 256; ++flags) {
      for (unsigned bit = 0; bit < 8; ++bit) of[flags] += (flags >> bit) & 1u;
    }
  }
};
inline constexpr SetBitCounts kSetBitCounts{};

BRASK_ALWAYS_INLINE unsigned LiteralCount(unsigned flags) {
  return kSetBitCounts.of[flags & 0xFFu];
}

// Moves the run of literals at the bottom of `flags` (up to 8 pixels, 24 bytes) as one
// block. The bits past the group's last item are clear, so the run stops at the group's end;
// with bit 0 clear the run is empty and the block only scratch.
BRASK_ALWAYS_INLINE void MoveLiteralRun(unsigned& flags, const uint8_t*& in, uint8_t*& out) {
  const unsigned run = static_cast<unsigned>(__builtin_ctz(~flags));
  MoveBlocks<32>(out, in);
  in += 3 * run;
  out += 3 * run;
  flags >>= run;
}

// A group of several literals, in steps of a literal run (perhaps empty) and the reference
// after it, which moves kShortMoveBytes: there, nearly every reference is one pixel. One
// step per reference and a last run, so the loop has one exit to mispredict, not two.
template <class Variant, class Runs, bool kNearStart>
BRASK_ALWAYS_INLINE void DecodeLiteralHeavyGroup(unsigned flags, unsigned literals,
                                                 const uint8_t*& in, uint8_t*& out,
                                                 uint8_t* dst) {
  unsigned references = 8 - literals;  // at least 1: not a group of 8 literals
  do {
    MoveLiteralRun(flags, in, out);
    DecodePixelItem<Variant, Runs, kNearStart, kShortMoveBytes>(0, in, out, dst);
    flags >>= 1;
  } while (--references != 0);
  MoveLiteralRun(flags, in, out);  // the literals left, all set
}

// One flag group: `flags` bit 0 first, `stored` the flag byte as the stream has it. Both
// have the same literals, so the group's way is chosen from `stored`, without waiting for a
// high-first byte's reversal. Eight literals move as one block of 24 bytes.
template <class Variant, class Runs, bool kNearStart>
BRASK_ALWAYS_INLINE void DecodePixelGroup(unsigned flags, unsigned stored, const uint8_t*& in,
                                          uint8_t*& out, uint8_t* dst) {
  if (stored == 0xFF) {
    MoveBlocks<32>(out, in);
    in += 24;
    out += 24;
  } else if (LiteralCount(stored) >= kLiteralHeavyGroup) {
    DecodeLiteralHeavyGroup<Variant, Runs, kNearStart>(flags, LiteralCount(stored), in, out,
                                                       dst);
  } else if (stored == 0) {
    // Eight references, half the groups of the picture with flat areas: no literal selects
    // (that picture +6-8 %).
    for (unsigned i = 0; i < 8; ++i) DecodePixelItem<Variant, Runs, kNearStart>(0, in, out, dst);
  } else {
    for (unsigned i = 0; i < 8; ++i) {
      DecodePixelItem<Variant, Runs, kNearStart>(flags & 1u, in, out, dst);
      flags >>= 1;
    }
  }
}

// The whole stream: groups near the start with the distance check, then groups without it,
// while input and room allow a whole group; the careful tail of lz_stream.h after them.
// kHighFirst: PDT flag order (high bit first, the first flag byte leads the stream and each
// next one follows the eighth item); otherwise G00's (low bit first, before the group).
template <class Variant, class Runs, bool kHighFirst>
BRASK_ALWAYS_INLINE size_t DecodePixelsUniform(uint8_t* dst, size_t dst_capacity,
                                               const uint8_t* src, size_t src_length) {
  static_assert(Variant::kUnit == 3 && Variant::kReferenceBytes == 2 &&
                    Variant::kMaxLength * 3 <= kItemMoveBytes,
                "a pixel variant with 2-byte references of at most 16 pixels");
  if (kHighFirst && src_length == 0) return 0;
  const size_t capacity_units = dst_capacity / 3;
  const uint8_t* in = kHighFirst ? src + 1 : src;
  const uint8_t* const in_end = src + src_length;
  uint8_t* out = dst;
  uint8_t* const out_end = dst + capacity_units * 3;
  unsigned flags = kHighFirst ? src[0] : 0;
  // Batches of groups that surely have room: one test per batch, not two per group.
  auto groups_with_room = [&] {
    return GroupsWithRoom(kPixelGroupLimits, static_cast<size_t>(in_end - in),
                          static_cast<size_t>(out_end - out));
  };
  // The next group's flag byte as stored. Low-first: it comes first. High-first: the one
  // read after the last group.
  auto stored_flags = [&] {
    if (!kHighFirst) flags = *in++;
    return flags;
  };
  // Bit 0 first.
  auto in_order = [](unsigned stored) { return kHighFirst ? ReverseFlags(stored) : stored; };
  auto after_group = [&] {
    if (kHighFirst) flags = *in++;
  };
  // Near the start, batches also stop once the output surely passes kPixelReachBytes.
  while (static_cast<size_t>(out - dst) < kPixelReachBytes) {
    const size_t to_reach = GroupsToWrite(static_cast<size_t>(out - dst), kPixelReachBytes,
                                          kPixelGroupLeastWritten);
    size_t groups = groups_with_room();
    if (groups == 0) break;
    for (groups = groups < to_reach ? groups : to_reach; groups != 0; --groups) {
      const unsigned stored = stored_flags();
      DecodePixelGroup<Variant, Runs, true>(in_order(stored), stored, in, out, dst);
      after_group();
    }
  }
  for (size_t groups = groups_with_room(); groups != 0; groups = groups_with_room()) {
    for (; groups != 0; --groups) {
      const unsigned stored = stored_flags();
      DecodePixelGroup<Variant, Runs, false>(in_order(stored), stored, in, out, dst);
      after_group();
    }
  }
#if defined(__i386__) || defined(__x86_64__)
  if constexpr (Runs::kWideRegisters) ClearUpperHalves();
#endif
  const size_t pos = static_cast<size_t>(in - src);
  const size_t out_units = static_cast<size_t>(out - dst) / 3;
  if (kHighFirst) {
    return FinishHighFirst(Variant(), dst, capacity_units, src, src_length, pos, out_units,
                           flags);
  }
  return FinishLowFirst(Variant(), dst, capacity_units, src, src_length, pos, out_units);
}

#if defined(__i386__) || defined(__x86_64__)
// The same as DecodePixelsSsse3, with the fixed moves in 32-byte registers.
template <class Variant, bool kHighFirst>
__attribute__((target("avx2"))) size_t DecodePixelsAvx2(uint8_t* dst, size_t dst_capacity,
                                                        const uint8_t* src, size_t src_length) {
  return DecodePixelsUniform<Variant, RunsByShuffleWide, kHighFirst>(dst, dst_capacity, src,
                                                                      src_length);
}
#endif

#if defined(BRASK_VECTOR_PATHS)
template <class Variant, bool kHighFirst>
BRASK_VECTOR_ENTRY("ssse3") size_t DecodePixelsSsse3(uint8_t* dst, size_t dst_capacity,
                                                     const uint8_t* src,
                                                     size_t src_length) {
  return DecodePixelsUniform<Variant, RunsByShuffle, kHighFirst>(dst, dst_capacity, src,
                                                                  src_length);
}

template <class Variant, bool kHighFirst>
BRASK_VECTOR_ENTRY("sse2") size_t DecodePixelsSse2(uint8_t* dst, size_t dst_capacity,
                                                   const uint8_t* src, size_t src_length) {
  return DecodePixelsUniform<Variant, RunsByWords, kHighFirst>(dst, dst_capacity, src,
                                                                src_length);
}
#endif

// A pixel variant on `path`, or on the group loop when the processor does not run it.
template <class Variant, bool kHighFirst>
size_t DecodePixelsOn(LzPath path, uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                      size_t src_length) {
#if defined(__i386__) || defined(__x86_64__)
  if (path == LzPath::kAvx2 && LzPathRuns(path)) {
    return DecodePixelsAvx2<Variant, kHighFirst>(dst, dst_capacity, src, src_length);
  }
#endif
#if defined(BRASK_VECTOR_PATHS)
  if (path == LzPath::kSsse3 && LzPathRuns(path)) {
    return DecodePixelsSsse3<Variant, kHighFirst>(dst, dst_capacity, src, src_length);
  }
  if (path == LzPath::kSse2 && LzPathRuns(path)) {
    return DecodePixelsSse2<Variant, kHighFirst>(dst, dst_capacity, src, src_length);
  }
#endif
  (void)path;
  if (kHighFirst) return DecodeHighFirst(Variant(), dst, dst_capacity, src, src_length);
  return DecodeLowFirst(Variant(), dst, dst_capacity, src, src_length);
}

}  // namespace lz_detail
