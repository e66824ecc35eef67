// SPDX-License-Identifier: MIT
// PDT pictures: PDT10 (24-bit colour, optionally with an 8-bit alpha mask flattened onto
// black) and PDT11 (8-bit indexed, with a palette and a table of 16 copy distances).
#pragma once

#include <cstdint>

#include "formats/format_handler.h"

class PdtHandler final : public FormatHandler {
 public:
  constexpr PdtHandler() = default;
  int32_t GetInfo(const uint8_t* head, int32_t head_length,
                  PictureInfoRecord* info) const override;
  int32_t Decode(const uint8_t* data, int32_t data_length, HLOCAL* info_block,
                 HLOCAL* pixel_block, ProgressCallback progress,
                 UserData user_data) const override;
};

inline constexpr PdtHandler kPdtHandler{};
