// SPDX-License-Identifier: MIT
// PDT pictures through the exports, as a host sees them: every mode against a DIB built here
// from the source image, from memory and from files, with progress, cancellation, damaged
// streams, refused headers and information requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/loaded_plugin.h"
#include "tests/support/test_files.h"
#include "formats/image_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Calls = std::vector<std::pair<int32_t, int32_t>>;

const Calls kAllCalls = {{0, 2}, {1, 2}, {2, 2}};

void PutU32(Bytes* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// A 32-byte PDT header; the fields a decoder ignores stay zero.
Bytes Header(uint8_t version, uint32_t end_offset, uint32_t width, uint32_t height,
             uint32_t mask_offset) {
  Bytes header(32, 0);
  std::memcpy(header.data(), "PDT1", 4);
  header[4] = version;
  PutU32(&header, 8, end_offset);
  PutU32(&header, 12, width);
  PutU32(&header, 16, height);
  PutU32(&header, 28, mask_offset);
  return header;
}

// A stream of literals only (flags high bit first, each flag byte after its group's eighth
// item), for `unit`-byte units.
Bytes LiteralStream(const Bytes& units, size_t unit) {
  Bytes stream;
  const size_t count = units.size() / unit;
  for (size_t i = 0; i < count; ++i) {
    if (i % 8 == 0) stream.push_back(0xFF);
    stream.insert(stream.end(), units.begin() + static_cast<long>(i * unit),
                  units.begin() + static_cast<long>((i + 1) * unit));
  }
  return stream;
}

// Whole files from hand-made literal streams; the mask or index stream may be cut short.
Bytes Pdt10File(uint32_t width, uint32_t height, const Bytes& bgr, const Bytes* alpha = nullptr) {
  const Bytes colour = LiteralStream(bgr, 3);
  const Bytes mask = alpha != nullptr ? LiteralStream(*alpha, 1) : Bytes();
  const uint32_t mask_offset = alpha != nullptr ? static_cast<uint32_t>(32 + colour.size()) : 0;
  Bytes file = Header('0', static_cast<uint32_t>(32 + colour.size() + mask.size()), width,
                      height, mask_offset);
  file.insert(file.end(), colour.begin(), colour.end());
  file.insert(file.end(), mask.begin(), mask.end());
  return file;
}

Bytes Pdt11File(uint32_t width, uint32_t height, const Bytes& palette, const Bytes& indexes) {
  Bytes file = Header('1', 0, width, height, 0);
  file.insert(file.end(), palette.begin(), palette.end());
  file.resize(1120, 0);  // distance table: all 0, unused by literals
  const Bytes stream = LiteralStream(indexes, 1);
  file.insert(file.end(), stream.begin(), stream.end());
  PutU32(&file, 8, static_cast<uint32_t>(file.size()));
  return file;
}

// Deterministic pictures with runs and noise, so the encoders use back-references.
Bytes Picture(size_t bytes, uint32_t seed) {
  Bytes out(bytes);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < bytes; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = (state >> 16) % 5 == 0 ? static_cast<uint8_t>(state >> 24) : static_cast<uint8_t>(i / 7);
  }
  return out;
}

// The DIB a host must receive, built from the top-down source image.
Bytes ExpectedInfo(int32_t width, int32_t height, uint16_t bits, const Bytes& palette = {}) {
  const size_t stride = (static_cast<size_t>(width) * bits / 8 + 3) / 4 * 4;
  Bytes info(bits == 8 ? 1078 : 54, 0);
  PutU32(&info, 0, 40);                                  // biSize
  PutU32(&info, 4, static_cast<uint32_t>(width));        // biWidth
  PutU32(&info, 8, static_cast<uint32_t>(height));       // biHeight: bottom-up
  info[12] = 1;                                          // biPlanes
  info[14] = static_cast<uint8_t>(bits);                 // biBitCount
  PutU32(&info, 20, static_cast<uint32_t>(stride * static_cast<size_t>(height)));  // biSizeImage
  if (bits == 8) std::memcpy(info.data() + 40, palette.data(), 1024);
  return info;
}

