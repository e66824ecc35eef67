// SPDX-License-Identifier: MIT
// The frame the five stream variants share: flag bytes steering literals and
// back-references. Each decoder runs a fast loop over whole flag groups while the input and
// the output are far enough from their ends that no item needs a check, then a careful tail
// that checks every unit. The two loops must stay in step: they read the same items and
// apply the same rules for bad streams (codec/lz.h). The fast loop moves whole blocks and
// may write up to kSlack bytes past the item it decodes (never past the capacity); the items
// after it rewrite them, so past the units a decoder returns its buffer holds unspecified
// bytes, and callers zero what the stream did not produce. Trusts nothing from the stream;
// needs dst and src not to overlap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lz_detail {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the run patterns below are built as little-endian words");

// A variant supplies:
//   kUnit           bytes per unit (1 or 3)
//   kReferenceBytes bytes of a back-reference item (1 or 2)
//   kMaxLength      longest back-reference, in units
//   ReadReference(p, &length, &distance), both in units; a distance of 0 means "outside".

// ---- Fixed-size moves. Constant sizes only: every compiler emits plain loads and stores,
// never a call (the DLL's memcpy for variable sizes is a slow rep movsb).

template <size_t kBytes>
inline void Move(uint8_t* to, const uint8_t* from) {
  uint8_t chunk[kBytes];
  __builtin_memcpy(chunk, from, kBytes);
  __builtin_memcpy(to, chunk, kBytes);
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  __builtin_memcpy(&value, p, 8);
  return value;
}

template <class Word>
inline void Store(uint8_t* p, Word value) {
  __builtin_memcpy(p, &value, sizeof(Word));
}

// For a run pattern of period d < 8 bytes stored as one 8-byte word: the largest multiple of
// d that fits in 8, so each store starts at the pattern's first byte.
constexpr unsigned kPatternStep[8] = {8, 8, 8, 6, 8, 5, 6, 7};

// How far past an item the fast loop's block moves may read or write.
constexpr size_t kSlack = 32;

// Copies n >= 1 bytes from d bytes back, forwards, so d < n repeats the last d bytes (a
// run): [out, out + n) ends up as a byte-at-a-time copy leaves it, and up to 15 bytes after
// it are overwritten with scratch. Needs 1 <= d <= written (the bytes before out) and
// n + 15 bytes of room at out.
inline void CopyMatchWide(uint8_t* out, size_t d, size_t n, size_t written) {
  uint8_t* const end = out + n;
  if (d >= 16) {
    // Each load lies at least 16 bytes back, so it reads only finished bytes.
    do {
      Move<16>(out, out - d);
      out += 16;
    } while (out < end);
    return;
  }
  if (d >= 8) {
    do {
      Move<8>(out, out - d);
      out += 8;
    } while (out < end);
    return;
  }
  // A run with a period d < 8: repeat the last d bytes as an 8-byte word.
  uint64_t pattern;
  if (written >= 8) {
    pattern = Load64(out - 8) >> (8 * (8 - d));
  } else {
    pattern = 0;
    const uint8_t* from = out - d;
    for (size_t i = 0; i < d; ++i) pattern |= static_cast<uint64_t>(from[i]) << (8 * i);
  }
  pattern |= pattern << (8 * d);
  if (d < 4) pattern |= pattern << (16 * d);
  if (d < 2) pattern |= pattern << (32 * d);
  const size_t step = kPatternStep[d];
  do {
    Store(out, pattern);
    out += step;
  } while (out < end);
}

// The careful copy: `length` units from `distance` units back, one unit at a time; a unit
// whose source is not an already written unit (distance 0, or before the start) is written
// as zeros. Returns false when a unit would not fit; the units before it are written.
template <size_t kUnit>
inline bool CopyUnitsChecked(uint8_t* dst, size_t& out_units, size_t capacity_units,
                             size_t length, size_t distance) {
  for (size_t i = 0; i < length; ++i) {
    if (out_units >= capacity_units) return false;
    uint8_t* to = dst + out_units * kUnit;
    if (distance == 0 || distance > out_units) {
      for (size_t b = 0; b < kUnit; ++b) to[b] = 0;
    } else {
      const uint8_t* from = to - distance * kUnit;
      for (size_t b = 0; b < kUnit; ++b) to[b] = from[b];
    }
    ++out_units;
  }
  return true;
}

// Bit i of the result is bit 7 - i of `flags`: high-first groups run through the same
// low-first group loop. One load from a table of 256 bytes, not a dozen shifts and masks on
// the way to every group's first item.
struct ReversedFlagBytes {
  uint8_t of[256];
  constexpr ReversedFlagBytes() : of{} {
    for (unsigned flags = 0; flags < 256; ++flags) {
      for (unsigned bit = 0; bit < 8; ++bit) {
        if ((flags >> bit & 1u) != 0) of[flags] |= static_cast<uint8_t>(0x80u >> bit);
      }
    }
  }
};
inline constexpr ReversedFlagBytes kReversedFlagBytes{};

