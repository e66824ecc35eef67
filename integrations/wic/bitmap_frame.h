// SPDX-License-Identifier: MIT
// One frame of a decoded picture as WIC hands it to programs (IWICBitmapFrameDecode).
#pragma once

#include <memory>
#include <vector>

#include "integrations/wic/com_support.h"
#include "integrations/wic/picture_source.h"

namespace brask_wic {

class BitmapFrame : public RefCounted, public IWICBitmapFrameDecode {
 public:
  BitmapFrame(std::shared_ptr<PictureSource> source, uint32_t index);
  BRASK_WIC_IUNKNOWN

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override;
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override;
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpi_x, double* dpi_y) override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT buffer_size,
                                       BYTE* buffer) override;
  HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
  HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts,
                                             UINT* actual_count) override;
  HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override;

 protected:
  void* FindInterface(REFIID iid) override;

 private:
  // Decodes the frame into pixels_ (and palette_) once; later calls reuse them.
  HRESULT DecodeOnce();
  // Decodes the whole frame into the caller's rows, keeping the palette of an indexed frame.
  HRESULT DecodeInto(BYTE* buffer, UINT buffer_size, UINT stride);

  const std::shared_ptr<PictureSource> source_;
  const uint32_t index_;
  const FrameShape shape_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  bool decoded_ = false;          // pixels_ holds the frame
  bool palette_ready_ = false;    // palette_ holds an indexed frame's palette
  std::vector<uint8_t> pixels_;  // rows width * bytes_per_pixel apart
  std::vector<WICColor> palette_;
};

}  // namespace brask_wic
