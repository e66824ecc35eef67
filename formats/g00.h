// SPDX-License-Identifier: MIT
// G00 pictures: type 0 (24-bit colour), type 1 (8-bit indexed, palette inside the stream)
// and type 2 (parts of colour-plus-alpha blocks, stacked and flattened onto black).
// Nothing in a file is trusted: every size is checked against the data before it is used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/g00_parts.h"
#include "formats/format_handler.h"
#include "platform/kernel.h"

class G00Handler final : public FormatHandler {
 public:
  constexpr G00Handler() = default;
  int32_t GetInfo(const uint8_t* head, int32_t head_length,
                  PictureInfoRecord* info) const override;
  int32_t Decode(const uint8_t* data, int32_t data_length, HLOCAL* info_block,
                 HLOCAL* pixel_block, ProgressCallback progress,
                 UserData user_data) const override;
};

inline constexpr G00Handler kG00Handler{};

// Stacks the parts of decompressed type-2 data (data_length bytes, all of them defined) into
// one 24-bit picture, top to bottom in directory order, alpha flattened onto black. Sets
// biWidth, biHeight and biSizeImage of `header`, allocates a zero-filled movable block of
// biSizeImage bytes and writes its handle into *pixel_block_out, leaving the block locked.
// Returns biSizeImage, or 0 on failure: an empty or too large picture, or a block that could
// not be allocated or locked. On failure *pixel_block_out is null and no block is held.
// Reads nothing outside [data, data + data_length) and writes nothing outside the block:
// blocks are clipped to the picture, and the part walk (g00_parts.h) reads only what lies
// wholly inside the data.
uint32_t ComposeG00Parts(HLOCAL* pixel_block_out, const uint8_t* data, size_t data_length,
                         BITMAPINFOHEADER* header);
