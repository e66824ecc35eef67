// PNG files through libspng: palette, RGB or RGBA rows, 8 bits a sample. A DIB from the
// plug-in becomes an RGB PNG (24-bit) or a palette PNG carrying the whole 256-entry colour
// table (8-bit), so nothing of the decoded picture is lost. Reading gives 8-bit RGBA, or the
// indexes and palette of a palette PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brask/dib_picture.h"
#include "tools/brask/picture_rows.h"

namespace brask {

// Both return false with libspng's reason.
bool EncodePng(const PictureRows& rows, std::vector<uint8_t>* png, std::string* why);
bool EncodePng(const DibPicture& picture, std::vector<uint8_t>* png, std::string* why);

struct PngImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgba;      // 4 bytes a pixel, top row first
  bool has_alpha = false;         // an alpha channel or transparency entries
  bool indexed = false;           // a palette PNG: the two members below are filled
  std::vector<uint8_t> palette;   // 3 bytes an entry: red, green, blue
  std::vector<uint8_t> indexes;   // one byte a pixel, top row first
};

bool ReadPng(const std::string& path, PngImage* image, std::string* why);

}  // namespace brask
