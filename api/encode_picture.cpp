// SPDX-License-Identifier: MIT
// Writing G00 and PDT files: the caller's pixels are checked against what the mode and the
// file's fields can hold, turned into the encoders' images (formats/image_files.h) and
// encoded; the file is handed back in one block of the platform heap. This file and the
// encoders use the standard library with exceptions: every entry point catches them all, so
// none crosses the C boundary (an allocation failure answers BRASK_OUT_OF_MEMORY).
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "api/picture.h"
#include "formats/image_files.h"

namespace {

constexpr uint64_t kG00LargestSide = 0xFFFF;
constexpr uint64_t kPdtLargestSide = 0x7FFFFFFF;  // signed 32-bit fields
constexpr uint32_t kMostColours = 256;

// A result carried out of the encoders' C++ code.
struct Refusal {
  brask_result result;
};

void Refuse(brask_result result) { throw Refusal{result}; }

int LevelOf(const brask_encode_options* options) {
  if (options == nullptr || options->level == BRASK_ENCODE_DEFAULT_LEVEL) {
    return encode::kDefaultLevel;
  }
  if (options->level < encode::kLowestLevel || options->level > encode::kHighestLevel) {
    Refuse(BRASK_INVALID_ARGUMENT);
  }
  return options->level;
}

encode::LzOptions LzOptionsOf(const brask_encode_options* options) {
  encode::LzOptions lz;
  lz.level = LevelOf(options);
  return lz;
}

bool DropsAlpha(const brask_encode_options* options) {
  return options != nullptr && options->drop_alpha != 0;
}

bool IsG00(uint32_t mode) {
  return mode == BRASK_MODE_G00_TYPE0 || mode == BRASK_MODE_G00_TYPE1 ||
         mode == BRASK_MODE_G00_TYPE2;
}

// Rows of row_bytes, `stride` apart, `height` of them: a null buffer, a stride below a row
// or a buffer whose extent overflows is the caller's mistake.
void CheckRows(const uint8_t* pixels, uint64_t row_bytes, uint64_t height, size_t stride) {
  if (pixels == nullptr || stride < row_bytes) Refuse(BRASK_INVALID_ARGUMENT);
  // stride >= row_bytes >= 1 here, so the division is safe.
  if (height - 1 > (UINT64_MAX - row_bytes) / stride) Refuse(BRASK_INVALID_ARGUMENT);
  if ((height - 1) * uint64_t{stride} + row_bytes > SIZE_MAX) Refuse(BRASK_INVALID_ARGUMENT);
}

// The sizes a mode's header can say, and buffers that can exist.
void CheckPicture(uint32_t mode, const uint8_t* pixels, uint32_t width, uint32_t height,
                  size_t stride, size_t bytes_per_pixel) {
  if (width == 0 || height == 0) Refuse(BRASK_INVALID_ARGUMENT);
  // The format's limits first, so that a size no header can say is named as such on 32-bit
  // builds too, where its rows could not be addressed at all.
  const uint64_t largest = IsG00(mode) ? kG00LargestSide : kPdtLargestSide;
  if (width > largest || height > largest) Refuse(BRASK_TOO_LARGE);
  CheckRows(pixels, uint64_t{width} * bytes_per_pixel, height, stride);
  // A G00's decompressed size is a 32-bit field; say so before encoding gigabytes.
  const uint64_t stored_bytes = uint64_t{width} * height * (mode == BRASK_MODE_G00_TYPE0   ? 3
                                                            : mode == BRASK_MODE_G00_TYPE2 ? 4
                                                                                           : 1);
  if (IsG00(mode) && stored_bytes > UINT32_MAX - 0x10000) Refuse(BRASK_TOO_LARGE);
}

bool IsOpaque(const uint8_t* rgba, uint32_t width, uint32_t height, size_t stride) {
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = rgba + size_t{y} * stride;
    for (uint32_t x = 0; x < width; ++x) {
      if (row[4 * size_t{x} + 3] != 255) return false;
    }
  }
  return true;
}

// RGBA rows to the encoders' pixel orders: blue, green, red (and alpha).
template <size_t kBytes>
std::vector<uint8_t> ToBgr(const uint8_t* rgba, uint32_t width, uint32_t height,
                           size_t stride) {
  std::vector<uint8_t> out(size_t{width} * height * kBytes);
  uint8_t* dst = out.data();
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = rgba + size_t{y} * stride;
    for (uint32_t x = 0; x < width; ++x, src += 4, dst += kBytes) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      if constexpr (kBytes == 4) dst[3] = src[3];
    }
  }
  return out;
}

