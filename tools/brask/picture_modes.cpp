// SPDX-License-Identifier: MIT
#include "tools/brask/picture_modes.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "brask/brask.h"
#include "formats/image_files.h"

namespace brask {
namespace {

constexpr size_t kMostColours = 256;

// Both formats keep width and height in 16 bits somewhere; larger pictures are refused here
// rather than written wrongly.
constexpr int32_t kLargestSide = 0xFFFF;

uint8_t Flatten(uint8_t colour, uint8_t alpha) {
  return static_cast<uint8_t>((unsigned(colour) * (unsigned(alpha) + 1)) >> 8);
}

encode::ColourImage ToColour(const SourcePicture& source) {
  encode::ColourImage image{source.width, source.height, {}};
  const size_t pixels = size_t(source.width) * size_t(source.height);
  image.bgr.resize(pixels * 3);
  for (size_t i = 0; i < pixels; ++i) {
    image.bgr[3 * i] = source.rgba[4 * i + 2];
    image.bgr[3 * i + 1] = source.rgba[4 * i + 1];
    image.bgr[3 * i + 2] = source.rgba[4 * i];
  }
  return image;
}

encode::AlphaImage ToAlpha(const SourcePicture& source) {
  encode::AlphaImage image{source.width, source.height, {}};
  const size_t pixels = size_t(source.width) * size_t(source.height);
  image.bgra.resize(pixels * 4);
  for (size_t i = 0; i < pixels; ++i) {
    image.bgra[4 * i] = source.rgba[4 * i + 2];
    image.bgra[4 * i + 1] = source.rgba[4 * i + 1];
    image.bgra[4 * i + 2] = source.rgba[4 * i];
    image.bgra[4 * i + 3] = source.rgba[4 * i + 3];
  }
  return image;
}

// Palette pictures keep their own palette; others get one colour per distinct RGB value in
// order of first appearance. More than 256 colours is an error naming the count.
bool ToIndexed(const SourcePicture& source, encode::IndexedImage* image, std::string* why) {
  image->width = source.width;
  image->height = source.height;
  const size_t pixels = size_t(source.width) * size_t(source.height);
  if (source.indexed) {
    const size_t entries = source.palette_rgb.size() / 3;
    if (entries > kMostColours) {
      *why = "the picture's palette has " + std::to_string(entries) + " entries; at most 256 fit";
      return false;
    }
    image->palette.assign(entries * 4, 0);
    for (size_t i = 0; i < entries; ++i) {
      image->palette[4 * i] = source.palette_rgb[3 * i + 2];
      image->palette[4 * i + 1] = source.palette_rgb[3 * i + 1];
      image->palette[4 * i + 2] = source.palette_rgb[3 * i];
    }
    image->indexes = source.indexes;
    return true;
  }
  std::unordered_map<uint32_t, uint8_t> index_of;
  std::unordered_set<uint32_t> beyond;  // only counted, for the message
  image->indexes.resize(pixels);
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* p = &source.rgba[4 * i];
    const uint32_t key = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    auto found = index_of.find(key);
    if (found == index_of.end()) {
      if (index_of.size() == kMostColours) {
        beyond.insert(key);
        continue;
      }
      found = index_of.emplace(key, static_cast<uint8_t>(index_of.size())).first;
      image->palette.insert(image->palette.end(), {p[2], p[1], p[0], 0});
    }
    image->indexes[i] = found->second;
  }
  if (!beyond.empty()) {
    *why = "the picture has " + std::to_string(kMostColours + beyond.size()) +
           " colours; indexed modes hold at most 256";
    return false;
  }
  return true;
}

ExpectedPicture ExpectIndexed(const encode::IndexedImage& image) {
  ExpectedPicture expected{8, image.width, image.height, image.indexes, {}};
  expected.colour_table.assign(kColourTableBytes, 0);
  std::memcpy(expected.colour_table.data(), image.palette.data(),
              std::min(image.palette.size(), kColourTableBytes));
  return expected;
}

ExpectedPicture ExpectColour(const encode::ColourImage& image) {
  return {24, image.width, image.height, image.bgr, {}};
}

ExpectedPicture ExpectFlattened(const encode::AlphaImage& image) {
  ExpectedPicture expected{24, image.width, image.height, {}, {}};
  const size_t pixels = size_t(image.width) * size_t(image.height);
  expected.rows.resize(pixels * 3);
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t alpha = image.bgra[4 * i + 3];
    for (size_t c = 0; c < 3; ++c) expected.rows[3 * i + c] = Flatten(image.bgra[4 * i + c], alpha);
  }
  return expected;
}

}  // namespace

