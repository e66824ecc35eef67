// SPDX-License-Identifier: MIT
// The LZ encoders against the plug-in's decoders and the strict plain ones: every variant
// gives its units back, ends on an item (or, for PDT, a flag byte) boundary, and only names
// units already written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/plain_decoder.h"
#include "codec/lz.h"
#include "codec/lz_encoder.h"

namespace {

using encode::EncodeLz;
using encode::LzOptions;
using encode::LzVariant;

const LzVariant kVariants[] = {LzVariant::kG00Bytes, LzVariant::kG00Pixels,
                               LzVariant::kPdtPixels, LzVariant::kPdtMask,
                               LzVariant::kPdtIndexed};

size_t UnitOf(LzVariant v) {
  return v == LzVariant::kG00Pixels || v == LzVariant::kPdtPixels ? 3 : 1;
}

std::string NameOf(LzVariant v) {
  switch (v) {
    case LzVariant::kG00Bytes: return "G00Bytes";
    case LzVariant::kG00Pixels: return "G00Pixels";
    case LzVariant::kPdtPixels: return "PdtPixels";
    case LzVariant::kPdtMask: return "PdtMask";
    case LzVariant::kPdtIndexed: return "PdtIndexed";
  }
  return "?";
}

size_t Decode(LzVariant v, uint8_t* dst, size_t capacity, const std::vector<uint8_t>& s) {
  switch (v) {
    case LzVariant::kG00Bytes: return DecodeG00Bytes(dst, capacity, s.data(), s.size());
    case LzVariant::kG00Pixels: return DecodeG00Pixels(dst, capacity, s.data(), s.size());
    case LzVariant::kPdtPixels: return DecodePdtPixels(dst, capacity, s.data(), s.size());
    case LzVariant::kPdtMask: return DecodePdtMask(dst, capacity, s.data(), s.size());
    case LzVariant::kPdtIndexed: return DecodePdtIndexed(dst, capacity, s.data(), s.size());
  }
  return 0;
}

// The plain decoders read strictly: a stream that breaks the format fails.
size_t DecodeStrictly(LzVariant v, uint8_t* dst, size_t capacity, const std::vector<uint8_t>& s,
                      StrictCheck* check) {
  switch (v) {
    case LzVariant::kG00Bytes: return StrictDecodeG00Bytes(dst, capacity, s.data(), s.size(), check);
    case LzVariant::kG00Pixels: return StrictDecodeG00Pixels(dst, capacity, s.data(), s.size(), check);
    case LzVariant::kPdtPixels: return StrictDecodePdtPixels(dst, capacity, s.data(), s.size(), check);
    case LzVariant::kPdtMask: return StrictDecodePdtMask(dst, capacity, s.data(), s.size(), check);
    case LzVariant::kPdtIndexed: return StrictDecodePdtIndexed(dst, capacity, s.data(), s.size(), check);
  }
  return 0;
}

struct Item {
  size_t length = 0;  // 0: literal
  size_t distance = 0;
};

// The stream read item by item, independently of the decoders: which items it holds and
// whether it ends exactly after an item or a flag byte (nothing cut short, nothing extra).
struct Parsed {
  std::vector<Item> items;
  bool ends_cleanly = false;
  bool ends_with_flag_byte = false;
};

Parsed ParseStream(LzVariant v, const std::vector<uint8_t>& stream) {
  Parsed p;
  const size_t unit = UnitOf(v);
  const bool low_first = v == LzVariant::kG00Bytes || v == LzVariant::kG00Pixels;
  size_t pos = 0;
  int32_t table[16] = {};
  if (v == LzVariant::kPdtIndexed) {
    if (stream.size() < 64) return p;
    std::memcpy(table, stream.data(), 64);  // little-endian host
    pos = 64;
  }
  const size_t ref_bytes = v == LzVariant::kPdtIndexed ? 1 : 2;
  const size_t end = stream.size();
  unsigned flags = 0;
  size_t slot = 8;
  if (!low_first) {
    if (pos == end) {
      p.ends_cleanly = true;
      return p;
    }
    flags = stream[pos++];
    slot = 0;
    p.ends_with_flag_byte = true;
  }
  while (pos < end) {
    if (low_first && slot == 8) {
      flags = stream[pos++];
      slot = 0;
    }
    const bool literal = (flags & (low_first ? 1u << slot : 0x80u >> slot)) != 0;
    ++slot;
    p.ends_with_flag_byte = false;
    if (literal) {
      if (end - pos < unit) return p;
      p.items.push_back(Item{});
      pos += unit;
    } else {
      if (end - pos < ref_bytes) return p;
      const uint8_t* b = stream.data() + pos;
      const unsigned w = b[0] | unsigned{b[1 % ref_bytes]} << 8;
      Item item;
      switch (v) {
        case LzVariant::kG00Bytes: item = {(w & 15) + 2u, w >> 4}; break;
        case LzVariant::kG00Pixels: item = {(w & 15) + 1u, w >> 4}; break;
        case LzVariant::kPdtPixels: item = {(w & 15) + 1u, (w >> 4) + 1u}; break;
        case LzVariant::kPdtMask: item = {b[0] + 2u, b[1] + 1u}; break;
        case LzVariant::kPdtIndexed:
          item = {(b[0] >> 4) + 2u, static_cast<size_t>(std::max(table[b[0] & 15], 0))};
          break;
      }
      p.items.push_back(item);
      pos += ref_bytes;
    }
    if (!low_first && slot == 8) {
      if (pos == end) break;
      flags = stream[pos++];
      slot = 0;
      p.ends_with_flag_byte = true;
    }
  }
  p.ends_cleanly = pos == end;
  return p;
}

// Encodes, decodes with a roomy buffer behind a canary, and checks the units, the clean
// end and every reference's reach. Returns the items for further checks.
Parsed RoundTrip(LzVariant v, const std::vector<uint8_t>& data, const LzOptions& options = {}) {
  SCOPED_TRACE(NameOf(v) + ", " + std::to_string(data.size()) + " bytes");
  const std::vector<uint8_t> stream = EncodeLz(v, data.data(), data.size(), options);
  const size_t unit = UnitOf(v);
  std::vector<uint8_t> out(data.size() + 64 * unit, 0xA5);
  const size_t units = Decode(v, out.data(), out.size(), stream);
  EXPECT_EQ(units, data.size() / unit);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(data.size()), out.end(),
                          [](uint8_t b) { return b == 0xA5; }));
  StrictCheck check;
  std::vector<uint8_t> plain(data.size() + unit, 0xA5);
  EXPECT_EQ(DecodeStrictly(v, plain.data(), plain.size(), stream, &check), data.size() / unit);
  EXPECT_FALSE(check.failed) << "the plain decoder refuses the stream";
  EXPECT_TRUE(std::equal(data.begin(), data.end(), plain.begin()));
  Parsed parsed = ParseStream(v, stream);
  EXPECT_TRUE(parsed.ends_cleanly);
  EXPECT_EQ(check.items, parsed.items.size());
  size_t written = 0;
  for (const Item& item : parsed.items) {
    if (item.length == 0) {
      ++written;
      continue;
    }
    EXPECT_GE(item.distance, 1u);
    EXPECT_LE(item.distance, written);
    if (v != LzVariant::kPdtIndexed) {
      EXPECT_LE(item.distance, encode::MaxMatchDistance(v));
    }
    written += item.length;
  }
  EXPECT_EQ(written, data.size() / unit);
  return parsed;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng() % static_cast<uint32_t>(alphabet));
  return v;
}

