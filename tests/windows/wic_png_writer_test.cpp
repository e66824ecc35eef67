// SPDX-License-Identifier: MIT
// The Windows builds' PNG writer (tools/brask/wic_png_writer.h). Its files are read back with
// Windows' own PNG decoder, and their colour type and colour table are read from the bytes
// themselves: every pixel kind comes back exactly as given, rows of any stride, pictures
// written in several bands, palettes of any size.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include "tools/brask/wic_png_writer.h"

namespace {

using brask::PngPixelKind;
using brask::PngRaster;
using Bytes = std::vector<uint8_t>;

struct Decoded {
  std::string format;  // "24bppBGR", "32bppBGRA", "8bppIndexed" or "other"
  uint32_t width = 0;
  uint32_t height = 0;
  Bytes pixels;                  // as the decoder gives them, packed, top row first
  std::vector<WICColor> colours;  // 8bppIndexed: the colour table
};

template <class Interface>
void Release(Interface* pointer) {
  if (pointer != nullptr) pointer->Release();
}

// Reads a PNG file with WIC's decoder; fails the calling test when it cannot.
Decoded DecodeWithWic(const Bytes& png) {
  Decoded decoded;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICPalette* palette = nullptr;
  WICPixelFormatGUID format{};
  UINT width = 0, height = 0;
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory,
                                       reinterpret_cast<void**>(&factory))) &&
            SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()),
                                                   static_cast<DWORD>(png.size()))) &&
            SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr,
                                                       WICDecodeMetadataCacheOnDemand, &decoder)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetPixelFormat(&format)) &&
            SUCCEEDED(frame->GetSize(&width, &height));
  EXPECT_TRUE(ok) << "WIC cannot read the file";
  if (ok) {
    size_t bytes = 0;
    if (IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
      decoded.format = "24bppBGR";
      bytes = 3;
    } else if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) {
      decoded.format = "32bppBGRA";
      bytes = 4;
    } else if (IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed)) {
      decoded.format = "8bppIndexed";
      bytes = 1;
    } else {
      decoded.format = "other";
    }
    decoded.width = width;
    decoded.height = height;
    if (bytes != 0) {
      const UINT stride = static_cast<UINT>(width * bytes);
      decoded.pixels.resize(size_t(stride) * height);
      EXPECT_TRUE(SUCCEEDED(frame->CopyPixels(nullptr, stride,
                                              static_cast<UINT>(decoded.pixels.size()),
                                              decoded.pixels.data())));
    }
    if (bytes == 1) {
      UINT count = 0;
      EXPECT_TRUE(SUCCEEDED(factory->CreatePalette(&palette)) &&
                  SUCCEEDED(frame->CopyPalette(palette)) &&
                  SUCCEEDED(palette->GetColorCount(&count)));
      decoded.colours.resize(count);
      UINT got = 0;
      if (count != 0) {
        EXPECT_TRUE(SUCCEEDED(palette->GetColors(count, decoded.colours.data(), &got)));
      }
    }
  }
  Release(palette);
  Release(frame);
  Release(decoder);
  Release(stream);
  Release(factory);
  if (SUCCEEDED(com)) CoUninitialize();
  return decoded;
}

// A chunk of the file as stored, found by its type; empty when absent.
Bytes Chunk(const Bytes& png, const char* type) {
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 |
                            uint32_t(png[at + 2]) << 8 | png[at + 3];
    if (std::memcmp(&png[at + 4], type, 4) == 0) {
      return Bytes(png.begin() + static_cast<long>(at + 8),
                   png.begin() + static_cast<long>(at + 8 + length));
    }
    at += 12 + size_t(length);
  }
  return {};
}

int ColourType(const Bytes& png) {
  const Bytes header = Chunk(png, "IHDR");
  return header.size() == 13 ? header[9] : -1;
}

Bytes Pattern(size_t count, uint32_t seed) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<uint8_t>(seed >> 16);
  }
  return bytes;
}

Bytes Encode(const PngRaster& raster) {
  Bytes png;
  std::string why;
  EXPECT_TRUE(brask::EncodePngWithWic(raster, &png, &why)) << why;
  return png;
}

// The rows of a raster packed and in WIC's order (blue before red), to compare with a decode.
Bytes AsWicRows(const PngRaster& raster, size_t bytes_per_pixel) {
  Bytes out;
  for (uint32_t y = 0; y < raster.height; ++y) {
    const uint8_t* row = raster.rows + size_t(y) * raster.stride;
    for (uint32_t x = 0; x < raster.width; ++x) {
      const uint8_t* p = row + size_t(x) * bytes_per_pixel;
      if (bytes_per_pixel == 1) {
        out.push_back(p[0]);
        continue;
      }
      out.push_back(p[2]);
      out.push_back(p[1]);
      out.push_back(p[0]);
      if (bytes_per_pixel == 4) out.push_back(p[3]);
    }
  }
  return out;
}

