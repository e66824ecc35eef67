// The frame the five stream variants share: flag bytes steering literals and
// back-references, and the unit-by-unit copy that keeps every read inside the units
// already written. A variant supplies its unit size, the size of a back-reference and how
// one is decoded; the two flag disciplines below drive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lz_detail {

// Appends one unit. Returns false, writing nothing, when it would not fit.
template <size_t kUnit>
inline bool PutLiteral(uint8_t* dst, size_t& out_units, size_t capacity_units,
                       const uint8_t* unit) {
  if (out_units >= capacity_units) return false;
  std::memcpy(dst + out_units * kUnit, unit, kUnit);
  ++out_units;
  return true;
}

// Copies `length` units from `distance` units back, one unit at a time, so a distance below
// the length repeats what was just written. A unit whose source is not an already written
// unit (distance 0, or reaching before the start) is written as zeros. Returns false when
// a unit would not fit; the units before it are written.
template <size_t kUnit>
inline bool CopyUnits(uint8_t* dst, size_t& out_units, size_t capacity_units, size_t length,
                      size_t distance) {
  for (size_t i = 0; i < length; ++i) {
    if (out_units >= capacity_units) return false;
    uint8_t* to = dst + out_units * kUnit;
    if (distance == 0 || distance > out_units) {
      std::memset(to, 0, kUnit);
    } else {
      const uint8_t* from = to - distance * kUnit;
      for (size_t b = 0; b < kUnit; ++b) to[b] = from[b];
    }
    ++out_units;
  }
  return true;
}

// Flags low bit first, each flag byte fetched before the first item of its group.
template <class Variant>
size_t DecodeLowFirst(const Variant& variant, uint8_t* dst, size_t dst_capacity,
                      const uint8_t* src, size_t src_length) {
  constexpr size_t kUnit = Variant::kUnit;
  const size_t capacity_units = dst_capacity / kUnit;
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
      if (src_length - pos < kUnit) break;
      if (!PutLiteral<kUnit>(dst, out, capacity_units, src + pos)) break;
      pos += kUnit;
    } else {
      if (src_length - pos < Variant::kReferenceBytes) break;
      size_t length, distance;
      variant.ReadReference(src + pos, &length, &distance);
      pos += Variant::kReferenceBytes;
      if (!CopyUnits<kUnit>(dst, out, capacity_units, length, distance)) break;
    }
  }
  return out;
}

// Flags high bit first; the first flag byte leads the stream, each later one follows the
// eighth item of its group.
template <class Variant>
size_t DecodeHighFirst(const Variant& variant, uint8_t* dst, size_t dst_capacity,
                       const uint8_t* src, size_t src_length) {
  constexpr size_t kUnit = Variant::kUnit;
  if (src_length == 0) return 0;
  const size_t capacity_units = dst_capacity / kUnit;
  size_t out = 0;
  unsigned flags = src[0];
  size_t pos = 1;
  unsigned mask = 0x80;
  while (pos < src_length) {
    if ((flags & mask) != 0) {
      if (src_length - pos < kUnit) break;
      if (!PutLiteral<kUnit>(dst, out, capacity_units, src + pos)) break;
      pos += kUnit;
    } else {
      if (src_length - pos < Variant::kReferenceBytes) break;
      size_t length, distance;
      variant.ReadReference(src + pos, &length, &distance);
      pos += Variant::kReferenceBytes;
      if (!CopyUnits<kUnit>(dst, out, capacity_units, length, distance)) break;
    }
    if (mask == 0x01) {
      if (pos >= src_length) break;  // a flag byte due exactly at the end
      flags = src[pos++];
      mask = 0x80;
    } else {
      mask >>= 1;
    }
  }
  return out;
}

}  // namespace lz_detail
