// SPDX-License-Identifier: MIT
// Reading the PDT header and decoding its streams into a work buffer sized from it.
#include "formats/pdt_layout.h"

#include <cstring>

#include "codec/byte_io.h"
#include "codec/dib.h"
#include "codec/lz.h"

namespace {

// Header layout, offsets from the start of the image.
constexpr size_t kVersionOffset = 4;
constexpr size_t kEndOffsetField = 8;
constexpr size_t kWidthField = 12;
constexpr size_t kHeightField = 16;
constexpr size_t kMaskOffsetField = 28;
// PDT11: palette, then the block the index decoder takes (distance table, then the stream).
constexpr size_t kPaletteOffset = 32;
constexpr uint32_t kIndexBlockOffset = 1056;
constexpr uint32_t kIndexStreamOffset = 1120;  // first byte after the distance table

constexpr uint8_t kVersionPdt10 = '0';
constexpr uint8_t kVersionPdt11 = '1';

// Zeroes the part of a stream's region that the stream did not write, so that a short
// stream gives black pixels, index 0 or alpha 0 instead of whatever the heap held.
void ZeroUnwritten(uint8_t* region, size_t region_bytes, size_t written_bytes) {
  if (written_bytes < region_bytes) std::memset(region + written_bytes, 0, region_bytes - written_bytes);
}

}  // namespace

PdtHeaderCheck ReadPdtLayout(const uint8_t* data, size_t length, PdtLayout* layout,
                             HeaderFault* fault) {
  const auto refused = [fault](bool cut_short, const char* words, uint64_t first, uint64_t second) {
    Refuse(fault, cut_short, words, first, second);
    return PdtHeaderCheck::kRefused;
  };
  if (data == nullptr || length <= kVersionOffset) {
    return refused(true, "its header needs %llu bytes, the file holds %llu", kPdtHeaderBytes, length);
  }
  const uint8_t version = data[kVersionOffset];
  if (version != kVersionPdt10 && version != kVersionPdt11) {
    return refused(false, "its version byte is %llu, where a PDT has 48 or 49 ('0' or '1')",
                   version, 0);
  }
  if (length < kPdtHeaderBytes) {
    return refused(true, "its header needs %llu bytes, the file holds %llu", kPdtHeaderBytes, length);
  }
  const uint32_t end_offset = ReadU32Le(data + kEndOffsetField);
  const int32_t width = ReadI32Le(data + kWidthField);
  const int32_t height = ReadI32Le(data + kHeightField);
  const uint32_t mask_offset = ReadU32Le(data + kMaskOffsetField);
  if (end_offset > length) {
    return refused(true, "its header says the file is %llu bytes long, the file holds %llu",
                   end_offset, length);
  }
  if (width <= 0 || height <= 0) {
    // Shown as stored: a negative field reads as its two's complement.
    return refused(false, "its header gives a size of %lld x %lld pixels",
                   static_cast<uint64_t>(int64_t{width}), static_cast<uint64_t>(int64_t{height}));
  }
  if (mask_offset != 0 && (mask_offset < kPdtHeaderBytes || mask_offset > end_offset)) {
    return refused(false, "its mask starts at byte %llu, outside the data that ends at %llu",
                   mask_offset, end_offset);
  }
  const uint32_t stream_end = mask_offset != 0 ? mask_offset : end_offset;
  const uint32_t stream_start = version == kVersionPdt11 ? kIndexStreamOffset : kPdtHeaderBytes;
  // For PDT11 this also puts the palette and the distance table inside the data.
  if (stream_end < stream_start) {
    return refused(true, "its header and palette need %llu bytes, its data ends at %llu",
                   stream_start, stream_end);
  }

  // Both factors are below 2^31, so w * h < 2^62 and 4 * w * h + 1 < 2^64: nothing wraps.
  const uint64_t w = static_cast<uint64_t>(width);
  const uint64_t h = static_cast<uint64_t>(height);
  layout->width_px = width;
  layout->height_px = height;
  layout->stream_end = stream_end;
  layout->mask_offset = mask_offset;
  layout->end_offset = end_offset;
  if (version == kVersionPdt11) {
    layout->mode = PdtMode::kIndexed;
    layout->image_bytes = DibStride(w, 1) * h;
    layout->work_bytes = layout->image_bytes + 1;
    layout->colour_bytes = w * h;
  } else if (mask_offset == 0) {
    layout->mode = PdtMode::kPlain;
    layout->image_bytes = DibStride(w, 3) * h;
    layout->work_bytes = layout->image_bytes + 1;
    layout->colour_bytes = 3 * w * h;
  } else {
    layout->mode = PdtMode::kMasked;
    layout->image_bytes = DibStride(w, 3) * h;
    layout->work_bytes = 4 * w * h + 1;
    layout->colour_bytes = 3 * w * h;
  }
  // The work buffer is never smaller than the pixel block (stride24 <= 4w, stride8 <= w + 3
  // < stride8 * h + 1 covers it), but both are checked so the rule reads plainly.
  if (layout->work_bytes > kLargestBlockBytes || layout->image_bytes > kLargestBlockBytes) {
    return PdtHeaderCheck::kTooLarge;
  }
  return PdtHeaderCheck::kAccepted;
}

void DecodePdtStreams(const uint8_t* data, const PdtLayout& layout, uint8_t* work,
                      uint8_t* palette) {
  const size_t work_bytes = static_cast<size_t>(layout.work_bytes);
  const size_t colour_bytes = static_cast<size_t>(layout.colour_bytes);
  switch (layout.mode) {
    case PdtMode::kPlain: {
      const size_t pixels = DecodePdtPixels(work, work_bytes, data + kPdtHeaderBytes,
                                            layout.stream_end - kPdtHeaderBytes);
      ZeroUnwritten(work, colour_bytes, 3 * pixels);
      break;
    }
    case PdtMode::kIndexed: {
      std::memcpy(palette, data + kPaletteOffset, kPdtPaletteBytes);
      const size_t indexes = DecodePdtIndexed(work, work_bytes, data + kIndexBlockOffset,
                                              layout.stream_end - kIndexBlockOffset);
      ZeroUnwritten(work, colour_bytes, indexes);
      break;
    }
    case PdtMode::kMasked: {
      // The colour pixels fill their own region only; the mask always starts at 3 * w * h,
      // where the composition reads it, even when the colour stream comes up short.
      const size_t pixels = DecodePdtPixels(work, colour_bytes, data + kPdtHeaderBytes,
                                            layout.mask_offset - kPdtHeaderBytes);
      ZeroUnwritten(work, colour_bytes, 3 * pixels);
      uint8_t* mask = work + colour_bytes;
      const size_t mask_room = work_bytes - colour_bytes;  // w * h + the spare byte
      const size_t alphas = DecodePdtMask(mask, mask_room, data + layout.mask_offset,
                                          layout.end_offset - layout.mask_offset);
      ZeroUnwritten(mask, colour_bytes / 3, alphas);
      break;
    }
  }
}