// bytes_per_pixel-byte pixels (3 colour bytes taken, then alpha if 4) to bottom-up padded rows.
Bytes ExpectedPixels(int32_t width, int32_t height, const Bytes& source, size_t bytes_per_pixel) {
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  const size_t out_pixel = bytes_per_pixel == 1 ? 1 : 3;
  const size_t stride = (w * out_pixel + 3) / 4 * 4;
  Bytes pixels(stride * h, 0);
  for (size_t y = 0; y < h; ++y) {
    for (size_t x = 0; x < w; ++x) {
      const uint8_t* in = &source[(y * w + x) * bytes_per_pixel];
      uint8_t* out = &pixels[(h - 1 - y) * stride + x * out_pixel];
      for (size_t c = 0; c < out_pixel; ++c) {
        out[c] = bytes_per_pixel == 4 ? static_cast<uint8_t>(in[c] * (in[3] + 1u) >> 8) : in[c];
      }
    }
  }
  return pixels;
}

// Separate colour and alpha planes into the encoders' 4-byte pixels.
Bytes Interleave(const Bytes& bgr, const Bytes& alpha) {
  Bytes bgra;
  for (size_t i = 0; i < alpha.size(); ++i) {
    bgra.insert(bgra.end(), {bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2], alpha[i]});
  }
  return bgra;
}

// The first `length` bytes of `image` after `before` bytes of 0xA5, then `after` bytes of 0x5A.
Bytes Embed(size_t before, const Bytes& image, size_t length, size_t after) {
  Bytes out(before + length + after, 0x5A);
  std::fill(out.begin(), out.begin() + static_cast<long>(before), 0xA5);
  std::copy(image.begin(), image.begin() + static_cast<long>(length),
            out.begin() + static_cast<long>(before));
  return out;
}

void ExpectHandedOver(const DecodeOutcome& got, const Bytes& info, const Bytes& pixels,
                      const std::string& what, const Calls& calls = kAllCalls) {
  ASSERT_EQ(got.result, 0) << what;
  EXPECT_EQ(got.progress, calls) << what;
  EXPECT_EQ(got.info, info) << what;
  EXPECT_EQ(got.pixels, pixels) << what;
}

void ExpectRefused(const DecodeOutcome& got, int32_t want, const std::string& what) {
  EXPECT_EQ(got.result, want) << what;
  EXPECT_EQ(got.progress, Calls({{0, 2}})) << what;
  EXPECT_FALSE(got.info_set) << what;
  EXPECT_FALSE(got.pixels_set) << what;
}

// One test image of each mode, made by our encoders, with the DIB expected for it.
struct Sample {
  std::string name;
  Bytes file;
  Bytes info;
  Bytes pixels;
};

std::vector<Sample> Samples(int32_t width, int32_t height, uint32_t seed) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  const Bytes bgr = Picture(3 * count, seed);
  Bytes alpha = Picture(count, seed + 1);
  for (size_t i = 0; i < count; i += 3) alpha[i] = i % 2 == 0 ? 0 : 255;  // both shortcuts
  const Bytes bgra = Interleave(bgr, alpha);
  const Bytes palette = Picture(1024, seed + 2);
  const Bytes indexes = Picture(count, seed + 3);
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::vector<Sample> samples;
  samples.push_back({"plain " + size, encode::EncodePdt10({width, height, bgr}),
                     ExpectedInfo(width, height, 24), ExpectedPixels(width, height, bgr, 3)});
  samples.push_back({"masked " + size, encode::EncodePdt10Masked({width, height, bgra}),
                     ExpectedInfo(width, height, 24), ExpectedPixels(width, height, bgra, 4)});
  samples.push_back({"indexed " + size, encode::EncodePdt11({width, height, palette, indexes}),
                     ExpectedInfo(width, height, 8, palette),
                     ExpectedPixels(width, height, indexes, 1)});
  return samples;
}

