// SPDX-License-Identifier: MIT
#include "tools/brask/stored_outputs.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "tools/brask/stored_picture.h"

namespace brask {
namespace {

bool Failed(brask_result result, std::string* why) {
  if (result == BRASK_OK) return false;
  *why = brask_result_text(result);
  return true;
}

// The stored palette, padded with black to cover every index the picture uses (a PNG palette
// must), and never empty.
std::vector<uint8_t> CoveringPalette(std::vector<uint8_t> palette_rgb, const std::vector<uint8_t>& indexes) {
  const size_t used = indexes.empty() ? 0 : size_t{*std::max_element(indexes.begin(), indexes.end())} + 1;
  const size_t entries = std::max<size_t>({palette_rgb.size() / 3, used, 1});
  palette_rgb.resize(entries * 3, 0);
  return palette_rgb;
}

std::vector<uint8_t> DropAlpha(const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> rgb(rgba.size() / 4 * 3);
  for (size_t i = 0, o = 0; i < rgba.size(); i += 4, o += 3) {
    rgb[o] = rgba[i];
    rgb[o + 1] = rgba[i + 1];
    rgb[o + 2] = rgba[i + 2];
  }
  return rgb;
}

}  // namespace

bool ReadStoredOutputs(const std::string& path, bool with_parts, StoredOutputs* outputs,
                       std::string* why) {
  StoredPicture stored;
  if (stored.Open(path) != BRASK_OK) {
    *why = stored.why();
    return false;
  }
  const brask_info& info = stored.info();
  PictureRows& picture = outputs->picture;
  picture.width = info.width;
  picture.height = info.height;
  if (stored.indexed()) {
    picture.layout = RowLayout::kPalette;
    std::vector<uint8_t> palette_rgb;
    if (Failed(stored.DecodeIndexed(&picture.pixels, &palette_rgb), why)) return false;
    picture.palette_rgb = CoveringPalette(std::move(palette_rgb), picture.pixels);
  } else {
    std::vector<uint8_t> rgba;
    if (Failed(stored.DecodeRgba(&rgba), why)) return false;
    picture.layout = info.has_alpha != 0 ? RowLayout::kRgba : RowLayout::kRgb;
    picture.pixels = info.has_alpha != 0 ? std::move(rgba) : DropAlpha(rgba);
  }
  if (!with_parts || info.mode != BRASK_MODE_G00_TYPE2) return true;

  nlohmann::ordered_json described = nlohmann::ordered_json::array();
  const std::vector<brask_part> parts = stored.Parts();
  for (uint32_t n = 0; n < parts.size(); ++n) {
    const brask_part& part = parts[n];
    described.push_back({{"index", part.index}, {"width", part.width}, {"height", part.height},
                         {"origin_x", part.origin_x}, {"origin_y", part.origin_y}, {"top", part.top}});
    if (part.width < 1 || part.height < 1) continue;  // no picture of its own
    StoredPart own{part.index, {}};
    own.rows.width = static_cast<uint32_t>(part.width);
    own.rows.height = static_cast<uint32_t>(part.height);
    own.rows.layout = RowLayout::kRgba;
    if (Failed(stored.DecodePart(n, part, &own.rows.pixels), why)) return false;
    outputs->parts.push_back(std::move(own));
  }
  outputs->parts_json = described.dump(2) + "\n";
  return true;
}

}  // namespace brask
