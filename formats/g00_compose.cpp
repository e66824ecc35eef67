// SPDX-License-Identifier: MIT
// Stacking the parts of decompressed G00 type-2 data into one 24-bit picture. The data comes
// from the file and is not trusted: the part walk (g00_parts.h) reads only what lies wholly
// inside it, and every block is clipped to the picture before it is written.
#include "codec/dib.h"
#include "formats/g00.h"
#include "formats/g00_parts.h"

namespace {

struct Picture {
  uint8_t* pixels;
  int64_t width;
  int64_t height;
  size_t stride;
};

// Places one block whose top-left pixel falls on picture (column, row), dropping every pixel
// outside the picture.
void PlaceBlock(const Picture& picture, int64_t column, int64_t row, const G00Block& block) {
  G00BlockSpan span;
  if (!ClipG00Block(block, column, row, picture.width, picture.height, &span)) return;
  const size_t span_bytes =
      static_cast<size_t>(span.end_column - span.first_column) * kG00BytesPerBlockPixel;
  const uint8_t* src_row = span.src;
  for (int64_t r = span.first_row; r < span.end_row; ++r, src_row += span.src_row_bytes) {
    // Picture row r (from the top) is memory row height - 1 - r.
    uint8_t* dst = picture.pixels + static_cast<size_t>(picture.height - 1 - r) * picture.stride +
                   static_cast<size_t>(span.first_column) * 3;
    FlattenAlphaRow(dst, src_row, span_bytes);
  }
}

}  // namespace

uint32_t ComposeG00Parts(HLOCAL* pixel_block_out, const uint8_t* data, size_t data_length,
                         BITMAPINFOHEADER* header) {
  // Sizing pass: as wide as the widest part, as high as all parts together.
  const G00PartsSize size = SizeG00Parts(data, data_length);
  const int64_t width = size.width;
  const uint64_t height = size.height;
  const uint64_t stride = DibStride(static_cast<uint64_t>(width), 3);
  // The width is at most 2^31 - 1, so the stride is below 2^33; dividing the cap by it
  // refuses a too large picture before any product is formed.
  const bool empty = width == 0 || height == 0;
  const bool too_large = !empty && height > kLargestBlockBytes / stride;
  header->biWidth = static_cast<LONG>(width);
  header->biHeight = height <= 0x7FFFFFFF ? static_cast<LONG>(height) : 0;
  header->biSizeImage = 0;
  *pixel_block_out = nullptr;
  if (empty || too_large) return 0;
  const uint64_t size_image = stride * height;
  header->biSizeImage = static_cast<DWORD>(size_image);

  HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, static_cast<SIZE_T>(size_image));
  *pixel_block_out = block;
  if (block == nullptr) return 0;
  uint8_t* pixels = static_cast<uint8_t*>(LocalLock(block));
  if (pixels == nullptr) {
    LocalFree(block);
    *pixel_block_out = nullptr;
    return 0;
  }

  // Placement pass: each part starts right below the previous one.
  const Picture picture{pixels, width, static_cast<int64_t>(height), static_cast<size_t>(stride)};
  const uint64_t entries = CountG00Entries(data, data_length);
  int64_t part_top = 0;
  for (uint64_t i = 0; i < entries; ++i) {
    G00Part part;
    if (!ReadG00Part(data, data_length, i, &part)) continue;
    ForEachG00Block(part, [&](const G00Block& placed) {
      PlaceBlock(picture, placed.x, part_top + placed.y, placed);
    });
    part_top += G00PartAdvance(part);
  }
  return static_cast<uint32_t>(size_image);
}
