// SPDX-License-Identifier: MIT
// The plain decoders: the five stream variants written the straightforward way, one unit at
// a time with a bounds check per unit and a byte loop per copied unit. They are the baseline
// the benchmarks measure against and the reference the tests and fuzz targets compare the
// plug-in's decoders with, so they keep the same rules for bad streams (see codec/lz.h):
// a unit that does not fit stops decoding, a truncated item stops decoding, and a copied
// unit whose source lies outside the units already written becomes zero bytes.
// Header-only, so the fuzz targets (which link no benchmark code) can use it too.
//
// StrictDecode*, given a StrictCheck, instead reads as the streams' description says and fails
// on whatever it does not allow: a read past the stream (a cut item, or a PDT flag byte due
// right after an eighth item at the very end), a back-reference to a unit not yet written
// (distance 0 or before the start; a PDT11 table entry of 0 or below), or a unit beyond the
// capacity. It also counts the items. Tests read our encoders' output with it.
#pragma once

#include <cstddef>
#include <cstdint>

// Filled by a strict decode: whether the stream was read without fault, and its items.
struct StrictCheck {
  bool failed = false;
  size_t items = 0;
};

namespace plain_detail {

// A back-reference's length and distance, both in units.
struct Reference {
  size_t length;
  size_t distance;
};

inline unsigned ReadWord(const uint8_t* p) { return p[0] | static_cast<unsigned>(p[1]) << 8; }

// Appends one literal unit; false (nothing written) when it does not fit.
inline bool PutUnit(uint8_t* dst, size_t& out, size_t capacity_units, size_t unit,
                    const uint8_t* from) {
  if (out >= capacity_units) return false;
  for (size_t b = 0; b < unit; ++b) dst[out * unit + b] = from[b];
  ++out;
  return true;
}

// Copies reference.length units, one at a time; a unit whose source is not written yet
// (distance 0, or before the start) becomes zeros. False when a unit does not fit.
inline bool CopyReference(uint8_t* dst, size_t& out, size_t capacity_units, size_t unit,
                          Reference reference) {
  for (size_t i = 0; i < reference.length; ++i) {
    if (out >= capacity_units) return false;
    for (size_t b = 0; b < unit; ++b) {
      const bool inside = reference.distance != 0 && reference.distance <= out;
      dst[out * unit + b] = inside ? dst[(out - reference.distance) * unit + b] : 0;
    }
    ++out;
  }
  return true;
}

// Flags low bit first, each flag byte before its eight items (G00).
// A reference's source must be a unit already written.
inline bool Reaches(const Reference& reference, size_t out) {
  return reference.distance != 0 && reference.distance <= out;
}

// Records a strict fault; returns whether decoding stops (only when strict).
inline bool Fault(StrictCheck* strict) {
  if (strict != nullptr) strict->failed = true;
  return strict != nullptr;
}

template <class ReadReference>
size_t DecodeLowFirst(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length,
                      size_t unit, size_t reference_bytes, ReadReference read_reference,
                      StrictCheck* strict = nullptr) {
  const size_t capacity_units = dst_capacity / unit;
  size_t out = 0;
  size_t pos = 0;
  unsigned flags = 0;
  unsigned mask = 0x80;
  while (pos < src_length) {
    if (mask == 0x80) {
      flags = src[pos++];
      mask = 0x01;
    } else {
      mask <<= 1;
    }
    if ((flags & mask) != 0) {
      if (src_length - pos < unit) { Fault(strict); break; }
      if (!PutUnit(dst, out, capacity_units, unit, src + pos)) { Fault(strict); break; }
      pos += unit;
    } else {
      if (src_length - pos < reference_bytes) { Fault(strict); break; }
      const Reference reference = read_reference(src + pos);
      pos += reference_bytes;
      if (!Reaches(reference, out) && Fault(strict)) break;
      if (!CopyReference(dst, out, capacity_units, unit, reference)) { Fault(strict); break; }
    }
    if (strict != nullptr) ++strict->items;
  }
  return out;
}

// Flags high bit first; the first flag byte leads, each later one follows an eighth item
// (PDT).
template <class ReadReference>
size_t DecodeHighFirst(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                       size_t src_length, size_t unit, size_t reference_bytes,
                       ReadReference read_reference, StrictCheck* strict) {
  if (src_length == 0) return 0;
  const size_t capacity_units = dst_capacity / unit;
  size_t out = 0;
  unsigned flags = src[0];
  size_t pos = 1;
  unsigned mask = 0x80;
  while (pos < src_length) {
    if ((flags & mask) != 0) {
      if (src_length - pos < unit) { Fault(strict); break; }
      if (!PutUnit(dst, out, capacity_units, unit, src + pos)) { Fault(strict); break; }
      pos += unit;
    } else {
      if (src_length - pos < reference_bytes) { Fault(strict); break; }
      const Reference reference = read_reference(src + pos);
      pos += reference_bytes;
      if (!Reaches(reference, out) && Fault(strict)) break;
      if (!CopyReference(dst, out, capacity_units, unit, reference)) { Fault(strict); break; }
    }
    if (strict != nullptr) ++strict->items;
    if (mask == 0x01) {
      // The next flag byte is fetched right after the eighth item, before the end test.
      if (pos >= src_length) { Fault(strict); break; }
      flags = src[pos++];
      mask = 0x80;
    } else {
      mask >>= 1;
    }
  }
  return out;
}

}  // namespace plain_detail

