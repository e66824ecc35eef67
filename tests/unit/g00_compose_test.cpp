// SPDX-License-Identifier: MIT
// ComposeG00Parts on raw directory bytes: stacking, placement inside a part, clipping to the
// picture, and entries, part headers and blocks that are empty, negative or cut short.
#include <gtest/gtest.h>

#include <vector>

#include "formats/g00.h"
#include "tests/support/g00_expected.h"

namespace {

using encode::G00Part;
using g00_expected::Block;
using g00_expected::PutLe;

struct ComposeOutcome {
  uint32_t returned = 0;
  bool block_null = true;
  int32_t width = -1;
  int32_t height = -1;
  uint32_t size_image = 0;
  std::vector<uint8_t> pixels;
};

// Runs the composition on an exact-size copy of the data and takes the block's bytes.
ComposeOutcome Compose(const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> exact(data);
  BITMAPINFOHEADER header{};
  header.biWidth = 999;
  header.biHeight = 999;
  HLOCAL block = reinterpret_cast<HLOCAL>(uintptr_t{0x5A5A5A50});
  ComposeOutcome out;
  out.returned = ComposeG00Parts(&block, exact.empty() ? nullptr : exact.data(), exact.size(),
                                 &header);
  out.block_null = block == nullptr;
  out.width = header.biWidth;
  out.height = header.biHeight;
  out.size_image = header.biSizeImage;
  if (block != nullptr) {
    const uint8_t* bytes = static_cast<const uint8_t*>(LocalLock(block));
    out.pixels.assign(bytes, bytes + LocalSize(block));
    LocalUnlock(block);
    LocalUnlock(block);
    LocalFree(block);
  }
  return out;
}

void ExpectComposedAt(const std::vector<uint8_t>& data, const std::vector<G00Part>& parts) {
  const g00_expected::Composed want = g00_expected::ComposeParts(parts);
  const ComposeOutcome got = Compose(data);
  ASSERT_FALSE(got.block_null);
  EXPECT_EQ(got.width, want.width);
  EXPECT_EQ(got.height, want.height);
  EXPECT_EQ(got.returned, want.pixels.size());
  EXPECT_EQ(got.size_image, want.pixels.size());
  EXPECT_EQ(got.pixels, want.pixels);
}

#define ExpectComposed(data, ...)  \
  do {                              \
    SCOPED_TRACE("composed here");  \
    ExpectComposedAt(data, __VA_ARGS__); \
  } while (0)

void ExpectFailed(const std::vector<uint8_t>& data) {
  const ComposeOutcome got = Compose(data);
  EXPECT_EQ(got.returned, 0u);
  EXPECT_TRUE(got.block_null);
}

std::vector<uint8_t> Opaque(encode::G00Block block) {
  for (size_t i = 3; i < block.pixels.bgra.size(); i += 4) block.pixels.bgra[i] = 255;
  return block.pixels.bgra;
}

TEST(ComposeG00Parts, StacksPartsFromTheLeftEdge) {
  // 10 x 4 over 6 x 3: 10 x 7, stride 32, the second part in rows 4 to 6.
  G00Part top{0, 0, 10, 4, {Block(0, 0, 10, 4, 1)}};
  G00Part bottom{7, 9, 6, 3, {Block(7, 9, 6, 3, 2)}};
  top.blocks[0].pixels.bgra = Opaque(top.blocks[0]);
  bottom.blocks[0].pixels.bgra = Opaque(bottom.blocks[0]);
  const ComposeOutcome got = Compose(encode::BuildG00PartDirectory({top, bottom}));
  ASSERT_EQ(got.returned, 32u * 7);
  EXPECT_EQ(got.width, 10);
  EXPECT_EQ(got.height, 7);
  // Picture row 4 (memory row 2) starts with the second part's first pixel.
  EXPECT_EQ(std::vector<uint8_t>(got.pixels.begin() + 64, got.pixels.begin() + 67),
            std::vector<uint8_t>(bottom.blocks[0].pixels.bgra.begin(),
                                 bottom.blocks[0].pixels.bgra.begin() + 3));
  ExpectComposed(encode::BuildG00PartDirectory({top, bottom}), {top, bottom});
}

TEST(ComposeG00Parts, PlacesBlocksRelativeToThePartOrigin) {
  // A 1 x 1 block at origin + (2, 1) lands at column 2 of the part's second row.
  G00Part part{40, 50, 4, 3, {Block(42, 51, 1, 1, 3)}};
  part.blocks[0].pixels.bgra = {10, 20, 30, 255};
  const ComposeOutcome got = Compose(encode::BuildG00PartDirectory({part}));
  ASSERT_EQ(got.returned, 12u * 3);
  std::vector<uint8_t> want(36, 0);
  want[12 + 6] = 10, want[12 + 7] = 20, want[12 + 8] = 30;  // memory row 1 = picture row 1
  EXPECT_EQ(got.pixels, want);
}

TEST(ComposeG00Parts, FlattensAlphaOntoBlackAndLaterBlocksWin) {
  G00Part part{0, 0, 4, 1, {Block(0, 0, 4, 1, 4), Block(3, 0, 1, 1, 5)}};
  part.blocks[0].pixels.bgra = {10, 20, 30, 0,   10, 20, 30, 255,  // alpha 0 and 255
                                10, 20, 30, 128, 10, 20, 30, 254};  // between
  part.blocks[1].pixels.bgra = {1, 2, 3, 255};                       // over the last pixel
  const ComposeOutcome got = Compose(encode::BuildG00PartDirectory({part}));
  EXPECT_EQ(got.pixels, (std::vector<uint8_t>{0, 0, 0, 10, 20, 30, 5, 10, 15, 1, 2, 3}));
}

TEST(ComposeG00Parts, ClipsBlocksToThePicture) {
  // Blocks past the right and bottom edges, before the origin (negative column and row),
  // and one reaching up into the previous part: pixels outside the picture are dropped.
  G00Part first{10, 10, 5, 3, {}};
  first.blocks.push_back(Block(13, 11, 6, 4, 1));   // past the right edge and the bottom
  first.blocks.push_back(Block(8, 8, 4, 4, 2));     // two columns and rows before the origin
  G00Part second{0, 5, 3, 2, {}};
  second.blocks.push_back(Block(0, 3, 2, 3, 3));    // two rows up, into the first part
  second.blocks.push_back(Block(2, 5, 65535, 1, 4));  // 65535 wide, clipped to one pixel
  ExpectComposed(encode::BuildG00PartDirectory({first, second}), {first, second});
  // A block wholly outside the picture changes nothing.
  G00Part outside{0, 0, 2, 2, {Block(0, 0, 2, 2, 5), Block(60000, 60000, 3, 3, 6)}};
  ExpectComposed(encode::BuildG00PartDirectory({outside}), {outside});
}

TEST(ComposeG00Parts, EmptyEntriesAreSkipped) {
  std::vector<uint8_t> data = encode::BuildG00PartDirectory(
      {G00Part{0, 0, 2, 2, {Block(0, 0, 2, 2, 1)}}, G00Part{0, 0, 9, 9, {}}});
  PutLe(&data, 16, 0, 4);  // entry 1: length 0, so the 9 x 9 part is empty
  ExpectComposed(data, {G00Part{0, 0, 2, 2, {Block(0, 0, 2, 2, 1)}}});
  PutLe(&data, 16, 200, 4);
  PutLe(&data, 12, 0, 4);  // entry 1: offset 0
  ExpectComposed(data, {G00Part{0, 0, 2, 2, {Block(0, 0, 2, 2, 1)}}});
}

TEST(ComposeG00Parts, AnEmptyPictureFails) {
  ExpectFailed({});                                   // no bytes at all
  ExpectFailed({1, 0, 0});                            // entry count cut short
  ExpectFailed({0, 0, 0, 0});                         // entry count 0
  std::vector<uint8_t> one_empty = {
      1, 0, 0, 0,                                     // entry count 1
      12, 0, 0, 0,                                    // part offset 12
      0, 0, 0, 0};                                    // part length 0: empty
  ExpectFailed(one_empty);
  ExpectFailed(encode::BuildG00PartDirectory({G00Part{0, 0, 0, 5, {}}}));  // width 0
  ExpectFailed(encode::BuildG00PartDirectory({G00Part{0, 0, 5, 0, {}}}));  // height 0
}

TEST(ComposeG00Parts, APictureBeyondTheLargestBlockFails) {
  ExpectFailed(encode::BuildG00PartDirectory({G00Part{0, 0, 0x7FFFFFFF, 1, {}}}));
  // Heights that add up past 2^31 (and past 2^32) in a narrow picture.
  std::vector<G00Part> tall(3, G00Part{0, 0, 1, 0x7FFFFFFF, {}});
  ExpectFailed(encode::BuildG00PartDirectory(tall));
  // 2^31 - 4 bytes is the largest that passes the check: 1 pixel wide, (2^31 - 4) / 4 high.
  const ComposeOutcome got =
      Compose(encode::BuildG00PartDirectory({G00Part{0, 0, 1, 1 << 20, {}}}));
  EXPECT_EQ(got.returned, 4u << 20);
}

TEST(ComposeG00Parts, ANegativeWidthWidensNothingButTheHeightAndBlocksCount) {
  // The narrow part sits below the kept one; its 3 x 2 block is clipped to the picture's
  // width of 2 and its height of 4 makes the picture 6 rows high.
  const G00Part kept{0, 0, 2, 2, {Block(0, 0, 2, 2, 1)}};
  const G00Part narrow{0, 0, -5, 4, {Block(0, 1, 3, 2, 2)}};
  ExpectComposed(encode::BuildG00PartDirectory({kept, narrow}), {kept, narrow});
  ExpectComposed(encode::BuildG00PartDirectory({narrow, kept}), {narrow, kept});
  // Only narrow parts: nothing is wide enough to make a picture.
  ExpectFailed(encode::BuildG00PartDirectory({narrow}));
}

TEST(ComposeG00Parts, NegativeHeightsContributeNothing) {
  const G00Part kept{0, 0, 3, 2, {Block(0, 0, 3, 2, 1)}};
  for (const G00Part& negative : {G00Part{0, 0, 4, -1, {Block(0, 0, 3, 2, 3)}},
                                  G00Part{0, 0, -1, -1, {Block(0, 0, 3, 2, 3)}}}) {
    // Before the kept part: the kept part still starts on row 0 and sets the size alone.
    ExpectComposed(encode::BuildG00PartDirectory({negative, kept}), {kept});
    ExpectComposed(encode::BuildG00PartDirectory({kept, negative}), {kept});
  }
  ExpectFailed(encode::BuildG00PartDirectory({G00Part{0, 0, 9, -1, {}}}));
}

TEST(ComposeG00Parts, TheAdvanceUsesTheLowSixteenBitsOfTheHeight) {
  // Heights 65537 and 1: the picture is 65538 rows high; the second part starts on row 1.
  G00Part first{0, 0, 1, 65537, {}};
  G00Part second{0, 0, 1, 1, {Block(0, 0, 1, 1, 1)}};
  second.blocks[0].pixels.bgra = {7, 8, 9, 255};
  const ComposeOutcome got = Compose(encode::BuildG00PartDirectory({first, second}));
  ASSERT_EQ(got.height, 65538);
  ASSERT_EQ(got.pixels.size(), 4u * 65538);
  const size_t row_one = 4 * (65538 - 1 - 1);
  EXPECT_EQ(std::vector<uint8_t>(got.pixels.begin() + static_cast<long>(row_one),
                                 got.pixels.begin() + static_cast<long>(row_one) + 3),
            (std::vector<uint8_t>{7, 8, 9}));
}

TEST(ComposeG00Parts, TruncatedDirectoriesEndWhereTheBytesEnd) {
  const G00Part a{0, 0, 4, 2, {Block(0, 0, 2, 2, 1), Block(2, 0, 2, 2, 2)}};
  const G00Part b{0, 0, 3, 3, {Block(0, 0, 3, 3, 3)}};
  const std::vector<uint8_t> whole = encode::BuildG00PartDirectory({a, b});
  const size_t b_at = 20 + 116 + 2 * (92 + 16);
  ASSERT_EQ(whole.size(), b_at + 116 + 92 + 36);

  // Entries cut by the data's end are not read (the copy is exact-size, so a sanitizer
  // build sees any read past it).
  ExpectFailed({0xFF, 0xFF, 0xFF, 0xFF,              // entry count 2^32 - 1
                12, 0, 0, 0,                         // entry 0: offset 12
                1, 0, 0});                           // its length cut after 3 bytes
  ExpectFailed({0xFF, 0xFF, 0xFF, 0xFF,              // entry count 2^32 - 1
                0, 0, 0, 0, 0, 0, 0, 0,              // entry 0: empty
                12, 0, 0, 0, 1});                    // entry 1 cut after 5 bytes
  std::vector<uint8_t> data;
  // Part b's pixels one byte short: its block is not placed, but b keeps its size.
  data = whole;
  data.pop_back();
  G00Part b_empty = b;
  b_empty.blocks.clear();
  ExpectComposed(data, {a, b_empty});
  // Part b's block header cut: the same.
  data.resize(b_at + 116 + 91);
  ExpectComposed(data, {a, b_empty});
  // Part b's header cut: b contributes nothing at all.
  data.resize(b_at + 115);
  ExpectComposed(data, {a});
  // A part offset past the data, or one whose header would wrap past the end.
  data = whole;
  PutLe(&data, 12, 0xFFFFFFFF, 4);
  ExpectComposed(data, {a});
  PutLe(&data, 12, static_cast<uint32_t>(whole.size() - 10), 4);
  ExpectComposed(data, {a});
  // A block count above the blocks present: the part ends at the data's end.
  data = whole;
  PutLe(&data, 20 + 2, 0xFFFF, 2);               // part a claims 65535 blocks
  G00Part a_reads_on = a;                        // its third "block" is b's header: too short
  ExpectComposed(data, {a_reads_on, b});
  // A block whose size reaches past the data (65535 x 65535 pixels).
  data = whole;
  PutLe(&data, b_at + 116 + 6, 0xFFFF, 2);       // width
  PutLe(&data, b_at + 116 + 8, 0xFFFF, 2);       // height
  ExpectComposed(data, {a, b_empty});
}

TEST(ComposeG00Parts, EntriesMayShareOrOverlapParts) {
  // Two entries naming the same part stack it twice; the part length is not checked.
  const G00Part a{0, 0, 3, 2, {Block(0, 0, 3, 2, 1)}};
  std::vector<uint8_t> data = encode::BuildG00PartDirectory({a, a});
  PutLe(&data, 12, 20, 4);   // entry 1: the first part's offset
  PutLe(&data, 16, 1, 4);    // with a length of 1
  ExpectComposed(data, {a, a});
}

}  // namespace
