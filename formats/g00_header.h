// SPDX-License-Identifier: MIT
// The G00 file header: type, size and where the LZ stream lies. Types 0 and 1 follow the
// 5-byte fixed header with two sizes; type 2 puts a region count and 24-byte region records
// (not used) before them. Nothing is trusted: the stream is checked to lie inside the data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/header_fault.h"

struct G00Header {
  uint8_t type;                // 0, 1 or 2
  uint16_t width;              // as stored; type 2 composes its own size from its parts
  uint16_t height;
  uint32_t decompressed_size;  // the work buffer of types 1 and 2
  const uint8_t* stream;
  size_t stream_length;
};

// The fixed header: type, 16-bit width, 16-bit height.
constexpr size_t kG00FixedHeaderBytes = 5;
constexpr size_t kG00WidthOffset = 1;
constexpr size_t kG00HeightOffset = 3;

// Reads the header of a type 0, 1 or 2 picture. False for a truncated header, another type,
// a compressed size below 8, a stream or region table that runs past the data, or (types 0
// and 1) a zero width or height; *fault, when given, then says which.
bool ReadG00Header(const uint8_t* data, size_t length, G00Header* header,
                   HeaderFault* fault = nullptr);

// Type 1's decompressed data: a 16-bit palette count P, P entries of 4 bytes (blue, green,
// red, reserved), then one index a pixel at 2 + 4P. At most 256 entries are colours.
// Type 2: each region record (not read when decoding) is 24 bytes.
constexpr uint64_t kG00RegionRecordBytes = 24;
constexpr size_t kG00PaletteCountBytes = 2;
constexpr size_t kG00PaletteEntryBytes = 4;
constexpr uint32_t kG00MostColours = 256;

// Where type 1's indexes start, for a stored palette count: false when the indexes of a
// width x height picture do not fit in the decompressed size (*fault, when given, says so).
bool LocateG00Indexes(const G00Header& header, uint16_t palette_count, size_t* indexes_at,
                      HeaderFault* fault = nullptr);