inline unsigned ReverseFlags(unsigned flags) { return kReversedFlagBytes.of[flags & 0xFFu]; }

// How many flag groups in a row surely have room, so that a loop tests once per batch
// instead of once per group. A loop runs a group while more than `input_needed` bytes of
// input and at least `output_needed` bytes of room are left, and a group moves the input by
// at most `most_read` and the output by at most `most_written`. 0 exactly when the next group
// may not run.
struct GroupLimits {
  size_t input_needed;
  size_t output_needed;
  size_t most_read;
  size_t most_written;
};

inline size_t GroupsWithRoom(const GroupLimits& limits, size_t input_left, size_t output_left) {
  if (input_left <= limits.input_needed || output_left < limits.output_needed) return 0;
  const size_t by_input = (input_left - limits.input_needed - 1) / limits.most_read + 1;
  const size_t by_output = (output_left - limits.output_needed) / limits.most_written + 1;
  return by_input < by_output ? by_input : by_output;
}

// How many groups, each writing at least `least_written` bytes, surely take the output from
// `written` bytes to at least `bytes` (written < bytes).
inline size_t GroupsToWrite(size_t written, size_t bytes, size_t least_written) {
  return (bytes - written - 1) / least_written + 1;
}

// Widest flag group: at most 8 items of the longer item kind, and their longest output.
template <class Variant>
struct GroupBounds {
  static constexpr size_t kLongestItem =
      Variant::kUnit > Variant::kReferenceBytes ? Variant::kUnit : Variant::kReferenceBytes;
  static constexpr size_t kInput = 8 * kLongestItem;
  static constexpr size_t kOutput = 8 * Variant::kMaxLength * Variant::kUnit;
};

// Decodes the eight items of one flag group (bit 0 first) with no bounds checks. Needs
// GroupBounds::kInput + kSlack bytes of input at `in` and GroupBounds::kOutput + kSlack bytes
// of room at `out`; a literal run moves as one block, a back-reference inside the output as
// a CopyMatchWide, and one reaching outside goes through the careful unit copy (which then
// never meets the capacity).
template <class Variant>
inline void DecodeGroupFast(const Variant& variant, unsigned flags, const uint8_t*& in,
                            uint8_t*& out, uint8_t* dst) {
  constexpr size_t kUnit = Variant::kUnit;
  unsigned left = 8;
  do {
    if ((flags & 1u) != 0) {
      // Bits above `left` are clear, so the run stops at the group's end.
      const unsigned run = static_cast<unsigned>(__builtin_ctz(~flags));
      const size_t n = run * kUnit;
      Move<8 * kUnit>(out, in);  // the longest run: the slack covers the rest
      in += n;
      out += n;
      flags >>= run;
      left -= run;
    } else {
      size_t length, distance;
      variant.ReadReference(in, &length, &distance);
      in += Variant::kReferenceBytes;
      const size_t written = static_cast<size_t>(out - dst);
      const size_t d = distance * kUnit;
      if (d - 1 < written) {  // 1 <= d <= written; d = 0 wraps and fails
        CopyMatchWide(out, d, length * kUnit, written);
        out += length * kUnit;
      } else {
        size_t out_units = written / kUnit;
        CopyUnitsChecked<kUnit>(dst, out_units, out_units + length, length, distance);
        out = dst + out_units * kUnit;
      }
      flags >>= 1;
      --left;
    }
  } while (left != 0);
}

// Where the careful tail takes over: the read position, the units written, the flag byte in
// use and the bit for the next item.
struct TailState {
  size_t pos;
  size_t out_units;
  unsigned flags;
  unsigned mask;
};

// One item, careful. Returns false when decoding stops (truncated item, or no room).
template <class Variant>
inline bool DecodeItemChecked(const Variant& variant, bool literal, uint8_t* dst,
                              size_t capacity_units, const uint8_t* src, size_t src_length,
                              TailState& s) {
  constexpr size_t kUnit = Variant::kUnit;
  if (literal) {
    if (src_length - s.pos < kUnit) return false;
    if (s.out_units >= capacity_units) return false;
    uint8_t* to = dst + s.out_units * kUnit;
    for (size_t b = 0; b < kUnit; ++b) to[b] = src[s.pos + b];
    s.pos += kUnit;
    ++s.out_units;
    return true;
  }
  if (src_length - s.pos < Variant::kReferenceBytes) return false;
  size_t length, distance;
  variant.ReadReference(src + s.pos, &length, &distance);
  s.pos += Variant::kReferenceBytes;
  return CopyUnitsChecked<kUnit>(dst, s.out_units, capacity_units, length, distance);
}

