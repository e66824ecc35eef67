// SPDX-License-Identifier: MIT
// PDT10 (24-bit colour, with or without an 8-bit mask flattened onto black) and PDT11
// (8-bit indexed) into the host's two DIB blocks. Nothing in the header is trusted: every
// offset is checked against the data length and every size is computed in 64 bits and capped
// before anything is allocated. The caller provides at least five bytes of data.
#include <cstring>

#include "codec/byte_io.h"
#include "codec/dib.h"
#include "formats/pdt.h"
#include "formats/pdt_layout.h"

namespace {

// Header fields the information request reads, offsets from the start of the image.
constexpr size_t kVersionOffset = 4;
constexpr size_t kWidthField = 12;
constexpr size_t kHeightField = 16;
// An information request needs the version byte and the width and height fields.
constexpr int32_t kInfoHeadBytes = 20;
constexpr uint8_t kVersionPdt11 = '1';

using Mode = PdtMode;
using Layout = PdtLayout;

// The decode's result for a header: refused (2) or too large for any block (4).
int32_t ParseHeader(const uint8_t* data, int32_t data_length, Layout* layout) {
  const size_t length = data_length > 0 ? static_cast<size_t>(data_length) : 0;
  switch (ReadPdtLayout(data, length, layout)) {
    case PdtHeaderCheck::kAccepted: return kSuccess;
    case PdtHeaderCheck::kTooLarge: return kOutOfMemory;
    case PdtHeaderCheck::kRefused: break;
  }
  return kNotSupported;
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
  DecodePdtStreams(data, layout, work.data(), info_bytes + kColourTableOffset);
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
