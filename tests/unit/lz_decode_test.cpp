// SPDX-License-Identifier: MIT
// The five stream decoders: the worked examples and edge cases of the stream formats, the
// rules for bad streams, and agreement with the plain decoders of bench/ on random streams,
// for the pixel decoders on every path (one this processor does not run is skipped).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/plain_decoder.h"
#include "codec/lz.h"
#include "codec/lz_paths.h"
#include "codec/lz_stream.h"

namespace {

using Decoder = size_t (*)(uint8_t*, size_t, const uint8_t*, size_t);
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kCanary = 0xA5;
constexpr size_t kCanaryBytes = 64;

struct Decoded {
  size_t units;
  Bytes bytes;  // the first `capacity` bytes of the buffer
};

// Decodes into a buffer of `capacity` bytes filled with `fill`, followed by a canary that
// must survive.
Decoded Decode(Decoder decoder, const Bytes& stream, size_t capacity, uint8_t fill = 0xEE) {
  Bytes buffer(capacity + kCanaryBytes, fill);
  for (size_t i = capacity; i < buffer.size(); ++i) buffer[i] = kCanary;
  // An exact-size copy of the stream, so a sanitizer build sees any read past its end.
  Bytes input(stream);
  const size_t units = decoder(buffer.data(), capacity, input.empty() ? nullptr : input.data(),
                               input.size());
  for (size_t i = capacity; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], kCanary) << "canary overwritten at capacity + " << i - capacity;
  }
  buffer.resize(capacity);
  return {units, buffer};
}

Bytes Repeat(std::initializer_list<uint8_t> unit, size_t times) {
  Bytes out;
  for (size_t i = 0; i < times; ++i) out.insert(out.end(), unit);
  return out;
}

Bytes Prefix(const Bytes& bytes, size_t n) { return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)); }

// A PDT11 block: the 16 distances, then the stream.
Bytes IndexedBlock(std::initializer_list<int32_t> distances, const Bytes& stream) {
  Bytes block(64, 0);
  size_t i = 0;
  for (int32_t d : distances) {
    const uint32_t u = static_cast<uint32_t>(d);
    for (size_t b = 0; b < 4; ++b) block[4 * i + b] = static_cast<uint8_t>(u >> (8 * b));
    ++i;
  }
  block.insert(block.end(), stream.begin(), stream.end());
  return block;
}

TEST(LzDecode, WorkedExamples) {
  Decoded g00_bytes = Decode(DecodeG00Bytes, {0x03, 0x41, 0x42, 0x20, 0x00}, 4);
  EXPECT_EQ(g00_bytes.units, 4u);
  EXPECT_EQ(g00_bytes.bytes, (Bytes{0x41, 0x42, 0x41, 0x42}));

  Decoded mask = Decode(DecodePdtMask, {0xC0, 0x41, 0x42, 0x00, 0x01}, 4);
  EXPECT_EQ(mask.units, 4u);
  EXPECT_EQ(mask.bytes, (Bytes{0x41, 0x42, 0x41, 0x42}));

  Decoded g00_pixels = Decode(DecodeG00Pixels, {0x01, 0x01, 0x02, 0x03, 0x12, 0x00}, 12);
  EXPECT_EQ(g00_pixels.units, 4u);
  EXPECT_EQ(g00_pixels.bytes, Repeat({1, 2, 3}, 4));

  Decoded pdt_pixels = Decode(DecodePdtPixels, {0x80, 0x01, 0x02, 0x03, 0x02, 0x00}, 12);
  EXPECT_EQ(pdt_pixels.units, 4u);
  EXPECT_EQ(pdt_pixels.bytes, Repeat({1, 2, 3}, 4));

  const Bytes block = IndexedBlock({1}, {0x80, 0x07, 0x10});
  ASSERT_EQ(block.size(), 67u);
  Decoded indexed = Decode(DecodePdtIndexed, block, 4);
  EXPECT_EQ(indexed.units, 4u);
  EXPECT_EQ(indexed.bytes, (Bytes{7, 7, 7, 7}));
}

