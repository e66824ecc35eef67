// SPDX-License-Identifier: MIT
// A G00 or PDT picture opened through the C API, shared by a decoder, its frames and the
// thumbnail provider: its frames' shapes and their pixels in WIC's pixel formats. The handle
// is used by one thread at a time (its lock); everything else is fixed once opened.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "brask/brask.h"
#include "integrations/wic/com_support.h"

#include <wincodec.h>

namespace brask_wic {

// The limit of input, work and output memory the C API keeps for each picture.
constexpr uint64_t kMemoryLimit = BRASK_DEFAULT_MEMORY_LIMIT;

// One frame: 0 is the picture (a type-2 G00: composed); a type-2 G00's parts with pixels of
// their own follow.
struct FrameShape {
  uint32_t width;
  uint32_t height;
  const WICPixelFormatGUID* pixel_format;  // 32bppBGRA, 32bppBGR or 8bppIndexed
  uint32_t bytes_per_pixel;
  bool is_part;
  uint32_t part;  // the C API's part number when is_part
};

class PictureSource {
 public:
  // Opens bytes (which it keeps no copy of) with name_hint (".g00" names allow G00).
  static HRESULT Open(const std::vector<uint8_t>& bytes, const char* name_hint,
                      std::shared_ptr<PictureSource>* out);
  PictureSource(const PictureSource&) = delete;
  PictureSource& operator=(const PictureSource&) = delete;
  ~PictureSource();

  const brask_info& info() const { return info_; }
  uint32_t frame_count() const { return static_cast<uint32_t>(frames_.size()); }
  const FrameShape& frame(uint32_t n) const { return frames_[n]; }

  // Decodes frame n in its pixel format: its rows `stride` bytes apart in dst (`size`
  // bytes). An indexed frame also gives its palette (non-null) as 0xAARRGGBB, covering every
  // index used (the colours past the stored palette are opaque black, as the C API's RGBA
  // gives them).
  HRESULT DecodeFrame(uint32_t n, uint8_t* dst, size_t size, size_t stride,
                      std::vector<WICColor>* palette);
  // Decodes the picture (frame 0) as 32bppBGRA whatever its mode, straight alpha.
  HRESULT DecodeBgra(uint8_t* dst, size_t size, size_t stride);

 private:
  PictureSource() = default;

  SRWLOCK lock_ = SRWLOCK_INIT;
  brask_picture* picture_ = nullptr;
  brask_info info_{};
  std::vector<FrameShape> frames_;
};

// Opens the whole of a stream that the shell hands a handler registered for .g00 and .pdt
// files: PDT is told by its signature, anything else is taken for a G00.
HRESULT OpenShellStream(IStream* stream, std::shared_ptr<PictureSource>* out);

// The HRESULT a C API result stands for.
HRESULT HresultOf(brask_result result);

// Turns rows of RGBA into BGRA in place.
void SwapRedAndBlue(uint8_t* rows, uint32_t width, uint32_t height, size_t stride);

}  // namespace brask_wic
