// SPDX-License-Identifier: MIT
// The API's encoders: what they write is read back exactly both by the plain file reader
// (bench/plain_files.h, apart from our decoders) and by our own API, in every mode and at
// several levels; and every bad argument answers a result.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/plain_files.h"
#include "brask/brask.h"
#include "tests/support/api_picture.h"

namespace {

using api_picture::Bytes;
using api_picture::Opened;

constexpr uint32_t kModes[] = {BRASK_MODE_G00_TYPE0,       BRASK_MODE_G00_TYPE1,
                               BRASK_MODE_G00_TYPE2,       BRASK_MODE_PDT10,
                               BRASK_MODE_PDT10_MASKED,    BRASK_MODE_PDT11};

bool IsG00(uint32_t mode) { return mode <= BRASK_MODE_G00_TYPE2; }
bool KeepsAlpha(uint32_t mode) {
  return mode == BRASK_MODE_G00_TYPE2 || mode == BRASK_MODE_PDT10_MASKED;
}
bool IsIndexed(uint32_t mode) { return mode == BRASK_MODE_G00_TYPE1 || mode == BRASK_MODE_PDT11; }

// A file handed back by an encoder, freed through the API.
struct Encoded {
  brask_result result = BRASK_INVALID_ARGUMENT;
  Bytes file;
};

Encoded Take(brask_result result, uint8_t* out, size_t size) {
  Encoded e{result, {}};
  if (result == BRASK_OK) {
    EXPECT_NE(out, nullptr);
    e.file.assign(out, out + size);
  } else {
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(size, 0u);
  }
  brask_free(out);
  return e;
}

Encoded EncodeRgba(uint32_t mode, const Bytes& rgba, uint32_t w, uint32_t h, int level,
                   size_t stride = 0, uint32_t drop_alpha = 0) {
  const brask_encode_options options{level, drop_alpha};
  uint8_t* out = reinterpret_cast<uint8_t*>(1);  // must be reset on failure
  size_t size = 1;
  const brask_result r = brask_encode_rgba(mode, rgba.data(), w, h, stride ? stride : w * 4,
                                           &options, &out, &size);
  return Take(r, out, size);
}

// Random pictures with flat runs, repeats and noise, so every kind of item appears. The
// colours come from `colours` entries; alpha (when wanted) is 0 over colour in places.
Bytes MakeRgba(uint32_t w, uint32_t h, uint32_t seed, uint32_t colours, bool alpha) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> palette(colours);
  for (uint32_t& c : palette) c = static_cast<uint32_t>(rng()) | (alpha ? 0 : 0xFF000000u);
  Bytes rgba;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t c;
      const uint32_t kind = (x / 7 + y / 3 + seed) % 4;
      if (kind == 0 && !rgba.empty()) {  // a run of the last colour
        std::memcpy(&c, &rgba[rgba.size() - 4], 4);
      } else if (kind == 1 && y > 0) {  // the pixel above
        std::memcpy(&c, &rgba[rgba.size() - size_t{w} * 4], 4);
      } else {
        c = palette[rng() % colours];
      }
      rgba.insert(rgba.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)});
    }
  }
  return rgba;
}

plain::Picture ReadPlainly(uint32_t mode, const Bytes& file) {
  return IsG00(mode) ? plain::ReadG00(file) : plain::ReadPdt(file);
}

// The plain reader's pixels as RGBA, to compare with the input.
Bytes PlainRgba(uint32_t mode, const plain::Picture& p) {
  Bytes rgba;
  if (mode == BRASK_MODE_G00_TYPE2) {
    for (size_t i = 0; i < p.composed.size(); i += 4) {
      rgba.insert(rgba.end(), {p.composed[i + 2], p.composed[i + 1], p.composed[i], p.composed[i + 3]});
    }
    return rgba;
  }
  const size_t pixels = size_t{p.width} * p.height;
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* c = IsIndexed(mode) ? &p.palette[4 * size_t{p.indexes[i]}] : &p.bgr[3 * i];
    const uint8_t a = p.alpha.empty() ? 255 : p.alpha[i];
    rgba.insert(rgba.end(), {c[2], c[1], c[0], a});
  }
  return rgba;
}

