// SPDX-License-Identifier: MIT
#include "integrations/wic/bitmap_decoder.h"

#include <vector>

#include "integrations/wic/bitmap_frame.h"
#include "integrations/wic/stream_bytes.h"

namespace brask_wic {

void* BitmapDecoder::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICBitmapDecoder)) {
    return static_cast<IWICBitmapDecoder*>(this);
  }
  return nullptr;
}

HRESULT BitmapDecoder::OpenStream(IStream* stream,
                                  std::shared_ptr<PictureSource>* source) const {
  std::vector<uint8_t> bytes;
  HRESULT result = ReadWholeStream(stream, kMemoryLimit, &bytes);
  if (FAILED(result)) return result;
  // G00 has no signature: the G00 decoder was chosen for its name, and says so to the API.
  const char* name_hint = format_.format == BRASK_FORMAT_G00 ? "picture.g00" : nullptr;
  result = PictureSource::Open(bytes, name_hint, source);
  if (FAILED(result)) return result;
  if ((*source)->info().format != uint32_t(format_.format)) {
    source->reset();
    return WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
  }
  return S_OK;
}

std::shared_ptr<PictureSource> BitmapDecoder::Source() {
  ScopedLock hold(&lock_);
  return source_;
}

HRESULT BitmapDecoder::QueryCapability(IStream* stream, DWORD* capability) {
  return Guarded([&]() -> HRESULT {
    if (stream == nullptr || capability == nullptr) return E_INVALIDARG;
    *capability = 0;
    // The stream is left where it was found.
    LARGE_INTEGER no_move{};
    ULARGE_INTEGER position{};
    if (FAILED(stream->Seek(no_move, STREAM_SEEK_CUR, &position))) return WINCODEC_ERR_STREAMREAD;
    std::shared_ptr<PictureSource> source;
    const HRESULT opened = OpenStream(stream, &source);
    LARGE_INTEGER back;
    back.QuadPart = static_cast<LONGLONG>(position.QuadPart);
    if (FAILED(stream->Seek(back, STREAM_SEEK_SET, nullptr))) return WINCODEC_ERR_STREAMREAD;
    if (opened == WINCODEC_ERR_STREAMREAD || opened == E_OUTOFMEMORY) return opened;
    if (SUCCEEDED(opened)) {
      *capability = WICBitmapDecoderCapabilityCanDecodeAllImages |
                    WICBitmapDecoderCapabilityCanDecodeSomeImages;
    }
    return S_OK;
  });
}

HRESULT BitmapDecoder::Initialize(IStream* stream, WICDecodeOptions) {
  return Guarded([&]() -> HRESULT {
    if (stream == nullptr) return E_INVALIDARG;
    if (Source() != nullptr) return WINCODEC_ERR_WRONGSTATE;
    std::shared_ptr<PictureSource> source;
    const HRESULT result = OpenStream(stream, &source);
    if (FAILED(result)) return result;
    ScopedLock hold(&lock_);
    if (source_ != nullptr) return WINCODEC_ERR_WRONGSTATE;  // another thread was first
    source_ = std::move(source);
    return S_OK;
  });
}

HRESULT BitmapDecoder::GetContainerFormat(GUID* format) {
  if (format == nullptr) return E_INVALIDARG;
  *format = *format_.container;
  return S_OK;
}

HRESULT BitmapDecoder::GetDecoderInfo(IWICBitmapDecoderInfo** info) {
  return Guarded([&]() -> HRESULT {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    ComPtr<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, factory.out_void());
    if (FAILED(result)) return result;
    ComPtr<IWICComponentInfo> component;
    result = factory->CreateComponentInfo(*format_.decoder, component.out());
    if (FAILED(result)) return result;
    return component->QueryInterface(IID_IWICBitmapDecoderInfo, reinterpret_cast<void**>(info));
  });
}

HRESULT BitmapDecoder::CopyPalette(IWICPalette*) { return WINCODEC_ERR_PALETTEUNAVAILABLE; }

HRESULT BitmapDecoder::GetMetadataQueryReader(IWICMetadataQueryReader** reader) {
  if (reader == nullptr) return E_INVALIDARG;
  *reader = nullptr;
  return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT BitmapDecoder::GetPreview(IWICBitmapSource** preview) {
  if (preview == nullptr) return E_INVALIDARG;
  *preview = nullptr;
  return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT BitmapDecoder::GetColorContexts(UINT, IWICColorContext**, UINT* actual_count) {
  if (actual_count == nullptr) return E_INVALIDARG;
  *actual_count = 0;
  return S_OK;
}

HRESULT BitmapDecoder::GetThumbnail(IWICBitmapSource** thumbnail) {
  if (thumbnail == nullptr) return E_INVALIDARG;
  *thumbnail = nullptr;
  return WINCODEC_ERR_CODECNOTHUMBNAIL;
}

HRESULT BitmapDecoder::GetFrameCount(UINT* count) {
  return Guarded([&]() -> HRESULT {
    if (count == nullptr) return E_INVALIDARG;
    const std::shared_ptr<PictureSource> source = Source();
    if (source == nullptr) return WINCODEC_ERR_NOTINITIALIZED;
    *count = source->frame_count();
    return S_OK;
  });
}

HRESULT BitmapDecoder::GetFrame(UINT index, IWICBitmapFrameDecode** frame) {
  return Guarded([&]() -> HRESULT {
    if (frame == nullptr) return E_INVALIDARG;
    *frame = nullptr;
    std::shared_ptr<PictureSource> source = Source();
    if (source == nullptr) return WINCODEC_ERR_NOTINITIALIZED;
    if (index >= source->frame_count()) return WINCODEC_ERR_FRAMEMISSING;
    *frame = new BitmapFrame(std::move(source), index);
    return S_OK;
  });
}

}  // namespace brask_wic
