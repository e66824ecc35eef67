// SPDX-License-Identifier: MIT
// Explorer's thumbnails of G00 and PDT files (IThumbnailProvider, initialised with a stream).
// The thumbnail keeps the picture's aspect within the size asked for, never enlarged; it is a
// top-down 32-bit DIB section with premultiplied alpha, as the shell draws it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <propsys.h>
#include <thumbcache.h>

#include "integrations/wic/com_support.h"
#include "integrations/wic/picture_source.h"

namespace brask_wic {

class ThumbnailProvider : public RefCounted, public IInitializeWithStream,
                          public IThumbnailProvider {
 public:
  ThumbnailProvider() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Query(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseCount(); }

  HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, DWORD mode) override;
  HRESULT STDMETHODCALLTYPE GetThumbnail(UINT size, HBITMAP* bitmap,
                                         WTS_ALPHATYPE* alpha) override;

 protected:
  void* FindInterface(REFIID iid) override;

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::shared_ptr<PictureSource> source_;
};

// The size of a width x height picture's thumbnail within a square of `size`: the picture's
// own size when it fits, else scaled down keeping its aspect, at least 1 x 1.
void ThumbnailSize(uint32_t width, uint32_t height, uint32_t size, uint32_t* thumb_width,
                   uint32_t* thumb_height);

// Scales straight-alpha BGRA rows (packed) down to thumb_width x thumb_height by averaging
// each box of source pixels, weighted by alpha, into premultiplied BGRA (packed).
void ScaleToPremultiplied(const uint8_t* bgra, uint32_t width, uint32_t height,
                          uint8_t* thumb, uint32_t thumb_width, uint32_t thumb_height);

}  // namespace brask_wic
