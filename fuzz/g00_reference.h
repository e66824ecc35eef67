// SPDX-License-Identifier: MIT
// What a G00 decode must give, worked out the slow way: the type-2 parts placed pixel by
// pixel with a bounds test each, streams decoded by the plain reference decoders, and the
// handler's outcome (result, which blocks it allocated, its progress calls) from the header
// alone. The G00 fuzz targets compare the plug-in with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/plain_decoder.h"
#include "codec/byte_io.h"
#include "codec/dib.h"
#include "formats/g00.h"
#include "host/plugin_api.h"

namespace g00_reference {

inline uint64_t Stride(uint64_t width, uint64_t bytes_per_pixel) {
  return (width * bytes_per_pixel + 3) / 4 * 4;
}

// A part that takes part: its directory entry is inside the data, neither its offset nor its
// length is 0, its 116-byte header is inside the data and its height is not negative. A
// negative width widens nothing; the part's height and blocks still count.
struct Part {
  size_t header_at;
  int64_t width;
  int64_t height;
};

inline std::vector<Part> PartsOf(const uint8_t* data, size_t length) {
  std::vector<Part> parts;
  if (length < 4) return parts;
  const uint64_t count = ReadU32Le(data);
  for (uint64_t i = 0; i < count && 4 + 8 * (i + 1) <= length; ++i) {
    const uint8_t* entry = data + 4 + 8 * i;
    const uint64_t offset = ReadU32Le(entry);
    if (offset == 0 || ReadU32Le(entry + 4) == 0) continue;
    if (offset + kG00PartHeaderBytes > length) continue;
    const int64_t width = ReadI32Le(data + offset + 12);
    const int64_t height = ReadI32Le(data + offset + 16);
    if (height < 0) continue;
    parts.push_back(Part{static_cast<size_t>(offset), width, height});
  }
  return parts;
}

struct Picture {
  int64_t width = 0;
  uint64_t height = 0;
  uint64_t bytes = 0;  // stride * height; 0 for an empty picture
  bool refused() const { return bytes == 0 || bytes > kLargestBlockBytes; }
};

inline Picture PictureOf(const std::vector<Part>& parts) {
  Picture picture;
  for (const Part& part : parts) {
    if (part.width > picture.width) picture.width = part.width;
    picture.height += static_cast<uint64_t>(part.height);
  }
  picture.bytes = Stride(static_cast<uint64_t>(picture.width), 3) * picture.height;
  return picture;
}

// Bottom-up rows of the picture, padding zero. Blocks follow their part's header one after
// another; the first block whose header or pixels run past the data ends its part.
inline std::vector<uint8_t> Compose(const uint8_t* data, size_t length,
                                    const std::vector<Part>& parts, const Picture& picture) {
  const int64_t width = picture.width;
  const int64_t height = static_cast<int64_t>(picture.height);
  const size_t stride = static_cast<size_t>(Stride(static_cast<uint64_t>(width), 3));
  std::vector<uint8_t> rows(static_cast<size_t>(picture.bytes), 0);
  int64_t top = 0;
  for (const Part& part : parts) {
    const uint8_t* header = data + part.header_at;
    const int64_t origin_x = ReadU16Le(header + 4);
    const int64_t origin_y = ReadU16Le(header + 8);
    size_t at = part.header_at + kG00PartHeaderBytes;
    for (unsigned b = 0; b < ReadU16Le(header + 2); ++b) {
      if (at + kG00BlockHeaderBytes > length) break;
      const int64_t x = ReadU16Le(data + at);
      const int64_t y = ReadU16Le(data + at + 2);
      const size_t block_width = ReadU16Le(data + at + 6);
      const size_t block_height = ReadU16Le(data + at + 8);
      const size_t pixels_at = at + kG00BlockHeaderBytes;
      if (block_width * block_height * 4 > length - pixels_at) break;
      for (size_t by = 0; by < block_height; ++by) {
        for (size_t bx = 0; bx < block_width; ++bx) {
          const int64_t column = x - origin_x + static_cast<int64_t>(bx);
          const int64_t row = top + y - origin_y + static_cast<int64_t>(by);
          if (column < 0 || row < 0 || column >= width || row >= height) continue;
          const uint8_t* from = data + pixels_at + 4 * (by * block_width + bx);
          uint8_t* to = rows.data() + static_cast<size_t>(height - 1 - row) * stride +
                        3 * static_cast<size_t>(column);
          for (size_t c = 0; c < 3; ++c)
            to[c] = static_cast<uint8_t>(from[c] * (from[3] + 1) / 256);
        }
      }
      at = pixels_at + block_width * block_height * 4;
    }
    top += part.height & 0xFFFF;
  }
  return rows;
}

// Top-down unpadded rows to bottom-up rows padded with zeros.
inline std::vector<uint8_t> DibRows(const uint8_t* top_down, size_t width, size_t height,
                                    size_t bytes_per_pixel) {
  const size_t row = width * bytes_per_pixel;
  const size_t stride = static_cast<size_t>(Stride(width, bytes_per_pixel));
  std::vector<uint8_t> rows(stride * height, 0);
  for (size_t r = 0; r < height; ++r) {
    std::memcpy(rows.data() + (height - 1 - r) * stride, top_down + r * row, row);
  }
  return rows;
}

// A decode through the handler, run to its end with no cancellation.
struct Outcome {
  int32_t result = kNotSupported;
  bool info_allocated = false;        // the information block was allocated
  bool pixels_attempted = false;      // the pixel block's allocation was tried (its variable set)
  int middle_call = -1;               // numerator of the call after decompression; -1: none
  bool pixels_before_middle = false;  // the pixel block was tried before that call
  std::vector<uint8_t> info;          // both blocks' bytes, on success
  std::vector<uint8_t> pixels;
};

// Allocations above `limit` bytes fail, as the platform's allocation limit makes them.
inline Outcome Decode(const uint8_t* data, size_t length, uint64_t limit) {
  Outcome out;
  const uint8_t type = data[0];
  const size_t width = ReadU16Le(data + 1);
  const size_t height = ReadU16Le(data + 3);
  uint64_t sizes_at = 5;
  if (type == 2) {
    if (length < 9) return out;
    sizes_at = 9 + 24 * uint64_t{ReadU32Le(data + 5)};
  } else if (width == 0 || height == 0) {
    return out;
  }
  if (sizes_at + 8 > length) return out;
  const uint64_t compressed = ReadU32Le(data + sizes_at);
  const uint64_t decompressed = ReadU32Le(data + sizes_at + 4);
  if (compressed < 8 || compressed - 8 > length - sizes_at - 8) return out;
  const uint8_t* stream = data + sizes_at + 8;
  const size_t stream_length = static_cast<size_t>(compressed - 8);

  out.result = kOutOfMemory;
  const uint64_t pixel_block = Stride(width, type == 1 ? 1 : 3) * height;
  if (type != 0 && decompressed > kLargestBlockBytes) return out;
  if (type != 2 && pixel_block > kLargestBlockBytes) return out;
  out.info_allocated = true;
  out.info.assign(type == 1 ? kInfoBlockBytes8 : kInfoBlockBytes24, 0);
  WriteU32Le(out.info.data(), 40);
  WriteU32Le(out.info.data() + 4, static_cast<uint32_t>(width));
  WriteU32Le(out.info.data() + 8, static_cast<uint32_t>(height));
  WriteU16Le(out.info.data() + 12, 1);
  WriteU16Le(out.info.data() + 14, type == 1 ? 8 : 24);
  WriteU32Le(out.info.data() + 20, static_cast<uint32_t>(pixel_block));

  if (type == 0) {
    out.pixels_attempted = true;
    out.pixels_before_middle = true;
    if (pixel_block > limit) return out;  // the work buffer, when there is one, is as large
    out.middle_call = 2;
    std::vector<uint8_t> decoded(static_cast<size_t>(pixel_block), 0);
    PlainDecodeG00Pixels(decoded.data(), decoded.size(), stream, stream_length);
    out.pixels = DibRows(decoded.data(), width, height, 3);
  } else {
    if (decompressed > limit) return out;
    out.middle_call = type == 1 ? 2 : 1;
    std::vector<uint8_t> decoded(static_cast<size_t>(decompressed), 0);
    PlainDecodeG00Bytes(decoded.data(), decoded.size(), stream, stream_length);
    if (type == 1) {
      out.result = kNotSupported;
      if (decoded.size() < 2) return out;
      const size_t entries = ReadU16Le(decoded.data());
      const size_t indexes_at = 2 + 4 * entries;
      if (indexes_at > decoded.size() || width * height > decoded.size() - indexes_at) return out;
      std::memcpy(out.info.data() + 40, decoded.data() + 2, 4 * (entries < 256 ? entries : 256));
      out.result = kOutOfMemory;
      out.pixels_attempted = true;
      if (pixel_block > limit) return out;
      out.pixels = DibRows(decoded.data() + indexes_at, width, height, 1);
    } else {
      const std::vector<Part> parts = PartsOf(decoded.data(), decoded.size());
      const Picture picture = PictureOf(parts);
      out.pixels_attempted = true;
      if (picture.refused() || picture.bytes > limit) return out;
      WriteU32Le(out.info.data() + 4, static_cast<uint32_t>(picture.width));
      WriteU32Le(out.info.data() + 8, static_cast<uint32_t>(picture.height));
      WriteU32Le(out.info.data() + 20, static_cast<uint32_t>(picture.bytes));
      out.pixels = Compose(decoded.data(), decoded.size(), parts, picture);
    }
  }
  out.result = kSuccess;
  return out;
}

}  // namespace g00_reference
