// SPDX-License-Identifier: MIT
// Opening a picture through the public API from an exact-size copy, and reading its RGBA
// with a gap after each row that must keep its canary: shared by the API's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "brask/brask.h"

namespace api_picture {

using Bytes = std::vector<uint8_t>;

struct Opened {
  brask_result result = BRASK_INVALID_ARGUMENT;
  brask_picture* picture = nullptr;
  brask_info info{};
  ~Opened() { brask_close(picture); }
};

inline void Open(const Bytes& file, const char* name, Opened* opened, uint64_t limit = 0) {
  const Bytes exact(file);
  opened->result = brask_open_memory(exact.data(), exact.size(), name, limit, &opened->picture);
  if (opened->result == BRASK_OK) brask_get_info(opened->picture, &opened->info);
}

// RGBA rows `pad` bytes apart; the gaps must keep their canary.
inline constexpr uint8_t kCanary = 0xA5;
inline Bytes DecodeRgba(brask_picture* picture, const brask_info& info, size_t pad = 0) {
  const size_t row = size_t{info.width} * 4;
  const size_t stride = row + pad;
  Bytes buffer(stride * info.height, kCanary);
  EXPECT_EQ(brask_decode_rgba(picture, buffer.data(), buffer.size(), stride), BRASK_OK);
  Bytes rows;
  for (size_t y = 0; y < info.height; ++y) {
    const uint8_t* at = buffer.data() + y * stride;
    rows.insert(rows.end(), at, at + row);
    for (size_t i = row; i < stride; ++i) EXPECT_EQ(at[i], kCanary) << "gap after row " << y;
  }
  return rows;
}

}  // namespace api_picture
