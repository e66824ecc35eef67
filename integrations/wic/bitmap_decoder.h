// SPDX-License-Identifier: MIT
// The decoder WIC creates for one of the two formats (IWICBitmapDecoder): it reads the
// stream once, at Initialize, and hands out frames that share the opened picture.
#pragma once

#include <memory>

#include "integrations/wic/class_ids.h"
#include "integrations/wic/com_support.h"
#include "integrations/wic/picture_source.h"

namespace brask_wic {

class BitmapDecoder : public RefCounted, public IWICBitmapDecoder {
 public:
  explicit BitmapDecoder(const FormatNames& format) : format_(format) {}
  BRASK_WIC_IUNKNOWN

  HRESULT STDMETHODCALLTYPE QueryCapability(IStream* stream, DWORD* capability) override;
  HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, WICDecodeOptions options) override;
  HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo** info) override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
  HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
  HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** preview) override;
  HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts,
                                             UINT* actual_count) override;
  HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override;
  HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override;

 protected:
  void* FindInterface(REFIID iid) override;

 private:
  // Reads and opens the stream as this decoder's format.
  HRESULT OpenStream(IStream* stream, std::shared_ptr<PictureSource>* source) const;
  std::shared_ptr<PictureSource> Source();

  const FormatNames& format_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::shared_ptr<PictureSource> source_;
};

}  // namespace brask_wic
