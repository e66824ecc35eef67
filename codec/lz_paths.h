// SPDX-License-Identifier: MIT
// The ways the stream decoders with more than one loop can run: the two pixel decoders and
// G00 bytes. Each takes the fastest path the processor runs; tests, fuzz
// targets and benchmarks name a path to check or measure each one. All paths decode every
// stream to the same units and bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the vector loops of kSse2 and kSsse3 are compiled: on x86 each in an entry for its
// instruction set, taken when the processor runs it; in a WebAssembly module built with SIMD
// (-msimd128) for the whole module, whose 16-byte vectors they use as they are.
#if defined(__i386__) || defined(__x86_64__)
#define BRASK_VECTOR_PATHS 1
#define BRASK_VECTOR_ENTRY(features) __attribute__((target(features)))
#elif defined(__wasm_simd128__)
#define BRASK_VECTOR_PATHS 1
#define BRASK_VECTOR_ENTRY(features)
#endif

enum class LzPath {
  kGroups,  // the group loop of lz_stream.h, any processor
  kSse2,    // pixels: the item-uniform loop (lz_pixel_items.h); bytes: the step loop
            // (lz_byte_steps.h)
  kSsse3,   // pixels: as kSse2, with runs of one pixel by pshufb; bytes: as kSse2
  kAvx2,    // pixels: as kSsse3, compiled for AVX2 (32-byte moves); bytes: as kSse2
};

constexpr LzPath kLzPaths[] = {LzPath::kGroups, LzPath::kSse2, LzPath::kSsse3, LzPath::kAvx2};
constexpr int kLzPathCount = sizeof kLzPaths / sizeof kLzPaths[0];

const char* LzPathName(LzPath path);
// Whether this processor runs `path`.
bool LzPathRuns(LzPath path);
LzPath FastestLzPath();

// As DecodeG00Pixels and DecodePdtPixels on a given path; one the processor does not run
// falls back to kGroups.
size_t DecodeG00PixelsOn(LzPath path, uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                         size_t src_length);
size_t DecodePdtPixelsOn(LzPath path, uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                         size_t src_length);

// As DecodeG00Bytes on a given path, likewise.
size_t DecodeG00BytesOn(LzPath path, uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                        size_t src_length);

// The same bound to one path, with the signature of the other stream decoders.
template <LzPath kPath>
size_t DecodeG00BytesOnPath(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                            size_t src_length) {
  return DecodeG00BytesOn(kPath, dst, dst_capacity, src, src_length);
}

template <LzPath kPath>
size_t DecodeG00PixelsOnPath(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                             size_t src_length) {
  return DecodeG00PixelsOn(kPath, dst, dst_capacity, src, src_length);
}

template <LzPath kPath>
size_t DecodePdtPixelsOnPath(uint8_t* dst, size_t dst_capacity, const uint8_t* src,
                             size_t src_length) {
  return DecodePdtPixelsOn(kPath, dst, dst_capacity, src, src_length);
}
