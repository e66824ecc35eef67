// SPDX-License-Identifier: MIT
// DIB building: the stride rule, the header fields, bottom-up copies with zero padding, the
// in-place flip and flattening onto black.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "codec/dib.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kCanary = 0xA5;

BITMAPINFOHEADER Header(int32_t width, int32_t height, uint16_t bits) {
  BITMAPINFOHEADER header{};
  const uint32_t size = static_cast<uint32_t>(DibStride(static_cast<uint64_t>(width), bits / 8u) *
                                              static_cast<uint64_t>(height));
  FillBitmapHeader(&header, width, height, bits, size);
  return header;
}

Bytes Counting(size_t n) {
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  return bytes;
}

TEST(Dib, StrideRoundsRowsUpToFourBytes) {
  EXPECT_EQ(DibStride(5, 3), 16u);  // 15 bytes of pixels, 1 of padding
  EXPECT_EQ(DibStride(4, 3), 12u);
  EXPECT_EQ(DibStride(5, 1), 8u);
  EXPECT_EQ(DibStride(1, 1), 4u);
  EXPECT_EQ(DibStride(0xFFFFFFFFu, 3), 0x300000000u) << "no wrap in 64 bits";
}

TEST(Dib, HeaderFields) {
  const BITMAPINFOHEADER header = Header(5, 2, 24);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 5);
  EXPECT_EQ(header.biHeight, 2);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, 0u);
  EXPECT_EQ(header.biSizeImage, 32u);
  EXPECT_EQ(header.biClrUsed, 0u);
}

TEST(Dib, CopyRowsFlippedWritesTheBottomRowFirstWithZeroPadding) {
  for (uint16_t bits : {uint16_t{24}, uint16_t{8}}) {
    const int32_t width = 5, height = 3;
    const BITMAPINFOHEADER header = Header(width, height, bits);
    const size_t row = bits / 8u * static_cast<size_t>(width);
    const size_t stride = static_cast<size_t>(DibStride(static_cast<uint64_t>(width), bits / 8u));
    const Bytes src = Counting(row * height);
    Bytes dst(stride * height + 8, kCanary);
    CopyRowsFlipped(dst.data(), src.data(), header);
    for (size_t r = 0; r < static_cast<size_t>(height); ++r) {
      const size_t picture_row = static_cast<size_t>(height) - 1 - r;
      for (size_t i = 0; i < row; ++i) {
        ASSERT_EQ(dst[r * stride + i], src[picture_row * row + i]) << "row " << r << " byte " << i;
      }
      for (size_t i = row; i < stride; ++i) EXPECT_EQ(dst[r * stride + i], 0) << "padding";
    }
    for (size_t i = stride * height; i < dst.size(); ++i) EXPECT_EQ(dst[i], kCanary);
  }
}

TEST(Dib, FlipRowsInPlaceSwapsOuterRowsAndKeepsTheMiddleOne) {
  for (int32_t height : {1, 2, 3, 4, 7}) {
    const BITMAPINFOHEADER header = Header(4, height, 24);
    const size_t row = 12;
    const Bytes original = Counting(row * static_cast<size_t>(height));
    Bytes data(original);
    data.resize(original.size() + 8, kCanary);
    ASSERT_TRUE(FlipRowsInPlace(data.data(), header));
    for (size_t r = 0; r < static_cast<size_t>(height); ++r) {
      const size_t from = static_cast<size_t>(height) - 1 - r;
      EXPECT_TRUE(std::equal(data.begin() + static_cast<std::ptrdiff_t>(r * row),
                             data.begin() + static_cast<std::ptrdiff_t>((r + 1) * row),
                             original.begin() + static_cast<std::ptrdiff_t>(from * row)))
          << "height " << height << " row " << r;
    }
    for (size_t i = original.size(); i < data.size(); ++i) EXPECT_EQ(data[i], kCanary);
  }
}

TEST(Dib, FlattenAlphaRowCompositesOntoBlack) {
  // Pixels (10, 20, 30) with alpha 128, 1, 254, 255 and 0; then a full-colour pixel at 0.
  const Bytes src = {10, 20, 30, 128, 10, 20, 30, 1,   10,  20,  30,  254,
                     10, 20, 30, 255, 10, 20, 30, 0,   200, 200, 200, 0};
  Bytes dst(18 + 4, kCanary);
  FlattenAlphaRow(dst.data(), src.data(), src.size() + 3);  // a partial pixel is ignored
  EXPECT_EQ(Bytes(dst.begin(), dst.begin() + 18),
            (Bytes{5, 10, 15, 0, 0, 0, 9, 19, 29, 10, 20, 30, 0, 0, 0, 0, 0, 0}));
  for (size_t i = 18; i < dst.size(); ++i) EXPECT_EQ(dst[i], kCanary);
}