// One palette entry per distinct colour, in order of first appearance.
encode::IndexedImage ToIndexed(const uint8_t* rgba, uint32_t width, uint32_t height,
                               size_t stride) {
  encode::IndexedImage image;
  image.width = static_cast<int32_t>(width);
  image.height = static_cast<int32_t>(height);
  image.indexes.resize(size_t{width} * height);
  std::unordered_map<uint32_t, uint8_t> index_of;
  uint8_t* dst = image.indexes.data();
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = rgba + size_t{y} * stride;
    for (uint32_t x = 0; x < width; ++x, src += 4) {
      const uint32_t key = uint32_t{src[0]} | uint32_t{src[1]} << 8 | uint32_t{src[2]} << 16;
      auto found = index_of.find(key);
      if (found == index_of.end()) {
        if (index_of.size() == kMostColours) Refuse(BRASK_TOO_MANY_COLOURS);
        found = index_of.emplace(key, static_cast<uint8_t>(index_of.size())).first;
        image.palette.insert(image.palette.end(), {src[2], src[1], src[0], 0});
      }
      *dst++ = found->second;
    }
  }
  return image;
}

std::vector<uint8_t> EncodeIndexedImage(uint32_t mode, const encode::IndexedImage& image,
                                        const encode::LzOptions& lz) {
  return mode == BRASK_MODE_PDT11 ? encode::EncodePdt11(image, lz)
                                  : encode::EncodeG00Type1(image, lz);
}

std::vector<uint8_t> EncodeRgba(uint32_t mode, const uint8_t* rgba, uint32_t width,
                                uint32_t height, size_t stride,
                                const brask_encode_options* options) {
  if (mode < BRASK_MODE_G00_TYPE0 || mode > BRASK_MODE_PDT11) Refuse(BRASK_INVALID_ARGUMENT);
  CheckPicture(mode, rgba, width, height, stride, 4);
  const encode::LzOptions lz = LzOptionsOf(options);
  const bool keeps_alpha = mode == BRASK_MODE_G00_TYPE2 || mode == BRASK_MODE_PDT10_MASKED;
  if (!keeps_alpha && !DropsAlpha(options) && !IsOpaque(rgba, width, height, stride)) {
    Refuse(BRASK_ALPHA_NOT_STORED);
  }
  const int32_t w = static_cast<int32_t>(width);
  const int32_t h = static_cast<int32_t>(height);
  switch (mode) {
    case BRASK_MODE_G00_TYPE0:
      return encode::EncodeG00Type0({w, h, ToBgr<3>(rgba, width, height, stride)}, lz);
    case BRASK_MODE_PDT10:
      return encode::EncodePdt10({w, h, ToBgr<3>(rgba, width, height, stride)}, lz);
    case BRASK_MODE_PDT10_MASKED:
      return encode::EncodePdt10Masked({w, h, ToBgr<4>(rgba, width, height, stride)}, lz);
    case BRASK_MODE_G00_TYPE2:
      return encode::EncodeG00Type2(
          encode::AlphaImage{w, h, ToBgr<4>(rgba, width, height, stride)}, 64, lz);
    default:
      return EncodeIndexedImage(mode, ToIndexed(rgba, width, height, stride), lz);
  }
}

std::vector<uint8_t> EncodeIndexes(uint32_t mode, const uint8_t* indexes, uint32_t width,
                                   uint32_t height, size_t stride, const uint8_t* palette,
                                   uint32_t palette_size, const brask_encode_options* options) {
  if (mode < BRASK_MODE_G00_TYPE0 || mode > BRASK_MODE_PDT11) Refuse(BRASK_INVALID_ARGUMENT);
  if (mode != BRASK_MODE_G00_TYPE1 && mode != BRASK_MODE_PDT11) Refuse(BRASK_NOT_INDEXED);
  CheckPicture(mode, indexes, width, height, stride, 1);
  if (palette_size > kMostColours) Refuse(BRASK_TOO_MANY_COLOURS);
  if (palette == nullptr && palette_size != 0) Refuse(BRASK_INVALID_ARGUMENT);
  const encode::LzOptions lz = LzOptionsOf(options);
  encode::IndexedImage image;
  image.width = static_cast<int32_t>(width);
  image.height = static_cast<int32_t>(height);
  for (uint32_t i = 0; i < palette_size; ++i) {
    const uint8_t* rgb = palette + 3 * size_t{i};
    image.palette.insert(image.palette.end(), {rgb[2], rgb[1], rgb[0], 0});
  }
  image.indexes.resize(size_t{width} * height);
  for (uint32_t y = 0; y < height; ++y) {
    std::memcpy(image.indexes.data() + size_t{y} * width, indexes + size_t{y} * stride, width);
  }
  return EncodeIndexedImage(mode, image, lz);
}

