// SPDX-License-Identifier: MIT
// Decoding what is stored: RGBA with straight alpha for every mode, the indexes and palette of
// the indexed modes, and type-2 parts composed or on their own. The streams are decoded by the
// same routines as the plug-in's handlers into a work buffer sized from the header (measured
// against the limit at open); what a short stream does not produce is zero, so every byte
// handed over is defined. Rows are written top first, `stride` bytes apart; the bytes
// between rows are not touched.
#include <cstring>

#include "api/picture.h"
#include "codec/dib.h"
#include "codec/lz.h"
#include "formats/g00_parts.h"

namespace {

constexpr size_t kRgbaBytes = 4;
constexpr size_t kRgbBytes = 3;
constexpr uint8_t kOpaque = 255;
constexpr uint8_t kBlack[4] = {0, 0, 0, 0};

// A decoded picture of the non-part modes, top row first, rows not padded: 3-byte colour
// (blue, green, red) with an optional alpha plane, or indexes with a palette of blue, green,
// red, reserved entries.
struct Stored {
  HeapBuffer work;
  const uint8_t* colour = nullptr;
  const uint8_t* alpha = nullptr;
  const uint8_t* indexes = nullptr;
  const uint8_t* palette = nullptr;
  uint32_t palette_entries = 0;
  uint8_t pdt_palette[kPdtPaletteBytes];
};

brask_result DecodeStored(const brask_picture& picture, Stored* stored) {
  const size_t work_bytes = static_cast<size_t>(picture.work_bytes);
  uint8_t* work = stored->work.Allocate(work_bytes);
  if (work == nullptr) return BRASK_OUT_OF_MEMORY;
  const G00Header& g00 = picture.g00;
  switch (picture.info.mode) {
    case BRASK_MODE_G00_TYPE0: {
      const size_t written =
          kRgbBytes * DecodeG00Pixels(work, work_bytes, g00.stream, g00.stream_length);
      std::memset(work + written, 0, work_bytes - written);
      stored->colour = work;
      break;
    }
    case BRASK_MODE_G00_TYPE1: {
      const size_t written = DecodeG00Bytes(work, work_bytes, g00.stream, g00.stream_length);
      std::memset(work + written, 0, work_bytes - written);
      stored->palette = work + kG00PaletteCountBytes;
      stored->palette_entries = picture.info.palette_size;
      stored->indexes = work + picture.g00_indexes_at;
      break;
    }
    default: {
      DecodePdtStreams(picture.bytes, picture.pdt, work, stored->pdt_palette);
      if (picture.pdt.mode == PdtMode::kIndexed) {
        stored->indexes = work;
        stored->palette = stored->pdt_palette;
        stored->palette_entries = picture.info.palette_size;
      } else {
        stored->colour = work;
        if (picture.pdt.mode == PdtMode::kMasked) {
          stored->alpha = work + static_cast<size_t>(picture.pdt.colour_bytes);
        }
      }
      break;
    }
  }
  return BRASK_OK;
}

void WriteRgbaRows(const Stored& stored, size_t width, size_t height, uint8_t* dst,
                   size_t stride) {
  if (stored.indexes != nullptr) {
    // Each index's colour once; indexes past the palette are opaque black.
    uint8_t colours[256][kRgbaBytes];
    for (uint32_t i = 0; i < 256; ++i) {
      const uint8_t* entry = i < stored.palette_entries ? stored.palette + 4 * i : kBlack;
      colours[i][0] = entry[2];
      colours[i][1] = entry[1];
      colours[i][2] = entry[0];
      colours[i][3] = kOpaque;
    }
    const uint8_t* src = stored.indexes;
    for (size_t y = 0; y < height; ++y, dst += stride) {
      for (size_t x = 0; x < width; ++x) std::memcpy(dst + kRgbaBytes * x, colours[*src++], kRgbaBytes);
    }
    return;
  }
  const uint8_t* src = stored.colour;
  const uint8_t* alpha = stored.alpha;
  for (size_t y = 0; y < height; ++y, dst += stride) {
    uint8_t* out = dst;
    for (size_t x = 0; x < width; ++x, src += kRgbBytes, out += kRgbaBytes) {
      out[0] = src[2];
      out[1] = src[1];
      out[2] = src[0];
      out[3] = alpha != nullptr ? *alpha++ : kOpaque;
    }
  }
}

// Clears `height` rows of width pixels to (0, 0, 0, 0), then copies each of the part's blocks
// (BGRA to RGBA, later over earlier) with its top-left pixel at (column, row + block.y) of an
// area of area_width x area_height pixels, clipped to it.
void ClearRows(uint8_t* dst, size_t stride, size_t width, size_t height) {
  for (size_t y = 0; y < height; ++y) std::memset(dst + y * stride, 0, width * kRgbaBytes);
}

void PlaceBlocks(const G00Part& part, int64_t top, int64_t area_width, int64_t area_height,
                 uint8_t* dst, size_t stride) {
  ForEachG00Block(part, [&](const G00Block& block) {
    G00BlockSpan span;
    if (!ClipG00Block(block, block.x, top + block.y, area_width, area_height, &span)) return;
    const uint8_t* src_row = span.src;
    for (int64_t r = span.first_row; r < span.end_row; ++r, src_row += span.src_row_bytes) {
      const uint8_t* src = src_row;
      uint8_t* out = dst + static_cast<size_t>(r) * stride +
                     static_cast<size_t>(span.first_column) * kRgbaBytes;
      for (int64_t c = span.first_column; c < span.end_column; ++c, src += 4, out += 4) {
        out[0] = src[2];
        out[1] = src[1];
        out[2] = src[0];
        out[3] = src[3];
      }
    }
  });
}

// The listed part's directory entry, read again from the handle's directory.
G00Part PartAt(const brask_picture& picture, uint32_t n) {
  G00Part part;
  ReadG00Part(picture.directory, picture.directory_bytes, picture.parts[n].index, &part);
  return part;
}

}  // namespace

