// SPDX-License-Identifier: MIT
#include "tools/brask/picture_rows.h"

#include <cstring>

namespace brask {

PictureRows RowsOfDib(const DibPicture& picture) {
  // The rows turned top down and unpadded; 24-bit pixels from BGR into RGB.
  PictureRows rows;
  rows.width = static_cast<uint32_t>(picture.width());
  rows.height = static_cast<uint32_t>(picture.height());
  const bool indexed = picture.bit_count() == 8;
  rows.layout = indexed ? RowLayout::kPalette : RowLayout::kRgb;
  const size_t row_bytes = indexed ? size_t(rows.width) : size_t(rows.width) * 3;
  rows.pixels.resize(row_bytes * rows.height);
  for (int32_t y = 0; y < picture.height(); ++y) {
    const uint8_t* src = picture.TopDownRow(y);
    uint8_t* dst = rows.pixels.data() + size_t(y) * row_bytes;
    if (indexed) {
      std::memcpy(dst, src, row_bytes);
      continue;
    }
    for (size_t x = 0; x < row_bytes; x += 3) {
      dst[x] = src[x + 2];
      dst[x + 1] = src[x + 1];
      dst[x + 2] = src[x];
    }
  }
  if (indexed) {
    const uint8_t* table = picture.colour_table();
    for (size_t i = 0; i < 256; ++i) {
      rows.palette_rgb.insert(rows.palette_rgb.end(), {table[4 * i + 2], table[4 * i + 1], table[4 * i]});
    }
  }
  return rows;
}

}  // namespace brask