TEST(LzDecode, RunsRepeatWhatWasJustWritten) {
  // PDT colour: flags 0x80 (one literal, then references); literal 01 02 03; w = 0x0004
  // (distance 1, length 5): six equal pixels.
  Decoded pdt = Decode(DecodePdtPixels, {0x80, 1, 2, 3, 0x04, 0x00}, 18);
  EXPECT_EQ(pdt.units, 6u);
  EXPECT_EQ(pdt.bytes, Repeat({1, 2, 3}, 6));
  // PDT mask: flags 0x80; literal 9; b0 = 0xFF (length 257), b1 = 0 (distance 1).
  Decoded mask = Decode(DecodePdtMask, {0x80, 9, 0xFF, 0x00}, 258);
  EXPECT_EQ(mask.units, 258u);
  EXPECT_EQ(mask.bytes, Bytes(258, 9));
}

TEST(LzDecode, PixelDistanceBiasDiffersBetweenG00AndPdt) {
  // Two literal pixels, then the word 0x0010: distance 1 in G00, 2 in PDT; length 1.
  Decoded g00 = Decode(DecodeG00Pixels, {0x03, 1, 2, 3, 4, 5, 6, 0x10, 0x00}, 9);
  EXPECT_EQ(g00.units, 3u);
  EXPECT_EQ(g00.bytes, (Bytes{1, 2, 3, 4, 5, 6, 4, 5, 6}));
  Decoded pdt = Decode(DecodePdtPixels, {0xC0, 1, 2, 3, 4, 5, 6, 0x10, 0x00}, 9);
  EXPECT_EQ(pdt.units, 3u);
  EXPECT_EQ(pdt.bytes, (Bytes{1, 2, 3, 4, 5, 6, 1, 2, 3}));
}