inline size_t StrictDecodeG00Bytes(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                                  size_t src_length, StrictCheck* strict) {
  return plain_detail::DecodeLowFirst(dst, dst_capacity, src, src_length, 1, 2,
                                      [](const uint8_t* p) {
                                        const unsigned w = plain_detail::ReadWord(p);
                                        return plain_detail::Reference{(w & 15u) + 2u, w >> 4};
                                      }, strict);
}

inline size_t StrictDecodeG00Pixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                                   size_t src_length, StrictCheck* strict) {
  return plain_detail::DecodeLowFirst(dst, dst_capacity, src, src_length, 3, 2,
                                      [](const uint8_t* p) {
                                        const unsigned w = plain_detail::ReadWord(p);
                                        return plain_detail::Reference{(w & 15u) + 1u, w >> 4};
                                      }, strict);
}

inline size_t StrictDecodePdtPixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                                   size_t src_length, StrictCheck* strict) {
  return plain_detail::DecodeHighFirst(
      dst, dst_capacity, src, src_length, 3, 2, [](const uint8_t* p) {
        const unsigned w = plain_detail::ReadWord(p);
        return plain_detail::Reference{(w & 15u) + 1u, (w >> 4) + 1u};
      }, strict);
}

inline size_t StrictDecodePdtMask(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                                 size_t src_length, StrictCheck* strict) {
  return plain_detail::DecodeHighFirst(dst, dst_capacity, src, src_length, 1, 2,
                                       [](const uint8_t* p) {
                                         return plain_detail::Reference{p[0] + 2u, p[1] + 1u};
                                       }, strict);
}

// `block`: 16 little-endian 32-bit distances, then the stream; the length counts from the
// block's start. A distance of 0 or below (as a signed 32-bit value) reaches outside.
inline size_t StrictDecodePdtIndexed(uint8_t* dst, size_t dst_capacity, const uint8_t* block,
                                    size_t block_length, StrictCheck* strict) {
  // Strictly, the table and the first flag byte must be there; a stream may end after it.
  if (block_length < 65 && plain_detail::Fault(strict)) return 0;
  if (block_length <= 65) return 0;
  size_t distances[16];
  for (size_t i = 0; i < 16; ++i) {
    const uint8_t* p = block + 4 * i;
    const uint32_t raw = p[0] | static_cast<uint32_t>(p[1]) << 8 |
                         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    distances[i] = raw - 1u < 0x7FFFFFFFu ? raw : 0;  // 1 .. INT32_MAX
  }
  return plain_detail::DecodeHighFirst(dst, dst_capacity, block + 64, block_length - 64, 1, 1,
                                       [&distances](const uint8_t* p) {
                                         return plain_detail::Reference{(p[0] >> 4) + 2u,
                                                                        distances[p[0] & 15]};
                                       }, strict);
}

// The plain decoders, lenient: as StrictDecode* without a check.
inline size_t PlainDecodeG00Bytes(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return StrictDecodeG00Bytes(dst, dst_capacity, src, src_length, nullptr);
}
inline size_t PlainDecodeG00Pixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return StrictDecodeG00Pixels(dst, dst_capacity, src, src_length, nullptr);
}
inline size_t PlainDecodePdtPixels(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return StrictDecodePdtPixels(dst, dst_capacity, src, src_length, nullptr);
}
inline size_t PlainDecodePdtMask(uint8_t* dst, size_t dst_capacity, const uint8_t* src, size_t src_length) {
  return StrictDecodePdtMask(dst, dst_capacity, src, src_length, nullptr);
}
inline size_t PlainDecodePdtIndexed(uint8_t* dst, size_t dst_capacity, const uint8_t* block, size_t block_length) {
  return StrictDecodePdtIndexed(dst, dst_capacity, block, block_length, nullptr);
}
