// SPDX-License-Identifier: MIT
// The DIB row routines against a pixel-by-pixel reference written here: bottom-up copies with
// zero padding, in-place flips, and alpha flattened onto black. Every buffer is exactly the
// size the routine may touch. Byte 0: width - 1; byte 1: height - 1 (up to 32); byte 2: bit 0
// picks 8 or 24 bits, bits 1-2 the bytes past the last whole pixel given to FlattenAlphaRow;
// the rest: the pixel bytes, repeated as often as needed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/dib.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::vector<uint8_t> Repeat(const uint8_t* bytes, size_t count, size_t size) {
  std::vector<uint8_t> out(size, 0);
  for (size_t i = 0; count != 0 && i < size; ++i) out[i] = bytes[i % count];
  return out;
}

uint8_t Flat(uint8_t colour, uint8_t alpha) {
  if (alpha == 255) return colour;
  if (alpha == 0) return 0;
  return static_cast<uint8_t>(colour * (alpha + 1) / 256);
}

BITMAPINFOHEADER Header(size_t width, size_t height, uint16_t bit_count) {
  BITMAPINFOHEADER header;
  std::memset(&header, 0, sizeof header);
  FillBitmapHeader(&header, static_cast<int32_t>(width), static_cast<int32_t>(height), bit_count,
                   0);
  return header;
}

// A bottom-up copy: memory row r is picture row height - 1 - r, padding zero.
void CheckCopy(const std::vector<uint8_t>& image, size_t width, size_t height, size_t bytes_pp) {
  const size_t row = width * bytes_pp;
  const size_t stride = (row + 3) / 4 * 4;
  std::vector<uint8_t> dib(stride * height, 0xEE);
  CopyRowsFlipped(dib.data(), image.data(),
                  Header(width, height, static_cast<uint16_t>(8 * bytes_pp)));
  for (size_t r = 0; r < height; ++r) {
    const uint8_t* out = dib.data() + r * stride;
    Check(std::memcmp(out, image.data() + (height - 1 - r) * row, row) == 0);
    for (size_t b = row; b < stride; ++b) Check(out[b] == 0);
  }
}

void CheckFlip(const std::vector<uint8_t>& image, size_t width, size_t height, size_t bytes_pp) {
  const size_t row = width * bytes_pp;
  std::vector<uint8_t> flipped(image);
  Check(
      FlipRowsInPlace(flipped.data(), Header(width, height, static_cast<uint16_t>(8 * bytes_pp))));
  for (size_t r = 0; r < height; ++r) {
    Check(std::memcmp(flipped.data() + r * row, image.data() + (height - 1 - r) * row, row) == 0);
  }
}

void CheckFlattenRow(const std::vector<uint8_t>& bgra) {
  const size_t pixels = bgra.size() / 4;
  std::vector<uint8_t> out(3 * pixels, 0xEE);
  FlattenAlphaRow(out.data(), bgra.data(), bgra.size());
  for (size_t i = 0; i < pixels; ++i) {
    for (size_t c = 0; c < 3; ++c) Check(out[3 * i + c] == Flat(bgra[4 * i + c], bgra[4 * i + 3]));
  }
}

// `work`: width * height colour pixels of 3 bytes, then as many alpha bytes.
void CheckMasked(const std::vector<uint8_t>& work, size_t width, size_t height) {
  const size_t stride = (3 * width + 3) / 4 * 4;
  std::vector<uint8_t> dib(stride * height, 0xEE);
  ComposeMaskedImage(dib.data(), work.data(), Header(width, height, 24));
  const uint8_t* alpha = work.data() + 3 * width * height;
  for (size_t y = 0; y < height; ++y) {
    const uint8_t* out = dib.data() + (height - 1 - y) * stride;
    for (size_t x = 0; x < width; ++x) {
      const size_t pixel = y * width + x;
      for (size_t c = 0; c < 3; ++c) {
        Check(out[3 * x + c] == Flat(work[3 * pixel + c], alpha[pixel]));
      }
    }
    for (size_t b = 3 * width; b < stride; ++b) Check(out[b] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t width = size_t{data[0]} + 1;
  const size_t height = size_t{data[1]} % 32 + 1;
  const size_t bytes_pp = (data[2] & 1) != 0 ? 3 : 1;
  const size_t ragged_tail = (data[2] >> 1) & 3;
  const uint8_t* payload = data + 3;
  const size_t payload_size = size - 3;

  const std::vector<uint8_t> image = Repeat(payload, payload_size, width * bytes_pp * height);
  CheckCopy(image, width, height, bytes_pp);
  CheckFlip(image, width, height, bytes_pp);
  CheckFlattenRow(Repeat(payload, payload_size, 4 * width + ragged_tail));
  CheckMasked(Repeat(payload, payload_size, 4 * width * height), width, height);
  return 0;
}
