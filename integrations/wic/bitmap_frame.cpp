// SPDX-License-Identifier: MIT
#include "integrations/wic/bitmap_frame.h"

#include <cstring>

namespace brask_wic {

BitmapFrame::BitmapFrame(std::shared_ptr<PictureSource> source, uint32_t index)
    : source_(std::move(source)), index_(index), shape_(source_->frame(index)) {}

void* BitmapFrame::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICBitmapSource) ||
      IsEqualIID(iid, IID_IWICBitmapFrameDecode)) {
    return static_cast<IWICBitmapFrameDecode*>(this);
  }
  return nullptr;
}

HRESULT BitmapFrame::GetSize(UINT* width, UINT* height) {
  if (width == nullptr || height == nullptr) return E_INVALIDARG;
  *width = shape_.width;
  *height = shape_.height;
  return S_OK;
}

HRESULT BitmapFrame::GetPixelFormat(WICPixelFormatGUID* format) {
  if (format == nullptr) return E_INVALIDARG;
  *format = *shape_.pixel_format;
  return S_OK;
}

HRESULT BitmapFrame::GetResolution(double* dpi_x, double* dpi_y) {
  if (dpi_x == nullptr || dpi_y == nullptr) return E_INVALIDARG;
  *dpi_x = 96.0;  // the formats store no resolution
  *dpi_y = 96.0;
  return S_OK;
}

HRESULT BitmapFrame::DecodeOnce() {
  ScopedLock hold(&lock_);
  if (decoded_) return S_OK;
  // The C API measured the whole decode against its memory limit when it opened the picture,
  // so this size fits in size_t.
  const size_t stride = size_t{shape_.width} * shape_.bytes_per_pixel;
  pixels_.resize(stride * shape_.height);
  std::vector<WICColor> palette;
  const HRESULT result = source_->DecodeFrame(index_, pixels_.data(), pixels_.size(), stride,
                                              &palette);
  if (FAILED(result)) {
    std::vector<uint8_t>().swap(pixels_);
    return result;
  }
  decoded_ = true;
  if (!palette_ready_) {  // a palette once handed out is never replaced
    palette_ = std::move(palette);
    palette_ready_ = true;
  }
  return S_OK;
}

HRESULT BitmapFrame::DecodeInto(BYTE* buffer, UINT buffer_size, UINT stride) {
  std::vector<WICColor> palette;
  const HRESULT result = source_->DecodeFrame(index_, buffer, buffer_size, stride, &palette);
  if (SUCCEEDED(result) && shape_.bytes_per_pixel == 1) {
    ScopedLock hold(&lock_);
    if (!palette_ready_) {
      palette_ = std::move(palette);
      palette_ready_ = true;
    }
  }
  return result;
}

HRESULT BitmapFrame::CopyPalette(IWICPalette* palette) {
  return Guarded([&]() -> HRESULT {
    if (palette == nullptr) return E_INVALIDARG;
    if (shape_.bytes_per_pixel != 1) return WINCODEC_ERR_PALETTEUNAVAILABLE;
    bool ready;
    {
      ScopedLock hold(&lock_);
      ready = palette_ready_;
    }
    if (!ready) {
      const HRESULT result = DecodeOnce();
      if (FAILED(result)) return result;
    }
    // Once ready, palette_ no longer changes.
    return palette->InitializeCustom(palette_.data(), static_cast<UINT>(palette_.size()));
  });
}

HRESULT BitmapFrame::CopyPixels(const WICRect* rect, UINT stride, UINT buffer_size,
                                BYTE* buffer) {
  return Guarded([&]() -> HRESULT {
    if (buffer == nullptr) return E_INVALIDARG;
    const WICRect whole{0, 0, static_cast<INT>(shape_.width), static_cast<INT>(shape_.height)};
    const WICRect& area = rect != nullptr ? *rect : whole;
    if (area.X < 0 || area.Y < 0 || area.Width < 0 || area.Height < 0) return E_INVALIDARG;
    if (uint64_t(area.X) + uint64_t(area.Width) > shape_.width ||
        uint64_t(area.Y) + uint64_t(area.Height) > shape_.height) {
      return E_INVALIDARG;
    }
    if (area.Width == 0 || area.Height == 0) return S_OK;
    const uint64_t row_bytes = uint64_t(area.Width) * shape_.bytes_per_pixel;
    if (stride < row_bytes) return E_INVALIDARG;
    if (buffer_size < uint64_t(stride) * uint64_t(area.Height - 1) + row_bytes) {
      return WINCODEC_ERR_INSUFFICIENTBUFFER;
    }

    // The whole frame goes straight into the caller's rows, without a copy of our own,
    // unless it is decoded already.
    const bool is_whole = area.X == 0 && area.Y == 0 && uint32_t(area.Width) == shape_.width &&
                          uint32_t(area.Height) == shape_.height;
    if (is_whole && uint64_t(stride) * shape_.height <= buffer_size) {
      bool decoded;
      {
        ScopedLock hold(&lock_);
        decoded = decoded_;
      }
      if (!decoded) return DecodeInto(buffer, buffer_size, stride);
    }

    const HRESULT result = DecodeOnce();
    if (FAILED(result)) return result;
    const size_t source_stride = size_t{shape_.width} * shape_.bytes_per_pixel;
    const uint8_t* from = pixels_.data() + size_t(area.Y) * source_stride +
                          size_t(area.X) * shape_.bytes_per_pixel;
    for (INT y = 0; y < area.Height; ++y) {
      std::memcpy(buffer + size_t(y) * stride, from + size_t(y) * source_stride,
                  size_t(row_bytes));
    }
    return S_OK;
  });
}

HRESULT BitmapFrame::GetMetadataQueryReader(IWICMetadataQueryReader** reader) {
  if (reader == nullptr) return E_INVALIDARG;
  *reader = nullptr;
  return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT BitmapFrame::GetColorContexts(UINT, IWICColorContext**, UINT* actual_count) {
  if (actual_count == nullptr) return E_INVALIDARG;
  *actual_count = 0;
  return S_OK;
}

HRESULT BitmapFrame::GetThumbnail(IWICBitmapSource** thumbnail) {
  if (thumbnail == nullptr) return E_INVALIDARG;
  *thumbnail = nullptr;
  return WINCODEC_ERR_CODECNOTHUMBNAIL;
}

}  // namespace brask_wic