TEST(EncodeApi, EveryModeAndLevelIsReadBackExactlyByThePlainReaderAndOurs) {
  struct Size {
    uint32_t w, h;
  };
  // 8 x 1 of distinct colours: eight literals, so the PDT flag group is full at the end.
  for (const Size size : {Size{1, 1}, Size{8, 1}, Size{37, 23}, Size{130, 70}}) {
    for (uint32_t mode : kModes) {
      for (int level : {0, 4, 9}) {
        SCOPED_TRACE("mode " + std::to_string(mode) + ", level " + std::to_string(level) + ", " +
                     std::to_string(size.w) + " x " + std::to_string(size.h));
        Bytes rgba = MakeRgba(size.w, size.h, size.w + mode, IsIndexed(mode) ? 200 : 5000,
                              KeepsAlpha(mode));
        if (size.w == 8) {  // eight different pixels: eight literals
          for (uint8_t x = 0; x < 8; ++x) {
            const uint8_t pixel[4] = {x, uint8_t(x * 3), 7, uint8_t(KeepsAlpha(mode) ? x * 9 : 255)};
            std::memcpy(&rgba[4 * size_t{x}], pixel, 4);
          }
        }
        const Encoded e = EncodeRgba(mode, rgba, size.w, size.h, level);
        ASSERT_EQ(e.result, BRASK_OK);
        const plain::Picture p = ReadPlainly(mode, e.file);
        ASSERT_EQ(p.error, "");
        EXPECT_EQ(PlainRgba(mode, p), rgba);
        Opened opened;
        api_picture::Open(e.file, IsG00(mode) ? "x.g00" : "x.pdt", &opened);
        ASSERT_EQ(opened.result, BRASK_OK);
        EXPECT_EQ(opened.info.mode, mode);
        EXPECT_EQ(api_picture::DecodeRgba(opened.picture, opened.info), rgba);
      }
    }
  }
}

TEST(EncodeApi, IndexesAndPaletteComeBackAsGiven) {
  const uint32_t w = 61, h = 17;
  std::mt19937 rng(5);
  Bytes indexes(size_t{w + 3} * h);  // rows 3 bytes apart beyond the picture
  for (uint8_t& i : indexes) i = static_cast<uint8_t>(rng() % 40 < 30 ? 3 : rng() % 48);
  Bytes palette(40 * 3);  // 40 entries: indexes 40..47 lie beyond it and are kept as given
  for (uint8_t& c : palette) c = static_cast<uint8_t>(rng());
  for (uint32_t mode : {BRASK_MODE_G00_TYPE1, BRASK_MODE_PDT11}) {
    uint8_t* out = nullptr;
    size_t size = 0;
    const brask_result r = brask_encode_indexed(mode, indexes.data(), w, h, w + 3, palette.data(),
                                                40, nullptr, &out, &size);
    const Encoded e = Take(r, out, size);
    ASSERT_EQ(e.result, BRASK_OK);
    const plain::Picture p = ReadPlainly(mode, e.file);
    ASSERT_EQ(p.error, "");
    for (uint32_t y = 0; y < h; ++y) {
      ASSERT_EQ(0, std::memcmp(&p.indexes[size_t{y} * w], &indexes[size_t{y} * (w + 3)], w));
    }
    for (size_t i = 0; i < 40; ++i) {
      EXPECT_EQ(p.palette[4 * i], palette[3 * i + 2]);
      EXPECT_EQ(p.palette[4 * i + 2], palette[3 * i]);
    }
    Opened opened;
    api_picture::Open(e.file, mode == BRASK_MODE_G00_TYPE1 ? "x.g00" : "x.pdt", &opened);
    ASSERT_EQ(opened.result, BRASK_OK);
    Bytes got(size_t{w} * h), got_palette(256 * 3);
    ASSERT_EQ(brask_decode_indexed(opened.picture, got.data(), got.size(), w, got_palette.data(),
                                   got_palette.size()),
              BRASK_OK);
    EXPECT_EQ(0, std::memcmp(got_palette.data(), palette.data(), palette.size()));
    for (uint32_t y = 0; y < h; ++y) {
      ASSERT_EQ(0, std::memcmp(&got[size_t{y} * w], &indexes[size_t{y} * (w + 3)], w));
    }
  }
}

