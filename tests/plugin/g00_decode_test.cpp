// SPDX-License-Identifier: MIT
// G00 files of every type decoded through the exports, natively and with the real DLL under
// wine: exact DIBs against independently built expectations, progress and cancellation, the
// host's variables on every failure, refused headers and information requests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/g00_expected.h"
#include "tests/support/loaded_plugin.h"
#include "tests/support/test_files.h"

namespace {

using encode::ColourImage;
using encode::G00Part;
using encode::IndexedImage;
using g00_expected::Block;
using g00_expected::DibRows;
using g00_expected::InfoBlock;
using g00_expected::PatternBytes;
using g00_expected::PutLe;
using g00_expected::Stride;
using Progress = std::vector<std::pair<int32_t, int32_t>>;

const Progress kTypes01Progress = {{0, 2}, {2, 2}, {2, 2}};
const Progress kType2Progress = {{0, 2}, {1, 2}, {2, 2}};

DecodeOutcome DecodeG00(const std::vector<uint8_t>& file, const DecodeRequest& request = {}) {
  return DecodeFile(WriteTempFile("picture.g00", file), 0, request);
}

ColourImage MakeColour(int32_t width, int32_t height, uint32_t seed) {
  return {width, height, PatternBytes(static_cast<size_t>(width * height) * 3, seed)};
}

IndexedImage MakeIndexed(int32_t width, int32_t height, int entries, uint32_t seed) {
  IndexedImage image{width, height, PatternBytes(static_cast<size_t>(entries) * 4, seed),
                     PatternBytes(static_cast<size_t>(width * height), seed + 1)};
  for (auto& index : image.indexes) index = static_cast<uint8_t>(index % entries);
  return image;
}

void ExpectDecoded(const DecodeOutcome& got, const std::vector<uint8_t>& info,
                   const std::vector<uint8_t>& pixels, const Progress& progress) {
  ASSERT_EQ(got.result, 0);
  EXPECT_EQ(got.progress, progress);
  EXPECT_EQ(got.info, info);
  ASSERT_EQ(got.pixels.size(), pixels.size());
  EXPECT_EQ(got.pixels, pixels);
}

// A type-0 header around a raw stream; compressed size = stream + 8 unless given.
std::vector<uint8_t> Type0Raw(uint16_t width, uint16_t height, const std::vector<uint8_t>& stream,
                              int64_t compressed_size = -1) {
  std::vector<uint8_t> file(13 + stream.size(), 0);
  file[0] = 0;                                // type 0
  PutLe(&file, 1, width, 2);                  // width
  PutLe(&file, 3, height, 2);                 // height
  PutLe(&file, 5, compressed_size >= 0 ? static_cast<uint32_t>(compressed_size)
                                       : static_cast<uint32_t>(stream.size() + 8), 4);
  PutLe(&file, 9, 0, 4);                      // decompressed size (type 0 ignores it)
  std::copy(stream.begin(), stream.end(), file.begin() + 13);
  return file;
}

TEST(G00Decode, WorkedExampleByteForByte) {
  const std::vector<uint8_t> file = {0x00, 0x02, 0x00, 0x01, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x06,
                                     0x00, 0x00, 0x00, 0x03, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23};
  const std::string path = WriteTempFile("example.g00", file);
  ExpectDecoded(DecodeFile(path), InfoBlock(2, 1, 24, 8),
                {0x11, 0x12, 0x13, 0x21, 0x22, 0x23, 0x00, 0x00}, kTypes01Progress);
  PictureInfoRecord record;
  std::memset(&record, 0x77, sizeof record);
  ASSERT_EQ(LoadedPlugin::Get().get_picture_info(path.c_str(), 0, 0, &record), 0);
  EXPECT_EQ(record.left, 0);
  EXPECT_EQ(record.top, 0);
  EXPECT_EQ(record.width, 2);
  EXPECT_EQ(record.height, 1);
  EXPECT_EQ(record.x_density, 0);
  EXPECT_EQ(record.y_density, 0);
  EXPECT_EQ(record.colour_depth, 24);
  EXPECT_EQ(uint32_t{record.text_handle}, 0u);
}

TEST(G00Decode, Type0InPlaceAndThroughAWorkBuffer) {
  // Widths that are multiples of 4 decode in place; the others need row padding.
  const int32_t sizes[][2] = {{4, 3}, {5, 3}, {1, 1}, {8, 1}, {7, 9}, {64, 33}, {3, 2}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
    const ColourImage image = MakeColour(size[0], size[1], static_cast<uint32_t>(size[0] * 31));
    const std::vector<uint8_t> want = DibRows(image.bgr, image.width, image.height, 3);
    for (bool literals_only : {false, true}) {
      encode::LzOptions options;
      options.literals_only = literals_only;
      ExpectDecoded(DecodeG00(encode::EncodeG00Type0(image, options)),
                    InfoBlock(image.width, image.height, 24, static_cast<uint32_t>(want.size())),
                    want, kTypes01Progress);
    }
  }
  // The stride examples: 4 x 3 has 36 bytes without padding, 5 x 3 has 48 with it.
  EXPECT_EQ(DecodeG00(encode::EncodeG00Type0(MakeColour(4, 3, 1))).pixels.size(), 36u);
  EXPECT_EQ(DecodeG00(encode::EncodeG00Type0(MakeColour(5, 3, 1))).pixels.size(), 48u);
}

TEST(G00Decode, Type0PixelsTheStreamDoesNotProduceAreBlack) {
  // 4 x 2 in place and 5 x 2 through a buffer, each stream holding one literal pixel only.
  const std::vector<uint8_t> one_pixel = {0x01, 0x0A, 0x0B, 0x0C};  // flags, one pixel
  for (uint16_t width : {uint16_t{4}, uint16_t{5}}) {
    std::vector<uint8_t> top_down(size_t{3} * width * 2, 0);
    top_down[0] = 0x0A, top_down[1] = 0x0B, top_down[2] = 0x0C;
    const std::vector<uint8_t> want = DibRows(top_down, width, 2, 3);
    ExpectDecoded(DecodeG00(Type0Raw(width, 2, one_pixel)),
                  InfoBlock(width, 2, 24, static_cast<uint32_t>(want.size())), want,
                  kTypes01Progress);
  }
}

TEST(G00Decode, Type1PalettesOfEverySize) {
  for (int entries : {1, 2, 256}) {
    SCOPED_TRACE(testing::Message() << entries << " entries");
    const IndexedImage image = MakeIndexed(13, 7, entries, static_cast<uint32_t>(entries));
    std::vector<uint8_t> table = image.palette;
    const std::vector<uint8_t> want = DibRows(image.indexes, image.width, image.height, 1);
    ExpectDecoded(DecodeG00(encode::EncodeG00Type1(image)),
                  InfoBlock(13, 7, 8, static_cast<uint32_t>(want.size()), table), want,
                  kTypes01Progress);
  }
  // The 3 x 2 example: two entries, stride 4, bytes 3 and 7 are padding.
  const IndexedImage small = MakeIndexed(3, 2, 2, 5);
  const DecodeOutcome got = DecodeG00(encode::EncodeG00Type1(small));
  ASSERT_EQ(got.result, 0);
  EXPECT_EQ(got.info.size(), 1078u);
  EXPECT_EQ(got.pixels, DibRows(small.indexes, 3, 2, 1));
  EXPECT_EQ(got.pixels.size(), 8u);
}

TEST(G00Decode, Type1StoredCountAbove256KeepsTheFirst256AndFindsTheIndexesAfterAll) {
  const IndexedImage image = MakeIndexed(6, 5, 300, 9);  // 300 entries stored
  const std::vector<uint8_t> table(image.palette.begin(), image.palette.begin() + 1024);
  const std::vector<uint8_t> want = DibRows(image.indexes, 6, 5, 1);
  ExpectDecoded(DecodeG00(encode::EncodeG00Type1(image, {}, 300)),
                InfoBlock(6, 5, 8, static_cast<uint32_t>(want.size()), table), want,
                kTypes01Progress);
  // The largest count: 65535 entries, indexes at 2 + 262140.
  IndexedImage huge = MakeIndexed(3, 3, 256, 4);
  huge.palette = PatternBytes(65535 * 4, 11);
  const DecodeOutcome got = DecodeG00(encode::EncodeG00Type1(huge, {}, 65535));
  ASSERT_EQ(got.result, 0);
  const std::vector<uint8_t> huge_table(huge.palette.begin(), huge.palette.begin() + 1024);
  EXPECT_EQ(got.info, InfoBlock(3, 3, 8, 12, huge_table));  // the last 14 bytes stay zero
  EXPECT_EQ(got.pixels, DibRows(huge.indexes, 3, 3, 1));
}

// Three parts of different widths; several blocks each, placed at offsets inside their part
// (origins not zero), overlapping (the later wins), reaching past the part, alpha 0, 255 and
// values between.
std::vector<G00Part> SeveralParts() {
  G00Part first{3, 5, 10, 4, {}};
  first.blocks.push_back(Block(3, 5, 6, 4, 1));     // at the part's corner
  first.blocks.push_back(Block(5, 6, 5, 3, 2));     // inside, overlapping the first block
  G00Part second{0, 0, 6, 3, {}};                   // narrower: columns 6 to 9 stay black
  second.blocks.push_back(Block(2, 1, 3, 2, 3));    // column 2 of the part's second row
  second.blocks.push_back(Block(0, 0, 2, 1, 4));
  G00Part third{100, 200, 17, 5, {}};               // the widest
  third.blocks.push_back(Block(100, 200, 17, 5, 5));
  third.blocks.push_back(Block(110, 203, 9, 4, 6));  // runs past the picture's bottom and right
  // Alpha 0 over coloured bytes, 255, and values between, in the first block of the first part.
  auto& alpha_block = first.blocks[0].pixels.bgra;
  alpha_block[3] = 0, alpha_block[7] = 255, alpha_block[11] = 128, alpha_block[15] = 1;
  alpha_block[0] = 200;
  return {first, second, third};
}

TEST(G00Decode, Type2StacksPartsAndFlattensAlpha) {
  const std::vector<G00Part> parts = SeveralParts();
  const g00_expected::Composed want = g00_expected::ComposeParts(parts);
  ASSERT_EQ(want.width, 17);
  ASSERT_EQ(want.height, 12);
  for (int block_size_options : {0, 1}) {
    encode::LzOptions options;
    options.literals_only = block_size_options == 1;
    ExpectDecoded(DecodeG00(encode::EncodeG00Type2(parts, 640, 480, options)),
                  InfoBlock(17, 12, 24, static_cast<uint32_t>(want.pixels.size())), want.pixels,
                  kType2Progress);
  }
}

TEST(G00Decode, Type2TwoPartsExample) {
  // 10 x 4 and 6 x 3 give 10 x 7 with stride 32; columns 6 to 9 of rows 4 to 6 are black.
  G00Part top{0, 0, 10, 4, {Block(0, 0, 10, 4, 1)}};
  G00Part bottom{0, 0, 6, 3, {Block(0, 0, 6, 3, 2)}};
  for (auto* part : {&top, &bottom}) {
    for (size_t i = 3; i < part->blocks[0].pixels.bgra.size(); i += 4) {
      part->blocks[0].pixels.bgra[i] = 255;
    }
  }
  const DecodeOutcome got = DecodeG00(encode::EncodeG00Type2({top, bottom}, 1, 1));
  ASSERT_EQ(got.result, 0);
  ASSERT_EQ(got.pixels.size(), 32u * 7);
  EXPECT_EQ(got.pixels, g00_expected::ComposeParts({top, bottom}).pixels);
  for (size_t memory_row = 0; memory_row < 3; ++memory_row) {  // picture rows 6, 5, 4
    for (size_t byte = 18; byte < 32; ++byte) EXPECT_EQ(got.pixels[memory_row * 32 + byte], 0);
  }
}

TEST(G00Decode, Type2SkipsEmptyEntries) {
  const std::vector<G00Part> parts = {G00Part{0, 0, 4, 2, {Block(0, 0, 4, 2, 7)}},
                                      G00Part{0, 0, 3, 3, {Block(0, 0, 3, 3, 8)}}};
  std::vector<uint8_t> directory = encode::BuildG00PartDirectory(parts);
  // Grow the table to four entries: an entry of offset 0 and one of length 0 in between.
  const uint32_t shift = 16;
  std::vector<uint8_t> grown(directory.size() + shift, 0);
  PutLe(&grown, 0, 4, 4);                                               // entry count 4
  const auto read32 = [&](size_t at) {
    return static_cast<uint32_t>(directory[at] | directory[at + 1] << 8 | directory[at + 2] << 16 |
                                 directory[at + 3] << 24);
  };
  PutLe(&grown, 4, read32(4) + shift, 4), PutLe(&grown, 8, read32(8), 4);     // part 0
  PutLe(&grown, 12, 0, 4), PutLe(&grown, 16, 500, 4);                         // offset 0
  PutLe(&grown, 20, read32(12) + shift, 4), PutLe(&grown, 24, 0, 4);          // length 0
  PutLe(&grown, 28, read32(12) + shift, 4), PutLe(&grown, 32, read32(16), 4);  // part 1
  std::copy(directory.begin() + 20, directory.end(), grown.begin() + 36);
  const g00_expected::Composed want = g00_expected::ComposeParts(parts);
  ExpectDecoded(DecodeG00(g00_expected::Type2File(grown, 9, 9)),
                InfoBlock(4, 5, 24, static_cast<uint32_t>(want.pixels.size())), want.pixels,
                kType2Progress);
}

TEST(G00Decode, AWholeImageInSquareBlocks) {
  encode::AlphaImage image{37, 21, PatternBytes(37 * 21 * 4, 3)};
  for (size_t i = 3; i < image.bgra.size(); i += 4) image.bgra[i] = static_cast<uint8_t>(i % 3 * 127);
  const DecodeOutcome got = DecodeG00(encode::EncodeG00Type2(image, 8));
  ASSERT_EQ(got.result, 0);
  std::vector<uint8_t> flat(37 * 21 * 3);
  for (size_t i = 0; i < 37 * 21; ++i) {
    for (size_t c = 0; c < 3; ++c) {
      flat[3 * i + c] = static_cast<uint8_t>((image.bgra[4 * i + c] * (image.bgra[4 * i + 3] + 1)) >> 8);
    }
  }
  EXPECT_EQ(got.pixels, DibRows(flat, 37, 21, 3));
}

struct CancelCase {
  const char* name;
  std::vector<uint8_t> file;
  bool pixels_allocated_before_middle_call;
};

std::vector<CancelCase> CancelCases() {
  return {{"type 0 in place", encode::EncodeG00Type0(MakeColour(8, 3, 1)), true},
          {"type 0 buffered", encode::EncodeG00Type0(MakeColour(5, 3, 1)), true},
          {"type 1", encode::EncodeG00Type1(MakeIndexed(5, 3, 4, 1)), false},
          {"type 2", encode::EncodeG00Type2(SeveralParts(), 1, 1), false}};
}

TEST(G00Decode, CancellationAtEachProgressCall) {
  for (const CancelCase& c : CancelCases()) {
    SCOPED_TRACE(c.name);
    const DecodeOutcome full = DecodeG00(c.file);
    ASSERT_EQ(full.result, 0);
    // At the first call: nothing allocated, no further call, the variables untouched.
    DecodeOutcome got = DecodeG00(c.file, {true, 1});
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(got.progress.size(), 1u);
    EXPECT_FALSE(got.info_set);
    EXPECT_FALSE(got.pixels_set);
    // After decompression: the blocks are freed and their variables null; the last call made.
    got = DecodeG00(c.file, {true, 2});
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(got.progress, full.progress);
    EXPECT_TRUE(got.info_set && got.info_null);
    if (c.pixels_allocated_before_middle_call) {
      EXPECT_TRUE(got.pixels_set && got.pixels_null);
    } else {
      EXPECT_FALSE(got.pixels_set);
    }
    // At the last call: 1, yet both blocks are the host's, complete.
    got = DecodeG00(c.file, {true, 3});
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(got.info, full.info);
    EXPECT_EQ(got.pixels, full.pixels);
    // Without a callback nothing is reported and the decode runs through.
    got = DecodeG00(c.file, {false, 0});
    EXPECT_EQ(got.result, 0);
    EXPECT_TRUE(got.progress.empty());
    EXPECT_EQ(got.pixels, full.pixels);
  }
}

// A refused header: result 2 after the first call, nothing allocated, variables untouched.
void ExpectRefusedHeader(const std::vector<uint8_t>& file, int32_t want_result = 2) {
  const DecodeOutcome got = DecodeG00(file);
  EXPECT_EQ(got.result, want_result);
  EXPECT_EQ(got.progress, (Progress{{0, 2}}));
  EXPECT_FALSE(got.info_set);
  EXPECT_FALSE(got.pixels_set);
}

TEST(G00Decode, RefusesHeadersThatDisagreeWithTheData) {
  const std::vector<uint8_t> stream = {0x01, 1, 2, 3};
  SCOPED_TRACE("compressed size below 8");
  ExpectRefusedHeader(Type0Raw(1, 1, stream, 7));
  SCOPED_TRACE("stream one byte past the data");
  ExpectRefusedHeader(Type0Raw(1, 1, stream, 8 + 5));
  SCOPED_TRACE("compressed size 0xFFFFFFFF");
  ExpectRefusedHeader(Type0Raw(1, 1, stream, 0xFFFFFFFF));
  SCOPED_TRACE("zero width, zero height");
  ExpectRefusedHeader(Type0Raw(0, 1, stream));
  ExpectRefusedHeader(Type0Raw(1, 0, stream));
  std::vector<uint8_t> type1 = encode::EncodeG00Type1(MakeIndexed(2, 2, 2, 1));
  PutLe(&type1, 1, 0, 2);                                     // width 0
  ExpectRefusedHeader(type1);
  SCOPED_TRACE("truncated header");
  ExpectRefusedHeader({0, 1, 0, 1, 0, 9, 0, 0, 0, 0, 0, 0});  // 12 of the 13 bytes
  ExpectRefusedHeader({2, 1, 0, 1, 0, 0, 0, 0});              // no region count
  SCOPED_TRACE("region table past the data");
  std::vector<uint8_t> type2 = encode::EncodeG00Type2(SeveralParts(), 1, 1);
  PutLe(&type2, 5, 0x0AAAAAAB, 4);                            // 24 N wraps 32 bits to 8
  ExpectRefusedHeader(type2);
  PutLe(&type2, 5, 4, 4);                                     // 3 regions stored, 4 claimed
  ExpectRefusedHeader(type2);
}

TEST(G00Decode, RefusesSizesBeyondTheLargestBlockWithoutAllocating) {
  const std::vector<uint8_t> stream = {0x01, 1, 2, 3};
  ExpectRefusedHeader(Type0Raw(65535, 65535, stream), 4);  // 196608 x 65535 bytes
  std::vector<uint8_t> type1 = encode::EncodeG00Type1(MakeIndexed(2, 2, 2, 1));
  PutLe(&type1, 9, 0x80000000u, 4);                        // work buffer 2^31
  ExpectRefusedHeader(type1, 4);
  PutLe(&type1, 9, 100, 4);
  PutLe(&type1, 1, 65535, 2), PutLe(&type1, 3, 65535, 2);  // pixel block 65536 x 65535
  ExpectRefusedHeader(type1, 4);
  std::vector<uint8_t> type2 = encode::EncodeG00Type2(SeveralParts(), 1, 1);
  PutLe(&type2, 9 + 3 * 24 + 4, 0xFFFFFFFFu, 4);           // work buffer 2^32 - 1
  ExpectRefusedHeader(type2, 4);
}

// A failure after the information block: 2 or 4, the last call made, the information
// variable null, the pixel variable as the case says.
void ExpectLateFailure(const std::vector<uint8_t>& file, int32_t want_result,
                       const Progress& progress, bool pixels_written) {
  const DecodeOutcome got = DecodeG00(file);
  EXPECT_EQ(got.result, want_result);
  EXPECT_EQ(got.progress, progress);
  EXPECT_TRUE(got.info_set && got.info_null);
  EXPECT_EQ(got.pixels_set, pixels_written);
  if (pixels_written) {
    EXPECT_TRUE(got.pixels_null);
  }
}

TEST(G00Decode, Type1IndexesThatDoNotFitAreRefused) {
  const IndexedImage image = MakeIndexed(4, 4, 3, 2);
  std::vector<uint8_t> file = encode::EncodeG00Type1(image);
  PutLe(&file, 9, 2 + 3 * 4 + 16 - 1, 4);  // work buffer one byte short of the last index
  ExpectLateFailure(file, 2, kTypes01Progress, false);
  PutLe(&file, 9, 1, 4);                   // not even the palette count fits
  ExpectLateFailure(file, 2, kTypes01Progress, false);
  PutLe(&file, 9, 0, 4);
  ExpectLateFailure(file, 2, kTypes01Progress, false);
  // A stored count whose palette runs past the buffer: 0xFFFF entries claimed, 3 stored.
  std::vector<uint8_t> data = {0xFF, 0xFF};
  data.resize(2 + 12 + 16, 1);
  std::vector<uint8_t> stream = encode::EncodeLz(encode::LzVariant::kG00Bytes, data.data(), data.size());
  std::vector<uint8_t> raw = Type0Raw(4, 4, stream);
  raw[0] = 1;                               // type 1
  PutLe(&raw, 9, static_cast<uint32_t>(data.size()), 4);
  ExpectLateFailure(raw, 2, kTypes01Progress, false);
}

TEST(G00Decode, Type2EmptyOrTooLargePictureGivesOutOfMemoryWithTheVariableNull) {
  std::vector<uint8_t> directory(12, 0);
  PutLe(&directory, 0, 1, 4);    // one entry
  PutLe(&directory, 4, 12, 4);   // part offset 12
  PutLe(&directory, 8, 0, 4);    // length 0: empty
  ExpectLateFailure(g00_expected::Type2File(directory, 5, 5), 4, kType2Progress, true);
  // No entry at all, and a work buffer too small for the count.
  ExpectLateFailure(g00_expected::Type2File({0, 0, 0, 0}, 5, 5), 4, kType2Progress, true);
  ExpectLateFailure(g00_expected::Type2File({7, 0}, 5, 5), 4, kType2Progress, true);
  // One part of width 2^31 - 1: its stride alone is past the largest block.
  std::vector<uint8_t> wide = encode::BuildG00PartDirectory({G00Part{0, 0, 0x7FFFFFFF, 1, {}}});
  ExpectLateFailure(g00_expected::Type2File(wide, 5, 5), 4, kType2Progress, true);
  // Parts of zero width only.
  std::vector<uint8_t> flat = encode::BuildG00PartDirectory({G00Part{0, 0, 0, 9, {}}});
  ExpectLateFailure(g00_expected::Type2File(flat, 5, 5), 4, kType2Progress, true);
}

TEST(G00Decode, StreamDamageDoesNotChangeTheResult) {
  // The stream cut in half decodes what it holds; the rest of the image is black.
  const ColourImage image = MakeColour(6, 4, 8);
  encode::LzOptions literals;
  literals.literals_only = true;
  std::vector<uint8_t> file = encode::EncodeG00Type0(image, literals);
  const size_t cut = (file.size() - 13) / 2;
  file.resize(13 + cut);
  PutLe(&file, 5, static_cast<uint32_t>(cut + 8), 4);
  const DecodeOutcome got = DecodeG00(file);
  ASSERT_EQ(got.result, 0);
  EXPECT_EQ(got.pixels.size(), Stride(6, 3) * 4);
  // A back-reference before the output's start in a type-1 stream: zero bytes, result 0.
  const std::vector<uint8_t> bad_reference = {0x00, 0xF0, 0xFF};  // flags: item 1 a reference
  std::vector<uint8_t> type1 = Type0Raw(2, 2, bad_reference);
  type1[0] = 1;
  PutLe(&type1, 9, 2 + 4, 4);   // count 0, four indexes
  const DecodeOutcome zeros = DecodeG00(type1);
  ASSERT_EQ(zeros.result, 0);
  EXPECT_EQ(zeros.pixels, std::vector<uint8_t>(8, 0));
}

TEST(G00Decode, MemoryInputIsNeverG00) {
  EXPECT_EQ(DecodeMemory(encode::EncodeG00Type0(MakeColour(4, 3, 1))).result, 2);
  const std::vector<uint8_t> file = encode::EncodeG00Type1(MakeIndexed(4, 3, 2, 1));
  PictureInfoRecord record{};
  EXPECT_EQ(LoadedPlugin::Get().get_picture_info(reinterpret_cast<const char*>(file.data()),
                                                 static_cast<int32_t>(file.size()), 1, &record),
            2);
}

TEST(G00Info, ReportsTheHeadersSizeAndDepthForEveryType) {
  struct Case { std::vector<uint8_t> file; int32_t width, height; int16_t depth; };
  const Case cases[] = {
      {encode::EncodeG00Type0(MakeColour(5, 3, 1)), 5, 3, 24},
      {encode::EncodeG00Type1(MakeIndexed(7, 2, 2, 1)), 7, 2, 8},
      // Type 2: the header says 640 x 480 while the parts compose 17 x 12.
      {encode::EncodeG00Type2(SeveralParts(), 640, 480), 640, 480, 24},
      // Only the five header bytes count: a header alone is enough.
      {{1, 0xFF, 0xFF, 0x34, 0x12}, 65535, 0x1234, 8},
  };
  for (const Case& c : cases) {
    PictureInfoRecord record;
    std::memset(&record, 0x5A, sizeof record);
    const std::string path = WriteTempFile("info.G00", c.file);
    ASSERT_EQ(LoadedPlugin::Get().get_picture_info(path.c_str(), 0, 0, &record), 0);
    EXPECT_EQ(record.left, 0);
    EXPECT_EQ(record.top, 0);
    EXPECT_EQ(record.width, c.width);
    EXPECT_EQ(record.height, c.height);
    EXPECT_EQ(record.x_density, 0);
    EXPECT_EQ(record.y_density, 0);
    EXPECT_EQ(record.colour_depth, c.depth);
    EXPECT_EQ(uint32_t{record.text_handle}, 0u);
  }
  // The image may start inside the file.
  std::vector<uint8_t> inside(100, 0xEE);
  const std::vector<uint8_t> type1 = encode::EncodeG00Type1(MakeIndexed(9, 4, 2, 1));
  inside.insert(inside.end(), type1.begin(), type1.end());
  const std::string path = WriteTempFile("inside.g00", inside);
  PictureInfoRecord record{};
  ASSERT_EQ(LoadedPlugin::Get().get_picture_info(path.c_str(), 100, 0, &record), 0);
  EXPECT_EQ(record.width, 9);
  EXPECT_EQ(record.colour_depth, 8);
  EXPECT_EQ(DecodeFile(path, 100).result, 0);
}

TEST(G00Info, TypeThreeIsNotG00) {
  PictureInfoRecord record;
  std::memset(&record, 0x5A, sizeof record);
  const PictureInfoRecord before = record;
  const std::string path = WriteTempFile("three.g00", {3, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(LoadedPlugin::Get().get_picture_info(path.c_str(), 0, 0, &record), 2);
  EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
  const DecodeOutcome got = DecodeFile(path);
  EXPECT_EQ(got.result, 2);
  EXPECT_TRUE(got.progress.empty());
  EXPECT_FALSE(got.info_set || got.pixels_set);
}

}  // namespace
