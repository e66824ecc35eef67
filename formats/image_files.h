// SPDX-License-Identifier: MIT
// Writers for whole G00 and PDT files of every mode, from images held top row first with
// unpadded rows.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/lz_encoder.h"

namespace encode {

// 3 bytes a pixel: blue, green, red.
struct ColourImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgr;
};

// 4 bytes a pixel: blue, green, red, alpha.
struct AlphaImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgra;
};

// One index byte a pixel; the palette holds 4 bytes an entry (blue, green, red, reserved).
struct IndexedImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> palette;
  std::vector<uint8_t> indexes;
};

// A G00 type-2 block: its position (in the part's coordinates, origin included) and pixels.
struct G00Block {
  uint16_t x = 0;
  uint16_t y = 0;
  AlphaImage pixels;
};

// A G00 type-2 part: origin, size and blocks, stacked below the previous part when composed.
struct G00Part {
  uint16_t origin_x = 0;
  uint16_t origin_y = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<G00Block> blocks;
  bool empty = false;  // an empty directory entry (offset and length 0): nothing else is read
};

std::vector<uint8_t> EncodeG00Type0(const ColourImage& image, const LzOptions& options = {});
// The stored palette count is palette.size() / 4 unless stored_palette_count says otherwise
// (tests use it to store counts above 256).
std::vector<uint8_t> EncodeG00Type1(const IndexedImage& image, const LzOptions& options = {},
                                    int stored_palette_count = -1);
// The header's width and height are given separately: the decoder composes its own size.
std::vector<uint8_t> EncodeG00Type2(const std::vector<G00Part>& parts, uint16_t header_width,
                                    uint16_t header_height, const LzOptions& options = {});
// One part covering the whole image, cut into blocks of at most block_size square.
std::vector<uint8_t> EncodeG00Type2(const AlphaImage& image, int block_size = 64,
                                    const LzOptions& options = {});
// A part of image's size at the origin, cut into cells of at most block_size square; each
// cell's block is trimmed to the pixels that are not (0, 0, 0, 0), so the part decodes back
// exactly. The blocks'
// 16-bit positions must hold origin + size - 1.
G00Part CutIntoBlocks(const AlphaImage& image, uint32_t origin_x, uint32_t origin_y,
                      int block_size = 64);
// The decompressed type-2 data (entry table, parts, blocks) before compression.
std::vector<uint8_t> BuildG00PartDirectory(const std::vector<G00Part>& parts);
// A type-2 file around any decompressed data, hand-built directories included: the header,
// region_count zero-filled region records, the two sizes and the compressed data.
std::vector<uint8_t> EncodeG00Type2Directory(const std::vector<uint8_t>& directory,
                                             uint16_t header_width, uint16_t header_height,
                                             uint32_t region_count = 1,
                                             const LzOptions& options = {});

std::vector<uint8_t> EncodePdt10(const ColourImage& image, const LzOptions& options = {});
std::vector<uint8_t> EncodePdt10Masked(const AlphaImage& image, const LzOptions& options = {});
// The palette is padded with zero entries to 256.
std::vector<uint8_t> EncodePdt11(const IndexedImage& image, const LzOptions& options = {});

}  // namespace encode