// Parts with gaps in the directory, origins, a part without a picture, and blocks whose
// alpha is 0 over colour: each part, and the picture they compose, comes back exactly.
TEST(EncodeApi, TypeTwoPartsComeBackAtTheirPlacesWithColourUnderAlphaZero) {
  const Bytes a = MakeRgba(70, 20, 1, 300, true);
  Bytes b = MakeRgba(30, 9, 2, 300, true);
  for (size_t i = 3; i < b.size(); i += 4) b[i] = 0;  // wholly transparent, colour kept
  const Bytes c(5 * 4 * 4, 0);                         // wholly (0, 0, 0, 0)
  const brask_encode_part parts[] = {
      {2, 70, 20, 100, 7, a.data(), 70 * 4},
      {3, 0, 4, 0, 0, nullptr, 0},  // no picture of its own, still 4 rows of the stack
      {7, 30, 9, 65535 - 29, 65535 - 8, b.data(), 30 * 4},
      {8, 5, 4, 0, 0, c.data(), 5 * 4},
  };
  for (int level : {0, 9}) {
    const brask_encode_options options{level, 0};
    uint8_t* out = nullptr;
    size_t size = 0;
    const brask_result r = brask_encode_g00_parts(parts, 4, &options, &out, &size);
    const Encoded e = Take(r, out, size);
    ASSERT_EQ(e.result, BRASK_OK);
    const plain::Picture p = plain::ReadG00(e.file);
    ASSERT_EQ(p.error, "");
    ASSERT_EQ(p.parts.size(), 4u);
    EXPECT_EQ(p.composed_width, 70u);
    EXPECT_EQ(p.composed_height, 20u + 4 + 9 + 4);
    Opened opened;
    api_picture::Open(e.file, "x.g00", &opened);
    ASSERT_EQ(opened.result, BRASK_OK);
    ASSERT_EQ(opened.info.part_count, 4u);
    for (uint32_t n = 0; n < 4; ++n) {
      const brask_encode_part& want = parts[n];
      SCOPED_TRACE("part " + std::to_string(n));
      EXPECT_EQ(p.parts[n].index, want.index);
      EXPECT_EQ(p.parts[n].origin_x, want.origin_x);
      EXPECT_EQ(p.parts[n].origin_y, want.origin_y);
      brask_part got{};
      ASSERT_EQ(brask_get_part(opened.picture, n, &got), BRASK_OK);
      EXPECT_EQ(got.index, want.index);
      EXPECT_EQ(got.width, want.width);
      EXPECT_EQ(got.height, want.height);
      EXPECT_EQ(got.origin_x, want.origin_x);
      EXPECT_EQ(got.origin_y, want.origin_y);
      if (want.width < 1) continue;
      const Bytes wanted(want.rgba, want.rgba + size_t(want.width) * size_t(want.height) * 4);
      Bytes rgba(wanted.size());
      ASSERT_EQ(brask_decode_part_rgba(opened.picture, n, rgba.data(), rgba.size(),
                                       size_t(want.width) * 4),
                BRASK_OK);
      EXPECT_EQ(rgba, wanted);
      Bytes plain_rgba;
      for (size_t i = 0; i < p.parts[n].bgra.size(); i += 4) {
        const uint8_t* q = &p.parts[n].bgra[i];
        plain_rgba.insert(plain_rgba.end(), {q[2], q[1], q[0], q[3]});
      }
      EXPECT_EQ(plain_rgba, wanted);
    }
  }
}

