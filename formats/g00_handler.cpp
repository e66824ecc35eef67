// SPDX-License-Identifier: MIT
// The G00 handler: answers information requests from the 5-byte header and decodes types 0,
// 1 and 2 into the two blocks handed to the host. Nothing in the file is trusted: the header
// is checked against the data length and every size is computed in 64 bits and capped before
// anything is allocated. The host's block variables are written as soon as each block is
// allocated; a block freed on a failure path leaves its variable null, never dangling.
#include <cstring>

#include "codec/byte_io.h"
#include "codec/dib.h"
#include "codec/lz.h"
#include "formats/g00.h"
#include "formats/g00_header.h"

namespace {

using Header = G00Header;

// The blocks this call allocated and the host's variables that name them.
struct Blocks {
  HLOCAL* info_variable;
  HLOCAL* pixel_variable;
  HLOCAL info;
  HLOCAL pixels;
};

bool Cancelled(ProgressCallback progress, int32_t numerator, UserData user_data) {
  return progress != nullptr && progress(numerator, 2, user_data) != 0;
}

// Allocates the pixel block and names it in the host's variable at once. Not cleared: the
// caller writes every byte of it (a cleared block costs a pass when the heap reuses memory).
uint8_t* AllocatePixelBlock(Blocks* blocks, size_t bytes, int32_t* result) {
  blocks->pixels = LocalAlloc(LMEM_MOVEABLE, bytes);
  *blocks->pixel_variable = blocks->pixels;
  uint8_t* pixels = blocks->pixels != nullptr ? static_cast<uint8_t*>(LocalLock(blocks->pixels))
                                              : nullptr;
  *result = pixels != nullptr ? kSuccess : kOutOfMemory;
  return pixels;
}

// Allocates the work buffer of the header's decompressed size and decodes the byte stream
// into it; what the stream did not produce is zeroed, so no unwritten heap memory is ever
// read. Null when the buffer cannot be had.
uint8_t* DecodeBytesIntoWork(const Header& header, HeapBuffer* work) {
  const size_t work_bytes = header.decompressed_size;
  uint8_t* decoded = work->Allocate(work_bytes);
  if (decoded == nullptr) return nullptr;
  const size_t written = DecodeG00Bytes(decoded, work_bytes, header.stream, header.stream_length);
  std::memset(decoded + written, 0, work_bytes - written);
  return decoded;
}

// Type 0: 3-byte pixels. Rows that need no padding are decoded straight into the pixel block
// and turned over there; pixels the stream does not produce are black. Every byte of the
// block is written either way, so it is not cleared first.
int32_t DecodeType0(const Header& header, const BITMAPINFOHEADER& bitmap, Blocks* blocks,
                    ProgressCallback progress, UserData user_data) {
  const size_t block_bytes = bitmap.biSizeImage;
  int32_t result = kSuccess;
  blocks->pixels = LocalAlloc(LMEM_MOVEABLE, block_bytes);
  *blocks->pixel_variable = blocks->pixels;
  if (blocks->pixels == nullptr) return kOutOfMemory;
  if ((header.width & 3) == 0) {
    uint8_t* pixels = static_cast<uint8_t*>(LocalLock(blocks->pixels));
    if (pixels == nullptr) return kOutOfMemory;
    const size_t written = 3 * DecodeG00Pixels(pixels, block_bytes, header.stream,
                                               header.stream_length);
    // Past the pixels it returns, the decoder leaves scratch: those pixels are black.
    std::memset(pixels + written, 0, block_bytes - written);
    if (Cancelled(progress, 2, user_data)) return kCancelled;
    return FlipRowsInPlace(pixels, bitmap) ? kSuccess : kOutOfMemory;
  }
  HeapBuffer work;
  uint8_t* decoded = work.Allocate(block_bytes);
  if (decoded == nullptr) return kOutOfMemory;
  const size_t image_bytes = size_t{3} * header.width * header.height;
  const size_t written = 3 * DecodeG00Pixels(decoded, block_bytes, header.stream,
                                             header.stream_length);
  if (written < image_bytes) std::memset(decoded + written, 0, image_bytes - written);
  if (Cancelled(progress, 2, user_data)) {
    result = kCancelled;
  } else if (uint8_t* pixels = static_cast<uint8_t*>(LocalLock(blocks->pixels))) {
    CopyRowsFlipped(pixels, decoded, bitmap);
  } else {
    result = kOutOfMemory;
  }
  work.Release();
  return result;
}

// Type 1: palette count P, P entries, then one index a pixel at 2 + 4P. At most 256 entries
// reach the colour table; indexes that do not fit in the work buffer refuse the file.
int32_t DecodeType1(const Header& header, uint8_t* info, const BITMAPINFOHEADER& bitmap,
                    Blocks* blocks, ProgressCallback progress, UserData user_data) {
  HeapBuffer work;
  const size_t work_bytes = header.decompressed_size;
  uint8_t* decoded = DecodeBytesIntoWork(header, &work);
  if (decoded == nullptr) return kOutOfMemory;
  int32_t result = kSuccess;
  if (Cancelled(progress, 2, user_data)) {
    result = kCancelled;
  } else if (work_bytes < kG00PaletteCountBytes) {
    result = kNotSupported;
  } else {
    const uint32_t stored_entries = ReadU16Le(decoded);
    size_t indexes_at = 0;
    if (!LocateG00Indexes(header, static_cast<uint16_t>(stored_entries), &indexes_at)) {
      result = kNotSupported;
    } else {
      const uint32_t entries =
          stored_entries < kG00MostColours ? stored_entries : kG00MostColours;
      std::memcpy(info + kColourTableOffset, decoded + kG00PaletteCountBytes,
                  entries * kG00PaletteEntryBytes);
      if (uint8_t* pixels = AllocatePixelBlock(blocks, bitmap.biSizeImage, &result)) {
        CopyRowsFlipped(pixels, decoded + indexes_at, bitmap);
      }
    }
  }
  work.Release();
  return result;
}

// Type 2: the decompressed part directory, stacked by ComposeG00Parts, which sets the
// picture's size in the header and names the pixel block in the host's variable.
int32_t DecodeType2(const Header& header, BITMAPINFOHEADER* bitmap, Blocks* blocks,
                    ProgressCallback progress, UserData user_data) {
  HeapBuffer work;
  const size_t work_bytes = header.decompressed_size;
  uint8_t* decoded = DecodeBytesIntoWork(header, &work);
  if (decoded == nullptr) return kOutOfMemory;
  int32_t result = kSuccess;
  if (Cancelled(progress, 1, user_data)) {
    result = kCancelled;
  } else {
    const uint32_t composed_bytes =
        ComposeG00Parts(blocks->pixel_variable, decoded, work_bytes, bitmap);
    blocks->pixels = *blocks->pixel_variable;
    if (composed_bytes == 0) result = kOutOfMemory;
  }
  work.Release();
  return result;
}

}  // namespace

