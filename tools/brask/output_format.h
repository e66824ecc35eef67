// The two output formats: PNG (where libspng is built in) and BMP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brask/dib_picture.h"
#include "tools/brask/picture_rows.h"

namespace brask {

enum class OutputFormat { kPng, kBmp };

// False when this build cannot write PNG (the Windows build writes BMP only).
bool PngAvailable();
OutputFormat DefaultOutputFormat();
const char* ExtensionOf(OutputFormat format);  // ".png" or ".bmp"
bool EncodePicture(const DibPicture& picture, OutputFormat format, std::vector<uint8_t>* bytes,
                   std::string* why);
// Stored pictures are written as PNG only: BMP has no alpha and no short palette.
bool EncodeRows(const PictureRows& rows, std::vector<uint8_t>* bytes, std::string* why);

}  // namespace brask
