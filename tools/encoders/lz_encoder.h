// Encoders for the five LZ stream variants: turn units into a valid stream that the
// plug-in's decoders read back unchanged. Not part of the plug-in; tests, fuzz seeds,
// benchmarks, the samples and the brask program use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace encode {

enum class LzVariant { kG00Bytes, kG00Pixels, kPdtPixels, kPdtMask, kPdtIndexed };

struct LzOptions {
  // Matcher effort: how many earlier positions with the same hash are tried.
  int max_chain_length = 32;
  // Try the next position before taking a match (lazy matching) instead of greedy. It only
  // changes the byte variants with 2-byte references (kG00Bytes, kPdtMask): elsewhere a
  // literal before a match never saves bytes, so those stay greedy.
  bool lazy = true;
  // Only literals: no back-references at all.
  bool literals_only = false;
  // Cap on a match's length in units; 0 means the variant's maximum.
  size_t max_match_length = 0;
  // PDT variants: when the last flag group is full, end the stream with one more flag byte.
  bool end_after_flag_byte = false;
  // kPdtIndexed: the 16 byte distances to use; empty means chosen from the data (the
  // distances that a first pass over the data finds most useful). Entries of 0 or below
  // are stored but never referred to.
  std::vector<int32_t> indexed_distances;
};

// Encodes byte_count bytes (a multiple of 3 for the pixel variants; std::invalid_argument
// otherwise). For kPdtIndexed the result is the whole block the decoder takes: the 16-entry
// distance table, then the stream. No input gives an empty G00 stream and, for PDT, the
// leading flag byte alone. Back-references only name units already written, within the
// variant's reach (G00 1..4095 units, PDT colour 1..4096 pixels, PDT mask 1..256 bytes).
std::vector<uint8_t> EncodeLz(LzVariant variant, const uint8_t* data, size_t byte_count,
                              const LzOptions& options = {});

// The largest back-reference length and distance a variant can encode, in units (for
// kPdtIndexed the distance is whatever the table holds).
size_t MaxMatchLength(LzVariant variant);
size_t MinMatchLength(LzVariant variant);
size_t MaxMatchDistance(LzVariant variant);

}  // namespace encode
