// SPDX-License-Identifier: MIT
#include "integrations/wic/thumbnail_provider.h"

#include <algorithm>


namespace brask_wic {

void* ThumbnailProvider::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IInitializeWithStream)) {
    return static_cast<IInitializeWithStream*>(this);
  }
  // MinGW's libuuid has no IID_IThumbnailProvider; the header's declaration has it.
  if (IsEqualIID(iid, __uuidof(IThumbnailProvider))) return static_cast<IThumbnailProvider*>(this);
  return nullptr;
}

HRESULT ThumbnailProvider::Initialize(IStream* stream, DWORD) {
  return Guarded([&]() -> HRESULT {
    std::shared_ptr<PictureSource> source;
    const HRESULT result = OpenShellStream(stream, &source);
    if (FAILED(result)) return result;
    ScopedLock hold(&lock_);
    if (source_ != nullptr) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    source_ = std::move(source);
    return S_OK;
  });
}

void ThumbnailSize(uint32_t width, uint32_t height, uint32_t size, uint32_t* thumb_width,
                   uint32_t* thumb_height) {
  if (width <= size && height <= size) {
    *thumb_width = width;
    *thumb_height = height;
    return;
  }
  const uint64_t longer = std::max(width, height);
  // Rounded to the nearest pixel; the longer side gets exactly `size`.
  *thumb_width = std::max<uint32_t>(1, uint32_t((uint64_t{width} * size + longer / 2) / longer));
  *thumb_height =
      std::max<uint32_t>(1, uint32_t((uint64_t{height} * size + longer / 2) / longer));
}

void ScaleToPremultiplied(const uint8_t* bgra, uint32_t width, uint32_t height,
                          uint8_t* thumb, uint32_t thumb_width, uint32_t thumb_height) {
  const size_t stride = size_t{width} * 4;
  for (uint32_t ty = 0; ty < thumb_height; ++ty) {
    // Each thumbnail pixel averages the source box it covers: rows [y0, y1), columns
    // [x0, x1); thumbnails are never larger than the source, so no box is empty.
    const uint32_t y0 = uint32_t(uint64_t{ty} * height / thumb_height);
    const uint32_t y1 = uint32_t(uint64_t{ty + 1} * height / thumb_height);
    for (uint32_t tx = 0; tx < thumb_width; ++tx) {
      const uint32_t x0 = uint32_t(uint64_t{tx} * width / thumb_width);
      const uint32_t x1 = uint32_t(uint64_t{tx + 1} * width / thumb_width);
      // Colour sums are weighted by alpha (premultiplied, scaled by 255); 64 bits hold any
      // box the memory limit allows.
      uint64_t blue = 0, green = 0, red = 0, alpha = 0;
      for (uint32_t y = y0; y < y1; ++y) {
        const uint8_t* pixel = bgra + y * stride + size_t{x0} * 4;
        for (uint32_t x = x0; x < x1; ++x, pixel += 4) {
          blue += uint32_t{pixel[0]} * pixel[3];
          green += uint32_t{pixel[1]} * pixel[3];
          red += uint32_t{pixel[2]} * pixel[3];
          alpha += pixel[3];
        }
      }
      const uint64_t count = uint64_t{y1 - y0} * (x1 - x0);
      const uint64_t colour_divisor = count * 255;
      uint8_t* out = thumb + (size_t{ty} * thumb_width + tx) * 4;
      out[0] = uint8_t((blue + colour_divisor / 2) / colour_divisor);
      out[1] = uint8_t((green + colour_divisor / 2) / colour_divisor);
      out[2] = uint8_t((red + colour_divisor / 2) / colour_divisor);
      out[3] = uint8_t((alpha + count / 2) / count);
    }
  }
}

HRESULT ThumbnailProvider::GetThumbnail(UINT size, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) {
  return Guarded([&]() -> HRESULT {
    if (bitmap == nullptr || alpha == nullptr) return E_INVALIDARG;
    *bitmap = nullptr;
    *alpha = WTSAT_UNKNOWN;
    if (size == 0) return E_INVALIDARG;
    std::shared_ptr<PictureSource> source;
    {
      ScopedLock hold(&lock_);
      source = source_;
    }
    if (source == nullptr) return E_UNEXPECTED;
    const brask_info& info = source->info();
    if (info.width == 0 || info.height == 0) return WINCODEC_ERR_BADIMAGE;  // nothing to scale
    // The C API measured this decode against its limit at open, so the size fits in size_t.
    const size_t stride = size_t{info.width} * 4;
    std::vector<uint8_t> pixels(stride * info.height);
    HRESULT result = source->DecodeBgra(pixels.data(), pixels.size(), stride);
    if (FAILED(result)) return result;

    uint32_t thumb_width, thumb_height;
    ThumbnailSize(info.width, info.height, size, &thumb_width, &thumb_height);
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = static_cast<LONG>(thumb_width);
    header.bmiHeader.biHeight = -static_cast<LONG>(thumb_height);  // top row first
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP made = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (made == nullptr || bits == nullptr) {
      if (made != nullptr) DeleteObject(made);
      return E_OUTOFMEMORY;
    }
    ScaleToPremultiplied(pixels.data(), info.width, info.height, static_cast<uint8_t*>(bits),
                         thumb_width, thumb_height);
    *bitmap = made;
    *alpha = info.has_alpha ? WTSAT_ARGB : WTSAT_RGB;
    return S_OK;
  });
}

}  // namespace brask_wic