int32_t G00Handler::GetInfo(const uint8_t* head, int32_t head_length,
                            PictureInfoRecord* info) const {
  if (head == nullptr || info == nullptr ||
      head_length < static_cast<int32_t>(kG00FixedHeaderBytes)) {
    return kNotSupported;
  }
  info->left = 0;
  info->top = 0;
  info->width = ReadU16Le(head + kG00WidthOffset);
  info->height = ReadU16Le(head + kG00HeightOffset);
  info->x_density = 0;
  info->y_density = 0;
  info->text_handle = 0;
  switch (head[0]) {
    case 0:
    case 2: info->colour_depth = 24; return kSuccess;
    case 1: info->colour_depth = 8; return kSuccess;
    default: return kNotSupported;
  }
}

int32_t G00Handler::Decode(const uint8_t* data, int32_t data_length, HLOCAL* info_block,
                           HLOCAL* pixel_block, ProgressCallback progress,
                           UserData user_data) const {
  if (Cancelled(progress, 0, user_data)) return kCancelled;
  const size_t length = data_length > 0 ? static_cast<size_t>(data_length) : 0;
  Header header;
  if (!ReadG00Header(data, length, &header)) return kNotSupported;

  // Every block and work buffer this type needs, capped before anything is allocated.
  const bool indexed = header.type == 1;
  const uint64_t pixel_block_bytes =
      DibStride(header.width, indexed ? 1 : 3) * uint64_t{header.height};
  const bool work_too_large =
      header.type != 0 && header.decompressed_size > kLargestBlockBytes;
  if (work_too_large || (header.type != 2 && pixel_block_bytes > kLargestBlockBytes)) {
    return kOutOfMemory;
  }

  Blocks blocks{info_block, pixel_block, nullptr, nullptr};
  blocks.info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, indexed ? kInfoBlockBytes8
                                                                   : kInfoBlockBytes24);
  *info_block = blocks.info;
  if (blocks.info == nullptr) return kOutOfMemory;

  int32_t result = kOutOfMemory;
  if (uint8_t* info = static_cast<uint8_t*>(LocalLock(blocks.info))) {
    BITMAPINFOHEADER* bitmap = reinterpret_cast<BITMAPINFOHEADER*>(info);
    // Type 2's size is provisional (the parts set it); one beyond the cap is never used.
    const uint32_t size_image = pixel_block_bytes <= kLargestBlockBytes
                                    ? static_cast<uint32_t>(pixel_block_bytes)
                                    : 0;
    FillBitmapHeader(bitmap, header.width, header.height, indexed ? 8 : 24, size_image);
    switch (header.type) {
      case 0: result = DecodeType0(header, *bitmap, &blocks, progress, user_data); break;
      case 1: result = DecodeType1(header, info, *bitmap, &blocks, progress, user_data); break;
      default: result = DecodeType2(header, bitmap, &blocks, progress, user_data); break;
    }
  }

  if (result == kSuccess) {
    // The hand-over: both blocks unlocked, named in the host's variables, the host's now.
    LocalUnlock(blocks.info);
    LocalUnlock(blocks.pixels);
  } else {
    LocalFree(blocks.info);
    *info_block = nullptr;
    if (blocks.pixels != nullptr) {
      LocalFree(blocks.pixels);
      *pixel_block = nullptr;
    }
  }
  if (Cancelled(progress, 2, user_data)) result = kCancelled;
  return result;
}
