// SPDX-License-Identifier: MIT
// A picture ready for an image file: rows top first, not padded, of palette indexes, RGB or
// RGBA pixels (8 bits a sample), and the palette for indexes. What the PNG writers take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/brask/dib_picture.h"

namespace brask {

enum class RowLayout { kPalette, kRgb, kRgba };

// A palette picture carries 1 to 256 entries of red, green, blue, covering every index used.
struct PictureRows {
  uint32_t width = 0;
  uint32_t height = 0;
  RowLayout layout = RowLayout::kRgb;
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> palette_rgb;
};

inline size_t BytesPerPixel(RowLayout layout) {
  return layout == RowLayout::kPalette ? 1 : layout == RowLayout::kRgb ? 3 : 4;
}

// The plug-in's DIB as rows: 24-bit pictures as RGB, 8-bit pictures as their indexes with the
// whole 256-entry colour table.
PictureRows RowsOfDib(const DibPicture& picture);

}  // namespace brask
