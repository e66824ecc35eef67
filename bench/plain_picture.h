// SPDX-License-Identifier: MIT
// Whole pictures the plain way, the baseline picture_bench measures GetPicture against: the
// file read with read() (G00) or taken from memory (PDT), the plain stream decoders of
// plain_decoder.h, and DIB rows built with one row copy or one per-pixel flattening each.
// Type-2 parts are stacked by the plug-in's own ComposeG00Parts (there is no second one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The DIB pixel rows of a picture, bottom row first, rows padded to 4 bytes; empty when
// the picture does not decode.
std::vector<uint8_t> PlainDecodeFile(const std::string& g00_path);
std::vector<uint8_t> PlainDecodePdt(const uint8_t* data, size_t length);

}  // namespace bench
