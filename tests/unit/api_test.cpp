// SPDX-License-Identifier: MIT
// The public C API on pictures of every mode made by our encoders: what is stored comes back
// exactly (colour under alpha 0 included), type-2 parts are placed as the exports place
// them, and wrong arguments are answered, never followed. Runs in the 32-bit cross build too.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "brask/brask.h"
#include "tests/support/api_picture.h"
#include "tests/support/g00_expected.h"
#include "tests/support/sample_images.h"
#include "tests/support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using encode::G00Part;
using g00_expected::Block;
using api_picture::DecodeRgba;
using api_picture::kCanary;
using api_picture::Open;
using api_picture::Opened;

Bytes RgbaOf(const encode::AlphaImage& image) {
  Bytes rgba(image.bgra.size());
  for (size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = image.bgra[i + 2], rgba[i + 1] = image.bgra[i + 1];
    rgba[i + 2] = image.bgra[i], rgba[i + 3] = image.bgra[i + 3];
  }
  return rgba;
}

Bytes RgbaOf(const encode::ColourImage& image) {
  Bytes rgba;
  for (size_t i = 0; i < image.bgr.size(); i += 3) {
    rgba.insert(rgba.end(), {image.bgr[i + 2], image.bgr[i + 1], image.bgr[i], 255});
  }
  return rgba;
}

Bytes RgbaOf(const encode::IndexedImage& image) {
  Bytes rgba;
  for (const uint8_t index : image.indexes) {
    const uint8_t* entry = &image.palette[4 * size_t{index}];
    rgba.insert(rgba.end(), {entry[2], entry[1], entry[0], 255});
  }
  return rgba;
}