TEST(LzDecode, FlagBytesSitBetweenGroups) {
  // G00 bytes: flag 0xFF, eight literals, then the next flag byte 0x01 and one literal.
  Decoded g00 = Decode(DecodeG00Bytes, {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x01, 9}, 9);
  EXPECT_EQ(g00.units, 9u);
  EXPECT_EQ(g00.bytes, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  // PDT mask: flag 0xFF, eight literals, then a flag byte that ends the stream cleanly.
  Decoded pdt = Decode(DecodePdtMask, {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF}, 9);
  EXPECT_EQ(pdt.units, 8u);
  EXPECT_EQ(Prefix(pdt.bytes, 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(pdt.bytes[8], 0xEE) << "nothing written past the units decoded";
}

TEST(LzDecode, EmptyAndTinyStreamsDecodeNothing) {
  for (Decoder decoder : {DecodeG00Bytes, DecodeG00Pixels, DecodePdtPixels, DecodePdtMask}) {
    EXPECT_EQ(Decode(decoder, {}, 16).units, 0u);
    EXPECT_EQ(Decode(decoder, {0xFF}, 16).units, 0u);
  }
  // A PDT11 block of 65 bytes or less holds no item.
  EXPECT_EQ(Decode(DecodePdtIndexed, IndexedBlock({1}, {0xFF}), 16).units, 0u);
  EXPECT_EQ(Decode(DecodePdtIndexed, {}, 16).units, 0u);
}

TEST(LzDecode, StopsAtTheFirstUnitThatDoesNotFit) {
  // Four literal pixels into 11 bytes: three fit; the partial fourth is not written.
  const Bytes stream = {0x0F, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
  Decoded pixels = Decode(DecodeG00Pixels, stream, 11);
  EXPECT_EQ(pixels.units, 3u);
  EXPECT_EQ(Prefix(pixels.bytes, 9), (Bytes{1, 1, 1, 2, 2, 2, 3, 3, 3}));
  EXPECT_EQ(pixels.bytes[9], 0xEE);
  EXPECT_EQ(pixels.bytes[10], 0xEE);
  // A run of 257 into 100 bytes: one literal and 99 copies, and nothing more.
  Decoded mask = Decode(DecodePdtMask, {0x80, 9, 0xFF, 0x00, 0x00, 0x00}, 100);
  EXPECT_EQ(mask.units, 100u);
  EXPECT_EQ(mask.bytes, Bytes(100, 9));
  // Capacity 0 writes nothing at all.
  EXPECT_EQ(Decode(DecodePdtMask, {0x80, 9, 0xFF, 0x00}, 0).units, 0u);
}

TEST(LzDecode, DropsATruncatedItem) {
  // G00 pixels: flag 0x01 (literal, then references); literal 1 2 3; a reference cut to one
  // byte.
  Decoded g00 = Decode(DecodeG00Pixels, {0x01, 1, 2, 3, 0x10}, 12);
  EXPECT_EQ(g00.units, 1u);
  // PDT colour: flag 0xC0; one literal; a literal cut to two bytes.
  Decoded pdt = Decode(DecodePdtPixels, {0xC0, 1, 2, 3, 4, 5}, 12);
  EXPECT_EQ(pdt.units, 1u);
  EXPECT_EQ(Prefix(pdt.bytes, 6), (Bytes{1, 2, 3, 0xEE, 0xEE, 0xEE}));
  // G00 bytes: a flag byte at the very end starts no item.
  Decoded bytes = Decode(DecodeG00Bytes, {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF}, 16);
  EXPECT_EQ(bytes.units, 8u);
}

TEST(LzDecode, ReferencesOutsideTheOutputWriteZerosAndGoOn) {
  // G00 bytes: flag 0x05 (literal, reference, literal); 7; w = 0x0000 (distance 0, length
  // 2); 8.
  Decoded zero_distance = Decode(DecodeG00Bytes, {0x05, 7, 0x00, 0x00, 8}, 4, 0xEE);
  EXPECT_EQ(zero_distance.units, 4u);
  EXPECT_EQ(zero_distance.bytes, (Bytes{7, 0, 0, 8}));
  // PDT mask: flag 0x80; 5; b0 = 2 (length 4), b1 = 2 (distance 3). Unit by unit: the
  // first two sources lie before the start (zeros), the next two are the 5 and a zero.
  Decoded before_start = Decode(DecodePdtMask, {0x80, 5, 0x02, 0x02}, 5);
  EXPECT_EQ(before_start.units, 5u);
  EXPECT_EQ(before_start.bytes, (Bytes{5, 0, 0, 5, 0}));
  // G00 pixels: flag 0x00; w = 0x0203 (distance 32, length 4) at the start: four black
  // pixels.
  Decoded pixels = Decode(DecodeG00Pixels, {0x00, 0x03, 0x02}, 12);
  EXPECT_EQ(pixels.units, 4u);
  EXPECT_EQ(pixels.bytes, Bytes(12, 0));
  // PDT11: table[0] = -1, table[1] = 0, table[2] = 0x7FFFFFFF; flags 0x80; 6; c = 0x00,
  // 0x01, 0x02 (length 2 each, all outside).
  const Bytes block = IndexedBlock({-1, 0, 0x7FFFFFFF}, {0x80, 6, 0x00, 0x01, 0x02});
  Decoded indexed = Decode(DecodePdtIndexed, block, 7);
  EXPECT_EQ(indexed.units, 7u);
  EXPECT_EQ(indexed.bytes, (Bytes{6, 0, 0, 0, 0, 0, 0}));
}

// The fast loops run groups in batches counted ahead: every group of a batch must still have
// room when each group before it moved as far as a group can, a batch must not be empty while
// the next group has room, and the near-start batches must pass their mark.
TEST(LzDecode, GroupBatchesKeepEveryGroupInsideItsRoom) {
  const lz_detail::GroupLimits limits[] = {{70, 416, 25, 384}, {33, 168, 17, 136}, {3, 1, 2, 5}};
  for (const lz_detail::GroupLimits& l : limits) {
    for (size_t input = 0; input < 400; ++input) {
      for (size_t output = 0; output < 2000; output += 1 + output / 64) {
        const size_t groups = lz_detail::GroupsWithRoom(l, input, output);
        const bool room = input > l.input_needed && output >= l.output_needed;
        ASSERT_EQ(groups != 0, room) << input << " " << output;
        if (!room) continue;
        const size_t last = groups - 1;  // the last group starts after `last` full groups
        ASSERT_GT(input - last * l.most_read, l.input_needed) << input << " " << output;
        ASSERT_GE(output - last * l.most_written, l.output_needed) << input << " " << output;
        // And one more would not surely fit: batches are as long as they can be.
        ASSERT_TRUE(input <= l.input_needed + groups * l.most_read ||
                    output < l.output_needed + groups * l.most_written);
      }
    }
  }
  for (size_t written = 0; written < 300; ++written) {
    const size_t groups = lz_detail::GroupsToWrite(written, 300, 24);
    ASSERT_GE(written + groups * 24, 300u) << written;
    ASSERT_LT(written + (groups - 1) * 24, 300u) << written;
  }
}

// ---- Agreement with the plain decoders.

struct Pair {
  const char* name;
  LzPath path;  // kGroups for the decoders with one loop
  Decoder fast;
  Decoder plain;
  size_t unit;
  size_t reference_bytes;
  size_t max_length;
  size_t max_distance;
  bool high_first;
  bool indexed;
};

constexpr LzPath kGroups = LzPath::kGroups, kSse2 = LzPath::kSse2, kSsse3 = LzPath::kSsse3,
                 kAvx2 = LzPath::kAvx2;

const Pair kPairs[] = {
    {"G00Bytes", kGroups, DecodeG00BytesOnPath<kGroups>, PlainDecodeG00Bytes, 1, 2, 17, 4095,
     false, false},
    {"G00BytesSse2", kSse2, DecodeG00BytesOnPath<kSse2>, PlainDecodeG00Bytes, 1, 2, 17, 4095,
     false, false},
    {"G00Pixels", kGroups, DecodeG00PixelsOnPath<kGroups>, PlainDecodeG00Pixels, 3, 2, 16, 4095,
     false, false},
    {"G00PixelsSse2", kSse2, DecodeG00PixelsOnPath<kSse2>, PlainDecodeG00Pixels, 3, 2, 16, 4095,
     false, false},
    {"G00PixelsSsse3", kSsse3, DecodeG00PixelsOnPath<kSsse3>, PlainDecodeG00Pixels, 3, 2, 16,
     4095, false, false},
    {"G00PixelsAvx2", kAvx2, DecodeG00PixelsOnPath<kAvx2>, PlainDecodeG00Pixels, 3, 2, 16, 4095,
     false, false},
    {"PdtPixels", kGroups, DecodePdtPixelsOnPath<kGroups>, PlainDecodePdtPixels, 3, 2, 16, 4096,
     true, false},
    {"PdtPixelsSse2", kSse2, DecodePdtPixelsOnPath<kSse2>, PlainDecodePdtPixels, 3, 2, 16, 4096,
     true, false},
    {"PdtPixelsSsse3", kSsse3, DecodePdtPixelsOnPath<kSsse3>, PlainDecodePdtPixels, 3, 2, 16,
     4096, true, false},
    {"PdtPixelsAvx2", kAvx2, DecodePdtPixelsOnPath<kAvx2>, PlainDecodePdtPixels, 3, 2, 16, 4096,
     true, false},
    {"PdtMask", kGroups, DecodePdtMask, PlainDecodePdtMask, 1, 2, 257, 256, true, false},
    {"PdtIndexed", kGroups, DecodePdtIndexed, PlainDecodePdtIndexed, 1, 1, 17, 0, true, true},
};

class LzAgreement : public testing::TestWithParam<Pair> {
 protected:
  void SetUp() override {
    if (!LzPathRuns(GetParam().path)) {
      GTEST_SKIP() << "this processor does not run the " << LzPathName(GetParam().path)
                   << " path";
    }
  }
};

// Encodes one back-reference of `length` units at table slot / distance `distance`.
void PutReference(const Pair& pair, size_t length, size_t distance, Bytes& out) {
  if (pair.indexed) {
    out.push_back(static_cast<uint8_t>((length - 2) << 4 | (distance & 15)));
  } else if (pair.max_length == 257) {
    out.push_back(static_cast<uint8_t>(length - 2));
    out.push_back(static_cast<uint8_t>(distance - 1));
  } else {
    const size_t bias_length = pair.unit == 1 ? 2 : 1;
    const size_t bias_distance = pair.high_first ? 1 : 0;
    const size_t w = (distance - bias_distance) << 4 | (length - bias_length);
    out.push_back(static_cast<uint8_t>(w));
    out.push_back(static_cast<uint8_t>(w >> 8));
  }
}

// A random stream of `items` items: mostly references inside the output with short and long
// distances and runs, some literal runs, and (when `hostile`) distances outside the output.
Bytes RandomStream(const Pair& pair, std::mt19937& rng, size_t items, bool hostile) {
  Bytes stream;
  if (pair.indexed) {
    // Short distances (runs), medium ones, and with `hostile` some outside ones.
    const int32_t pool[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 64, 200, 1000, 3};
    std::vector<int32_t> table(16);
    for (size_t i = 0; i < 16; ++i) table[i] = pool[rng() % 16];
    if (hostile) {
      table[rng() % 16] = 0;
      table[rng() % 16] = -5;
      table[rng() % 16] = 0x7FFFFFFF;
    }
    stream.resize(64);
    for (size_t i = 0; i < 16; ++i) {
      for (size_t b = 0; b < 4; ++b) {
        stream[4 * i + b] = static_cast<uint8_t>(static_cast<uint32_t>(table[i]) >> (8 * b));
      }
    }
  }
  const unsigned literal_odds = rng() % 8;  // literal share of items, in eighths
  size_t flag_at = 0;
  size_t written = 0;
  for (size_t i = 0; i < items; ++i) {
    if (i % 8 == 0) {
      flag_at = stream.size();
      stream.push_back(0);
    }
    const unsigned bit = pair.high_first ? 0x80u >> (i % 8) : 1u << (i % 8);
    if (rng() % 8 < literal_odds) {
      stream[flag_at] = static_cast<uint8_t>(stream[flag_at] | bit);
      for (size_t b = 0; b < pair.unit; ++b) stream.push_back(static_cast<uint8_t>(rng() % 4));
      ++written;
      continue;
    }
    const size_t min_length = pair.unit == 1 ? 2 : 1;
    size_t length = min_length + rng() % (pair.max_length - min_length + 1);
    if (rng() % 2 == 0) length = min_length + rng() % 4;
    size_t distance;
    if (pair.indexed) {
      distance = rng() % 16;
    } else {
      const size_t min_distance = pair.high_first ? 1 : 0;
      const size_t limit = hostile ? pair.max_distance : std::min(pair.max_distance, written);
      if (limit < std::max<size_t>(min_distance, 1)) {
        distance = min_distance;  // outside when nothing is written yet (or 0 in G00)
      } else if (rng() % 2 == 0) {
        distance = 1 + rng() % std::min<size_t>(limit, 20);
      } else {
        distance = 1 + rng() % limit;
      }
      if (!hostile && distance == 0) distance = written == 0 ? 0 : 1;
    }
    PutReference(pair, length, distance, stream);
    written += length;
  }
  if (hostile && !stream.empty()) {
    // Flip a few bytes anywhere.
    for (unsigned k = rng() % 4; k > 0; --k) stream[rng() % stream.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
  }
  return stream;
}

void ExpectSameAsPlain(const Pair& pair, const Bytes& stream, size_t capacity,
                       const std::string& what) {
  const Decoded fast = Decode(pair.fast, stream, capacity);
  const Decoded plain = Decode(pair.plain, stream, capacity);
  ASSERT_EQ(fast.units, plain.units) << pair.name << " " << what << " capacity " << capacity;
  // Past the units returned the fast decoder may leave scratch (never past the capacity).
  const size_t bytes = fast.units * pair.unit;
  ASSERT_EQ(Prefix(fast.bytes, bytes), Prefix(plain.bytes, bytes))
      << pair.name << " " << what << " capacity " << capacity;
}

TEST_P(LzAgreement, MatchesThePlainDecoderOnRandomStreams) {
  const Pair& pair = GetParam();
  {
    for (uint32_t seed = 0; seed < 300; ++seed) {
      std::mt19937 rng(seed);
      const bool hostile = seed % 3 == 0;
      const size_t items = 1 + rng() % (seed % 10 == 0 ? 1500 : 200);
      const Bytes stream = RandomStream(pair, rng, items, hostile);
      // Learn the full size from the plain decoder with room to spare.
      Bytes room(1 << 20);
      const size_t units = pair.plain(room.data(), room.size(), stream.data(), stream.size());
      const size_t bytes = units * pair.unit;
      const std::string what = "seed " + std::to_string(seed);
      ExpectSameAsPlain(pair, stream, bytes + 50, what);
      for (size_t cut = 0; cut <= 20 && cut <= bytes; ++cut) {
        ExpectSameAsPlain(pair, stream, bytes - cut, what);
      }
      ExpectSameAsPlain(pair, stream, bytes / 2, what);
      // Every truncation of the stream near its end.
      for (size_t cut = 1; cut <= 30 && cut <= stream.size(); ++cut) {
        ExpectSameAsPlain(pair, Prefix(stream, stream.size() - cut), bytes, what + " cut");
      }
    }
  }
}

TEST_P(LzAgreement, MatchesThePlainDecoderOnRandomBytes) {
  const Pair& pair = GetParam();
  {
    for (uint32_t seed = 0; seed < 400; ++seed) {
      std::mt19937 rng(seed);
      Bytes stream(rng() % 600);
      for (uint8_t& b : stream) b = static_cast<uint8_t>(rng() % (seed % 2 ? 256 : 20));
      if (pair.indexed && stream.size() >= 64) {
        for (size_t i = 0; i < 64; i += 4) {  // mostly small distances
          stream[i + 1] = stream[i + 2] = stream[i + 3] = (rng() % 5 == 0) ? 0xFF : 0;
        }
      }
      const size_t capacity = rng() % 4 == 0 ? rng() % 64 : rng() % 20000;
      ExpectSameAsPlain(pair, stream, capacity, "seed " + std::to_string(seed));
    }
  }
}

// The fast loop hands over to the careful tail where input or room runs short; streams of
// every length across that point, and every capacity across it, decode the same.
TEST_P(LzAgreement, FastLoopAndTailAgreeAcrossTheirBoundary) {
  const Pair& pair = GetParam();
  {
    std::mt19937 rng(7);
    for (size_t items = 1; items < 120; ++items) {
      const Bytes stream = RandomStream(pair, rng, items, items % 2 == 0);
      Bytes room(1 << 16);
      const size_t bytes =
          pair.plain(room.data(), room.size(), stream.data(), stream.size()) * pair.unit;
      for (size_t capacity = bytes > 2200 ? bytes - 2200 : 0; capacity <= bytes + 4;
           capacity += (capacity + 40 < bytes ? 7 : 1)) {
        ExpectSameAsPlain(pair, stream, capacity, "items " + std::to_string(items));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryDecoder, LzAgreement, testing::ValuesIn(kPairs),
                         [](const testing::TestParamInfo<Pair>& param_info) {
                           return std::string(param_info.param.name);
                         });

}  // namespace