// The careful tails. Low-first: from a group boundary at byte `pos` of the stream, where
// the next byte is a flag byte, with `out_units` units written. Returns the units written.
template <class Variant>
size_t FinishLowFirst(const Variant& variant, uint8_t* dst, size_t capacity_units,
                      const uint8_t* src, size_t src_length, size_t pos, size_t out_units) {
  TailState s{pos, out_units, 0, 0x80};
  while (s.pos < src_length) {
    if (s.mask == 0x80) {
      s.flags = src[s.pos++];
      s.mask = 0x01;
    } else {
      s.mask <<= 1;
    }
    if (!DecodeItemChecked(variant, (s.flags & s.mask) != 0, dst, capacity_units, src,
                           src_length, s)) {
      break;
    }
  }
  return s.out_units;
}

// High-first: from a group boundary whose flag byte `flags` is already read.
template <class Variant>
size_t FinishHighFirst(const Variant& variant, uint8_t* dst, size_t capacity_units,
                       const uint8_t* src, size_t src_length, size_t pos, size_t out_units,
                       unsigned flags) {
  TailState s{pos, out_units, flags, 0x80};
  while (s.pos < src_length) {
    if (!DecodeItemChecked(variant, (s.flags & s.mask) != 0, dst, capacity_units, src,
                           src_length, s)) {
      break;
    }
    if (s.mask == 0x01) {
      if (s.pos >= src_length) break;  // a flag byte due exactly at the end
      s.flags = src[s.pos++];
      s.mask = 0x80;
    } else {
      s.mask >>= 1;
    }
  }
  return s.out_units;
}

// Flags low bit first, each flag byte fetched before the first item of its group (G00).
template <class Variant>
size_t DecodeLowFirst(const Variant& variant, uint8_t* dst, size_t dst_capacity,
                      const uint8_t* src, size_t src_length) {
  using Bounds = GroupBounds<Variant>;
  constexpr size_t kUnit = Variant::kUnit;
  const size_t capacity_units = dst_capacity / kUnit;
  const uint8_t* in = src;
  const uint8_t* const in_end = src + src_length;
  uint8_t* out = dst;
  uint8_t* const out_end = dst + capacity_units * kUnit;
  // Fast loop: a flag byte and its eight items read at most 1 + Bounds::kInput bytes (25 for
  // pixels, 17 for bytes) and write at most Bounds::kOutput (384 for pixels, 136 for bytes).
  while (static_cast<size_t>(in_end - in) > Bounds::kInput + kSlack &&
         static_cast<size_t>(out_end - out) >= Bounds::kOutput + kSlack) {
    const unsigned flags = *in++;
    DecodeGroupFast(variant, flags, in, out, dst);
  }
  return FinishLowFirst(variant, dst, capacity_units, src, src_length,
                        static_cast<size_t>(in - src), static_cast<size_t>(out - dst) / kUnit);
}

// Flags high bit first; the first flag byte leads the stream, each later one follows the
// eighth item of its group (PDT).
template <class Variant>
size_t DecodeHighFirst(const Variant& variant, uint8_t* dst, size_t dst_capacity,
                       const uint8_t* src, size_t src_length) {
  using Bounds = GroupBounds<Variant>;
  constexpr size_t kUnit = Variant::kUnit;
  if (src_length == 0) return 0;
  const size_t capacity_units = dst_capacity / kUnit;
  const uint8_t* in = src + 1;
  const uint8_t* const in_end = src + src_length;
  uint8_t* out = dst;
  uint8_t* const out_end = dst + capacity_units * kUnit;
  unsigned flags = src[0];
  // Fast loop: eight items and the next flag byte read at most Bounds::kInput + 1 bytes (25
  // for pixels, 17 for the mask, 9 for indexes), so the flag byte after the eighth item is
  // never due at the end; they write at most Bounds::kOutput (384 for pixels, 2056 for the
  // mask, 136 for indexes).
  while (static_cast<size_t>(in_end - in) > Bounds::kInput + kSlack &&
         static_cast<size_t>(out_end - out) >= Bounds::kOutput + kSlack) {
    DecodeGroupFast(variant, ReverseFlags(flags), in, out, dst);
    flags = *in++;
  }
  return FinishHighFirst(variant, dst, capacity_units, src, src_length,
                         static_cast<size_t>(in - src), static_cast<size_t>(out - dst) / kUnit,
                         flags);
}

}  // namespace lz_detail
