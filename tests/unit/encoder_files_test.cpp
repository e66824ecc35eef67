// The whole-file writers: header fields and offsets read back by hand, streams decoded with
// the plug-in's decoders, and the type-2 directory walked entry by entry.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "codec/lz.h"
#include "tools/encoders/image_files.h"

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

// A w × h picture of few colours with runs, so the streams hold every item kind.
std::vector<uint8_t> Picture(int32_t w, int32_t h, size_t bytes_per_pixel, uint32_t seed) {
  std::vector<uint8_t> v = Bytes(size_t(w) * size_t(h) * bytes_per_pixel, seed, 4);
  for (size_t i = 0; i < v.size() / 3; ++i) v[i] = 0x40;
  return v;
}

TEST(EncodeG00, Type0HeaderAndPixelStream) {
  const ColourImage image{13, 7, Picture(13, 7, 3, 1)};
  const std::vector<uint8_t> f = EncodeG00Type0(image);
  ASSERT_GE(f.size(), 13u);
  EXPECT_EQ(f[0], 0);                          // type
  EXPECT_EQ(U16(f, 1), 13u);                   // width
  EXPECT_EQ(U16(f, 3), 7u);                    // height
  EXPECT_EQ(U32(f, 5), f.size() - 13 + 8);     // compressed size: stream + 8
  EXPECT_EQ(U32(f, 9), 13u * 7 * 3);           // decompressed size
  std::vector<uint8_t> out(image.bgr.size());
  EXPECT_EQ(DecodeG00Pixels(out.data(), out.size(), f.data() + 13, f.size() - 13), 13u * 7);
  EXPECT_EQ(out, image.bgr);
}

TEST(EncodeG00, Type1StoresCountPaletteThenIndexes) {
  const IndexedImage image{9, 5, Bytes(3 * 4, 2), Bytes(45, 3, 3)};
  const std::vector<uint8_t> f = EncodeG00Type1(image);
  EXPECT_EQ(f[0], 1);
  EXPECT_EQ(U16(f, 1), 9u);
  EXPECT_EQ(U16(f, 3), 5u);
  EXPECT_EQ(U32(f, 5), f.size() - 13 + 8);
  const uint32_t data_size = U32(f, 9);
  EXPECT_EQ(data_size, 2u + 12 + 45);
  std::vector<uint8_t> data(data_size);
  ASSERT_EQ(DecodeG00Bytes(data.data(), data.size(), f.data() + 13, f.size() - 13), data_size);
  EXPECT_EQ(U16(data, 0), 3u);
  EXPECT_TRUE(std::equal(image.palette.begin(), image.palette.end(), data.begin() + 2));
  EXPECT_TRUE(std::equal(image.indexes.begin(), image.indexes.end(), data.begin() + 14));
}

