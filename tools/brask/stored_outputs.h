// SPDX-License-Identifier: MIT
// What `brask convert` writes for a picture as stored, read through the public API: masked
// PDT and type-2 G00 as RGBA, G00 type 1 and PDT11 as palette indexes, the rest as RGB; with
// parts, each type-2 part that has a picture of its own as RGBA, and the parts' description
// as JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brask/picture_rows.h"

namespace brask {

struct StoredPart {
  uint32_t index;  // the entry's place in the directory
  PictureRows rows;
};

struct StoredOutputs {
  PictureRows picture;
  std::vector<StoredPart> parts;  // with_parts and a type-2 G00 only
  std::string parts_json;         // likewise: an array, one object a listed part
};

// False with a reason (the library's result in words).
bool ReadStoredOutputs(const std::string& path, bool with_parts, StoredOutputs* outputs,
                       std::string* why);

}  // namespace brask
