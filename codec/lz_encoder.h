// SPDX-License-Identifier: MIT
// Encoders for the five LZ stream variants: turn units into a stream that the decoders of
// codec/lz.h, and any decoder that follows the streams' description, read back unchanged.
// They use the standard library and are not part of the plug-in DLL: libbrask's encode
// functions, tests, fuzz seeds, benchmarks and the brask program use them. Bad arguments
// throw std::invalid_argument, allocation failure std::bad_alloc; the C API catches both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace encode {

enum class LzVariant { kG00Bytes, kG00Pixels, kPdtPixels, kPdtMask, kPdtIndexed };

// Effort levels. 0-3: greedy or lazy matching with growing hash chains (faster, larger);
// 4: the lazy matcher the encoders have always used, so levels 4 and up are never larger
// than it; 5-9: a shortest path over the items' real costs, with growing match searches,
// 9 looking at every earlier position in reach. Each level from 5 keeps level 4's stream
// when that is smaller (the path counts flag bits as 1/8 byte, so it can lose a byte).
constexpr int kLowestLevel = 0;
constexpr int kHighestLevel = 9;
constexpr int kLazyLevel = 4;
constexpr int kDefaultLevel = 9;

struct LzOptions {
  int level = kDefaultLevel;
  // Only literals: no back-references at all.
  bool literals_only = false;
  // Cap on a match's length in units; 0 means the variant's maximum.
  size_t max_match_length = 0;
  // kPdtIndexed: the 16 byte distances to use; empty means chosen from the data. Entries of
  // 0 or below are stored but never referred to.
  std::vector<int32_t> indexed_distances;
};

// Encodes byte_count bytes (a multiple of 3 for the pixel variants). For kPdtIndexed the
// result is the whole block the decoder takes: the 16-entry distance table, then the
// stream. No input gives an empty G00 stream and, for PDT, the leading flag byte alone. A
// PDT stream whose last flag group is full ends with one more flag byte, which the decoder
// fetches right after the eighth item. Back-references only name units already written,
// within the variant's reach (G00 1..4095 units, PDT colour 1..4096 pixels, PDT mask
// 1..256 bytes). *item_count, when given, receives the number of items written.
std::vector<uint8_t> EncodeLz(LzVariant variant, const uint8_t* data, size_t byte_count,
                              const LzOptions& options = {}, size_t* item_count = nullptr);

// The largest back-reference length and distance a variant can encode, in units (for
// kPdtIndexed the distance is whatever the table holds).
size_t MaxMatchLength(LzVariant variant);
size_t MinMatchLength(LzVariant variant);
size_t MaxMatchDistance(LzVariant variant);

}  // namespace encode