const std::vector<ModeInfo>& AllModes() {
  static const std::vector<ModeInfo> modes = {
      {Mode::kG00Colour, "g00-0", ".g00", false, false},
      {Mode::kG00Indexed, "g00-1", ".g00", true, false},
      {Mode::kG00Parts, "g00-2", ".g00", false, true},
      {Mode::kPdt10, "pdt10", ".pdt", false, false},
      {Mode::kPdt10Mask, "pdt10-mask", ".pdt", false, true},
      {Mode::kPdt11, "pdt11", ".pdt", true, false},
  };
  return modes;
}

const ModeInfo* FindMode(const std::string& name) {
  for (const ModeInfo& info : AllModes()) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

std::string ModeNames() {
  std::string names;
  for (const ModeInfo& info : AllModes()) names += (names.empty() ? "" : "|") + std::string(info.name);
  return names;
}

uint32_t ApiMode(Mode mode) {
  switch (mode) {
    case Mode::kG00Colour: return BRASK_MODE_G00_TYPE0;
    case Mode::kG00Indexed: return BRASK_MODE_G00_TYPE1;
    case Mode::kG00Parts: return BRASK_MODE_G00_TYPE2;
    case Mode::kPdt10: return BRASK_MODE_PDT10;
    case Mode::kPdt10Mask: return BRASK_MODE_PDT10_MASKED;
    case Mode::kPdt11: return BRASK_MODE_PDT11;
  }
  return 0;
}

bool EncodeInMode(const SourcePicture& source, Mode mode, EncodedPicture* encoded, std::string* why,
                  int level) {
  if (source.width <= 0 || source.height <= 0 || source.width > kLargestSide ||
      source.height > kLargestSide) {
    *why = "a picture of " + std::to_string(source.width) + " x " + std::to_string(source.height) +
           " pixels cannot be stored (1 to 65535 each way)";
    return false;
  }
  const uint32_t width = static_cast<uint32_t>(source.width);
  const uint32_t height = static_cast<uint32_t>(source.height);
  // The modes without alpha keep the colours; the command says when alpha is dropped.
  const brask_encode_options options{level, 1};
  uint8_t* file = nullptr;
  size_t file_size = 0;
  brask_result result = BRASK_OK;
  if (mode == Mode::kG00Indexed || mode == Mode::kPdt11) {
    encode::IndexedImage image;
    if (!ToIndexed(source, &image, why)) return false;
    encoded->expected = ExpectIndexed(image);
    std::vector<uint8_t> palette_rgb;
    for (size_t i = 0; i + 4 <= image.palette.size(); i += 4) {
      palette_rgb.insert(palette_rgb.end(),
                         {image.palette[i + 2], image.palette[i + 1], image.palette[i]});
    }
    result = brask_encode_indexed(ApiMode(mode), image.indexes.data(), width, height, width,
                                  palette_rgb.data(), static_cast<uint32_t>(palette_rgb.size() / 3),
                                  &options, &file, &file_size);
  } else {
    const bool alpha = mode == Mode::kG00Parts || mode == Mode::kPdt10Mask;
    encoded->expected =
        alpha ? ExpectFlattened(ToAlpha(source)) : ExpectColour(ToColour(source));
    result = brask_encode_rgba(ApiMode(mode), source.rgba.data(), width, height,
                               size_t{width} * 4, &options, &file, &file_size);
  }
  if (result != BRASK_OK) {
    *why = std::string("the encoder refused the picture: ") + brask_result_text(result);
    return false;
  }
  encoded->file.assign(file, file + file_size);
  brask_free(file);
  return true;
}

std::string ComparePicture(const DibPicture& decoded, const ExpectedPicture& expected) {
  if (decoded.width() != expected.width || decoded.height() != expected.height ||
      decoded.bit_count() != expected.bit_count) {
    return "decoded " + std::to_string(decoded.width()) + " x " + std::to_string(decoded.height()) +
           " at " + std::to_string(decoded.bit_count()) + " bits, want " +
           std::to_string(expected.width) + " x " + std::to_string(expected.height) + " at " +
           std::to_string(expected.bit_count);
  }
  if (expected.bit_count == 8 &&
      std::memcmp(decoded.colour_table(), expected.colour_table.data(), kColourTableBytes) != 0) {
    return "colour table differs";
  }
  const size_t row_bytes = size_t(expected.width) * size_t(expected.bit_count / 8);
  for (int32_t y = 0; y < expected.height; ++y) {
    const uint8_t* have = decoded.TopDownRow(y);
    const uint8_t* want = expected.rows.data() + size_t(y) * row_bytes;
    if (std::memcmp(have, want, row_bytes) != 0) {
      size_t x = 0;
      while (have[x] == want[x]) ++x;
      return "row " + std::to_string(y) + " differs at byte " + std::to_string(x) + ": have " +
             std::to_string(have[x]) + ", want " + std::to_string(want[x]);
    }
  }
  return "";
}

}  // namespace brask
