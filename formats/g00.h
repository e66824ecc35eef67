// G00 pictures: type 0 (24-bit colour), type 1 (8-bit indexed, palette inside the stream)
// and type 2 (parts of colour-plus-alpha blocks, stacked and flattened onto black).
#pragma once

#include <cstdint>

#include "host/format_handler.h"

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