namespace api {

brask_result CheckRows(const uint8_t* dst, size_t size, size_t stride, uint64_t row_bytes,
                       uint64_t height) {
  if (dst == nullptr || stride < row_bytes) return BRASK_INVALID_ARGUMENT;
  // stride * (height - 1) + row_bytes <= size, without forming a product that could wrap.
  if (row_bytes > size) return BRASK_BUFFER_TOO_SMALL;
  if (height > 1 && (size - row_bytes) / stride < height - 1) return BRASK_BUFFER_TOO_SMALL;
  return BRASK_OK;
}

}  // namespace api

extern "C" {

brask_result brask_decode_rgba(brask_picture* picture, uint8_t* dst, size_t size,
                               size_t stride) {
  if (picture == nullptr) return BRASK_INVALID_ARGUMENT;
  const size_t width = picture->info.width;
  const size_t height = picture->info.height;
  const brask_result checked = api::CheckRows(dst, size, stride, uint64_t{width} * kRgbaBytes, height);
  if (checked != BRASK_OK) return checked;
  if (picture->info.mode == BRASK_MODE_G00_TYPE2) {
    ClearRows(dst, stride, width, height);
    for (uint32_t n = 0; n < picture->info.part_count; ++n) {
      PlaceBlocks(PartAt(*picture, n), picture->parts[n].top, static_cast<int64_t>(width),
                  static_cast<int64_t>(height), dst, stride);
    }
    return BRASK_OK;
  }
  Stored stored;
  const brask_result decoded = DecodeStored(*picture, &stored);
  if (decoded != BRASK_OK) return decoded;
  WriteRgbaRows(stored, width, height, dst, stride);
  return BRASK_OK;
}

brask_result brask_decode_indexed(brask_picture* picture, uint8_t* dst, size_t size,
                                  size_t stride, uint8_t* palette, size_t palette_bytes) {
  if (picture == nullptr) return BRASK_INVALID_ARGUMENT;
  if (picture->info.mode != BRASK_MODE_G00_TYPE1 && picture->info.mode != BRASK_MODE_PDT11) {
    return BRASK_NOT_INDEXED;  // a type-1 palette may be empty: the mode decides
  }
  const size_t width = picture->info.width;
  const size_t height = picture->info.height;
  const brask_result checked = api::CheckRows(dst, size, stride, width, height);
  if (checked != BRASK_OK) return checked;
  const size_t entries = picture->info.palette_size;
  if (palette == nullptr && entries != 0) return BRASK_INVALID_ARGUMENT;
  if (palette_bytes < entries * kRgbBytes) return BRASK_BUFFER_TOO_SMALL;
  Stored stored;
  const brask_result decoded = DecodeStored(*picture, &stored);
  if (decoded != BRASK_OK) return decoded;
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* entry = stored.palette + 4 * i;
    palette[kRgbBytes * i] = entry[2];
    palette[kRgbBytes * i + 1] = entry[1];
    palette[kRgbBytes * i + 2] = entry[0];
  }
  for (size_t y = 0; y < height; ++y) std::memcpy(dst + y * stride, stored.indexes + y * width, width);
  return BRASK_OK;
}

brask_result brask_decode_part_rgba(brask_picture* picture, uint32_t n, uint8_t* dst,
                                    size_t size, size_t stride) {
  if (picture == nullptr) return BRASK_INVALID_ARGUMENT;
  if (n >= picture->info.part_count) return BRASK_NO_SUCH_PART;
  const brask_part& listed = picture->parts[n];
  if (listed.width < 1 || listed.height < 1) return BRASK_OK;  // no picture of its own
  const size_t width = static_cast<size_t>(listed.width);
  const size_t height = static_cast<size_t>(listed.height);
  const brask_result checked = api::CheckRows(dst, size, stride, uint64_t{width} * kRgbaBytes, height);
  if (checked != BRASK_OK) return checked;
  ClearRows(dst, stride, width, height);
  PlaceBlocks(PartAt(*picture, n), 0, listed.width, listed.height, dst, stride);
  return BRASK_OK;
}

}  // extern "C"