TEST(Dib, FlattenAlphaRowFollowsTheFormulaForEveryValue) {
  Bytes src;
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned c : {0u, 1u, 127u, 128u, 255u}) src.insert(src.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c / 2), uint8_t(a)});
  }
  Bytes dst(src.size() / 4 * 3);
  FlattenAlphaRow(dst.data(), src.data(), src.size());
  for (size_t p = 0; p < src.size() / 4; ++p) {
    for (size_t b = 0; b < 3; ++b) {
      const unsigned want = (src[4 * p + b] * (src[4 * p + 3] + 1u)) >> 8;
      ASSERT_EQ(dst[3 * p + b], want) << "pixel " << p << " byte " << b;
    }
  }
}

TEST(Dib, ComposeMaskedImagePutsTheTopRowLast) {
  // 5 x 2: the top picture row lands at offset 16, the bottom one at 0.
  const BITMAPINFOHEADER header = Header(5, 2, 24);
  Bytes work = Counting(30);
  const Bytes alpha = {255, 255, 255, 255, 255, 0, 128, 255, 255, 255};
  work.insert(work.end(), alpha.begin(), alpha.end());
  Bytes dst(32 + 4, kCanary);
  ComposeMaskedImage(dst.data(), work.data(), header);
  EXPECT_EQ(Bytes(dst.begin() + 16, dst.begin() + 31), Counting(15));
  EXPECT_EQ(dst[31], 0) << "padding";
  // Bottom row: pixel 0 black, pixel 1 at alpha 128 ((c * 129) >> 8), the rest unchanged.
  const Bytes bottom = {0, 0, 0, 9, 10, 10, 22, 23, 24, 25, 26, 27, 28, 29, 30};
  EXPECT_EQ(Bytes(dst.begin(), dst.begin() + 15), bottom);
  EXPECT_EQ(dst[15], 0) << "padding";
  for (size_t i = 32; i < dst.size(); ++i) EXPECT_EQ(dst[i], kCanary);
}

TEST(Dib, ComposeMaskedImageAgreesWithFlattenAlphaRow) {
  std::mt19937 rng(3);
  for (int32_t width : {1, 2, 3, 5, 8, 17, 33, 70}) {
    const int32_t height = 3;
    const BITMAPINFOHEADER header = Header(width, height, 24);
    const size_t pixels = static_cast<size_t>(width * height);
    Bytes work(pixels * 4);
    for (uint8_t& b : work) b = static_cast<uint8_t>(rng());
    // Runs of 9 opaque, 9 clear and 9 mixed alphas: whole chunks of each kind, and chunks
    // that straddle two kinds.
    for (size_t i = 0; i < pixels; ++i) {
      const size_t kind = i / 9 % 3;
      work[pixels * 3 + i] = static_cast<uint8_t>(kind == 0 ? 255 : kind == 1 ? 0 : rng());
    }
    Bytes dst(header.biSizeImage, kCanary);
    ComposeMaskedImage(dst.data(), work.data(), header);
    const size_t stride = header.biSizeImage / 3;
    for (size_t r = 0; r < 3; ++r) {
      Bytes bgra;
      for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
        const size_t p = r * static_cast<size_t>(width) + x;
        bgra.insert(bgra.end(), {work[3 * p], work[3 * p + 1], work[3 * p + 2], work[pixels * 3 + p]});
      }
      Bytes want(bgra.size() / 4 * 3);
      FlattenAlphaRow(want.data(), bgra.data(), bgra.size());
      const size_t at = (2 - r) * stride;
      EXPECT_EQ(Bytes(dst.begin() + static_cast<std::ptrdiff_t>(at),
                      dst.begin() + static_cast<std::ptrdiff_t>(at + want.size())),
                want)
          << "width " << width << " row " << r;
      for (size_t i = at + want.size(); i < at + stride; ++i) EXPECT_EQ(dst[i], 0);
    }
  }
}

}  // namespace
