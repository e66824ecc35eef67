// SPDX-License-Identifier: MIT
// The description of a type-2 G00's parts that `brask convert --parts` writes beside the part
// PNGs (NAME-parts.json: one object a part, in directory order, with index, width, height,
// origin_x, origin_y and top), read back so the parts can be written again. The text comes
// from a user's edits and is checked whole before anything is encoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brask {

struct ManifestPart {
  uint32_t index = 0;
  int32_t width = 0;   // below 1: no picture of its own, as stored
  int32_t height = 0;  // 0: no picture of its own
  uint32_t origin_x = 0;
  uint32_t origin_y = 0;
};

extern const char kPartsManifestSuffix[];  // "-parts.json"

// Whether `path` names a parts description by its ending.
bool IsPartsManifestName(const std::string& path);

// "dir/x-parts.json" -> "dir/x-part3.png" for index 3.
std::string PartPicturePath(const std::string& manifest_path, uint32_t index);

// Whether `path` is one of the pictures a parts description in its folder stands for: the
// composed NAME.png or a NAME-partN.png beside NAME-parts.json.
bool BelongsToPartsManifest(const std::string& path);

// False with the first fault in words: not JSON, not an array of objects, a field missing or
// not a whole number in its range (negative heights, origins or indexes), indexes not
// strictly increasing, or a top that is not where the parts before it end (parts are stacked
// in order, each right below the last, so a top cannot overlap or leave a gap).
bool ParsePartsManifest(const std::string& text, std::vector<ManifestPart>* parts, std::string* why);

}  // namespace brask
