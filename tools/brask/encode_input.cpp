// SPDX-License-Identifier: MIT
#include "tools/brask/encode_input.h"

#include <fstream>
#include <iterator>
#include <unordered_set>

#include "brask/brask.h"
#include "tools/brask/parts_manifest.h"
#include "tools/brask/png_file.h"
#include "tools/brask/stored_picture.h"

namespace brask {
namespace {

constexpr uint32_t kAllModes[] = {BRASK_MODE_G00_TYPE0, BRASK_MODE_G00_TYPE1, BRASK_MODE_G00_TYPE2,
                                  BRASK_MODE_PDT10,     BRASK_MODE_PDT10_MASKED, BRASK_MODE_PDT11};

// The library's encoded file, copied out and freed.
bool TakeFile(brask_result result, uint8_t* bytes, size_t size, EncodedInput* encoded,
              const std::string& path, std::string* why) {
  if (result == BRASK_OK) encoded->file.assign(bytes, bytes + size);
  brask_free(bytes);
  if (result == BRASK_OK) return true;
  *why = path + ": " + brask_result_text(result);
  return false;
}

bool HasTransparency(const PngImage& png) {
  for (size_t i = 3; i < png.rgba.size(); i += 4) {
    if (png.rgba[i] != 255) return true;
  }
  return false;
}

// Distinct RGB colours, counted up to `most` + 1.
size_t CountColours(const PngImage& png, size_t most) {
  std::unordered_set<uint32_t> colours;
  for (size_t i = 0; i < png.rgba.size() && colours.size() <= most; i += 4) {
    colours.insert(uint32_t{png.rgba[i]} << 16 | uint32_t{png.rgba[i + 1]} << 8 | png.rgba[i + 2]);
  }
  return colours.size();
}

bool AtMost256Colours(const PngImage& png) { return png.indexed || CountColours(png, 256) <= 256; }

// Alpha below 255 anywhere: the alpha mode; else at most 256 colours: the indexed mode; else
// the 24-bit mode.
uint32_t ChooseMode(const PngImage& png, bool g00) {
  if (HasTransparency(png)) return g00 ? BRASK_MODE_G00_TYPE2 : BRASK_MODE_PDT10_MASKED;
  if (AtMost256Colours(png)) return g00 ? BRASK_MODE_G00_TYPE1 : BRASK_MODE_PDT11;
  return g00 ? BRASK_MODE_G00_TYPE0 : BRASK_MODE_PDT10;
}

bool EncodePng(const std::string& path, const EncodeRequest& request, EncodedInput* encoded,
               std::string* why) {
  PngImage png;
  if (!ReadPng(path, &png, why)) return false;
  const uint32_t mode = request.mode != 0 ? request.mode : ChooseMode(png, request.g00);
  const bool indexed_mode = mode == BRASK_MODE_G00_TYPE1 || mode == BRASK_MODE_PDT11;
  const bool alpha_mode = mode == BRASK_MODE_G00_TYPE2 || mode == BRASK_MODE_PDT10_MASKED;
  encoded->mode = mode;
  encoded->width = png.width;
  encoded->height = png.height;
  encoded->alpha_dropped = !alpha_mode && png.has_alpha;
  // A mode chosen by name takes the picture as it is: alpha it cannot store is dropped.
  const brask_encode_options options{request.level, 1};
  uint8_t* bytes = nullptr;
  size_t size = 0;
  brask_result result;
  if (indexed_mode && png.indexed) {
    // A palette PNG keeps its own palette and indexes.
    result = brask_encode_indexed(mode, png.indexes.data(), png.width, png.height, png.width,
                                  png.palette.data(), static_cast<uint32_t>(png.palette.size() / 3),
                                  &options, &bytes, &size);
  } else {
    result = brask_encode_rgba(mode, png.rgba.data(), png.width, png.height, size_t{png.width} * 4,
                               &options, &bytes, &size);
  }
  if (result == BRASK_TOO_MANY_COLOURS) {
    brask_free(bytes);
    *why = path + ": the picture has " + std::to_string(CountColours(png, SIZE_MAX)) +
           " colours; an indexed mode holds at most 256";
    return false;
  }
  return TakeFile(result, bytes, size, encoded, path, why);
}

bool EncodeManifest(const std::string& path, const EncodeRequest& request, EncodedInput* encoded,
                    std::string* why) {
  // Parts are what a type-2 G00 holds, whichever G00 mode a batch writes.
  if (request.mode != 0 ? !IsG00Mode(request.mode) : !request.g00) {
    *why = path + ": a parts description is written as a type-2 G00, and this run writes PDT";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot open " + path;
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ManifestPart> described;
  if (!ParsePartsManifest(text, &described, why)) {
    *why = path + ": " + *why;
    return false;
  }
  std::vector<PngImage> pictures(described.size());
  std::vector<brask_encode_part> parts(described.size());
  uint64_t width = 0;
  uint64_t height = 0;
  for (size_t n = 0; n < described.size(); ++n) {
    const ManifestPart& part = described[n];
    parts[n] = {part.index, part.width, part.height, part.origin_x, part.origin_y, nullptr, 0};
    if (part.width > int64_t(width)) width = static_cast<uint64_t>(part.width);
    height += static_cast<uint64_t>(part.height);
    if (part.width < 1 || part.height < 1) continue;  // no picture of its own
    const std::string picture_path = PartPicturePath(path, part.index);
    std::string reason;
    if (!ReadPng(picture_path, &pictures[n], &reason)) {
      *why = path + ": part " + std::to_string(part.index) + ": " + reason;
      return false;
    }
    if (pictures[n].width != uint32_t(part.width) || pictures[n].height != uint32_t(part.height)) {
      *why = picture_path + " is " + std::to_string(pictures[n].width) + " x " +
             std::to_string(pictures[n].height) + " pixels, but " + path + " gives part " +
             std::to_string(part.index) + " " + std::to_string(part.width) + " x " +
             std::to_string(part.height);
      return false;
    }
    parts[n].rgba = pictures[n].rgba.data();
    parts[n].stride = size_t{pictures[n].width} * 4;
  }
  encoded->mode = BRASK_MODE_G00_TYPE2;
  encoded->width = static_cast<uint32_t>(std::min<uint64_t>(width, UINT32_MAX));
  encoded->height = static_cast<uint32_t>(std::min<uint64_t>(height, UINT32_MAX));
  const brask_encode_options options{request.level, 0};
  uint8_t* bytes = nullptr;
  size_t size = 0;
  const brask_result result = brask_encode_g00_parts(parts.data(), static_cast<uint32_t>(parts.size()),
                                                     &options, &bytes, &size);
  return TakeFile(result, bytes, size, encoded, path, why);
}

}  // namespace

uint32_t ModeByName(const std::string& name) {
  for (const uint32_t mode : kAllModes) {
    if (name == ModeName(mode)) return mode;
  }
  return 0;
}

bool IsG00Mode(uint32_t mode) {
  return mode == BRASK_MODE_G00_TYPE0 || mode == BRASK_MODE_G00_TYPE1 || mode == BRASK_MODE_G00_TYPE2;
}

bool EncodeInput(const std::string& path, const EncodeRequest& request, EncodedInput* encoded,
                 std::string* why) {
  return IsPartsManifestName(path) ? EncodeManifest(path, request, encoded, why)
                                   : EncodePng(path, request, encoded, why);
}

}  // namespace brask
