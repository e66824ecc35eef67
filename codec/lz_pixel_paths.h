// The ways the two pixel decoders can run. DecodeG00Pixels and DecodePdtPixels take the
// fastest path the processor runs; tests, fuzz targets and benchmarks name a path to check
// or measure each one. All paths decode every stream to the same units and bytes.
#pragma once

#include <cstddef>
#include <cstdint>

enum class LzPath {
  kGroups,  // the group loop of lz_stream.h, any processor
  kSse2,    // item-uniform loop; runs of one pixel take the rare path
  kSsse3,   // item-uniform loop with pshufb run patterns
};

constexpr LzPath kLzPaths[] = {LzPath::kGroups, LzPath::kSse2, LzPath::kSsse3};

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

// The same bound to one path, with the signature of the other stream decoders.
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
