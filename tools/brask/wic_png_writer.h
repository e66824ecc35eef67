// SPDX-License-Identifier: MIT
// PNG files through the Windows Imaging Component (WIC), the codecs that are part of Windows,
// for the Windows builds of brask, which have no libspng. Pixels go in exactly as given: RGB
// becomes an RGB PNG, RGBA an RGB-plus-alpha PNG, and indexes with their colour table a
// palette PNG carrying every entry of that table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brask {

enum class PngPixelKind {
  kRgb,      // 3 bytes a pixel: red, green, blue
  kRgba,     // 4 bytes a pixel: red, green, blue, alpha (straight)
  kPalette,  // 1 byte a pixel: an index into the colour table
};

struct PngRaster {
  uint32_t width = 0;
  uint32_t height = 0;
  PngPixelKind kind = PngPixelKind::kRgb;
  const uint8_t* rows = nullptr;  // the top row first
  size_t stride = 0;              // bytes from the start of one row to the next
  // kPalette only: the colour table, red, green, blue per entry, 1 to 256 entries.
  const uint8_t* palette_rgb = nullptr;
  uint32_t palette_entries = 0;
};

// Encodes the raster as a PNG file into *png. Returns false with the reason (the WIC call
// that failed and its HRESULT). Safe to call from several threads at once.
bool EncodePngWithWic(const PngRaster& raster, std::vector<uint8_t>* png, std::string* why);

}  // namespace brask
