// SPDX-License-Identifier: MIT
// The two output formats: PNG (libspng, or on Windows the Windows Imaging Component) and BMP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brask/dib_picture.h"
#include "tools/brask/picture_rows.h"

namespace brask {

enum class OutputFormat { kPng, kBmp };

// How hard PNG files are compressed. A level 0 to 9 is zlib's, with libspng's own choice of
// row filters and strategy; the default (kPngFastest) is run-length deflate over Paeth-
// filtered rows, which on the benchmark pictures wrote files as small as level 6 (24-bit:
// 0.2 % larger; 8-bit: 9 % larger) 6.8 times as fast.
constexpr int kPngFastest = -1;
struct PngCompression {
  int level = kPngFastest;
};

// False when this build cannot write PNG.
bool PngAvailable();
OutputFormat DefaultOutputFormat();
const char* ExtensionOf(OutputFormat format);  // ".png" or ".bmp"
bool EncodePicture(const DibPicture& picture, OutputFormat format,
                   const PngCompression& compression, std::vector<uint8_t>* bytes,
                   std::string* why);
// Stored pictures are written as PNG only: BMP has no alpha and no short palette.
bool EncodeRows(const PictureRows& rows, const PngCompression& compression,
                std::vector<uint8_t>* bytes, std::string* why);

}  // namespace brask
