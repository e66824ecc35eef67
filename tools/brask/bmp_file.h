// SPDX-License-Identifier: MIT
// BMP files: a 14-byte file header followed by the DIB exactly as the plug-in handed it over
// (header, colour table for 8-bit pictures, bottom-up padded rows).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/brask/dib_picture.h"

namespace brask {

std::vector<uint8_t> EncodeBmp(const DibPicture& picture);

}  // namespace brask