// Rows of a small picture: flat areas, gradients, repeated rows and some noise, so every
// kind of item appears.
std::vector<uint8_t> Structured(size_t width, size_t height, size_t unit, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  for (size_t y = 0; y < height; ++y) {
    if (y > 0 && y % 5 == 0) {  // repeat the row above
      v.insert(v.end(), v.end() - static_cast<std::ptrdiff_t>(width * unit), v.end());
      continue;
    }
    for (size_t x = 0; x < width; ++x) {
      for (size_t b = 0; b < unit; ++b) {
        uint8_t value;
        if (x < width / 3) value = static_cast<uint8_t>(b * 40);           // flat
        else if (x < 2 * width / 3) value = static_cast<uint8_t>(x / 4 + b);  // steps
        else value = static_cast<uint8_t>(rng() & (y % 2 ? 0x03 : 0xFF));     // noise
        v.push_back(value);
      }
    }
  }
  return v;
}

TEST(EncoderRoundTrip, RandomAndStructuredDataInEveryVariant) {
  LzOptions literals;
  literals.literals_only = true;
  std::vector<LzOptions> every_level;
  for (int level = encode::kLowestLevel; level <= encode::kHighestLevel; ++level) {
    every_level.emplace_back();
    every_level.back().level = level;
  }
  every_level.push_back(literals);
  for (LzVariant v : kVariants) {
    const size_t unit = UnitOf(v);
    const std::vector<std::vector<uint8_t>> inputs = {
        RandomBytes(3000 * unit, 1), RandomBytes(3000 * unit, 2, 3),
        Structured(97, 23, unit, 3), std::vector<uint8_t>(5000 * unit, 7)};
    for (const auto& data : inputs) {
      for (const LzOptions& options : every_level) RoundTrip(v, data, options);
    }
  }
}

