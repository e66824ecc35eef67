// SPDX-License-Identifier: MIT
// The API's encoders on pictures the input describes: every file they hand back must be read
// by the plain file reader without fault and decode through the API to exactly what the
// mode keeps; every refusal must be one the picture calls for.
// Input: mode (byte 0, modulo 7: six modes, then parts), level (byte 1 modulo 10), flags
// (byte 2: bit 0 drops alpha, bit 1 cuts colours to 64), width and height (bytes 3 and 4,
// 1..64 each), then the pixels' bytes, repeated as needed. Parts: up to three of the
// picture's rows bands, at origins taken from the pixels.
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "bench/plain_files.h"
#include "brask/brask.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

using Bytes = std::vector<uint8_t>;

// Decodes a file through the API as RGBA.
Bytes DecodeRgba(const Bytes& file, bool g00, brask_info* info) {
  brask_picture* picture = nullptr;
  Check(brask_open_memory(file.data(), file.size(), g00 ? "f.g00" : "f.pdt", 0, &picture) ==
        BRASK_OK);
  Check(brask_get_info(picture, info) == BRASK_OK);
  Bytes rgba(size_t{info->width} * info->height * 4);
  Check(brask_decode_rgba(picture, rgba.data(), rgba.size(), size_t{info->width} * 4) == BRASK_OK);
  brask_close(picture);
  return rgba;
}

Bytes Take(brask_result result, uint8_t* out, size_t size) {
  Bytes file;
  if (result == BRASK_OK) file.assign(out, out + size);
  Check((result == BRASK_OK) == (out != nullptr));
  brask_free(out);
  return file;
}

void FuzzPicture(uint32_t mode, const brask_encode_options& options, const Bytes& rgba,
                 uint32_t w, uint32_t h) {
  uint8_t* out = nullptr;
  size_t size = 0;
  const brask_result result =
      brask_encode_rgba(mode, rgba.data(), w, h, size_t{w} * 4, &options, &out, &size);
  const Bytes file = Take(result, out, size);
  const bool keeps_alpha = mode == BRASK_MODE_G00_TYPE2 || mode == BRASK_MODE_PDT10_MASKED;
  const bool indexed = mode == BRASK_MODE_G00_TYPE1 || mode == BRASK_MODE_PDT11;
  bool translucent = false;
  std::set<uint32_t> colours;
  for (size_t i = 0; i < rgba.size(); i += 4) {
    translucent |= rgba[i + 3] != 255;
    colours.insert(uint32_t{rgba[i]} | uint32_t{rgba[i + 1]} << 8 | uint32_t{rgba[i + 2]} << 16);
  }
  if (result == BRASK_ALPHA_NOT_STORED) {
    Check(!keeps_alpha && translucent && options.drop_alpha == 0);
    return;
  }
  if (result == BRASK_TOO_MANY_COLOURS) {
    Check(indexed && colours.size() > 256);
    return;
  }
  Check(result == BRASK_OK);
  const bool g00 = mode <= BRASK_MODE_G00_TYPE2;
  const plain::Picture plain = g00 ? plain::ReadG00(file) : plain::ReadPdt(file);
  Check(plain.error.empty());
  brask_info info{};
  const Bytes decoded = DecodeRgba(file, g00, &info);
  Check(info.width == w && info.height == h && decoded.size() == rgba.size());
  for (size_t i = 0; i < rgba.size(); i += 4) {
    Check(std::memcmp(&decoded[i], &rgba[i], 3) == 0);
    Check(decoded[i + 3] == (keeps_alpha ? rgba[i + 3] : 255));
  }
}

void FuzzParts(const brask_encode_options& options, const Bytes& rgba, uint32_t w, uint32_t h,
               const uint8_t* choices) {
  // Up to three bands of rows, each a part at an origin the choices give; index gaps too.
  std::vector<brask_encode_part> parts;
  uint32_t row = 0;
  uint32_t index = choices[0] % 3;
  for (uint32_t n = 0; n < 3 && row < h; ++n) {
    const uint32_t rows = n == 2 ? h - row : 1 + choices[n + 1] % (h - row);
    const uint32_t origin = uint32_t{choices[n + 4]} * 257;
    parts.push_back({index, static_cast<int32_t>(w), static_cast<int32_t>(rows), origin,
                     origin / 2, rgba.data() + size_t{row} * w * 4, size_t{w} * 4});
    row += rows;
    index += 1 + choices[n + 7] % 2;
  }
  uint8_t* out = nullptr;
  size_t size = 0;
  const brask_result result = brask_encode_g00_parts(
      parts.data(), static_cast<uint32_t>(parts.size()), &options, &out, &size);
  const Bytes file = Take(result, out, size);
  bool too_far = false;
  for (const brask_encode_part& part : parts) {
    too_far |= part.origin_x + uint32_t(part.width) - 1 > 0xFFFF ||
               part.origin_y + uint32_t(part.height) - 1 > 0xFFFF;
  }
  if (result == BRASK_TOO_LARGE) {
    Check(too_far);
    return;
  }
  Check(result == BRASK_OK && !too_far);
  const plain::Picture plain = plain::ReadG00(file);
  Check(plain.error.empty() && plain.parts.size() == parts.size());
  brask_info info{};
  const Bytes decoded = DecodeRgba(file, true, &info);
  Check(info.width == w && info.height == row && decoded.size() <= rgba.size() &&
        std::memcmp(decoded.data(), rgba.data(), decoded.size()) == 0);
  for (size_t n = 0; n < parts.size(); ++n) {
    Check(plain.parts[n].index == parts[n].index && plain.parts[n].origin_x == parts[n].origin_x);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  const uint32_t selector = data[0] % 7u;
  const brask_encode_options options{data[1] % 10, data[2] & 1u};
  const uint32_t w = 1 + data[3] % 64u;
  const uint32_t h = 1 + data[4] % 64u;
  const uint8_t* choices = data + 5;  // 10 bytes for the parts
  const uint8_t* pixels = data + 15;
  const size_t pixel_bytes = size - 15;
  Bytes rgba(size_t{w} * h * 4);
  for (size_t i = 0; i < rgba.size(); ++i) {
    rgba[i] = pixels[i % pixel_bytes];
    if ((data[2] & 2u) != 0 && i % 4 != 3) rgba[i] &= 0xC0;  // at most 64 colours
  }
  if (selector == 6) {
    FuzzParts(options, rgba, w, h, choices);
  } else {
    FuzzPicture(selector + 1, options, rgba, w, h);
  }
  return 0;
}
