// SPDX-License-Identifier: MIT
// PNG files through libspng: palette, RGB or RGBA rows, 8 bits a sample, written exactly as
// given. Reading gives 8-bit RGBA, or the indexes and palette of a palette PNG. The Windows
// builds have no libspng: their EncodePng is wic_png_writer.cpp's (the Windows Imaging
// Component), and they read no PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brask/output_format.h"
#include "tools/brask/picture_rows.h"

namespace brask {

// Returns false with the encoder's reason.
bool EncodePng(const PictureRows& rows, const PngCompression& compression,
               std::vector<uint8_t>* png, std::string* why);

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
