// SPDX-License-Identifier: MIT
// The whole-file writers' own logic: cutting a picture into type-2 blocks, and refusing
// sizes that disagree with the pixels. Their headers and streams are checked where the
// plug-in decodes what they write, against pictures built independently.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "codec/lz.h"
#include "formats/image_files.h"

namespace {

using namespace encode;

uint32_t U32(const std::vector<uint8_t>& f, size_t at) {
  return uint32_t{f[at]} | uint32_t{f[at + 1]} << 8 | uint32_t{f[at + 2]} << 16 |
         uint32_t{f[at + 3]} << 24;
}
uint32_t U16(const std::vector<uint8_t>& f, size_t at) {
  return uint32_t{f[at]} | uint32_t{f[at + 1]} << 8;
}

std::vector<uint8_t> Bytes(size_t n, uint32_t seed, uint32_t alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng() % alphabet);
  return v;
}

// Only blocks wholly (0, 0, 0, 0) are left out: a block of alpha 0 over colour keeps it.
TEST(EncodeG00, Type2FromOneImageCoversItWithBlocksAndDropsOnlyEmptyOnes) {
  AlphaImage image{70, 40, Bytes(70 * 40 * 4, 8)};
  for (size_t y = 0; y < 32; ++y) {
    for (size_t x = 0; x < 64; ++x) {
      uint8_t* pixel = &image.bgra[(y * 70 + x) * 4];
      if (x < 32) std::memset(pixel, 0, 4);  // the top left block: (0, 0, 0, 0)
      pixel[3] = 0;                          // its right neighbour: colour under alpha 0
    }
  }
  const std::vector<uint8_t> f = EncodeG00Type2(image, 32);
  EXPECT_EQ(U16(f, 1), 70u);
  EXPECT_EQ(U16(f, 3), 40u);
  ASSERT_EQ(U32(f, 5), 1u);
  const size_t sizes = 9 + 24;
  std::vector<uint8_t> d(U32(f, sizes + 4));
  ASSERT_EQ(DecodeG00Bytes(d.data(), d.size(), f.data() + sizes + 8, f.size() - sizes - 8),
            d.size());
  const size_t part = U32(d, 4);
  EXPECT_EQ(U32(d, part + 12), 70u);
  EXPECT_EQ(U32(d, part + 16), 40u);
  ASSERT_EQ(U16(d, part + 2), 5u);  // 3 × 2 blocks, one dropped
  std::vector<uint8_t> canvas(image.bgra.size(), 0);
  size_t at = part + 116;
  for (uint32_t b = 0; b < 5; ++b) {
    const uint32_t x = U16(d, at), y = U16(d, at + 2), w = U16(d, at + 6), h = U16(d, at + 8);
    EXPECT_LE(w, 32u);
    EXPECT_LE(h, 32u);
    at += 92;
    for (uint32_t row = 0; row < h; ++row, at += w * 4) {
      std::memcpy(&canvas[((y + row) * 70 + x) * 4], &d[at], w * 4);
    }
  }
  EXPECT_EQ(at, d.size());
  for (size_t i = 0; i < image.bgra.size(); i += 4) {
    ASSERT_EQ(0, std::memcmp(&canvas[i], &image.bgra[i], 4)) << "pixel " << i / 4;
  }
}

// A cell's block covers only its pixels that are not (0, 0, 0, 0), at their place.
TEST(EncodeG00, Type2BlocksAreTrimmedToTheirStoredPixels) {
  AlphaImage image{40, 30, std::vector<uint8_t>(40 * 30 * 4, 0)};
  image.bgra[(5 * 40 + 7) * 4 + 3] = 9;   // alpha alone, at (7, 5)
  image.bgra[(6 * 40 + 10) * 4 + 0] = 4;  // colour under alpha 0, at (10, 6)
  const encode::G00Part part = encode::CutIntoBlocks(image, 100, 200, 32);
  ASSERT_EQ(part.blocks.size(), 1u);
  const encode::G00Block& block = part.blocks[0];
  EXPECT_EQ(block.x, 107u);
  EXPECT_EQ(block.y, 205u);
  EXPECT_EQ(block.pixels.width, 4);
  EXPECT_EQ(block.pixels.height, 2);
  EXPECT_EQ(block.pixels.bgra[3], 9u);
  EXPECT_EQ(block.pixels.bgra[(4 + 3) * 4], 4u);
}

TEST(EncodeFiles, RefuseSizesThatDisagreeWithThePixels) {
  EXPECT_THROW(EncodeG00Type0(ColourImage{2, 2, std::vector<uint8_t>(11)}), std::invalid_argument);
  EXPECT_THROW(EncodeG00Type0(ColourImage{70000, 0, {}}), std::invalid_argument);
  EXPECT_THROW(EncodePdt10(ColourImage{-1, 0, {}}), std::invalid_argument);
  EXPECT_THROW(EncodePdt11(IndexedImage{1, 1, std::vector<uint8_t>(1028), {0}}),
               std::invalid_argument);
}

}  // namespace
