// PDT10 (24-bit colour, with or without an 8-bit mask flattened onto black) and PDT11
// (8-bit indexed) into the host's two DIB blocks. Nothing in the header is trusted: every
// offset is checked against the data length and every size is computed in 64 bits and capped
// before anything is allocated. The caller provides at least five bytes of data.
#include <cstring>

#include "codec/byte_io.h"
#include "codec/dib.h"
#include "codec/lz.h"
#include "formats/pdt.h"

namespace {

// Header layout, offsets from the start of the image.
constexpr size_t kVersionOffset = 4;
constexpr size_t kEndOffsetField = 8;
constexpr size_t kWidthField = 12;
constexpr size_t kHeightField = 16;
constexpr size_t kMaskOffsetField = 28;
constexpr uint32_t kHeaderBytes = 32;  // the PDT10 colour stream starts here
// PDT11: palette, then the block the index decoder takes (distance table, then the stream).
constexpr size_t kPaletteOffset = 32;
constexpr uint32_t kIndexBlockOffset = 1056;
constexpr uint32_t kIndexStreamOffset = 1120;  // first byte after the distance table

// An information request needs the version byte and the width and height fields.
constexpr int32_t kInfoHeadBytes = 20;

constexpr uint8_t kVersionPdt10 = '0';
constexpr uint8_t kVersionPdt11 = '1';

enum class Mode { kPlain, kMasked, kIndexed };

// Everything a decode needs from the header, checked and sized.
struct Layout {
  Mode mode;
  int32_t width_px;
  int32_t height_px;
  uint32_t stream_end;   // the mask offset when it is not 0, else the end offset
  uint32_t mask_offset;  // masked mode only
  uint32_t end_offset;
  uint64_t work_bytes;   // region the streams fill, plus one spare byte
  uint64_t image_bytes;  // pixel block, biSizeImage: stride * height
  uint64_t colour_bytes; // bytes of the work buffer the row builders read as pixels
};

// Reads and checks the header of a decode request. Returns kSuccess with `layout` filled,
// kNotSupported for a refused version or an inconsistent header, kOutOfMemory for an image
// no block can hold.
int32_t ParseHeader(const uint8_t* data, int32_t data_length, Layout* layout) {
  const uint8_t version = data[kVersionOffset];
  if (version != kVersionPdt10 && version != kVersionPdt11) return kNotSupported;
  if (data_length < static_cast<int32_t>(kHeaderBytes)) return kNotSupported;
  const uint32_t length = static_cast<uint32_t>(data_length);
  const uint32_t end_offset = ReadU32Le(data + kEndOffsetField);
  const int32_t width = ReadI32Le(data + kWidthField);
  const int32_t height = ReadI32Le(data + kHeightField);
  const uint32_t mask_offset = ReadU32Le(data + kMaskOffsetField);
  if (end_offset > length) return kNotSupported;
  if (width <= 0 || height <= 0) return kNotSupported;
  if (mask_offset != 0 && (mask_offset < kHeaderBytes || mask_offset > end_offset)) {
    return kNotSupported;
  }
  const uint32_t stream_end = mask_offset != 0 ? mask_offset : end_offset;
  const uint32_t stream_start = version == kVersionPdt11 ? kIndexStreamOffset : kHeaderBytes;
  // For PDT11 this also puts the palette and the distance table inside the data.
  if (stream_end < stream_start) return kNotSupported;

  // Both factors are below 2^31, so w * h < 2^62 and 4 * w * h + 1 < 2^64: nothing wraps.
  const uint64_t w = static_cast<uint64_t>(width);
  const uint64_t h = static_cast<uint64_t>(height);
  layout->width_px = width;
  layout->height_px = height;
  layout->stream_end = stream_end;
  layout->mask_offset = mask_offset;
  layout->end_offset = end_offset;
  if (version == kVersionPdt11) {
    layout->mode = Mode::kIndexed;
    layout->image_bytes = DibStride(w, 1) * h;
    layout->work_bytes = layout->image_bytes + 1;
    layout->colour_bytes = w * h;
  } else if (mask_offset == 0) {
    layout->mode = Mode::kPlain;
    layout->image_bytes = DibStride(w, 3) * h;
    layout->work_bytes = layout->image_bytes + 1;
    layout->colour_bytes = 3 * w * h;
  } else {
    layout->mode = Mode::kMasked;
    layout->image_bytes = DibStride(w, 3) * h;
    layout->work_bytes = 4 * w * h + 1;
    layout->colour_bytes = 3 * w * h;
  }
  // The work buffer is never smaller than the pixel block (stride24 <= 4w, stride8 <= w + 3
  // < stride8 * h + 1 covers it), but both are checked so the rule reads plainly.
  if (layout->work_bytes > kLargestBlockBytes || layout->image_bytes > kLargestBlockBytes) {
    return kOutOfMemory;
  }
  return kSuccess;
}

// Zeroes the part of a stream's region that the stream did not write, so that a short
// stream gives black pixels, index 0 or alpha 0 instead of whatever the heap held.
void ZeroUnwritten(uint8_t* region, size_t region_bytes, size_t written_bytes) {
  if (written_bytes < region_bytes) std::memset(region + written_bytes, 0, region_bytes - written_bytes);
}

// Decodes the streams into the work buffer: afterwards its first colour_bytes bytes (and, in
// masked mode, the w * h alpha bytes after them) are all defined.
void DecodeStreams(const uint8_t* data, const Layout& layout, uint8_t* work,
                   uint8_t* colour_table) {
  const size_t work_bytes = static_cast<size_t>(layout.work_bytes);
  const size_t colour_bytes = static_cast<size_t>(layout.colour_bytes);
  switch (layout.mode) {
    case Mode::kPlain: {
      const size_t pixels = DecodePdtPixels(work, work_bytes, data + kHeaderBytes,
                                            layout.stream_end - kHeaderBytes);
      ZeroUnwritten(work, colour_bytes, 3 * pixels);
      break;
    }
    case Mode::kIndexed: {
      std::memcpy(colour_table, data + kPaletteOffset, kColourTableBytes);
      const size_t indexes = DecodePdtIndexed(work, work_bytes, data + kIndexBlockOffset,
                                              layout.stream_end - kIndexBlockOffset);
      ZeroUnwritten(work, colour_bytes, indexes);
      break;
    }
    case Mode::kMasked: {
      // The colour pixels fill their own region only; the mask always starts at 3 * w * h,
      // where the composition reads it, even when the colour stream comes up short.
      const size_t pixels = DecodePdtPixels(work, colour_bytes, data + kHeaderBytes,
                                            layout.mask_offset - kHeaderBytes);
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

bool Report(ProgressCallback progress, int32_t numerator, UserData user_data) {
  return progress != nullptr && progress(numerator, 2, user_data) != 0;
}

}  // namespace

// Reads the version byte and the width and height fields only. Version '1' is 8-bit; 0x00 is
// refused (the record is filled except for its depth); any other byte, '0' included, is
// reported as 24-bit, although decoding accepts only '0' and '1'.
int32_t PdtHandler::GetInfo(const uint8_t* head, int32_t head_length,
                            PictureInfoRecord* info) const {
  if (head_length < kInfoHeadBytes) return kNotSupported;
  info->left = 0;
  info->top = 0;
  info->width = ReadI32Le(head + kWidthField);
  info->height = ReadI32Le(head + kHeightField);
  info->x_density = 0;
  info->y_density = 0;
  info->text_handle = 0;
  const uint8_t version = head[kVersionOffset];
  if (version == kVersionPdt11) {
    info->colour_depth = 8;
    return kSuccess;
  }
  if (version == 0) return kNotSupported;
  info->colour_depth = 24;
  return kSuccess;
}

// The host's two variables are written only on success, both together. A cancellation at
// the last progress call still hands both blocks over and answers 1.
int32_t PdtHandler::Decode(const uint8_t* data, int32_t data_length, HLOCAL* info_block,
                           HLOCAL* pixel_block, ProgressCallback progress,
                           UserData user_data) const {
  if (Report(progress, 0, user_data)) return kCancelled;

  Layout layout;
  const int32_t parsed = ParseHeader(data, data_length, &layout);
  if (parsed != kSuccess) return parsed;
  const bool indexed = layout.mode == Mode::kIndexed;

  // Information block, then the work buffer (one spare byte past the streams' regions).
  HLOCAL info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, indexed ? kInfoBlockBytes8
                                                                   : kInfoBlockBytes24);
  if (info == nullptr) return kOutOfMemory;
  uint8_t* info_bytes = static_cast<uint8_t*>(LocalLock(info));
  if (info_bytes == nullptr) {
    LocalFree(info);
    return kOutOfMemory;
  }
  HeapBuffer work;
  if (work.Allocate(static_cast<size_t>(layout.work_bytes)) == nullptr) {
    LocalFree(info);
    return kOutOfMemory;
  }

  BITMAPINFOHEADER header;
  std::memset(&header, 0, sizeof header);
  FillBitmapHeader(&header, layout.width_px, layout.height_px, indexed ? 8 : 24,
                   static_cast<uint32_t>(layout.image_bytes));
  DecodeStreams(data, layout, work.data(), info_bytes + kColourTableOffset);
  std::memcpy(info_bytes, &header, sizeof header);

  if (Report(progress, 1, user_data)) {
    work.Release();
    LocalFree(info);
    return kCancelled;
  }

  int32_t result = kSuccess;
  HLOCAL pixels = LocalAlloc(LMEM_MOVEABLE, static_cast<size_t>(layout.image_bytes));
  uint8_t* pixel_bytes = pixels != nullptr ? static_cast<uint8_t*>(LocalLock(pixels)) : nullptr;
  if (pixel_bytes == nullptr) {
    result = kOutOfMemory;
  } else if (layout.mode == Mode::kMasked) {
    ComposeMaskedImage(pixel_bytes, work.data(), header);
  } else {
    CopyRowsFlipped(pixel_bytes, work.data(), header);
  }

  bool handed_over = false;
  if (result == kSuccess) {
    LocalUnlock(info);
    LocalUnlock(pixels);
    *info_block = info;
    *pixel_block = pixels;
    handed_over = true;
  }
  if (Report(progress, 2, user_data)) result = kCancelled;

  if (!handed_over) {
    if (pixels != nullptr) LocalFree(pixels);
    LocalFree(info);
  }
  work.Release();
  return result;
}
