// SPDX-License-Identifier: MIT
// The part directory of a decompressed G00 type-2 picture, walked the same way by every
// consumer: a 32-bit entry count, 8-byte entries (part offset, part length), each part a
// 116-byte header followed by its blocks, each block a 92-byte header followed by its
// width x height pixels of blue, green, red, alpha. The data comes from the file and is not
// trusted: an entry, part header or block is read only once it lies wholly inside the data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/byte_io.h"

constexpr size_t kG00PartHeaderBytes = 116;
constexpr size_t kG00BlockHeaderBytes = 92;
constexpr size_t kG00BytesPerBlockPixel = 4;

// A part that takes part in the picture: a non-empty entry whose header lies inside the data
// and whose height is not negative. A negative width widens nothing, but the part's height
// counts and its blocks are placed.
struct G00Part {
  uint32_t index;  // the entry's place in the directory
  const uint8_t* header;
  const uint8_t* data_end;
  uint16_t block_count;
  uint16_t origin_x;
  uint16_t origin_y;
  int32_t width;
  int32_t height;
};

// The entries whose 8 bytes lie inside the data; the first one outside ends the directory.
uint64_t CountG00Entries(const uint8_t* data, size_t data_length);

// Reads entry `index` (below CountG00Entries). False when the part takes no part: an empty
// entry, a part header not wholly inside the data, or a negative height.
bool ReadG00Part(const uint8_t* data, size_t data_length, uint64_t index, G00Part* part);

// The composed picture: as wide as the widest part, as high as all parts together. The
// height stops growing once it is past any block's size, so it never wraps.
struct G00PartsSize {
  int64_t width;
  uint64_t height;
};
G00PartsSize SizeG00Parts(const uint8_t* data, size_t data_length);

// How far down the next part starts: the low 16 bits of this part's height, as the files
// expect (the picture's height sums the whole heights).
inline int64_t G00PartAdvance(const G00Part& part) { return part.height & 0xFFFF; }

// One block, its position relative to its part's origin.
struct G00Block {
  int64_t x;
  int64_t y;
  int64_t width;
  int64_t height;
  const uint8_t* pixels;  // width * height * 4 bytes, inside the data
};

// Calls place(block) for each of the part's blocks in order. A block whose header or pixels
// run past the data ends the part there.
template <class Place>
void ForEachG00Block(const G00Part& part, Place&& place) {
  const uint8_t* block = part.header + kG00PartHeaderBytes;
  for (uint32_t b = 0; b < part.block_count; ++b) {
    const size_t remaining = static_cast<size_t>(part.data_end - block);
    if (remaining < kG00BlockHeaderBytes) return;
    const int64_t width = ReadU16Le(block + 6);
    const int64_t height = ReadU16Le(block + 8);
    // At most 65535 * 65535 * 4 bytes: no wrap in 64 bits.
    const uint64_t pixel_bytes = static_cast<uint64_t>(width * height) * kG00BytesPerBlockPixel;
    if (pixel_bytes > remaining - kG00BlockHeaderBytes) return;
    const uint8_t* pixels = block + kG00BlockHeaderBytes;
    place(G00Block{ReadU16Le(block) - int64_t{part.origin_x},
                   ReadU16Le(block + 2) - int64_t{part.origin_y}, width, height, pixels});
    block = pixels + static_cast<size_t>(pixel_bytes);
  }
}

// The part of a block that falls inside an area of area_width x area_height pixels when the
// block's top-left pixel lies at (column, row) of it: columns [first_column, end_column) and
// rows [first_row, end_row), the first of those pixels at `src`, rows src_row_bytes apart.
struct G00BlockSpan {
  int64_t first_column;
  int64_t end_column;
  int64_t first_row;
  int64_t end_row;
  const uint8_t* src;
  size_t src_row_bytes;
};

// False when no pixel of the block falls inside the area.
inline bool ClipG00Block(const G00Block& block, int64_t column, int64_t row, int64_t area_width,
                         int64_t area_height, G00BlockSpan* span) {
  span->first_column = column > 0 ? column : 0;
  span->end_column = column + block.width < area_width ? column + block.width : area_width;
  span->first_row = row > 0 ? row : 0;
  span->end_row = row + block.height < area_height ? row + block.height : area_height;
  if (span->first_column >= span->end_column || span->first_row >= span->end_row) return false;
  span->src_row_bytes = static_cast<size_t>(block.width) * kG00BytesPerBlockPixel;
  span->src = block.pixels + static_cast<size_t>(span->first_row - row) * span->src_row_bytes +
              static_cast<size_t>(span->first_column - column) * kG00BytesPerBlockPixel;
  return true;
}