TEST(EncodeG00, Type1StoredCountAbove256CarriesThatManyEntries) {
  const IndexedImage image{2, 2, Bytes(256 * 4, 4), {0, 1, 2, 3}};
  const std::vector<uint8_t> f = EncodeG00Type1(image, {}, 300);
  std::vector<uint8_t> data(U32(f, 9));
  ASSERT_EQ(data.size(), 2u + 300 * 4 + 4);
  ASSERT_EQ(DecodeG00Bytes(data.data(), data.size(), f.data() + 13, f.size() - 13), data.size());
  EXPECT_EQ(U16(data, 0), 300u);
  EXPECT_TRUE(std::equal(image.palette.begin(), image.palette.end(), data.begin() + 2));
  // Entries 256..299 are zero; the indexes follow the whole stored palette.
  EXPECT_TRUE(std::all_of(data.begin() + 2 + 1024, data.begin() + 2 + 1200,
                          [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 1202, data.end()), image.indexes);
}

std::vector<G00Part> TwoParts() {
  G00Part first;
  first.origin_x = 5;
  first.origin_y = 6;
  first.width = 10;
  first.height = 4;
  first.blocks.push_back({5, 6, AlphaImage{10, 4, Bytes(160, 5)}});
  G00Part second;
  second.width = 6;
  second.height = 3;
  second.blocks.push_back({0, 0, AlphaImage{3, 3, Bytes(36, 6)}});
  second.blocks.push_back({3, 1, AlphaImage{3, 2, Bytes(24, 7)}});
  return {first, second};
}

// Walks a decompressed directory and checks it against the parts it was built from.
void ExpectDirectoryHolds(const std::vector<uint8_t>& d, const std::vector<G00Part>& parts) {
  ASSERT_GE(d.size(), 4u);
  ASSERT_EQ(U32(d, 0), parts.size());  // entry count
  size_t expected_offset = 4 + 8 * parts.size();
  for (size_t i = 0; i < parts.size(); ++i) {
    SCOPED_TRACE("part " + std::to_string(i));
    const G00Part& part = parts[i];
    const size_t offset = U32(d, 4 + 8 * i);
    const size_t length = U32(d, 8 + 8 * i);
    EXPECT_EQ(offset, expected_offset);  // parts follow one another
    ASSERT_LE(offset + length, d.size());
    EXPECT_EQ(U16(d, offset + 2), part.blocks.size());    // block count
    EXPECT_EQ(U16(d, offset + 4), part.origin_x);         // origin x
    EXPECT_EQ(U16(d, offset + 8), part.origin_y);         // origin y
    EXPECT_EQ(U32(d, offset + 12), uint32_t(part.width));   // width
    EXPECT_EQ(U32(d, offset + 16), uint32_t(part.height));  // height
    size_t at = offset + 116;
    for (const G00Block& block : part.blocks) {
      ASSERT_LE(at + 92, d.size());
      EXPECT_EQ(U16(d, at + 0), block.x);
      EXPECT_EQ(U16(d, at + 2), block.y);
      EXPECT_EQ(U16(d, at + 6), uint32_t(block.pixels.width));
      EXPECT_EQ(U16(d, at + 8), uint32_t(block.pixels.height));
      at += 92;
      ASSERT_LE(at + block.pixels.bgra.size(), d.size());
      EXPECT_TRUE(std::equal(block.pixels.bgra.begin(), block.pixels.bgra.end(), d.begin() + long(at)));
      at += block.pixels.bgra.size();
    }
    EXPECT_EQ(at, offset + length);
    expected_offset = at;
  }
  EXPECT_EQ(expected_offset, d.size());
}

TEST(EncodeG00, Type2HeaderRegionsAndCompressedDirectory) {
  const std::vector<G00Part> parts = TwoParts();
  const std::vector<uint8_t> f = EncodeG00Type2(parts, 33, 44);
  EXPECT_EQ(f[0], 2);
  EXPECT_EQ(U16(f, 1), 33u);
  EXPECT_EQ(U16(f, 3), 44u);
  ASSERT_EQ(U32(f, 5), 2u);  // region count
  // Region 0: the first part's rectangle, inclusive.
  EXPECT_EQ(U32(f, 9), 5u);
  EXPECT_EQ(U32(f, 13), 6u);
  EXPECT_EQ(U32(f, 17), 14u);
  EXPECT_EQ(U32(f, 21), 9u);
  const size_t sizes = 9 + 24 * 2;
  EXPECT_EQ(U32(f, sizes), f.size() - (sizes + 8) + 8);  // compressed size
  const std::vector<uint8_t> directory = BuildG00PartDirectory(parts);
  EXPECT_EQ(U32(f, sizes + 4), directory.size());        // decompressed size
  std::vector<uint8_t> data(directory.size());
  ASSERT_EQ(DecodeG00Bytes(data.data(), data.size(), f.data() + sizes + 8, f.size() - sizes - 8),
            data.size());
  EXPECT_EQ(data, directory);
  ExpectDirectoryHolds(data, parts);
}

TEST(EncodeG00, Type2FromOneImageCoversItWithBlocksAndDropsTransparentOnes) {
  AlphaImage image{70, 40, Bytes(70 * 40 * 4, 8)};
  for (size_t y = 0; y < 32; ++y) {  // the top left 32 × 32 block: fully transparent
    for (size_t x = 0; x < 32; ++x) image.bgra[(y * 70 + x) * 4 + 3] = 0;
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
    if (image.bgra[i + 3] == 0 && canvas[i + 3] == 0) continue;  // dropped or transparent
    ASSERT_EQ(0, std::memcmp(&canvas[i], &image.bgra[i], 4)) << "pixel " << i / 4;
  }
}

void ExpectPdtHeader(const std::vector<uint8_t>& f, char version, uint32_t w, uint32_t h) {
  ASSERT_GE(f.size(), 32u);
  EXPECT_EQ(0, std::memcmp(f.data(), "PDT1", 4));  // signature
  EXPECT_EQ(f[4], version);                         // version
  EXPECT_EQ(U32(f, 8), f.size());                   // end offset
  EXPECT_EQ(U32(f, 12), w);                         // width
  EXPECT_EQ(U32(f, 16), h);                         // height
  EXPECT_EQ(U32(f, 20), 0u);
  EXPECT_EQ(U32(f, 24), 0u);
}

TEST(EncodePdt, Pdt10ColourStreamRunsFrom32ToTheEnd) {
  const ColourImage image{11, 6, Picture(11, 6, 3, 9)};
  const std::vector<uint8_t> f = EncodePdt10(image);
  ExpectPdtHeader(f, '0', 11, 6);
  EXPECT_EQ(U32(f, 28), 0u);  // no mask
  std::vector<uint8_t> out(image.bgr.size());
  EXPECT_EQ(DecodePdtPixels(out.data(), out.size(), f.data() + 32, f.size() - 32), 66u);
  EXPECT_EQ(out, image.bgr);
}

TEST(EncodePdt, Pdt10MaskFollowsTheColourStream) {
  const AlphaImage image{12, 5, Picture(12, 5, 4, 10)};
  const std::vector<uint8_t> f = EncodePdt10Masked(image);
  ExpectPdtHeader(f, '0', 12, 5);
  const uint32_t mask = U32(f, 28);
  ASSERT_GT(mask, 32u);
  ASSERT_LT(mask, f.size());
  std::vector<uint8_t> colour(60 * 3), alpha(60);
  EXPECT_EQ(DecodePdtPixels(colour.data(), colour.size(), f.data() + 32, mask - 32), 60u);
  EXPECT_EQ(DecodePdtMask(alpha.data(), alpha.size(), f.data() + mask, f.size() - mask), 60u);
  for (size_t i = 0; i < 60; ++i) {
    ASSERT_EQ(0, std::memcmp(&colour[3 * i], &image.bgra[4 * i], 3)) << i;
    ASSERT_EQ(alpha[i], image.bgra[4 * i + 3]) << i;
  }
}

TEST(EncodePdt, Pdt11PaletteIsPaddedAndTheBlockStartsAt1056) {
  const IndexedImage image{17, 9, Bytes(5 * 4, 11), Picture(17, 9, 1, 12)};
  const std::vector<uint8_t> f = EncodePdt11(image);
  ExpectPdtHeader(f, '1', 17, 9);
  EXPECT_EQ(U32(f, 28), 0u);
  ASSERT_GT(f.size(), 1056u + 64);
  EXPECT_TRUE(std::equal(image.palette.begin(), image.palette.end(), f.begin() + 32));
  EXPECT_TRUE(std::all_of(f.begin() + 52, f.begin() + 1056, [](uint8_t b) { return b == 0; }));
  std::vector<uint8_t> out(image.indexes.size());
  EXPECT_EQ(DecodePdtIndexed(out.data(), out.size(), f.data() + 1056, f.size() - 1056),
            out.size());
  EXPECT_EQ(out, image.indexes);
}

TEST(EncodeFiles, EmptyImagesGiveValidHeaders) {
  EXPECT_EQ(EncodeG00Type0(ColourImage{}).size(), 13u);
  EXPECT_EQ(EncodePdt10(ColourImage{}).size(), 33u);  // header and the leading flag byte
  const std::vector<uint8_t> f = EncodePdt11(IndexedImage{});
  EXPECT_EQ(f.size(), 1056u + 65);
  EXPECT_EQ(U32(f, 8), f.size());
}

TEST(EncodeFiles, RefuseSizesThatDisagreeWithThePixels) {
  EXPECT_THROW(EncodeG00Type0(ColourImage{2, 2, std::vector<uint8_t>(11)}), std::invalid_argument);
  EXPECT_THROW(EncodeG00Type0(ColourImage{70000, 0, {}}), std::invalid_argument);
  EXPECT_THROW(EncodePdt10(ColourImage{-1, 0, {}}), std::invalid_argument);
  EXPECT_THROW(EncodePdt11(IndexedImage{1, 1, std::vector<uint8_t>(1028), {0}}),
               std::invalid_argument);
}

}  // namespace