TEST(EncodeApi, BadArgumentsAnswerResults) {
  const Bytes rgba = MakeRgba(4, 4, 3, 3, false);
  Bytes translucent = rgba;
  translucent[7] = 254;
  auto rgba_result = [&](uint32_t mode, const uint8_t* pixels, uint32_t w, uint32_t h,
                         size_t stride, const brask_encode_options* options) {
    uint8_t* out = reinterpret_cast<uint8_t*>(1);
    size_t size = 1;
    const brask_result r = brask_encode_rgba(mode, pixels, w, h, stride, options, &out, &size);
    return Take(r, out, size).result;
  };
  const brask_encode_options level10{10, 0}, drop{BRASK_ENCODE_DEFAULT_LEVEL, 1};
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT10, nullptr, 4, 4, 16, nullptr), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT10, rgba.data(), 0, 4, 16, nullptr), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT10, rgba.data(), 4, 0, 16, nullptr), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT10, rgba.data(), 4, 4, 15, nullptr), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(rgba_result(0, rgba.data(), 4, 4, 16, nullptr), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(rgba_result(7, rgba.data(), 4, 4, 16, nullptr), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT10, rgba.data(), 4, 4, 16, &level10), BRASK_INVALID_ARGUMENT);
  // Rows whose extent overflows: no buffer can be that large.
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT10, rgba.data(), 4, 0x7FFFFFFFu, SIZE_MAX / 2, nullptr),
            BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT10, rgba.data(), 0xFFFFFFFFu, 1, SIZE_MAX, nullptr),
            BRASK_TOO_LARGE);
  // G00 sizes are 16-bit: refused before anything is read.
  EXPECT_EQ(rgba_result(BRASK_MODE_G00_TYPE0, rgba.data(), 65536, 1, 65536 * 4, nullptr),
            BRASK_TOO_LARGE);
  EXPECT_EQ(rgba_result(BRASK_MODE_G00_TYPE2, rgba.data(), 1, 65536, 4, nullptr), BRASK_TOO_LARGE);
  // Alpha to a mode without it: refused unless dropped.
  for (uint32_t mode : {BRASK_MODE_G00_TYPE0, BRASK_MODE_G00_TYPE1, BRASK_MODE_PDT10,
                        BRASK_MODE_PDT11}) {
    EXPECT_EQ(rgba_result(mode, translucent.data(), 4, 4, 16, nullptr), BRASK_ALPHA_NOT_STORED);
    EXPECT_EQ(rgba_result(mode, translucent.data(), 4, 4, 16, &drop), BRASK_OK);
  }
  Bytes distinct;
  for (uint32_t i = 0; i < 257; ++i) distinct.insert(distinct.end(), {uint8_t(i), uint8_t(i >> 8), 0, 255});
  EXPECT_EQ(rgba_result(BRASK_MODE_PDT11, distinct.data(), 257, 1, 257 * 4, nullptr),
            BRASK_TOO_MANY_COLOURS);
  EXPECT_EQ(rgba_result(BRASK_MODE_G00_TYPE1, distinct.data(), 256, 1, 257 * 4, nullptr), BRASK_OK);
  // Nowhere to put the result.
  size_t size = 0;
  uint8_t* out = nullptr;
  EXPECT_EQ(brask_encode_rgba(BRASK_MODE_PDT10, rgba.data(), 4, 4, 16, nullptr, nullptr, &size),
            BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(brask_encode_rgba(BRASK_MODE_PDT10, rgba.data(), 4, 4, 16, nullptr, &out, nullptr),
            BRASK_INVALID_ARGUMENT);

  const Bytes indexes(16, 1), palette(3 * 257, 9);
  auto indexed_result = [&](uint32_t mode, const uint8_t* idx, size_t stride, const uint8_t* pal,
                            uint32_t entries) {
    uint8_t* o = nullptr;
    size_t s = 0;
    const brask_result r = brask_encode_indexed(mode, idx, 4, 4, stride, pal, entries, nullptr, &o, &s);
    return Take(r, o, s).result;
  };
  EXPECT_EQ(indexed_result(BRASK_MODE_PDT10, indexes.data(), 4, palette.data(), 2), BRASK_NOT_INDEXED);
  EXPECT_EQ(indexed_result(BRASK_MODE_PDT11, indexes.data(), 4, palette.data(), 257),
            BRASK_TOO_MANY_COLOURS);
  EXPECT_EQ(indexed_result(BRASK_MODE_PDT11, indexes.data(), 4, nullptr, 2), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(indexed_result(BRASK_MODE_PDT11, indexes.data(), 3, palette.data(), 2),
            BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(indexed_result(BRASK_MODE_G00_TYPE1, indexes.data(), 4, nullptr, 0), BRASK_OK);
}

TEST(EncodeApi, BadPartsAnswerResults) {
  const Bytes px(8 * 8 * 4, 7);
  auto parts_result = [&](std::vector<brask_encode_part> parts) {
    uint8_t* out = nullptr;
    size_t size = 0;
    const brask_result r = brask_encode_g00_parts(
        parts.data(), static_cast<uint32_t>(parts.size()), nullptr, &out, &size);
    return Take(r, out, size).result;
  };
  const brask_encode_part ok{0, 8, 8, 0, 0, px.data(), 32};
  EXPECT_EQ(parts_result({ok}), BRASK_OK);
  EXPECT_EQ(parts_result({}), BRASK_INVALID_ARGUMENT);
  EXPECT_EQ(parts_result({ok, ok}), BRASK_INVALID_ARGUMENT);  // index not increasing
  brask_encode_part p = ok;
  p.height = -1;
  EXPECT_EQ(parts_result({p}), BRASK_INVALID_ARGUMENT);
  p = ok;
  p.rgba = nullptr;
  EXPECT_EQ(parts_result({p}), BRASK_INVALID_ARGUMENT);
  p = ok;
  p.stride = 31;
  EXPECT_EQ(parts_result({p}), BRASK_INVALID_ARGUMENT);
  p = ok;
  p.origin_x = 65535 - 6;  // its last column at 65536
  EXPECT_EQ(parts_result({p}), BRASK_TOO_LARGE);
  p.origin_x = 65535 - 7;
  EXPECT_EQ(parts_result({p}), BRASK_OK);
  EXPECT_EQ(parts_result({ok, {1, 0, 0, 0, 70000, nullptr, 0}}), BRASK_TOO_LARGE);
  // Stacked higher than the header's 16 bits.
  std::vector<brask_encode_part> tall;
  for (uint32_t i = 0; i < 4; ++i) tall.push_back({i, 0, 30000, 0, 0, nullptr, 0});
  tall[0] = ok;
  EXPECT_EQ(parts_result(tall), BRASK_TOO_LARGE);
  // Nothing to compose.
  EXPECT_EQ(parts_result({{0, 0, 5, 0, 0, nullptr, 0}}), BRASK_INVALID_ARGUMENT);
  // A directory whose entry table cannot fit the 32-bit decompressed size.
  brask_encode_part far = ok;
  far.index = 0x7FFFFFFF;
  EXPECT_EQ(parts_result({far}), BRASK_TOO_LARGE);
}

}  // namespace
