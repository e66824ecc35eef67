// SPDX-License-Identifier: MIT
// Whole G00 and PDT files: headers, palettes, the type-2 part directory, and the streams of
// the LZ encoders. Images whose sizes disagree with their pixel data are refused with
// std::invalid_argument rather than written as files that lie.
#include "formats/image_files.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>

#include "formats/g00_header.h"
#include "formats/g00_parts.h"
#include "formats/pdt_layout.h"

namespace encode {
namespace {

void PutU8(std::vector<uint8_t>* out, uint32_t value) {
  out->push_back(static_cast<uint8_t>(value));
}

void PutU16(std::vector<uint8_t>* out, uint32_t value) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

void SetU16(std::vector<uint8_t>* out, size_t at, uint32_t value) {
  (*out)[at] = static_cast<uint8_t>(value);
  (*out)[at + 1] = static_cast<uint8_t>(value >> 8);
}

void SetU32(std::vector<uint8_t>* out, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) (*out)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Append(std::vector<uint8_t>* out, const std::vector<uint8_t>& bytes) {
  out->insert(out->end(), bytes.begin(), bytes.end());
}

uint32_t Size32(size_t size, const char* what) {
  if (size > UINT32_MAX) throw std::length_error(std::string(what) + " exceeds 32 bits");
  return static_cast<uint32_t>(size);
}

// width × height × bytes_per_pixel, after checking that both sides are sane.
size_t PixelBytes(int32_t width, int32_t height, size_t bytes_per_pixel, size_t have,
                  const char* what) {
  if (width < 0 || height < 0) throw std::invalid_argument(std::string(what) + ": negative size");
  const uint64_t want = uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) *
                        bytes_per_pixel;  // at most 2^31 · 2^31 · 4: no overflow
  if (have != want) {
    throw std::invalid_argument(std::string(what) + ": have " + std::to_string(have) +
                                " pixel bytes, want " + std::to_string(want));
  }
  return have;
}

void CheckG00Size(int32_t width, int32_t height) {
  if (width > 0xFFFF || height > 0xFFFF) {
    throw std::invalid_argument("G00 sizes are 16-bit");
  }
}

// Type 0 and 1: type, width, height, then the compressed size (stream + 8), the
// decompressed size and the stream.
std::vector<uint8_t> G00WithStream(uint8_t type, int32_t width, int32_t height,
                                   size_t decompressed_size, const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> file;
  file.reserve(13 + stream.size());
  PutU8(&file, type);
  PutU16(&file, static_cast<uint32_t>(width));
  PutU16(&file, static_cast<uint32_t>(height));
  PutU32(&file, Size32(stream.size() + 8, "compressed size"));
  PutU32(&file, Size32(decompressed_size, "decompressed size"));
  Append(&file, stream);
  return file;
}

std::vector<uint8_t> PdtHeader(char version, int32_t width, int32_t height) {
  std::vector<uint8_t> file = {'P', 'D', 'T', '1', static_cast<uint8_t>(version), 0, 0, 0};
  PutU32(&file, 0);  // end offset, set when the streams are in
  PutU32(&file, static_cast<uint32_t>(width));
  PutU32(&file, static_cast<uint32_t>(height));
  PutU32(&file, 0);
  PutU32(&file, 0);
  PutU32(&file, 0);  // mask offset
  return file;
}

}  // namespace

std::vector<uint8_t> EncodeG00Type0(const ColourImage& image, const LzOptions& options) {
  CheckG00Size(image.width, image.height);
  const size_t bytes = PixelBytes(image.width, image.height, 3, image.bgr.size(), "G00 type 0");
  const std::vector<uint8_t> stream =
      EncodeLz(LzVariant::kG00Pixels, image.bgr.data(), bytes, options);
  return G00WithStream(0, image.width, image.height, bytes, stream);
}

std::vector<uint8_t> EncodeG00Type1(const IndexedImage& image, const LzOptions& options,
                                    int stored_palette_count) {
  CheckG00Size(image.width, image.height);
  const size_t pixels =
      PixelBytes(image.width, image.height, 1, image.indexes.size(), "G00 type 1");
  const size_t count =
      stored_palette_count >= 0 ? static_cast<size_t>(stored_palette_count) : image.palette.size() / 4;
  if (count > 0xFFFF) throw std::invalid_argument("G00 palette counts are 16-bit");
  // The stored count decides how many entries follow; missing ones are zero.
  std::vector<uint8_t> data;
  data.reserve(2 + count * 4 + pixels);
  PutU16(&data, static_cast<uint32_t>(count));
  std::vector<uint8_t> palette(count * 4, 0);
  std::copy_n(image.palette.begin(), std::min(palette.size(), image.palette.size()),
              palette.begin());
  Append(&data, palette);
  Append(&data, image.indexes);
  const std::vector<uint8_t> stream =
      EncodeLz(LzVariant::kG00Bytes, data.data(), data.size(), options);
  return G00WithStream(1, image.width, image.height, data.size(), stream);
}

