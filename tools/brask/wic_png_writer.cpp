// SPDX-License-Identifier: MIT
// The Windows builds' PNG writer: EncodePngWithWic over the Windows Imaging Component, and
// png_file.h's EncodePng as a thin adapter that hands it palette, RGB or RGBA rows.
#include "tools/brask/wic_png_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The WIC identifiers (factory, container, pixel formats) are defined here, once.
#include <initguid.h>
#include <objbase.h>
#include <wincodec.h>

#include "platform/com_ptr.h"
#include "tools/brask/png_file.h"

namespace brask {
namespace {

// COM for the calling thread, for the length of one encode: brask's workers are plain threads.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  // A thread already in another apartment may still use WIC, which is free-threaded.
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

bool Failed(HRESULT result, const char* what, std::string* why) {
  if (SUCCEEDED(result)) return false;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  *why = std::string("PNG encoder (Windows Imaging Component): ") + what + " failed, " + code;
  return true;
}

const WICPixelFormatGUID& WicFormatOf(PngPixelKind kind) {
  switch (kind) {
    case PngPixelKind::kRgba: return GUID_WICPixelFormat32bppBGRA;
    case PngPixelKind::kPalette: return GUID_WICPixelFormat8bppIndexed;
    case PngPixelKind::kRgb: break;
  }
  return GUID_WICPixelFormat24bppBGR;
}

uint32_t BytesPerPixel(PngPixelKind kind) {
  switch (kind) {
    case PngPixelKind::kRgba: return 4;
    case PngPixelKind::kPalette: return 1;
    case PngPixelKind::kRgb: break;
  }
  return 3;
}

// Copies `count` rows from `first` on into WIC's order (blue before red), packed.
void ToWicRows(const PngRaster& raster, uint32_t first, uint32_t count, std::vector<uint8_t>* out) {
  const size_t bytes = BytesPerPixel(raster.kind);
  const size_t row_bytes = size_t(raster.width) * bytes;
  out->resize(row_bytes * count);
  for (uint32_t y = 0; y < count; ++y) {
    const uint8_t* src = raster.rows + size_t(first + y) * raster.stride;
    uint8_t* dst = out->data() + size_t(y) * row_bytes;
    if (raster.kind == PngPixelKind::kPalette) {
      std::memcpy(dst, src, row_bytes);
      continue;
    }
    for (size_t x = 0; x < row_bytes; x += bytes) {
      dst[x] = src[x + 2];
      dst[x + 1] = src[x + 1];
      dst[x + 2] = src[x];
      if (bytes == 4) dst[x + 3] = src[x + 3];
    }
  }
}

// Rows go to WIC a band at a time, so a large picture is never copied whole.
constexpr size_t kBandBytes = size_t(4) << 20;

bool WriteRows(IWICBitmapFrameEncode* frame, const PngRaster& raster, std::string* why) {
  const size_t row_bytes = size_t(raster.width) * BytesPerPixel(raster.kind);
  const uint32_t band_rows =
      static_cast<uint32_t>(std::max<size_t>(1, std::min<size_t>(raster.height, kBandBytes / row_bytes)));
  std::vector<uint8_t> band;
  for (uint32_t first = 0; first < raster.height; first += band_rows) {
    const uint32_t count = std::min(band_rows, raster.height - first);
    ToWicRows(raster, first, count, &band);
    if (Failed(frame->WritePixels(count, static_cast<UINT>(row_bytes), static_cast<UINT>(band.size()),
                                  band.data()),
               "WritePixels", why)) {
      return false;
    }
  }
  return true;
}

// The encoder took another pixel format than the one asked for: WIC converts the rows, given
// as a bitmap in the format they are in, to the one the encoder takes.
bool WriteConverted(IWICImagingFactory* factory, IWICBitmapFrameEncode* frame,
                    const PngRaster& raster, IWICPalette* palette,
                    const WICPixelFormatGUID& accepted, std::string* why) {
  if (raster.kind == PngPixelKind::kPalette) {
    *why = "PNG encoder (Windows Imaging Component) takes no 8-bit palette pictures here";
    return false;
  }
  std::vector<uint8_t> pixels;
  ToWicRows(raster, 0, raster.height, &pixels);
  const UINT row_bytes = raster.width * BytesPerPixel(raster.kind);
  ComPtr<IWICBitmap> bitmap;
  if (Failed(factory->CreateBitmapFromMemory(raster.width, raster.height, WicFormatOf(raster.kind),
                                             row_bytes, static_cast<UINT>(pixels.size()),
                                             pixels.data(), bitmap.out()),
             "CreateBitmapFromMemory", why)) {
    return false;
  }
  ComPtr<IWICFormatConverter> converter;
  if (Failed(factory->CreateFormatConverter(converter.out()), "CreateFormatConverter", why) ||
      Failed(converter->Initialize(bitmap.get(), accepted, WICBitmapDitherTypeNone, palette, 0.0,
                                   WICBitmapPaletteTypeCustom),
             "converting to the encoder's pixel format", why)) {
    return false;
  }
  return !Failed(frame->WriteSource(converter.get(), nullptr), "WriteSource", why);
}

bool CopyStream(IStream* stream, std::vector<uint8_t>* png, std::string* why) {
  STATSTG stat{};
  if (Failed(stream->Stat(&stat, STATFLAG_NONAME), "reading the stream's size", why)) return false;
  const uint64_t size = stat.cbSize.QuadPart;
  HGLOBAL memory = nullptr;
  if (Failed(GetHGlobalFromStream(stream, &memory), "GetHGlobalFromStream", why)) return false;
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr && size != 0) {
    *why = "PNG encoder (Windows Imaging Component): cannot lock its output";
    return false;
  }
  const uint8_t* begin = static_cast<const uint8_t*>(bytes);
  png->assign(begin, begin + size);
  GlobalUnlock(memory);
  return true;
}

}  // namespace