TEST(WicPngWriter, RgbRowsOfAnyStrideBecomeAnRgbPng) {
  const Bytes rows = Pattern(16 * 3, 1);  // 5 pixels a row, 16 bytes apart
  PngRaster raster;
  raster.width = 5;
  raster.height = 3;
  raster.kind = PngPixelKind::kRgb;
  raster.rows = rows.data();
  raster.stride = 16;
  const Bytes png = Encode(raster);
  EXPECT_EQ(ColourType(png), 2);
  EXPECT_TRUE(Chunk(png, "PLTE").empty());
  const Decoded decoded = DecodeWithWic(png);
  EXPECT_EQ(decoded.format, "24bppBGR");
  EXPECT_EQ(decoded.width, 5u);
  EXPECT_EQ(decoded.height, 3u);
  EXPECT_EQ(decoded.pixels, AsWicRows(raster, 3));
}

TEST(WicPngWriter, RgbaKeepsStraightAlphaAndTheColourUnderTransparentPixels) {
  Bytes rows = Pattern(4 * 4 * 3, 2);
  rows[3] = 0;     // transparent, its colour kept
  rows[7] = 255;   // opaque
  rows[11] = 128;  // half
  PngRaster raster;
  raster.width = 4;
  raster.height = 3;
  raster.kind = PngPixelKind::kRgba;
  raster.rows = rows.data();
  raster.stride = 16;
  const Bytes png = Encode(raster);
  EXPECT_EQ(ColourType(png), 6);
  const Decoded decoded = DecodeWithWic(png);
  EXPECT_EQ(decoded.format, "32bppBGRA");
  EXPECT_EQ(decoded.pixels, AsWicRows(raster, 4));
}

TEST(WicPngWriter, IndexesKeepTheirOwnColourTableOfAnySize) {
  for (const uint32_t entries : {256u, 5u, 1u}) {
    const Bytes palette = Pattern(3 * size_t(entries), 3 + entries);
    Bytes rows = Pattern(8 * 2, 4);
    for (uint8_t& index : rows) index = static_cast<uint8_t>(index % entries);
    PngRaster raster;
    raster.width = 7;
    raster.height = 2;
    raster.kind = PngPixelKind::kPalette;
    raster.rows = rows.data();
    raster.stride = 8;
    raster.palette_rgb = palette.data();
    raster.palette_entries = entries;
    const Bytes png = Encode(raster);
    EXPECT_EQ(ColourType(png), 3) << entries;
    EXPECT_EQ(Chunk(png, "PLTE"), palette) << entries;  // red, green, blue per entry, as given
    EXPECT_TRUE(Chunk(png, "tRNS").empty()) << entries;
    const Decoded decoded = DecodeWithWic(png);
    EXPECT_EQ(decoded.format, "8bppIndexed") << entries;
    EXPECT_EQ(decoded.pixels, AsWicRows(raster, 1)) << entries;
    ASSERT_EQ(decoded.colours.size(), entries);
    for (uint32_t i = 0; i < entries; ++i) {
      const WICColor want = 0xFF000000u | uint32_t(palette[3 * i]) << 16 |
                            uint32_t(palette[3 * i + 1]) << 8 | palette[3 * i + 2];
      EXPECT_EQ(decoded.colours[i], want) << entries << " entries, entry " << i;
    }
  }
}

TEST(WicPngWriter, LargePicturesGoInSeveralBands) {
  // 1500 x 1100 RGB is over 4 MiB: written in two bands.
  const Bytes rows = Pattern(size_t(1500) * 3 * 1100, 5);
  PngRaster raster;
  raster.width = 1500;
  raster.height = 1100;
  raster.kind = PngPixelKind::kRgb;
  raster.rows = rows.data();
  raster.stride = 1500 * 3;
  const Decoded decoded = DecodeWithWic(Encode(raster));
  EXPECT_EQ(decoded.format, "24bppBGR");
  EXPECT_TRUE(decoded.pixels == AsWicRows(raster, 3));
}

TEST(WicPngWriter, RefusesWhatIsNoPicture) {
  const Bytes rows(16, 0);
  PngRaster raster;
  raster.width = 4;
  raster.height = 1;
  raster.kind = PngPixelKind::kPalette;
  raster.rows = rows.data();
  raster.stride = 4;
  Bytes png;
  std::string why;
  EXPECT_FALSE(brask::EncodePngWithWic(raster, &png, &why));  // no colour table
  EXPECT_FALSE(why.empty());
  raster.kind = PngPixelKind::kRgb;  // rows shorter than 4 pixels of 3 bytes
  EXPECT_FALSE(brask::EncodePngWithWic(raster, &png, &why));
}

}  // namespace