std::vector<uint8_t> BuildG00PartDirectory(const std::vector<G00Part>& parts) {
  const size_t table_bytes = 4 + 8 * parts.size();
  std::vector<uint8_t> data(table_bytes, 0);
  SetU32(&data, 0, Size32(parts.size(), "entry count"));
  for (size_t i = 0; i < parts.size(); ++i) {
    const G00Part& part = parts[i];
    if (part.empty) continue;  // offset and length 0
    if (part.blocks.size() > 0xFFFF) throw std::invalid_argument("block counts are 16-bit");
    const size_t part_start = data.size();
    data.resize(part_start + kG00PartHeaderBytes, 0);
    SetU16(&data, part_start + 2, static_cast<uint32_t>(part.blocks.size()));
    SetU16(&data, part_start + 4, part.origin_x);
    SetU16(&data, part_start + 8, part.origin_y);
    SetU32(&data, part_start + 12, static_cast<uint32_t>(part.width));
    SetU32(&data, part_start + 16, static_cast<uint32_t>(part.height));
    for (const G00Block& block : part.blocks) {
      const AlphaImage& px = block.pixels;
      CheckG00Size(px.width, px.height);
      PixelBytes(px.width, px.height, 4, px.bgra.size(), "G00 block");
      const size_t block_start = data.size();
      data.resize(block_start + kG00BlockHeaderBytes, 0);
      SetU16(&data, block_start + 0, block.x);
      SetU16(&data, block_start + 2, block.y);
      SetU16(&data, block_start + 6, static_cast<uint32_t>(px.width));
      SetU16(&data, block_start + 8, static_cast<uint32_t>(px.height));
      Append(&data, px.bgra);
    }
    SetU32(&data, 4 + 8 * i, Size32(part_start, "part offset"));
    SetU32(&data, 8 + 8 * i, Size32(data.size() - part_start, "part length"));
  }
  return data;
}

std::vector<uint8_t> EncodeG00Type2Directory(const std::vector<uint8_t>& directory,
                                             uint16_t header_width, uint16_t header_height,
                                             uint32_t region_count, const LzOptions& options) {
  std::vector<uint8_t> file;
  PutU8(&file, 2);
  PutU16(&file, header_width);
  PutU16(&file, header_height);
  PutU32(&file, region_count);
  file.resize(file.size() + size_t{region_count} * static_cast<size_t>(kG00RegionRecordBytes), 0);
  const std::vector<uint8_t> stream =
      EncodeLz(LzVariant::kG00Bytes, directory.data(), directory.size(), options);
  PutU32(&file, Size32(stream.size() + 8, "compressed size"));
  PutU32(&file, Size32(directory.size(), "decompressed size"));
  Append(&file, stream);
  return file;
}

std::vector<uint8_t> EncodeG00Type2(const std::vector<G00Part>& parts, uint16_t header_width,
                                    uint16_t header_height, const LzOptions& options) {
  std::vector<uint8_t> file = EncodeG00Type2Directory(
      BuildG00PartDirectory(parts), header_width, header_height,
      Size32(parts.size(), "region count"), options);
  // Each region record holds its part's rectangle: left, top, right, bottom (inclusive),
  // then 8 zero bytes. The decoder does not read them.
  for (size_t i = 0; i < parts.size(); ++i) {
    const G00Part& part = parts[i];
    if (part.empty) continue;
    const size_t at = 9 + static_cast<size_t>(kG00RegionRecordBytes) * i;
    SetU32(&file, at + 0, part.origin_x);
    SetU32(&file, at + 4, part.origin_y);
    SetU32(&file, at + 8, static_cast<uint32_t>(part.origin_x + part.width - 1));
    SetU32(&file, at + 12, static_cast<uint32_t>(part.origin_y + part.height - 1));
  }
  return file;
}