TEST(BraskApi, GivesWhatIsStoredInEveryMode) {
  // Odd sizes, so rows are never a multiple of any word; the alpha pictures hold alpha 0 over
  // colours that are not black.
  const encode::ColourImage colour = MakeColourImage(13, 7, 1);
  const encode::AlphaImage alpha = MakeAlphaImage(13, 7, 2);
  const encode::IndexedImage indexed = MakeIndexedImage(13, 7, 40, 3);
  struct Case {
    const char* name;
    Bytes file;
    brask_mode mode;
    bool alpha;
    uint32_t palette;
    Bytes rgba;
  };
  const Case cases[] = {
      {"x.g00", encode::EncodeG00Type0(colour), BRASK_MODE_G00_TYPE0, false, 0, RgbaOf(colour)},
      {"x.g00", encode::EncodeG00Type1(indexed), BRASK_MODE_G00_TYPE1, false, 40, RgbaOf(indexed)},
      {"x.g00", encode::EncodeG00Type2(alpha, 4), BRASK_MODE_G00_TYPE2, true, 0, RgbaOf(alpha)},
      {nullptr, encode::EncodePdt10(colour), BRASK_MODE_PDT10, false, 0, RgbaOf(colour)},
      {nullptr, encode::EncodePdt10Masked(alpha), BRASK_MODE_PDT10_MASKED, true, 0, RgbaOf(alpha)},
      {"x.pdt", encode::EncodePdt11(indexed), BRASK_MODE_PDT11, false, 256, RgbaOf(indexed)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Opened opened;
    Open(c.file, c.name, &opened);
    ASSERT_EQ(opened.result, BRASK_OK);
    EXPECT_EQ(opened.info.format, c.mode <= BRASK_MODE_G00_TYPE2 ? BRASK_FORMAT_G00 : BRASK_FORMAT_PDT);
    EXPECT_EQ(opened.info.mode, uint32_t{c.mode});
    EXPECT_EQ(opened.info.width, 13u);
    EXPECT_EQ(opened.info.height, 7u);
    EXPECT_EQ(opened.info.has_alpha, c.alpha ? 1u : 0u);
    EXPECT_EQ(opened.info.palette_size, c.palette);
    EXPECT_EQ(opened.info.part_count, c.mode == BRASK_MODE_G00_TYPE2 ? 1u : 0u);
    EXPECT_EQ(DecodeRgba(opened.picture, opened.info, 5), c.rgba);

    Bytes indexes(13 * 7), palette(3 * 256);
    const brask_result got = brask_decode_indexed(opened.picture, indexes.data(), indexes.size(),
                                                  13, palette.data(), palette.size());
    if (c.palette == 0) {
      EXPECT_EQ(got, BRASK_NOT_INDEXED);
      continue;
    }
    ASSERT_EQ(got, BRASK_OK);
    EXPECT_EQ(indexes, indexed.indexes);
    Bytes stored_palette = indexed.palette;  // PDT11 pads it with zero entries to 256
    stored_palette.resize(4 * 256, 0);
    for (size_t i = 0; i < c.palette; ++i) {
      const uint8_t* want = &stored_palette[4 * i];
      EXPECT_EQ(Bytes(&palette[3 * i], &palette[3 * i + 3]), (Bytes{want[2], want[1], want[0]}))
          << "entry " << i;
    }
  }
}

TEST(BraskApi, IndexesBeyondTheStoredPaletteAreOpaqueBlack) {
  encode::IndexedImage image = MakeIndexedImage(4, 1, 2, 4);
  image.indexes = {0, 1, 2, 255};
  Opened opened;
  Open(encode::EncodeG00Type1(image), "x.g00", &opened);
  ASSERT_EQ(opened.result, BRASK_OK);
  ASSERT_EQ(opened.info.palette_size, 2u);
  const Bytes rgba = DecodeRgba(opened.picture, opened.info);
  EXPECT_EQ(Bytes(rgba.begin() + 8, rgba.end()), (Bytes{0, 0, 0, 255, 0, 0, 0, 255}));
}

// Parts as the exports stack them: flattening the API's RGBA onto black gives the exports'
// picture, every pixel no block covers is (0, 0, 0, 0), and a later block is copied over an
// earlier one, not blended.
TEST(BraskApi, ComposesTypeTwoPartsAndGivesEachOnItsOwn) {
  G00Part wide{0, 0, 6, 3, {Block(0, 0, 4, 2, 1), Block(2, 1, 4, 3, 2)}};  // the second runs out
  wide.blocks[1].pixels.bgra[3] = 128;  // over the first block: copied with its alpha
  const G00Part narrow{5, 5, -2, 2, {Block(6, 5, 9, 1, 3)}};              // widens nothing
  const G00Part skipped{0, 0, 3, -1, {Block(0, 0, 1, 1, 4)}};             // negative height
  G00Part last{1, 1, 3, 2, {Block(2, 2, 1, 1, 5)}};
  Bytes directory = encode::BuildG00PartDirectory({wide, narrow, skipped, last});
  Opened opened;
  Open(g00_expected::Type2File(directory, 1, 1), "x.G00", &opened);
  ASSERT_EQ(opened.result, BRASK_OK);
  ASSERT_EQ(opened.info.width, 6u);
  ASSERT_EQ(opened.info.height, 7u);
  ASSERT_EQ(opened.info.part_count, 3u);
  const uint32_t want_index[] = {0, 1, 3}, want_top[] = {0, 3, 5};
  for (uint32_t n = 0; n < 3; ++n) {
    brask_part part;
    ASSERT_EQ(brask_get_part(opened.picture, n, &part), BRASK_OK);
    EXPECT_EQ(part.index, want_index[n]);
    EXPECT_EQ(part.top, want_top[n]);
  }
  brask_part part;
  EXPECT_EQ(brask_get_part(opened.picture, 3, &part), BRASK_NO_SUCH_PART);

  const Bytes rgba = DecodeRgba(opened.picture, opened.info, 3);
  const g00_expected::Composed flat = g00_expected::ComposeParts({wide, narrow, last});
  const size_t stride = g00_expected::Stride(6, 3);
  for (size_t y = 0; y < 7; ++y) {
    for (size_t x = 0; x < 6; ++x) {
      const uint8_t* have = &rgba[4 * (y * 6 + x)];
      const uint8_t* want = &flat.pixels[(6 - y) * stride + 3 * x];  // blue, green, red
      for (size_t c = 0; c < 3; ++c) {
        ASSERT_EQ((have[2 - c] * (have[3] + 1)) >> 8, want[c]) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(Bytes(rgba.begin() + 4 * (2 * 6 + 0), rgba.begin() + 4 * (2 * 6 + 2)), Bytes(8, 0));
  const uint8_t* over = &wide.blocks[1].pixels.bgra[0];
  EXPECT_EQ(Bytes(rgba.begin() + 4 * (1 * 6 + 2), rgba.begin() + 4 * (1 * 6 + 3)),
            (Bytes{over[2], over[1], over[0], 128}));

  // Part 2 (entry 3) on its own: 3 x 2, its one block at (1, 1) of it.
  Bytes own(3 * 2 * 4, kCanary);
  ASSERT_EQ(brask_decode_part_rgba(opened.picture, 2, own.data(), own.size(), 12), BRASK_OK);
  const uint8_t* p = &last.blocks[0].pixels.bgra[0];
  Bytes want(24, 0);
  std::memcpy(&want[4 * (1 * 3 + 1)], (Bytes{p[2], p[1], p[0], p[3]}).data(), 4);
  EXPECT_EQ(own, want);
  // Part 0: the second block is clipped to the part's 6 x 3.
  own.assign(6 * 3 * 4, kCanary);
  ASSERT_EQ(brask_decode_part_rgba(opened.picture, 0, own.data(), own.size(), 24), BRASK_OK);
  EXPECT_EQ(Bytes(own.begin(), own.begin() + 24), Bytes(rgba.begin(), rgba.begin() + 24));
  EXPECT_EQ(Bytes(own.begin() + 48, own.end()), Bytes(rgba.begin() + 48, rgba.begin() + 72));
  // The narrow part has no picture of its own: nothing is written.
  EXPECT_EQ(brask_decode_part_rgba(opened.picture, 1, nullptr, 0, 0), BRASK_OK);
}

TEST(BraskApi, AnswersWrongArgumentsWithoutWriting) {
  Opened opened;
  Open(encode::EncodePdt10(MakeColourImage(3, 2, 6)), nullptr, &opened);
  ASSERT_EQ(opened.result, BRASK_OK);
  Bytes buffer(64, kCanary);
  EXPECT_EQ(brask_decode_rgba(opened.picture, nullptr, 64, 12), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(brask_decode_rgba(opened.picture, buffer.data(), 64, 11), BRASK_INVALID_ARGUMENT);
  // Two rows 20 bytes apart need 20 + 12 bytes; the last row needs no gap after it.
  EXPECT_EQ(brask_decode_rgba(opened.picture, buffer.data(), 31, 20), BRASK_BUFFER_TOO_SMALL);
  EXPECT_EQ(brask_decode_rgba(opened.picture, buffer.data(), 32, SIZE_MAX), BRASK_BUFFER_TOO_SMALL);
  EXPECT_EQ(buffer, Bytes(64, kCanary));
  EXPECT_EQ(brask_decode_rgba(opened.picture, buffer.data(), 32, 20), BRASK_OK);
  EXPECT_EQ(brask_decode_part_rgba(opened.picture, 0, buffer.data(), 64, 12), BRASK_NO_SUCH_PART);
  EXPECT_EQ(brask_decode_rgba(nullptr, buffer.data(), 64, 12), BRASK_INVALID_ARGUMENT);

  brask_picture* none = reinterpret_cast<brask_picture*>(&buffer);
  EXPECT_EQ(brask_open_memory(nullptr, 5, nullptr, 0, &none), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(brask_open_memory("PDT1", 4, nullptr, 0, &none), BRASK_DAMAGED);  // cut short
  EXPECT_EQ(brask_open_path("/nonexistent/x.pdt", 0, &none), BRASK_FILE_ERROR);
  for (int r = BRASK_OK; r <= BRASK_NOT_INDEXED + 1; ++r) {
    EXPECT_NE(brask_result_text(static_cast<brask_result>(r)), nullptr);
  }
  EXPECT_STREQ(brask_result_text(BRASK_OUT_OF_MEMORY), "out of memory");
}

// G00 is known by its name only, from a path as from memory; PDT by its signature.
TEST(BraskApi, RecognisesAsTheExportsDo) {
  const Bytes g00 = encode::EncodeG00Type0(MakeColourImage(3, 3, 7));
  const Bytes pdt = encode::EncodePdt10(MakeColourImage(3, 3, 8));
  EXPECT_EQ(brask_recognise(g00.data(), g00.size(), "a.G00"), uint32_t{BRASK_FORMAT_G00});
  EXPECT_EQ(brask_recognise(g00.data(), g00.size(), "a.pdt"), 0u);
  EXPECT_EQ(brask_recognise(g00.data(), g00.size(), ".g00"), 0u);  // a name is more than its ending
  EXPECT_EQ(brask_recognise(pdt.data(), pdt.size(), nullptr), uint32_t{BRASK_FORMAT_PDT});
  EXPECT_EQ(brask_recognise(pdt.data(), 4, nullptr), 0u);

  Opened from_memory;
  Open(g00, "x.g00", &from_memory);
  ASSERT_EQ(from_memory.result, BRASK_OK);
  brask_picture* from_path = nullptr;
  ASSERT_EQ(brask_open_path(WriteTempFile("api.g00", g00).c_str(), 0, &from_path), BRASK_OK);
  EXPECT_EQ(DecodeRgba(from_path, from_memory.info), DecodeRgba(from_memory.picture, from_memory.info));
  brask_close(from_path);
  ASSERT_EQ(brask_open_path(WriteTempFile("api.bin", g00).c_str(), 0, &from_path), BRASK_NOT_SUPPORTED);
  EXPECT_EQ(from_path, nullptr);
}

}  // namespace
