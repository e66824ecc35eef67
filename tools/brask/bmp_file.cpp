// SPDX-License-Identifier: MIT
#include "tools/brask/bmp_file.h"

#include <cstring>

namespace brask {
namespace {

constexpr size_t kFileHeaderBytes = 14;

void PutU16Le(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}
void PutU32Le(uint8_t* p, uint32_t value) {
  PutU16Le(p, value & 0xFFFF);
  PutU16Le(p + 2, value >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const DibPicture& picture) {
  // DibPicture caps the rows at 1 GiB, so the total fits the 32-bit size field.
  const size_t offset = kFileHeaderBytes + picture.header_bytes();
  const size_t total = offset + picture.pixel_bytes();
  std::vector<uint8_t> bmp(total);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutU32Le(&bmp[2], static_cast<uint32_t>(total));  // file size
  PutU32Le(&bmp[6], 0);                             // two reserved words
  PutU32Le(&bmp[10], static_cast<uint32_t>(offset));  // where the rows start
  std::memcpy(&bmp[kFileHeaderBytes], picture.header(), picture.header_bytes());
  std::memcpy(&bmp[offset], picture.pixels(), picture.pixel_bytes());
  return bmp;
}

}  // namespace brask
