// SPDX-License-Identifier: MIT
// A decoded picture as the plug-in hands it over: a BITMAPINFOHEADER (with a 256-entry colour
// table for 8-bit pictures) and bottom-up pixel rows padded to 4 bytes. The blocks are checked
// against each other before anything reads the rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brask {

constexpr size_t kDibHeaderBytes = 40;
constexpr size_t kColourTableBytes = 256 * 4;

class DibPicture {
 public:
  // Takes the bytes of both blocks. Returns false with a reason when the header is not a
  // plain 8-bit or 24-bit bottom-up DIB or the pixel block is shorter than its rows.
  bool Adopt(std::vector<uint8_t> info_block, std::vector<uint8_t> pixel_block, std::string* why);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int bit_count() const { return bit_count_; }
  size_t stride() const { return stride_; }
  // The header and, for 8-bit pictures, the colour table (blue, green, red, reserved).
  const uint8_t* header() const { return info_.data(); }
  size_t header_bytes() const { return kDibHeaderBytes + (bit_count_ == 8 ? kColourTableBytes : 0); }
  const uint8_t* colour_table() const { return info_.data() + kDibHeaderBytes; }
  // stride() × height() bytes, bottom row first; padding bytes are zero.
  const uint8_t* pixels() const { return pixels_.data(); }
  size_t pixel_bytes() const { return stride_ * static_cast<size_t>(height_); }
  // Row y counted from the top of the picture.
  const uint8_t* TopDownRow(int32_t y) const {
    return pixels_.data() + static_cast<size_t>(height_ - 1 - y) * stride_;
  }

 private:
  std::vector<uint8_t> info_;
  std::vector<uint8_t> pixels_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int bit_count_ = 0;
  size_t stride_ = 0;
};

}  // namespace brask