TEST(PdtDecode, WorkedExampleByteForByte) {
  const Bytes file = {'P', 'D', 'T', '1', '0', 0, 0, 0,  // signature, version, unread
                      39, 0, 0, 0,                       // end offset
                      2, 0, 0, 0,                        // width
                      1, 0, 0, 0,                        // height
                      0, 0, 0, 0, 0, 0, 0, 0,            // unread
                      0, 0, 0, 0,                        // mask offset: none
                      0xC0, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23};  // two literal pixels
  ASSERT_EQ(file.size(), 39u);
  const Bytes info = {40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                      8,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0,
                      0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes pixels = {0x11, 0x12, 0x13, 0x21, 0x22, 0x23, 0, 0};  // padding is zero
  ExpectHandedOver(DecodeMemory(file), info, pixels, "memory");
  ExpectHandedOver(DecodeFile(WriteTempFile("worked.pdt", file)), info, pixels, "file");

  PictureInfoRecord record;
  std::memset(&record, 0x77, sizeof record);
  ASSERT_EQ(LoadedPlugin::Get().get_picture_info(reinterpret_cast<const char*>(file.data()), 39,
                                                 1, &record), 0);
  EXPECT_EQ(record.left, 0);
  EXPECT_EQ(record.top, 0);
  EXPECT_EQ(record.width, 2);
  EXPECT_EQ(record.height, 1);
  EXPECT_EQ(record.x_density, 0);
  EXPECT_EQ(record.y_density, 0);
  EXPECT_EQ(record.colour_depth, 24);
  EXPECT_EQ(uint32_t{record.text_handle}, 0u);
}

// Widths 4, 8 and 16 need no padding at 24 bits, 4 and 8 none at 8 bits; the rest do.
TEST(PdtDecode, EveryModeMatchesTheDibBuiltHere) {
  const int32_t widths[] = {1, 2, 3, 4, 5, 7, 8, 13, 16, 33};
  const int32_t heights[] = {1, 2, 9};
  uint32_t seed = 1;
  for (int32_t width : widths) {
    for (int32_t height : heights) {
      for (const Sample& sample : Samples(width, height, seed++)) {
        ExpectHandedOver(DecodeMemory(sample.file), sample.info, sample.pixels, sample.name);
        ExpectHandedOver(DecodeMemory(sample.file, {false, 0}), sample.info, sample.pixels,
                         sample.name + " without a callback", Calls());
      }
    }
  }
}

TEST(PdtDecode, LargerPicturesWithLongRunsDecodeExactly) {
  for (const Sample& sample : Samples(301, 67, 99)) {
    ExpectHandedOver(DecodeMemory(sample.file), sample.info, sample.pixels, sample.name);
  }
}

TEST(PdtDecode, FilesDecodeAsMemoryDoesAtAnyPosition) {
  for (const Sample& sample : Samples(5, 3, 7)) {
    ExpectHandedOver(DecodeFile(WriteTempFile("whole.pdt", sample.file)), sample.info,
                     sample.pixels, sample.name + " from a file");
    // The image 37 bytes into a larger file, with unrelated bytes after it.
    const Bytes container = Embed(37, sample.file, sample.file.size(), 11);
    const std::string path = WriteTempFile("inside.bin", container);
    ExpectHandedOver(DecodeFile(path, 37), sample.info, sample.pixels, sample.name + " inside");
    // The memory path is also given more bytes than the image uses.
    Bytes padded = sample.file;
    padded.insert(padded.end(), 11, 0x5A);
    ExpectHandedOver(DecodeMemory(padded), sample.info, sample.pixels, sample.name + " padded");
  }
}

TEST(PdtDecode, CancellationAtEachProgressCall) {
  for (const Sample& sample : Samples(5, 2, 11)) {
    for (int call = 1; call <= 3; ++call) {
      const std::string what = sample.name + ", cancelled at call " + std::to_string(call);
      const DecodeOutcome got = DecodeMemory(sample.file, {true, call});
      EXPECT_EQ(got.result, 1) << what;
      EXPECT_EQ(got.progress, Calls(kAllCalls.begin(), kAllCalls.begin() + call)) << what;
      if (call < 3) {
        EXPECT_FALSE(got.info_set) << what;
        EXPECT_FALSE(got.pixels_set) << what;
      } else {
        // The last call stops nothing: both blocks are already the host's.
        EXPECT_EQ(got.info, sample.info) << what;
        EXPECT_EQ(got.pixels, sample.pixels) << what;
      }
    }
  }
}

TEST(PdtDecode, RefusesMalformedHeaders) {
  const Bytes stream = LiteralStream(Bytes(3 * 6, 0x40), 3);  // six grey pixels
  const uint32_t end = static_cast<uint32_t>(32 + stream.size());
  struct Case {
    const char* what;
    Bytes file;
  };
  auto with_stream = [&](Bytes header) {
    header.insert(header.end(), stream.begin(), stream.end());
    return header;
  };
  const Bytes pdt11_short = [] {
    Bytes file = Header('1', 1119, 2, 2, 0);  // the table would end at 1120
    file.resize(1119, 0);
    return file;
  }();
  const Bytes pdt11_mask_in_table = [] {
    Bytes file = Header('1', 1200, 2, 2, 1100);  // index stream would end inside the table
    file.resize(1200, 0);
    return file;
  }();
  const Bytes cut_header = [] {
    Bytes file = Header('0', 20, 1, 1, 0);
    file.resize(20);  // ends after the height field
    return file;
  }();
  const Case cases[] = {
      {"shorter than a header", cut_header},
      {"end offset past the data", with_stream(Header('0', end + 1, 3, 2, 0))},
      {"end offset far past the data", with_stream(Header('0', 0xFFFFFFF0u, 3, 2, 0))},
      {"end offset inside the header", with_stream(Header('0', 31, 3, 2, 0))},
      {"mask offset inside the header", with_stream(Header('0', end, 3, 2, 31))},
      {"mask offset past the end offset", with_stream(Header('0', end - 1, 3, 2, end))},
      {"mask offset far past the end", with_stream(Header('0', end, 3, 2, 0x80000000u))},
      {"zero width", with_stream(Header('0', end, 0, 2, 0))},
      {"zero height", with_stream(Header('0', end, 3, 0, 0))},
      {"negative width", with_stream(Header('0', end, 0xFFFFFFFDu, 2, 0))},
      {"negative height", with_stream(Header('0', end, 3, 0x80000000u, 0))},
      {"PDT11 header cut short", pdt11_short},
      {"PDT11 stream ending inside its table", pdt11_mask_in_table},
      {"version '/'", with_stream(Header('/', end, 3, 2, 0))},
      {"version 0x00", with_stream(Header(0, end, 3, 2, 0))},
  };
  for (const Case& c : cases) {
    ExpectRefused(DecodeMemory(c.file), 2, c.what);
    ExpectRefused(DecodeFile(WriteTempFile("bad.pdt", c.file)), 2, std::string(c.what) + " (file)");
  }
  // A version the selection rule already refuses never reaches the handler.
  const DecodeOutcome two = DecodeMemory(with_stream(Header('2', end, 3, 2, 0)));
  EXPECT_EQ(two.result, 2);
  EXPECT_TRUE(two.progress.empty());
}

TEST(PdtDecode, ImagesNoBlockCanHoldAreOutOfMemory) {
  struct Case {
    const char* what;
    uint8_t version;
    uint32_t width, height;
    bool masked;
  };
  const Case cases[] = {
      {"largest plain", '0', 0x7FFFFFFF, 0x7FFFFFFF, false},
      {"plain pixel block just past 2^31 - 1", '0', 65536, 10923, false},
      {"masked work buffer just past 2^31 - 1", '0', 23171, 23171, true},
      {"largest masked", '0', 0x7FFFFFFF, 0x7FFFFFFF, true},
      {"indexed", '1', 0x7FFFFFFF, 2, false},
  };
  for (const Case& c : cases) {
    Bytes file = Header(c.version, 0, c.width, c.height, c.masked ? 40 : 0);
    file.resize(c.version == '1' ? 1200 : 48, 0);
    PutU32(&file, 8, static_cast<uint32_t>(file.size()));
    ExpectRefused(DecodeMemory(file), 4, c.what);
  }
}

TEST(PdtDecode, ShortStreamsLeaveZeroWhereTheyWroteNothing) {
  // 3 x 2 plain image whose stream holds 4 of its 6 pixels: the last two are black.
  const Bytes bgr = Picture(18, 5);
  Bytes bgr_short(bgr.begin(), bgr.begin() + 12);
  Bytes want = bgr_short;
  want.resize(18, 0);
  ExpectHandedOver(DecodeMemory(Pdt10File(3, 2, bgr_short)), ExpectedInfo(3, 2, 24),
                   ExpectedPixels(3, 2, want, 3), "plain");

  // Masked: the colour stream yields 4 pixels, the mask all 6 (all opaque). The mask still
  // lines up with the pixels: the first four keep their colour, the rest are black.
  const Bytes opaque(6, 255);
  ExpectHandedOver(DecodeMemory(Pdt10File(3, 2, bgr_short, &opaque)), ExpectedInfo(3, 2, 24),
                   ExpectedPixels(3, 2, want, 3), "masked, short colour");
  // ...and a mask of 2 bytes leaves the other pixels transparent (black).
  const Bytes two_alphas(2, 255);
  Bytes want_two(bgr.begin(), bgr.begin() + 6);
  want_two.resize(18, 0);
  ExpectHandedOver(DecodeMemory(Pdt10File(3, 2, bgr, &two_alphas)), ExpectedInfo(3, 2, 24),
                   ExpectedPixels(3, 2, want_two, 3), "masked, short mask");

  // Indexed: 3 of 6 indexes; the rest are index 0.
  const Bytes palette = Picture(1024, 6);
  const Bytes indexes = {9, 8, 7};
  ExpectHandedOver(DecodeMemory(Pdt11File(3, 2, palette, indexes)), ExpectedInfo(3, 2, 8, palette),
                   ExpectedPixels(3, 2, {9, 8, 7, 0, 0, 0}, 1), "indexed");
}

TEST(PdtDecode, OverlongStreamsAreCutToThePicture) {
  // A 2 x 2 plain image whose stream carries 7 pixels, and a masked one whose colour stream
  // does: the picture takes the first 4 and the mask still follows at byte 12.
  const Bytes bgr = Picture(21, 8);
  const Bytes first_four(bgr.begin(), bgr.begin() + 12);
  ExpectHandedOver(DecodeMemory(Pdt10File(2, 2, bgr)), ExpectedInfo(2, 2, 24),
                   ExpectedPixels(2, 2, first_four, 3), "plain");
  const Bytes alpha = {255, 0, 128, 254, 7, 7, 7};
  const Bytes first_alphas(alpha.begin(), alpha.begin() + 4);
  ExpectHandedOver(DecodeMemory(Pdt10File(2, 2, bgr, &alpha)), ExpectedInfo(2, 2, 24),
                   ExpectedPixels(2, 2, Interleave(first_four, first_alphas), 4), "masked");
}

TEST(PdtDecode, OpaqueMaskGivesThePlainPicture) {
  const Bytes bgr = Picture(3 * 35, 9);
  const Bytes opaque(35, 255);
  const DecodeOutcome plain = DecodeMemory(Pdt10File(7, 5, bgr));
  const DecodeOutcome masked = DecodeMemory(Pdt10File(7, 5, bgr, &opaque));
  ASSERT_EQ(plain.result, 0);
  ASSERT_EQ(masked.result, 0);
  EXPECT_EQ(masked.pixels, plain.pixels);
  EXPECT_EQ(masked.info, plain.info);
}

TEST(PdtDecode, Pdt11IndexStreamEndsAtANonZeroMaskOffset) {
  // The mask offset cuts the index stream after 2 indexes; the bytes after it are not a mask.
  const Bytes palette = Picture(1024, 10);
  Bytes file = Pdt11File(2, 2, palette, {1, 2, 3, 4});
  PutU32(&file, 28, 1120 + 3);  // mask offset: flag byte and two literals
  ExpectHandedOver(DecodeMemory(file), ExpectedInfo(2, 2, 8, palette),
                   ExpectedPixels(2, 2, {1, 2, 0, 0}, 1), "indexed with a mask offset");
}

PictureInfoRecord Poisoned() {
  PictureInfoRecord record;
  std::memset(&record, 0x77, sizeof record);
  return record;
}

int32_t InfoFromMemory(const Bytes& head, PictureInfoRecord* record) {
  return LoadedPlugin::Get().get_picture_info(reinterpret_cast<const char*>(head.data()),
                                              static_cast<int32_t>(head.size()), 1, record);
}

TEST(PdtInfo, ReportsSizeAndDepthByVersionByte) {
  struct Case {
    uint8_t version;
    int32_t result;
    int16_t depth;  // 0x7777: left as it was
  };
  // Only the version byte and the size fields count: '/' and 0x01 report 24 bits although
  // decoding refuses them; 0x00 is refused with the depth untouched.
  const Case cases[] = {{'0', 0, 24}, {'1', 0, 8}, {'/', 0, 24}, {1, 0, 24}, {0, 2, 0x7777}};
  for (const Case& c : cases) {
    const Bytes head = Header(c.version, 0xFFFFFFFFu, 640, 0xFFFFFFFFu, 7);  // nonsense offsets
    const std::string what = "version byte " + std::to_string(c.version);
    PictureInfoRecord record = Poisoned();
    EXPECT_EQ(InfoFromMemory(head, &record), c.result) << what;
    EXPECT_EQ(record.left, 0) << what;
    EXPECT_EQ(record.top, 0) << what;
    EXPECT_EQ(record.width, 640) << what;
    EXPECT_EQ(record.height, -1) << what;
    EXPECT_EQ(record.x_density, 0) << what;
    EXPECT_EQ(record.y_density, 0) << what;
    EXPECT_EQ(record.colour_depth, c.depth) << what;
    EXPECT_EQ(uint32_t{record.text_handle}, 0u) << what;
  }
}

TEST(PdtInfo, HeadsShorterThanTwentyBytesAreRefused) {
  const Bytes header = Header('0', 32, 3, 4, 0);
  for (size_t length : {size_t{5}, size_t{12}, size_t{19}}) {
    const Bytes head(header.begin(), header.begin() + static_cast<long>(length));
    PictureInfoRecord record = Poisoned();
    EXPECT_EQ(InfoFromMemory(head, &record), 2) << length << " bytes";
    const std::string path = WriteTempFile("short.pdt", head);
    EXPECT_EQ(LoadedPlugin::Get().get_picture_info(path.c_str(), 0, 0, &record), 2) << length;
    EXPECT_EQ(record.width, 0x77777777) << "record written for " << length << " bytes";
  }
  const Bytes twenty(header.begin(), header.begin() + 20);
  PictureInfoRecord record = Poisoned();
  EXPECT_EQ(InfoFromMemory(twenty, &record), 0);
  EXPECT_EQ(record.width, 3);
  EXPECT_EQ(record.height, 4);
}

TEST(PdtInfo, FilesAtAPositionReportTheImageThere) {
  const Sample indexed = Samples(6, 5, 12)[2];
  const Bytes container = Embed(100, indexed.file, indexed.file.size(), 0);
  const std::string path = WriteTempFile("info-inside.bin", container);
  PictureInfoRecord record = Poisoned();
  ASSERT_EQ(LoadedPlugin::Get().get_picture_info(path.c_str(), 100, 0, &record), 0);
  EXPECT_EQ(record.width, 6);
  EXPECT_EQ(record.height, 5);
  EXPECT_EQ(record.colour_depth, 8);
  // A header cut 19 bytes into it at the end of a larger file: too short a head.
  const Bytes cut = Embed(100, indexed.file, 19, 0);
  record = Poisoned();
  EXPECT_EQ(LoadedPlugin::Get().get_picture_info(WriteTempFile("cut.bin", cut).c_str(), 100, 0,
                                                 &record), 2);
  EXPECT_EQ(record.width, 0x77777777);
}

}  // namespace
