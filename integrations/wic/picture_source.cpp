// SPDX-License-Identifier: MIT
#include "integrations/wic/picture_source.h"

#include <cstring>

#include "integrations/wic/stream_bytes.h"

namespace brask_wic {

HRESULT HresultOf(brask_result result) {
  switch (result) {
    case BRASK_OK: return S_OK;
    case BRASK_INVALID_ARGUMENT: return E_INVALIDARG;
    case BRASK_NOT_SUPPORTED: return WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
    case BRASK_OVER_MEMORY_LIMIT: return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    case BRASK_TOO_LARGE: return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    case BRASK_OUT_OF_MEMORY: return E_OUTOFMEMORY;
    case BRASK_FILE_ERROR: return WINCODEC_ERR_STREAMREAD;
    case BRASK_BUFFER_TOO_SMALL: return WINCODEC_ERR_INSUFFICIENTBUFFER;
    case BRASK_DAMAGED: return WINCODEC_ERR_BADIMAGE;
    default: return WINCODEC_ERR_BADIMAGE;
  }
}

void SwapRedAndBlue(uint8_t* rows, uint32_t width, uint32_t height, size_t stride) {
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = rows + y * stride;
    // Whole pixels as words, which the compiler turns into vector shuffles.
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t pixel;
      std::memcpy(&pixel, row + size_t{x} * 4, 4);
      pixel = (pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
      std::memcpy(row + size_t{x} * 4, &pixel, 4);
    }
  }
}

HRESULT PictureSource::Open(const std::vector<uint8_t>& bytes, const char* name_hint,
                            std::shared_ptr<PictureSource>* out) {
  std::shared_ptr<PictureSource> source(new PictureSource());
  brask_result result = brask_open_memory(bytes.data(), bytes.size(), name_hint, kMemoryLimit,
                                          &source->picture_);
  if (result == BRASK_OK) result = brask_get_info(source->picture_, &source->info_);
  if (result != BRASK_OK) return HresultOf(result);

  const brask_info& info = source->info_;
  const bool indexed = info.mode == BRASK_MODE_G00_TYPE1 || info.mode == BRASK_MODE_PDT11;
  FrameShape whole{info.width, info.height, &GUID_WICPixelFormat32bppBGR, 4, false, 0};
  if (indexed) {
    whole.pixel_format = &GUID_WICPixelFormat8bppIndexed;
    whole.bytes_per_pixel = 1;
  } else if (info.has_alpha) {
    whole.pixel_format = &GUID_WICPixelFormat32bppBGRA;
  }
  source->frames_.push_back(whole);
  for (uint32_t n = 0; n < info.part_count; ++n) {
    brask_part part{};
    result = brask_get_part(source->picture_, n, &part);
    if (result != BRASK_OK) return HresultOf(result);
    if (part.width < 1 || part.height < 1) continue;  // no pixels of its own
    source->frames_.push_back({static_cast<uint32_t>(part.width),
                               static_cast<uint32_t>(part.height),
                               &GUID_WICPixelFormat32bppBGRA, 4, true, n});
  }
  *out = std::move(source);
  return S_OK;
}

HRESULT OpenShellStream(IStream* stream, std::shared_ptr<PictureSource>* out) {
  if (stream == nullptr) return E_INVALIDARG;
  std::vector<uint8_t> bytes;
  const HRESULT result = ReadWholeStream(stream, kMemoryLimit, &bytes);
  if (FAILED(result)) return result;
  return PictureSource::Open(bytes, "picture.g00", out);
}

PictureSource::~PictureSource() { brask_close(picture_); }

HRESULT PictureSource::DecodeFrame(uint32_t n, uint8_t* dst, size_t size, size_t stride,
                                   std::vector<WICColor>* palette) {
  if (n >= frames_.size()) return E_INVALIDARG;
  const FrameShape& shape = frames_[n];
  if (shape.bytes_per_pixel == 1) {
    uint8_t stored[256 * 3];
    brask_result result;
    {
      ScopedLock hold(&lock_);
      result = brask_decode_indexed(picture_, dst, size, stride, stored, sizeof stored);
    }
    if (result != BRASK_OK) return HresultOf(result);
    // The palette covers every index used, so no pixel is left without a colour.
    uint32_t entries = info_.palette_size;
    for (uint32_t y = 0; y < shape.height && entries < 256; ++y) {
      const uint8_t* row = dst + y * stride;
      for (uint32_t x = 0; x < shape.width; ++x) {
        if (row[x] >= entries) entries = row[x] + 1u;
      }
    }
    if (entries == 0) entries = 1;
    palette->assign(entries, 0xFF000000u);
    for (uint32_t i = 0; i < info_.palette_size && i < 256; ++i) {
      const uint8_t* rgb = stored + i * 3;
      (*palette)[i] = 0xFF000000u | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
    }
    return S_OK;
  }
  brask_result result;
  {
    ScopedLock hold(&lock_);
    result = shape.is_part ? brask_decode_part_rgba(picture_, shape.part, dst, size, stride)
                           : brask_decode_rgba(picture_, dst, size, stride);
  }
  if (result != BRASK_OK) return HresultOf(result);
  SwapRedAndBlue(dst, shape.width, shape.height, stride);
  return S_OK;
}

HRESULT PictureSource::DecodeBgra(uint8_t* dst, size_t size, size_t stride) {
  brask_result result;
  {
    ScopedLock hold(&lock_);
    result = brask_decode_rgba(picture_, dst, size, stride);
  }
  if (result != BRASK_OK) return HresultOf(result);
  SwapRedAndBlue(dst, info_.width, info_.height, stride);
  return S_OK;
}

}  // namespace brask_wic
