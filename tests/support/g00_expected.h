// SPDX-License-Identifier: MIT
// What a G00 decode must produce, built independently of the plug-in: bottom-up padded DIB
// rows, the information block, and type-2 parts stacked and flattened onto black. Shared by
// the G00 tests that go through the exports and those that call the units directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/image_files.h"
#include "codec/lz_encoder.h"

namespace g00_expected {

inline void PutLe(std::vector<uint8_t>* out, size_t at, uint32_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) (*out)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline size_t Stride(int64_t width, size_t bytes_per_pixel) {
  return (static_cast<size_t>(width) * bytes_per_pixel + 3) & ~size_t{3};
}

// Deterministic bytes with runs in them, so the encoders use back-references.
inline std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = (state >> 28) < 5 && i >= 7 ? bytes[i - 7] : static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

// A 54- or 1078-byte information block with the fields a handler sets.
inline std::vector<uint8_t> InfoBlock(int32_t width, int32_t height, uint16_t bit_count,
                                      uint32_t size_image,
                                      const std::vector<uint8_t>& colour_table = {}) {
  std::vector<uint8_t> info(bit_count == 8 ? 1078 : 54, 0);
  PutLe(&info, 0, 40, 4);
  PutLe(&info, 4, static_cast<uint32_t>(width), 4);
  PutLe(&info, 8, static_cast<uint32_t>(height), 4);
  PutLe(&info, 12, 1, 2);
  PutLe(&info, 14, bit_count, 2);
  PutLe(&info, 20, size_image, 4);
  if (!colour_table.empty()) std::memcpy(info.data() + 40, colour_table.data(), colour_table.size());
  return info;
}

// Top-down unpadded rows of `bytes_per_pixel` to bottom-up rows padded with zeros.
inline std::vector<uint8_t> DibRows(const std::vector<uint8_t>& top_down, int32_t width,
                                    int32_t height, size_t bytes_per_pixel) {
  const size_t row = static_cast<size_t>(width) * bytes_per_pixel;
  const size_t stride = Stride(width, bytes_per_pixel);
  std::vector<uint8_t> dib(stride * static_cast<size_t>(height), 0);
  for (size_t r = 0; r < static_cast<size_t>(height); ++r) {
    std::memcpy(dib.data() + (static_cast<size_t>(height) - 1 - r) * stride,
                top_down.data() + r * row, row);
  }
  return dib;
}

struct Composed {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // bottom-up DIB rows
};

// Parts stacked top to bottom from the left edge, blocks placed at (x - origin x, y - origin
// y) inside their part, each pixel flattened onto black; pixels outside the picture dropped.
inline Composed ComposeParts(const std::vector<encode::G00Part>& parts) {
  Composed out;
  for (const auto& part : parts) {
    if (part.width > out.width) out.width = part.width;
    out.height += part.height;
  }
  const size_t stride = Stride(out.width, 3);
  out.pixels.assign(stride * static_cast<size_t>(out.height), 0);
  int64_t top = 0;
  for (const auto& part : parts) {
    for (const auto& block : part.blocks) {
      for (int64_t by = 0; by < block.pixels.height; ++by) {
        for (int64_t bx = 0; bx < block.pixels.width; ++bx) {
          const int64_t x = block.x - part.origin_x + bx;
          const int64_t y = top + block.y - part.origin_y + by;
          if (x < 0 || y < 0 || x >= out.width || y >= out.height) continue;
          const uint8_t* src =
              block.pixels.bgra.data() + static_cast<size_t>(by * block.pixels.width + bx) * 4;
          uint8_t* dst = out.pixels.data() +
                         static_cast<size_t>(out.height - 1 - y) * stride + static_cast<size_t>(x) * 3;
          for (int c = 0; c < 3; ++c) dst[c] = static_cast<uint8_t>((src[c] * (src[3] + 1)) >> 8);
        }
      }
    }
    top += part.height;
  }
  return out;
}

inline encode::G00Block Block(uint16_t x, uint16_t y, int32_t width, int32_t height,
                              uint32_t seed) {
  encode::G00Block block;
  block.x = x;
  block.y = y;
  block.pixels.width = width;
  block.pixels.height = height;
  block.pixels.bgra = PatternBytes(static_cast<size_t>(width * height) * 4, seed);
  return block;
}

// A type-2 file around any decompressed data: header, region records (zero), the two sizes
// and the stream. decompressed_size overrides the stored work-buffer size when not 0.
inline std::vector<uint8_t> Type2File(const std::vector<uint8_t>& directory, uint16_t width,
                                      uint16_t height, uint32_t regions = 1,
                                      uint32_t decompressed_size = 0) {
  const std::vector<uint8_t> stream = encode::EncodeLz(encode::LzVariant::kG00Bytes,
                                                       directory.data(), directory.size());
  std::vector<uint8_t> file(17 + 24 * size_t{regions}, 0);
  file[0] = 2;
  PutLe(&file, 1, width, 2);
  PutLe(&file, 3, height, 2);
  PutLe(&file, 5, regions, 4);
  const size_t sizes = 9 + 24 * size_t{regions};
  PutLe(&file, sizes, static_cast<uint32_t>(stream.size() + 8), 4);
  PutLe(&file, sizes + 4,
        decompressed_size != 0 ? decompressed_size : static_cast<uint32_t>(directory.size()), 4);
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

}  // namespace g00_expected
