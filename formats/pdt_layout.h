// SPDX-License-Identifier: MIT
// The PDT header and its streams: which mode a picture is (PDT10 plain or masked, PDT11),
// where each stream lies, how large the work buffer must be, and decoding the streams into
// it. Nothing in the header is trusted: every offset is checked against the data's length
// and every size is computed in 64 bits and capped before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/header_fault.h"

enum class PdtMode { kPlain, kMasked, kIndexed };

// Everything a decode needs from the header, checked and sized.
struct PdtLayout {
  PdtMode mode;
  int32_t width_px;
  int32_t height_px;
  uint32_t stream_end;    // the mask offset when it is not 0, else the end offset
  uint32_t mask_offset;   // masked mode only
  uint32_t end_offset;
  uint64_t work_bytes;    // region the streams fill, plus one spare byte
  uint64_t image_bytes;   // the DIB's pixel block: stride * height
  uint64_t colour_bytes;  // the work buffer's pixels (3 bytes each) or indexes (1 byte each)
};

enum class PdtHeaderCheck {
  kAccepted,
  kRefused,   // not version '0' or '1', or sizes and offsets that contradict each other
  kTooLarge,  // a work buffer or pixel block larger than any block may be
};

// Reads the header of a picture of `length` bytes (at least 5). On kRefused, *fault (when
// given) says why.
PdtHeaderCheck ReadPdtLayout(const uint8_t* data, size_t length, PdtLayout* layout,
                             HeaderFault* fault = nullptr);

// PDT11's palette: 256 entries of blue, green, red, reserved.
constexpr uint32_t kPdtHeaderBytes = 32;  // the PDT10 colour stream, or the palette, starts here
constexpr size_t kPdtPaletteBytes = 256 * 4;

// Decodes the streams into `work` (layout.work_bytes bytes): afterwards its first
// colour_bytes bytes and, in masked mode, the w * h alpha bytes right after them, are all
// defined; what a short stream did not produce is zero. PDT11 also copies its palette into
// `palette` (kPdtPaletteBytes), which the other modes leave alone.
void DecodePdtStreams(const uint8_t* data, const PdtLayout& layout, uint8_t* work,
                      uint8_t* palette);
