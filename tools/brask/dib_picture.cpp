// SPDX-License-Identifier: MIT
#include "tools/brask/dib_picture.h"

#include <cstring>

namespace brask {
namespace {

uint32_t ReadU32Le(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadU16Le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Far above any picture either format can describe, and small enough that stride × height
// cannot overflow size_t on a 32-bit host.
constexpr uint64_t kLargestPixelBytes = uint64_t(1) << 30;

}  // namespace

bool DibPicture::Adopt(std::vector<uint8_t> info_block, std::vector<uint8_t> pixel_block,
                       std::string* why) {
  if (info_block.size() < kDibHeaderBytes) {
    *why = "information block of " + std::to_string(info_block.size()) + " bytes";
    return false;
  }
  const uint8_t* h = info_block.data();
  const uint32_t header_size = ReadU32Le(h);
  const int32_t width = static_cast<int32_t>(ReadU32Le(h + 4));
  const int32_t height = static_cast<int32_t>(ReadU32Le(h + 8));
  const int bit_count = ReadU16Le(h + 14);
  const uint32_t compression = ReadU32Le(h + 16);
  if (header_size != kDibHeaderBytes || compression != 0 || (bit_count != 8 && bit_count != 24)) {
    *why = "unexpected DIB header (size " + std::to_string(header_size) + ", " +
           std::to_string(bit_count) + " bits, compression " + std::to_string(compression) + ")";
    return false;
  }
  if (width <= 0 || height <= 0) {
    *why = "picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
    return false;
  }
  const uint64_t row = uint64_t(width) * uint64_t(bit_count / 8);
  const uint64_t stride = (row + 3) & ~uint64_t(3);
  const uint64_t needed = stride * uint64_t(height);
  if (needed > kLargestPixelBytes) {
    *why = "picture too large";
    return false;
  }
  if (bit_count == 8 && info_block.size() < kDibHeaderBytes + kColourTableBytes) {
    *why = "8-bit picture without a full colour table";
    return false;
  }
  if (pixel_block.size() < needed) {
    *why = "pixel block of " + std::to_string(pixel_block.size()) + " bytes, rows need " +
           std::to_string(needed);
    return false;
  }
  info_ = std::move(info_block);
  pixels_ = std::move(pixel_block);
  pixels_.resize(static_cast<size_t>(needed));
  width_ = width;
  height_ = height;
  bit_count_ = bit_count;
  stride_ = static_cast<size_t>(stride);
  // The plug-in leaves row padding as the allocator gave it; outputs must not depend on that.
  const size_t row_bytes = static_cast<size_t>(row);
  if (row_bytes != stride_) {
    for (int32_t y = 0; y < height_; ++y) {
      std::memset(pixels_.data() + size_t(y) * stride_ + row_bytes, 0, stride_ - row_bytes);
    }
  }
  return true;
}

}  // namespace brask
