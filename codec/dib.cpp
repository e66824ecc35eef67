// Building DIB rows: bottom-up copies, in-place flips and alpha flattening. The callers have
// checked every size against their buffers; nothing here re-checks per pixel.
#include "codec/dib.h"

#include <cstring>

namespace {

size_t RowBytes(const BITMAPINFOHEADER& header) {
  return static_cast<size_t>(header.biBitCount / 8) * static_cast<size_t>(header.biWidth);
}

size_t Height(const BITMAPINFOHEADER& header) { return static_cast<size_t>(header.biHeight); }

uint8_t Flatten(uint8_t colour, uint8_t alpha) {
  return static_cast<uint8_t>((static_cast<unsigned>(colour) * (alpha + 1u)) >> 8);
}

}  // namespace

void FillBitmapHeader(BITMAPINFOHEADER* header, int32_t width_px, int32_t height_px,
                      uint16_t bit_count, uint32_t size_image) {
  header->biSize = kBitmapHeaderBytes;
  header->biWidth = width_px;
  header->biHeight = height_px;
  header->biPlanes = 1;
  header->biBitCount = bit_count;
  header->biSizeImage = size_image;
}

uint8_t* HeapBuffer::Allocate(size_t bytes) {
  Release();
  data_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
  return data_;
}

void HeapBuffer::Release() {
  if (data_ != nullptr) HeapFree(GetProcessHeap(), 0, data_);
  data_ = nullptr;
}

void CopyRowsFlipped(uint8_t* dst, const uint8_t* src, const BITMAPINFOHEADER& header) {
  const size_t row = RowBytes(header);
  const size_t stride = (row + 3) & ~size_t{3};
  const size_t height = Height(header);
  for (size_t r = 0; r < height; ++r) {
    uint8_t* out = dst + r * stride;
    std::memcpy(out, src + (height - 1 - r) * row, row);
    std::memset(out + row, 0, stride - row);
  }
}

bool FlipRowsInPlace(uint8_t* data, const BITMAPINFOHEADER& header) {
  const size_t row = RowBytes(header);
  const size_t height = Height(header);
  HeapBuffer spare;
  uint8_t* swap = spare.Allocate(row);
  if (swap == nullptr) return false;
  for (size_t top = 0, bottom = height - 1; top < height / 2; ++top, --bottom) {
    std::memcpy(swap, data + top * row, row);
    std::memcpy(data + top * row, data + bottom * row, row);
    std::memcpy(data + bottom * row, swap, row);
  }
  spare.Release();
  return true;
}

void FlattenAlphaRow(uint8_t* dst, const uint8_t* src, size_t byte_count) {
  const size_t pixels = byte_count / 4;
  for (size_t i = 0; i < pixels; ++i, src += 4, dst += 3) {
    const uint8_t alpha = src[3];
    dst[0] = Flatten(src[0], alpha);
    dst[1] = Flatten(src[1], alpha);
    dst[2] = Flatten(src[2], alpha);
  }
}

void ComposeMaskedImage(uint8_t* dst, const uint8_t* work, const BITMAPINFOHEADER& header) {
  const size_t width = static_cast<size_t>(header.biWidth);
  const size_t height = Height(header);
  const size_t row = 3 * width;
  const size_t stride = (row + 3) & ~size_t{3};
  const uint8_t* colour = work;
  const uint8_t* alpha = work + row * height;
  for (size_t r = 0; r < height; ++r) {
    uint8_t* out = dst + (height - 1 - r) * stride;
    for (size_t x = 0; x < width; ++x, colour += 3, ++alpha, out += 3) {
      out[0] = Flatten(colour[0], *alpha);
      out[1] = Flatten(colour[1], *alpha);
      out[2] = Flatten(colour[2], *alpha);
    }
    std::memset(out, 0, stride - row);
  }
}
