// SPDX-License-Identifier: MIT
// What every LZ decoder target checks: the plug-in's decoder and the plain reference decoder
// (one unit at a time, bench/plain_decoder.h) must write the same units and the same bytes,
// and stay inside a buffer of exactly the capacity (past the units returned, the plug-in's
// decoder may leave scratch, which callers zero). Input: bytes 0-2 give the capacity in
// bytes (little-endian, at most 64 KiB, which keeps runs fast while leaving room for every
// item length and distance), the rest is the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/lz_paths.h"

namespace fuzz_lz {

constexpr size_t kCapacityBytes = 3;
constexpr size_t kLargestCapacity = size_t{1} << 16;
// What the buffers hold before decoding: a byte no decoder has reason to write on its own.
constexpr uint8_t kUntouched = 0xA5;

using Decoder = size_t (*)(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                           size_t src_length);

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

template <class Decode>
int Differ(const uint8_t* data, size_t size, size_t unit, Decode decoder, Decoder reference) {
  if (size < kCapacityBytes) return 0;
  const size_t stored = data[0] | size_t{data[1]} << 8 | size_t{data[2]} << 16;
  const size_t capacity = stored % (kLargestCapacity + 1);
  // The stream in a buffer of its own, exactly its size, so a read past it is seen.
  const std::vector<uint8_t> stream(data + kCapacityBytes, data + size);
  const uint8_t* src = stream.empty() ? nullptr : stream.data();

  std::vector<uint8_t> fast(capacity, kUntouched);
  std::vector<uint8_t> plain(capacity, kUntouched);
  const size_t units = decoder(fast.data(), capacity, src, stream.size());
  const size_t plain_units = reference(plain.data(), capacity, src, stream.size());
  Check(units <= capacity / unit);
  Check(units == plain_units);
  // The same bytes in every unit decoded.
  Check(units == 0 || std::memcmp(fast.data(), plain.data(), units * unit) == 0);
  return 0;
}

// Differ for a decoder on every path (codec/lz_paths.h) this processor runs.
using PathDecoder = size_t (*)(LzPath path, uint8_t* dst, size_t dst_capacity,
                               const uint8_t* src, size_t src_length);

inline int DifferOnEveryPath(const uint8_t* data, size_t size, size_t unit, PathDecoder decoder,
                             Decoder reference) {
  for (LzPath path : kLzPaths) {
    if (!LzPathRuns(path)) continue;
    auto on_path = [decoder, path](uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                                   size_t src_length) {
      return decoder(path, dst, dst_capacity, src, src_length);
    };
    Differ(data, size, unit, on_path, reference);
  }
  return 0;
}

}  // namespace fuzz_lz