TEST(EncoderRoundTrip, TinyInputs) {
  for (LzVariant v : kVariants) {
    const size_t unit = UnitOf(v);
    for (size_t units = 0; units <= 3; ++units) {
      RoundTrip(v, RandomBytes(units * unit, 9));
      RoundTrip(v, std::vector<uint8_t>(units * unit, 0));
    }
  }
}

TEST(EncoderRoundTrip, EmptyInputGivesEmptyG00StreamsAndALoneFlagByteForPdt) {
  for (LzVariant v : kVariants) {
    const std::vector<uint8_t> s = EncodeLz(v, nullptr, 0);
    const size_t want = v == LzVariant::kPdtIndexed ? 65
                        : v == LzVariant::kG00Bytes || v == LzVariant::kG00Pixels ? 0 : 1;
    EXPECT_EQ(s.size(), want) << NameOf(v);
  }
}

TEST(EncoderFlags, EightItemsFillOneGroupAndPdtAlwaysAddsTheNextFlagByte) {
  LzOptions literals;
  literals.literals_only = true;
  for (LzVariant v : kVariants) {
    SCOPED_TRACE(NameOf(v));
    const size_t unit = UnitOf(v);
    const size_t lead = v == LzVariant::kPdtIndexed ? 64 : 0;
    const bool pdt = v != LzVariant::kG00Bytes && v != LzVariant::kG00Pixels;
    for (size_t units : {8u, 16u, 9u}) {
      const std::vector<uint8_t> data = RandomBytes(units * unit, 4);
      const std::vector<uint8_t> plain = EncodeLz(v, data.data(), data.size(), literals);
      const size_t groups = (units + 7) / 8;
      const bool extra = pdt && units % 8 == 0;
      EXPECT_EQ(plain.size(), lead + groups + units * unit + (extra ? 1 : 0));
      // Every flag bit of a full group says literal.
      EXPECT_EQ(plain[lead], 0xFF);
      const Parsed parsed = RoundTrip(v, data, literals);
      EXPECT_EQ(parsed.ends_with_flag_byte, extra);
      EXPECT_EQ(parsed.items.size(), units);
    }
  }
}

// Eight literals fill a PDT flag group: the decoder then fetches the next flag byte, so a
// stream that stops after the eighth item makes it read past the end.
TEST(EncoderFlags, PlainDecoderRefusesAPdtStreamWithoutTheFlagByteAfterAFullGroup) {
  std::vector<uint8_t> stream = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t out[16];
  StrictCheck cut;
  StrictDecodePdtMask(out, sizeof out, stream.data(), stream.size(), &cut);
  EXPECT_TRUE(cut.failed);
  stream.push_back(0);
  StrictCheck ended;
  EXPECT_EQ(StrictDecodePdtMask(out, sizeof out, stream.data(), stream.size(), &ended), 8u);
  EXPECT_FALSE(ended.failed);
  EXPECT_EQ(ended.items, 8u);
}

TEST(EncoderMatches, EveryLengthUpToTheMaximumUnderACap) {
  for (LzVariant v : kVariants) {
    const size_t unit = UnitOf(v);
    const std::vector<uint8_t> data(300 * unit, 0x5C);  // one long run
    LzOptions options;
    if (v == LzVariant::kPdtIndexed) options.indexed_distances = std::vector<int32_t>(16, 1);
    for (size_t cap = encode::MinMatchLength(v); cap <= encode::MaxMatchLength(v); ++cap) {
      options.max_match_length = cap;
      const Parsed parsed = RoundTrip(v, data, options);
      size_t longest = 0;
      for (const Item& item : parsed.items) longest = std::max(longest, item.length);
      EXPECT_EQ(longest, cap) << NameOf(v);
    }
  }
}

TEST(EncoderMatches, RunsOverlapAndReachTheMaximumLength) {
  for (LzVariant v : kVariants) {
    const size_t unit = UnitOf(v);
    const Parsed parsed = RoundTrip(v, std::vector<uint8_t>(1000 * unit, 3));
    ASSERT_GE(parsed.items.size(), 2u);
    EXPECT_EQ(parsed.items[0].length, 0u);  // the first unit can only be a literal
    EXPECT_EQ(parsed.items[1].length, encode::MaxMatchLength(v)) << NameOf(v);
    EXPECT_EQ(parsed.items[1].distance, 1u) << NameOf(v);
  }
}