G00Part CutIntoBlocks(const AlphaImage& image, uint32_t origin_x, uint32_t origin_y,
                      int block_size) {
  PixelBytes(image.width, image.height, 4, image.bgra.size(), "G00 part");
  if (block_size < 1) throw std::invalid_argument("blocks need a positive size");
  // Each block's position is origin + offset in a 16-bit field.
  if (image.width > 0 && origin_x + uint64_t{static_cast<uint32_t>(image.width)} - 1 > 0xFFFF) {
    throw std::invalid_argument("G00 part reaches beyond x 65535");
  }
  if (image.height > 0 && origin_y + uint64_t{static_cast<uint32_t>(image.height)} - 1 > 0xFFFF) {
    throw std::invalid_argument("G00 part reaches beyond y 65535");
  }
  G00Part part;
  part.origin_x = static_cast<uint16_t>(origin_x);
  part.origin_y = static_cast<uint16_t>(origin_y);
  part.width = image.width;
  part.height = image.height;
  const size_t width = static_cast<size_t>(image.width);
  const size_t height = static_cast<size_t>(image.height);
  const size_t step = static_cast<size_t>(block_size);
  for (size_t cell_y = 0; cell_y < height; cell_y += step) {
    for (size_t cell_x = 0; cell_x < width; cell_x += step) {
      // The cell's block is the smallest rectangle around its pixels that are not
      // (0, 0, 0, 0): the picture gives that where no block lies, so a cell wholly of it has
      // no block. Colour under alpha 0 is kept.
      const size_t cell_w = std::min(step, width - cell_x);
      const size_t cell_h = std::min(step, height - cell_y);
      size_t left = cell_w, right = 0, top = cell_h, bottom = 0;
      for (size_t row = 0; row < cell_h; ++row) {
        const uint8_t* src = image.bgra.data() + ((cell_y + row) * width + cell_x) * 4;
        for (size_t i = 0; i < cell_w; ++i) {
          uint32_t pixel;
          std::memcpy(&pixel, src + 4 * i, 4);
          if (pixel == 0) continue;
          left = std::min(left, i);
          right = std::max(right, i + 1);
          top = std::min(top, row);
          bottom = row + 1;
        }
      }
      if (left >= right) continue;
      G00Block block;
      block.x = static_cast<uint16_t>(origin_x + cell_x + left);
      block.y = static_cast<uint16_t>(origin_y + cell_y + top);
      block.pixels.width = static_cast<int32_t>(right - left);
      block.pixels.height = static_cast<int32_t>(bottom - top);
      block.pixels.bgra.reserve((right - left) * (bottom - top) * 4);
      for (size_t row = top; row < bottom; ++row) {
        const uint8_t* src = image.bgra.data() + ((cell_y + row) * width + cell_x + left) * 4;
        block.pixels.bgra.insert(block.pixels.bgra.end(), src, src + (right - left) * 4);
      }
      part.blocks.push_back(std::move(block));
    }
  }
  return part;
}

std::vector<uint8_t> EncodeG00Type2(const AlphaImage& image, int block_size,
                                    const LzOptions& options) {
  CheckG00Size(image.width, image.height);
  return EncodeG00Type2({CutIntoBlocks(image, 0, 0, block_size)},
                        static_cast<uint16_t>(image.width), static_cast<uint16_t>(image.height),
                        options);
}

std::vector<uint8_t> EncodePdt10(const ColourImage& image, const LzOptions& options) {
  const size_t bytes = PixelBytes(image.width, image.height, 3, image.bgr.size(), "PDT10");
  std::vector<uint8_t> file = PdtHeader('0', image.width, image.height);
  Append(&file, EncodeLz(LzVariant::kPdtPixels, image.bgr.data(), bytes, options));
  SetU32(&file, 8, Size32(file.size(), "end offset"));
  return file;
}

std::vector<uint8_t> EncodePdt10Masked(const AlphaImage& image, const LzOptions& options) {
  const size_t bytes =
      PixelBytes(image.width, image.height, 4, image.bgra.size(), "PDT10 masked");
  const size_t pixels = bytes / 4;
  std::vector<uint8_t> colour(pixels * 3);
  std::vector<uint8_t> alpha(pixels);
  for (size_t i = 0; i < pixels; ++i) {
    std::copy_n(image.bgra.begin() + static_cast<std::ptrdiff_t>(4 * i), 3,
                colour.begin() + static_cast<std::ptrdiff_t>(3 * i));
    alpha[i] = image.bgra[4 * i + 3];
  }
  std::vector<uint8_t> file = PdtHeader('0', image.width, image.height);
  Append(&file, EncodeLz(LzVariant::kPdtPixels, colour.data(), colour.size(), options));
  SetU32(&file, 28, Size32(file.size(), "mask offset"));
  Append(&file, EncodeLz(LzVariant::kPdtMask, alpha.data(), alpha.size(), options));
  SetU32(&file, 8, Size32(file.size(), "end offset"));
  return file;
}

std::vector<uint8_t> EncodePdt11(const IndexedImage& image, const LzOptions& options) {
  const size_t pixels =
      PixelBytes(image.width, image.height, 1, image.indexes.size(), "PDT11");
  if (image.palette.size() > kPdtPaletteBytes) {
    throw std::invalid_argument("a PDT11 palette holds at most 256 entries");
  }
  std::vector<uint8_t> file = PdtHeader('1', image.width, image.height);
  Append(&file, image.palette);
  file.resize(kPdtHeaderBytes + kPdtPaletteBytes, 0);
  Append(&file, EncodeLz(LzVariant::kPdtIndexed, image.indexes.data(), pixels, options));
  SetU32(&file, 8, Size32(file.size(), "end offset"));
  return file;
}

}  // namespace encode
