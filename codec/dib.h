// SPDX-License-Identifier: MIT
// The device-independent bitmap handed to the host: an information block (BITMAPINFOHEADER,
// then a 256-entry colour table for 8-bit images) and a pixel block of bottom-up rows padded
// to 4 bytes. Also the scoped work buffer and the row conversions that turn a decoded,
// top-down, unpadded image into DIB rows. Callers check every size before calling; these
// routines trust their arguments.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel.h"

constexpr size_t kBitmapHeaderBytes = 40;
constexpr size_t kColourTableOffset = 40;
constexpr size_t kColourTableBytes = 256 * 4;
constexpr size_t kInfoBlockBytes24 = 54;
constexpr size_t kInfoBlockBytes8 = 1078;

// No block or work buffer is ever larger: more than a 32-bit process can allocate, so a
// header asking for it is refused before anything is allocated, on every build.
constexpr uint64_t kLargestBlockBytes = 0x7FFFFFFF;

// Bytes per stored row: the pixels' bytes rounded up to a multiple of 4. Computed in 64 bits
// so that no header value can wrap it.
constexpr uint64_t DibStride(uint64_t width_px, uint64_t bytes_per_pixel) {
  return (width_px * bytes_per_pixel + 3) & ~uint64_t{3};
}

// Sets the fields a handler fills; the rest keep the zero of the block's fill.
void FillBitmapHeader(BITMAPINFOHEADER* header, int32_t width_px, int32_t height_px,
                      uint16_t bit_count, uint32_t size_image);

// One work buffer on the process heap, not cleared. Release() frees it and may be called
// any number of times; the destructor releases what is still held.
class HeapBuffer {
 public:
  HeapBuffer() = default;
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  ~HeapBuffer() { Release(); }

  // Returns the buffer, or null when the heap refuses it.
  uint8_t* Allocate(size_t bytes);
  void Release();
  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_ = nullptr;
};

// Copies a top-down image with unpadded rows of (biBitCount / 8) * biWidth bytes into dst as
// bottom-up rows of the DIB stride; the row padding is written as zeros.
void CopyRowsFlipped(uint8_t* dst, const uint8_t* src, const BITMAPINFOHEADER& header);

// Reverses the order of the biHeight unpadded rows of data. Returns false only when its
// one-row buffer cannot be allocated.
bool FlipRowsInPlace(uint8_t* data, const BITMAPINFOHEADER& header);

// Flattens byte_count / 4 pixels (blue, green, red, alpha) onto black: 3 bytes out per pixel,
// each colour byte c becoming (c * (alpha + 1)) >> 8.
void FlattenAlphaRow(uint8_t* dst, const uint8_t* src, size_t byte_count);

// Flattens width * height 3-byte pixels (top row first), followed in `work` by as many alpha
// bytes, onto black into bottom-up DIB rows; the row padding is written as zeros.
void ComposeMaskedImage(uint8_t* dst, const uint8_t* work, const BITMAPINFOHEADER& header);