TEST(EncoderMatches, ReachTheMaximumDistanceAndNoFurther) {
  for (LzVariant v : kVariants) {
    if (v == LzVariant::kPdtIndexed) continue;
    const size_t unit = UnitOf(v);
    const size_t reach = encode::MaxMatchDistance(v);
    for (size_t gap : {reach, reach + 1}) {
      // Distinct units (no shorter match), then the first 20 again at `gap` units back.
      // Byte units: random, so any other match is a chance pair; pixels: all different.
      std::vector<uint8_t> data = RandomBytes(gap, 11);
      if (unit == 3) {
        data.clear();
        for (size_t i = 0; i < gap; ++i) {
          for (size_t b = 0; b < 3; ++b) data.push_back(static_cast<uint8_t>(i >> (8 * b)));
        }
      }
      data.insert(data.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(20 * unit));
      const Parsed parsed = RoundTrip(v, data);
      size_t farthest = 0;
      for (const Item& item : parsed.items) farthest = std::max(farthest, item.distance);
      if (gap == reach) {
        EXPECT_EQ(farthest, reach) << NameOf(v);
      } else {
        EXPECT_LT(farthest, gap) << NameOf(v);
      }
    }
  }
}

TEST(EncoderIndexed, ChosenTableHoldsTheRowDistanceOfRepeatedRows) {
  // Rows of noise, each repeated once: the row length is the one distance worth having.
  const size_t width = 300;
  std::vector<uint8_t> data;
  for (uint32_t row = 0; row < 20; ++row) {
    const std::vector<uint8_t> noise = RandomBytes(width, row);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), noise.begin(), noise.end());
  }
  const std::vector<uint8_t> block =
      EncodeLz(LzVariant::kPdtIndexed, data.data(), data.size());
  ASSERT_GE(block.size(), 64u);
  int32_t table[16];
  std::memcpy(table, block.data(), sizeof table);
  EXPECT_EQ(table[0], static_cast<int32_t>(width));
  for (int32_t d : table) EXPECT_GT(d, 0);
  EXPECT_EQ(std::set<int32_t>(table, table + 16).size(), 16u);  // no entry wasted
  EXPECT_LT(block.size(), data.size() * 3 / 4);
  RoundTrip(LzVariant::kPdtIndexed, data);
}

TEST(EncoderIndexed, GivenTableIsStoredAsIsAndItsUnusableEntriesNeverReferred) {
  LzOptions options;
  // Entry 0: zero, 1: negative, 2: beyond any output here, 3: the only usable one.
  options.indexed_distances = {0, -1, 1 << 30, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> data;
  for (int i = 0; i < 200; ++i) data.push_back(static_cast<uint8_t>(i % 2 ? 9 : 4));
  const std::vector<uint8_t> block =
      EncodeLz(LzVariant::kPdtIndexed, data.data(), data.size(), options);
  ASSERT_GE(block.size(), 65u);
  EXPECT_EQ(0, std::memcmp(block.data() + 4, "\xFF\xFF\xFF\xFF", 4));
  const Parsed parsed = RoundTrip(LzVariant::kPdtIndexed, data, options);
  size_t references = 0;
  for (const Item& item : parsed.items) {
    if (item.length == 0) continue;
    EXPECT_EQ(item.distance, 2u);
    ++references;
  }
  EXPECT_GT(references, 10u);
}

TEST(EncoderLevels, EveryLevelFromTheLazyOneUpIsNoLargerThanIt) {
  LzOptions lazy;
  lazy.level = encode::kLazyLevel;
  for (LzVariant v : kVariants) {
    for (const std::vector<uint8_t>& data :
         {Structured(200, 30, UnitOf(v), 5), RandomBytes(4000 * UnitOf(v), 6, 4)}) {
      const size_t lazy_size = EncodeLz(v, data.data(), data.size(), lazy).size();
      for (int level = encode::kLazyLevel + 1; level <= encode::kHighestLevel; ++level) {
        LzOptions options;
        options.level = level;
        EXPECT_LE(EncodeLz(v, data.data(), data.size(), options).size(), lazy_size)
            << NameOf(v) << " level " << level;
      }
    }
  }
}

}  // namespace