std::vector<uint8_t> EncodeParts(const brask_encode_part* parts, uint32_t count,
                                 const brask_encode_options* options) {
  if (parts == nullptr || count == 0) Refuse(BRASK_INVALID_ARGUMENT);
  const encode::LzOptions lz = LzOptionsOf(options);
  // The composed picture: as wide as the widest part, as high as all parts; its header
  // fields are 16-bit, and a part's height advances the stack by its low 16 bits only.
  uint64_t composed_width = 0;
  uint64_t composed_height = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const brask_encode_part& part = parts[i];
    if (i > 0 && part.index <= parts[i - 1].index) Refuse(BRASK_INVALID_ARGUMENT);
    if (part.height < 0) Refuse(BRASK_INVALID_ARGUMENT);
    if (part.origin_x > kG00LargestSide || part.origin_y > kG00LargestSide ||
        uint64_t(part.height) > kG00LargestSide) {
      Refuse(BRASK_TOO_LARGE);
    }
    if (part.width >= 1 && part.height >= 1) {
      const uint64_t w = static_cast<uint64_t>(part.width);
      const uint64_t h = static_cast<uint64_t>(part.height);
      CheckRows(part.rgba, w * 4, h, part.stride);
      if (part.origin_x + w - 1 > kG00LargestSide || part.origin_y + h - 1 > kG00LargestSide) {
        Refuse(BRASK_TOO_LARGE);
      }
    }
    if (part.width > 0) composed_width = std::max<uint64_t>(composed_width, uint64_t(part.width));
    composed_height += static_cast<uint64_t>(part.height);
  }
  if (composed_width > kG00LargestSide || composed_height > kG00LargestSide) {
    Refuse(BRASK_TOO_LARGE);
  }
  // A picture of no pixels does not decode.
  if (composed_width == 0 || composed_height == 0) Refuse(BRASK_INVALID_ARGUMENT);
  // The directory holds an entry for every index up to the last; it must fit 32 bits.
  const uint64_t entries = uint64_t{parts[count - 1].index} + 1;
  if (4 + 8 * entries > UINT32_MAX) Refuse(BRASK_TOO_LARGE);

  std::vector<encode::G00Part> directory(static_cast<size_t>(entries));
  for (encode::G00Part& entry : directory) entry.empty = true;
  for (uint32_t i = 0; i < count; ++i) {
    const brask_encode_part& part = parts[i];
    encode::G00Part& entry = directory[part.index];
    if (part.width >= 1 && part.height >= 1) {
      const uint32_t w = static_cast<uint32_t>(part.width);
      const uint32_t h = static_cast<uint32_t>(part.height);
      const encode::AlphaImage image{part.width, part.height,
                                     ToBgr<4>(part.rgba, w, h, part.stride)};
      entry = encode::CutIntoBlocks(image, part.origin_x, part.origin_y);
    } else {
      entry.empty = false;
      entry.origin_x = static_cast<uint16_t>(part.origin_x);
      entry.origin_y = static_cast<uint16_t>(part.origin_y);
      entry.width = part.width;
      entry.height = part.height;
    }
  }
  return encode::EncodeG00Type2(directory, static_cast<uint16_t>(composed_width),
                                static_cast<uint16_t>(composed_height), lz);
}

// Runs an encoder and hands its file over; every exception becomes a result here.
template <class Encoder>
brask_result HandOver(uint8_t** out, size_t* out_size, Encoder&& encoder) {
  if (out == nullptr || out_size == nullptr) return BRASK_INVALID_ARGUMENT;
  *out = nullptr;
  *out_size = 0;
  try {
    const std::vector<uint8_t> file = encoder();
    uint8_t* copy = api::Allocate(file.size());
    if (copy == nullptr) return BRASK_OUT_OF_MEMORY;
    std::memcpy(copy, file.data(), file.size());
    *out = copy;
    *out_size = file.size();
    return BRASK_OK;
  } catch (const Refusal& refusal) {
    return refusal.result;
  } catch (const std::bad_alloc&) {
    return BRASK_OUT_OF_MEMORY;
  } catch (const std::length_error&) {
    return BRASK_TOO_LARGE;  // a size beyond a 32-bit field of the file
  } catch (...) {
    return BRASK_INVALID_ARGUMENT;
  }
}

}  // namespace

extern "C" {

BRASK_API brask_result brask_encode_rgba(uint32_t mode, const uint8_t* rgba, uint32_t width,
                                         uint32_t height, size_t stride,
                                         const brask_encode_options* options, uint8_t** out,
                                         size_t* out_size) {
  return HandOver(out, out_size,
                  [&] { return EncodeRgba(mode, rgba, width, height, stride, options); });
}

BRASK_API brask_result brask_encode_indexed(uint32_t mode, const uint8_t* indexes,
                                            uint32_t width, uint32_t height, size_t stride,
                                            const uint8_t* palette, uint32_t palette_size,
                                            const brask_encode_options* options, uint8_t** out,
                                            size_t* out_size) {
  return HandOver(out, out_size, [&] {
    return EncodeIndexes(mode, indexes, width, height, stride, palette, palette_size, options);
  });
}

BRASK_API brask_result brask_encode_g00_parts(const brask_encode_part* parts, uint32_t count,
                                              const brask_encode_options* options,
                                              uint8_t** out, size_t* out_size) {
  return HandOver(out, out_size, [&] { return EncodeParts(parts, count, options); });
}

BRASK_API void brask_free(void* memory) { api::Free(memory); }

}  // extern "C"