bool EncodePngWithWic(const PngRaster& raster, std::vector<uint8_t>* png, std::string* why) {
  if (raster.width == 0 || raster.height == 0 || raster.rows == nullptr ||
      raster.stride < size_t(raster.width) * BytesPerPixel(raster.kind) ||
      (raster.kind == PngPixelKind::kPalette &&
       (raster.palette_rgb == nullptr || raster.palette_entries == 0 ||
        raster.palette_entries > 256))) {
    *why = "PNG encoder: no picture to write";
    return false;
  }
  ComScope com;
  if (!com.usable()) return !Failed(com.result(), "CoInitializeEx", why);

  ComPtr<IWICImagingFactory> factory;
  if (Failed(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, factory.out_void()),
             "creating the imaging factory", why)) {
    return false;
  }
  ComPtr<IStream> stream;
  if (Failed(CreateStreamOnHGlobal(nullptr, TRUE, stream.out()), "CreateStreamOnHGlobal", why)) {
    return false;
  }
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  if (Failed(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out()),
             "creating the PNG encoder", why) ||
      Failed(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), "Initialize", why) ||
      Failed(encoder->CreateNewFrame(frame.out(), options.out()), "CreateNewFrame", why) ||
      Failed(frame->Initialize(options.get()), "initialising the frame", why) ||
      Failed(frame->SetSize(raster.width, raster.height), "SetSize", why)) {
    return false;
  }

  // The colour table goes on the frame before any pixel does.
  ComPtr<IWICPalette> palette;
  if (raster.kind == PngPixelKind::kPalette) {
    std::vector<WICColor> colours(raster.palette_entries);
    for (uint32_t i = 0; i < raster.palette_entries; ++i) {
      const uint8_t* rgb = raster.palette_rgb + 3 * size_t(i);
      colours[i] = 0xFF000000u | uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
    }
    if (Failed(factory->CreatePalette(palette.out()), "CreatePalette", why) ||
        Failed(palette->InitializeCustom(colours.data(), raster.palette_entries),
               "setting the colour table", why) ||
        Failed(frame->SetPalette(palette.get()), "SetPalette", why)) {
      return false;
    }
  }

  // The encoder may answer with another format than the one asked for.
  WICPixelFormatGUID format = WicFormatOf(raster.kind);
  if (Failed(frame->SetPixelFormat(&format), "SetPixelFormat", why)) return false;
  const bool written = IsEqualGUID(format, WicFormatOf(raster.kind))
                           ? WriteRows(frame.get(), raster, why)
                           : WriteConverted(factory.get(), frame.get(), raster, palette.get(),
                                            format, why);
  if (!written || Failed(frame->Commit(), "committing the frame", why) ||
      Failed(encoder->Commit(), "committing the file", why)) {
    return false;
  }
  return CopyStream(stream.get(), png, why);
}

// png_file.h's EncodePng: the rows as they are, RGBA as 32bppBGRA. WIC chooses its own
// compression, so the level asked for is not used.
bool EncodePng(const PictureRows& rows, const PngCompression& /*compression*/,
               std::vector<uint8_t>* png, std::string* why) {
  if (rows.pixels.size() != size_t(rows.width) * rows.height * BytesPerPixel(rows.layout)) {
    *why = "PNG rows: " + std::to_string(rows.pixels.size()) + " bytes for " +
           std::to_string(rows.width) + " x " + std::to_string(rows.height) + " pixels";
    return false;
  }
  PngRaster raster;
  raster.width = rows.width;
  raster.height = rows.height;
  raster.kind = rows.layout == RowLayout::kPalette ? PngPixelKind::kPalette
                : rows.layout == RowLayout::kRgb   ? PngPixelKind::kRgb
                                                   : PngPixelKind::kRgba;
  raster.rows = rows.pixels.data();
  raster.stride = size_t(rows.width) * BytesPerPixel(rows.layout);
  raster.palette_rgb = rows.palette_rgb.data();
  raster.palette_entries = static_cast<uint32_t>(rows.palette_rgb.size() / 3);
  return EncodePngWithWic(raster, png, why);
}

}  // namespace brask
