// SPDX-License-Identifier: MIT
// Writes the seed corpora of the fuzz targets: small valid inputs of every mode made by our
// encoders, some with too little room or cut short, some hand-built to reach outside, each
// in the layout its target reads. Usage: make_fuzz_seeds <corpus folder>, normally
// fuzz/corpus. Rewrites the files it makes and leaves every other file alone; the output
// depends on nothing but this program and the encoders.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "formats/image_files.h"
#include "codec/lz_encoder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path g_root;
size_t g_written = 0;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  const fs::path folder = g_root / target;
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ++g_written;
}

Bytes Cat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes Cut(const Bytes& bytes, size_t keep) {
  keep = std::min(keep, bytes.size());
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
}

// Deterministic bytes with repeats at short and long distances, so the encoders use
// back-references of every kind.
Bytes Pattern(size_t count, uint32_t seed) {
  Bytes bytes(count);
  uint32_t state = seed * 2654435761u + 1u;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    const uint32_t pick = state >> 28;
    if (pick < 4 && i >= 1) {
      bytes[i] = bytes[i - 1];
    } else if (pick < 7 && i >= 12) {
      bytes[i] = bytes[i - 12];
    } else {
      bytes[i] = static_cast<uint8_t>(state >> 16);
    }
  }
  return bytes;
}

// Alpha values of every kind: opaque, clear and in between.
uint8_t AlphaAt(size_t i, uint32_t seed) {
  static const uint8_t kAlphas[] = {255, 255, 0, 128, 1, 254, 255, 64};
  return kAlphas[(i / 3 + seed) % 8];
}

encode::ColourImage Colour(int32_t width, int32_t height, uint32_t seed) {
  encode::ColourImage image;
  image.width = width;
  image.height = height;
  image.bgr = Pattern(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, seed);
  return image;
}

encode::AlphaImage Alpha(int32_t width, int32_t height, uint32_t seed) {
  encode::AlphaImage image;
  image.width = width;
  image.height = height;
  image.bgra = Pattern(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, seed);
  for (size_t i = 3; i < image.bgra.size(); i += 4) image.bgra[i] = AlphaAt(i / 4, seed);
  return image;
}

encode::IndexedImage Indexed(int32_t width, int32_t height, int colours, uint32_t seed) {
  encode::IndexedImage image;
  image.width = width;
  image.height = height;
  image.palette = Pattern(4 * static_cast<size_t>(colours), seed + 7);
  image.indexes = Pattern(static_cast<size_t>(width) * static_cast<size_t>(height), seed);
  for (uint8_t& index : image.indexes) index = static_cast<uint8_t>(index % colours);
  return image;
}

std::string Size(int32_t width, int32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// ---- LZ decoders: 3 bytes of capacity, then the stream.

Bytes Capacity(size_t capacity) {
  return {static_cast<uint8_t>(capacity), static_cast<uint8_t>(capacity >> 8),
          static_cast<uint8_t>(capacity >> 16)};
}

void LzSeeds(const std::string& target, encode::LzVariant variant, size_t unit) {
  struct Data {
    std::string name;
    Bytes bytes;
    encode::LzOptions options;
  };
  std::vector<Data> data;
  data.push_back({"empty", {}, {}});
  data.push_back({"one", Pattern(unit, 1), {}});
  data.push_back({"pattern_60", Pattern(60 * unit, 2), {}});
  data.push_back({"pattern_900", Pattern(900 * unit, 3), {}});
  data.push_back({"pattern_5000", Pattern(5000 * unit, 4), {}});
  Bytes runs(3000 * unit, 0x42);
  for (size_t i = 0; i < runs.size(); i += 700) runs[i] = static_cast<uint8_t>(i);
  data.push_back({"runs_3000", runs, {}});
  encode::LzOptions literals;
  literals.literals_only = true;
  data.push_back({"literals_40", Pattern(40 * unit, 5), literals});
  encode::LzOptions short_matches;
  short_matches.max_match_length = encode::MinMatchLength(variant);
  short_matches.level = 0;
  data.push_back({"short_matches_400", Pattern(400 * unit, 6), short_matches});
  data.push_back({"flag_at_end_16", Pattern(16 * unit, 7), literals});
  if (variant == encode::LzVariant::kPdtIndexed) {
    // Rows 33 wide: the table's distances reach one row up, and some entries reach outside.
    encode::LzOptions table;
    table.indexed_distances = {1, 2, 3, 4, 33, 34, 32, 66, 0, -1, -33, 99, 5, 6, 8, 16};
    data.push_back({"table_rows_33", Pattern(33 * 40, 8), table});
  }

  for (const Data& item : data) {
    const Bytes stream =
        encode::EncodeLz(variant, item.bytes.data(), item.bytes.size(), item.options);
    const size_t exact = item.bytes.size();
    Write(target, item.name, Cat(Capacity(exact), stream));
    if (exact >= 900 * unit) {
      Write(target, item.name + "_room_short", Cat(Capacity(exact - unit - 1), stream));
      Write(target, item.name + "_cut", Cat(Capacity(exact), Cut(stream, stream.size() / 2)));
    } else if (exact > 0) {
      Write(target, item.name + "_room_spare", Cat(Capacity(exact + 2 * unit + 1), stream));
      Write(target, item.name + "_cut_last", Cat(Capacity(exact), Cut(stream, stream.size() - 1)));
    }
  }
}

// Streams whose back-references reach before the output's start.
void LzOutsideSeeds() {
  // Flags: one literal, then references of distance 0 (G00) or beyond what is written.
  Write("lz_g00_bytes", "outside", Cat(Capacity(64), {0x01, 0x11, 0xFF, 0x0F, 0x00, 0x3F, 0x00}));
  Write("lz_g00_pixels", "outside",
        Cat(Capacity(96), {0x01, 1, 2, 3, 0x0F, 0x00, 0x2F, 0x00, 0xFF, 0xFF}));
  Write("lz_pdt_pixels", "outside",
        Cat(Capacity(96), {0x80, 1, 2, 3, 0x1F, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
  Write("lz_pdt_mask", "outside",
        Cat(Capacity(600), {0x80, 0x11, 0xFF, 0x01, 0xFF, 0xFF, 0x00, 0x00}));
  Bytes block(64, 0);
  const int32_t table[4] = {1, 0, -1, 0x7FFFFFFF};
  for (size_t i = 0; i < 4; ++i) {
    for (size_t b = 0; b < 4; ++b)
      block[4 * i + b] = static_cast<uint8_t>(static_cast<uint32_t>(table[i]) >> (8 * b));
  }
  Write("lz_pdt_indexed", "outside",
        Cat(Capacity(100), Cat(block, {0x80, 0x07, 0xF1, 0xF2, 0xF3, 0xF0})));
}

// ---- DIB rows: width - 1, height - 1, flags (bit 0: 24 bits; bits 1-2: ragged tail), pixels.

void DibSeeds() {
  struct Shape {
    int width;
    int height;
    uint8_t flags;
  };
  const Shape shapes[] = {{1, 1, 0},  {1, 1, 1},   {2, 3, 1},   {3, 2, 0},   {4, 3, 1},
                          {5, 3, 1},  {5, 2, 0},   {7, 7, 7},   {8, 4, 3},   {33, 9, 1},
                          {33, 9, 4}, {64, 16, 1}, {255, 2, 5}, {256, 32, 1}};
  for (const Shape& shape : shapes) {
    const size_t bytes_pp = (shape.flags & 1) != 0 ? 3 : 1;
    const size_t count =
        static_cast<size_t>(shape.width) * static_cast<size_t>(shape.height) * bytes_pp;
    Bytes pixels = Pattern(count < 2048 ? count : 2048, static_cast<uint32_t>(shape.width));
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = AlphaAt(i / 4, 1);
    Write("dib_rows", Size(shape.width, shape.height) + "_" + std::to_string(shape.flags),
          Cat({static_cast<uint8_t>(shape.width - 1), static_cast<uint8_t>(shape.height - 1),
               shape.flags},
              pixels));
  }
}

// ---- G00 files of every type, and type-2 directories.

encode::G00Block Block(uint16_t x, uint16_t y, int32_t width, int32_t height, uint32_t seed) {
  encode::G00Block block;
  block.x = x;
  block.y = y;
  block.pixels = Alpha(width, height, seed);
  return block;
}

// Two parts of different widths, the second with blocks around an origin, one of them
// reaching past the part and one left of the picture's edge.
std::vector<encode::G00Part> StackedParts() {
  encode::G00Part first;
  first.width = 10;
  first.height = 4;
  first.blocks = {Block(0, 0, 6, 4, 1), Block(6, 0, 4, 4, 2), Block(2, 1, 3, 2, 3)};
  encode::G00Part second;
  second.origin_x = 20;
  second.origin_y = 30;
  second.width = 6;
  second.height = 3;
  second.blocks = {Block(20, 30, 6, 3, 4), Block(18, 31, 5, 5, 5), Block(25, 29, 9, 2, 6)};
  encode::G00Part empty;
  empty.width = 3;
  empty.height = 2;
  return {first, second, empty};
}

// A part taller than 16 bits can count, then a part with a block: the advance below the
// first part takes only the low 16 bits of its height, so the block lands near the top.
std::vector<encode::G00Part> TallParts() {
  encode::G00Part tall;
  tall.width = 1;
  tall.height = 0x10001;
  encode::G00Part small;
  small.width = 2;
  small.height = 2;
  small.blocks = {Block(0, 0, 2, 2, 9)};
  return {tall, small};
}

// A directory whose only entry has length 0: no part, so no picture.
Bytes EmptyEntryDirectory() {
  encode::G00Part lone;
  lone.width = 4;
  lone.height = 4;
  Bytes directory = encode::BuildG00PartDirectory({lone});
  directory[8] = 0;
  return directory;
}

using Files = std::vector<std::pair<std::string, Bytes>>;

const Bytes& Find(const Files& files, const std::string& name) {
  for (const auto& file : files) {
    if (file.first == name) return file.second;
  }
  throw std::logic_error("no seed file " + name);
}

Files G00Files() {
  Files files;
  for (const auto& size : {std::pair<int, int>{1, 1}, {2, 1}, {4, 3}, {5, 3}, {16, 4}, {33, 9}}) {
    files.emplace_back("type0_" + Size(size.first, size.second),
                       encode::EncodeG00Type0(Colour(size.first, size.second, 11)));
  }
  files.emplace_back("type1_3x2_2colours", encode::EncodeG00Type1(Indexed(3, 2, 2, 12)));
  files.emplace_back("type1_5x3_16colours", encode::EncodeG00Type1(Indexed(5, 3, 16, 13)));
  files.emplace_back("type1_33x9_256colours", encode::EncodeG00Type1(Indexed(33, 9, 256, 14)));
  files.emplace_back("type1_8x2_300stored", encode::EncodeG00Type1(Indexed(8, 2, 4, 15), {}, 300));
  files.emplace_back("type2_5x3", encode::EncodeG00Type2(Alpha(5, 3, 16), 2));
  files.emplace_back("type2_33x9", encode::EncodeG00Type2(Alpha(33, 9, 17), 8));
  files.emplace_back("type2_stacked", encode::EncodeG00Type2(StackedParts(), 10, 7));
  files.emplace_back("type2_tall_part", encode::EncodeG00Type2(TallParts(), 2, 2));
  files.emplace_back("type2_empty_entry",
                     encode::EncodeG00Type2Directory(EmptyEntryDirectory(), 4, 4, 0));
  return files;
}

Files PdtFiles() {
  Files files;
  for (const auto& size : {std::pair<int, int>{1, 1}, {4, 3}, {5, 3}, {33, 9}}) {
    const std::string name = Size(size.first, size.second);
    files.emplace_back("pdt10_" + name, encode::EncodePdt10(Colour(size.first, size.second, 31)));
    files.emplace_back("pdt10_masked_" + name,
                       encode::EncodePdt10Masked(Alpha(size.first, size.second, 32)));
    files.emplace_back("pdt11_" + name,
                       encode::EncodePdt11(Indexed(size.first, size.second, 200, 33)));
  }
  return files;
}

// The file with its stream's last `by` bytes gone and its compressed size saying so.
Bytes ShortenStream(const Bytes& file, size_t by) {
  size_t sizes_at = 5;
  if (file[0] == 2) sizes_at = 9 + 24 * (file[5] | size_t{file[6]} << 8);
  Bytes shorter = Cut(file, file.size() - by);
  const uint32_t compressed =
      (shorter[sizes_at] | uint32_t{shorter[sizes_at + 1]} << 8) - static_cast<uint32_t>(by);
  shorter[sizes_at] = static_cast<uint8_t>(compressed);
  shorter[sizes_at + 1] = static_cast<uint8_t>(compressed >> 8);
  return shorter;
}

void G00HandlerSeeds(const Files& g00) {
  for (const auto& file : g00) {
    Write("g00_handler", file.first, Cat({1}, file.second));  // a callback that never cancels
  }
  // No callback, cancellations at each of the three calls, and files cut short.
  Write("g00_handler", "type0_5x3_no_callback", Cat({0}, Find(g00, "type0_5x3")));
  Write("g00_handler", "type0_4x3_cancel_first", Cat({2}, Find(g00, "type0_4x3")));
  Write("g00_handler", "type0_4x3_cancel_middle", Cat({3}, Find(g00, "type0_4x3")));
  Write("g00_handler", "type1_5x3_cancel_middle", Cat({3}, Find(g00, "type1_5x3_16colours")));
  Write("g00_handler", "type2_5x3_cancel_last", Cat({4}, Find(g00, "type2_5x3")));
  const Bytes& type0 = Find(g00, "type0_16x4");
  Write("g00_handler", "type0_16x4_cut", Cat({1}, Cut(type0, type0.size() - 5)));
  Write("g00_handler", "type1_33x9_cut", Cat({1}, Cut(Find(g00, "type1_33x9_256colours"), 40)));
  Write("g00_handler", "type2_33x9_cut", Cat({1}, Cut(Find(g00, "type2_33x9"), 12)));
  Write("g00_handler", "type0_33x9_short_stream",
        Cat({1}, ShortenStream(Find(g00, "type0_33x9"), 100)));
  Write("g00_handler", "type1_33x9_short_stream",
        Cat({1}, ShortenStream(Find(g00, "type1_33x9_256colours"), 100)));
  Write("g00_handler", "type2_33x9_short_stream",
        Cat({1}, ShortenStream(Find(g00, "type2_33x9"), 300)));
}

void G00ComposeSeeds() {
  Write("g00_compose", "stacked", encode::BuildG00PartDirectory(StackedParts()));
  for (const auto& size : {std::pair<int, int>{1, 1}, {5, 3}, {33, 9}}) {
    encode::G00Part part;
    part.width = size.first;
    part.height = size.second;
    part.blocks = {Block(0, 0, size.first, size.second, 21)};
    Write("g00_compose", "one_block_" + Size(size.first, size.second),
          encode::BuildG00PartDirectory({part}));
  }
  encode::G00Part tiles;
  tiles.origin_x = 100;
  tiles.origin_y = 7;
  tiles.width = 12;
  tiles.height = 9;
  for (int y = 0; y < 9; y += 4) {
    for (int x = 0; x < 12; x += 4) {
      tiles.blocks.push_back(Block(static_cast<uint16_t>(100 + x), static_cast<uint16_t>(7 + y), 4,
                                   4, static_cast<uint32_t>(x + y)));
    }
  }
  const Bytes tiled = encode::BuildG00PartDirectory({tiles});
  Write("g00_compose", "tiles_origin", tiled);
  Write("g00_compose", "tiles_cut_in_block", Cut(tiled, tiled.size() - 30));
  Write("g00_compose", "tiles_cut_in_header", Cut(tiled, 4 + 8 + 116 + 40));
  Bytes more_entries = tiled;
  more_entries[0] = 2;  // more entries than the table holds: the part header is read as one
  Write("g00_compose", "tiles_entry_count_2", more_entries);
  Bytes negative = encode::BuildG00PartDirectory(StackedParts());
  const size_t second_part = negative[12] | size_t{negative[13]} << 8;
  negative[second_part + 19] = 0x80;  // the second part's height negative: left out
  Write("g00_compose", "negative_height", negative);
  negative[second_part + 19] = 0;
  negative[second_part + 15] = 0x80;  // now its width negative: placed, widening nothing
  Write("g00_compose", "negative_width", negative);
  Write("g00_compose", "tall_part", encode::BuildG00PartDirectory(TallParts()));
  Write("g00_compose", "empty_entry", EmptyEntryDirectory());
  Write("g00_compose", "no_entries", Bytes(4, 0));
}

// ---- The exports: memory input, files under several names, IsSupported.

void ExportSeeds(const Files& g00, const Files& pdt) {
  // exports_memory: byte 0 picks the cancelling call (1: never); G00 is refused from memory.
  for (const auto& file : pdt) Write("exports_memory", file.first, Cat({1}, file.second));
  Write("exports_memory", "pdt10_5x3_no_callback", Cat({0}, Find(pdt, "pdt10_5x3")));
  Write("exports_memory", "pdt10_masked_5x3_cancel_middle",
        Cat({3}, Find(pdt, "pdt10_masked_5x3")));
  Write("exports_memory", "pdt11_4x3_cancel_last", Cat({4}, Find(pdt, "pdt11_4x3")));
  for (const char* name : {"type0_5x3", "type1_5x3_16colours", "type2_5x3"}) {
    Write("exports_memory", name, Cat({1}, Find(g00, name)));
  }

  // exports_file: byte 0 bits 0-1 the name (0 .g00, 1 .G00, 2 .pdt, 3 none) and bits 2-4 the
  // cancelling call (1: never); byte 1 the junk before the image.
  uint8_t prefix = 0;
  for (const auto& file : g00) {
    Write("exports_file", file.first, Cat({4, prefix}, file.second));
    prefix = static_cast<uint8_t>(prefix == 0 ? 13 : 0);
  }
  Write("exports_file", "type1_5x3_upper_case", Cat({5, 3}, Find(g00, "type1_5x3_16colours")));
  Write("exports_file", "type0_5x3_named_pdt", Cat({6, 0}, Find(g00, "type0_5x3")));
  for (const char* name : {"pdt10_5x3", "pdt10_masked_5x3", "pdt11_5x3", "pdt10_masked_33x9"}) {
    Write("exports_file", name, Cat({6, prefix}, Find(pdt, name)));
    prefix = static_cast<uint8_t>(prefix == 0 ? 7 : 0);
  }
  Write("exports_file", "pdt11_4x3_no_name", Cat({7, 0}, Find(pdt, "pdt11_4x3")));
  Write("exports_file", "pdt10_4x3_g00_name", Cat({4, 0}, Find(pdt, "pdt10_4x3")));
  Write("exports_file", "type2_stacked_cancel_middle", Cat({12, 0}, Find(g00, "type2_stacked")));

  // is_supported: the name's length, the name, then the head.
  auto head = [](const std::string& name, const Bytes& file) {
    return Cat(Cat({static_cast<uint8_t>(name.size())}, Bytes(name.begin(), name.end())),
               Cut(file, 24));
  };
  Write("is_supported", "type0", head("picture.g00", Find(g00, "type0_5x3")));
  Write("is_supported", "type1", head("PICTURE.G00", Find(g00, "type1_5x3_16colours")));
  Write("is_supported", "type2", head("a.g00", Find(g00, "type2_5x3")));
  Bytes type3 = Find(g00, "type0_5x3");
  type3[0] = 3;
  Write("is_supported", "type3", head("picture.g00", type3));
  Write("is_supported", "type0_bare_ending", head(".g00", Find(g00, "type0_5x3")));
  Write("is_supported", "type0_named_pdt", head("picture.pdt", Find(g00, "type0_5x3")));
  Write("is_supported", "pdt10", head("picture.pdt", Find(pdt, "pdt10_5x3")));
  Write("is_supported", "pdt10_masked", head("", Find(pdt, "pdt10_masked_5x3")));
  Write("is_supported", "pdt11", head("x.g00", Find(pdt, "pdt11_5x3")));
  Bytes pdt12 = Find(pdt, "pdt11_5x3");
  pdt12[4] = '2';
  Write("is_supported", "pdt12", head("picture.pdt", pdt12));
  Write("is_supported", "pdt_short", head("picture.pdt", Cut(Find(pdt, "pdt10_5x3"), 4)));
}

// The API target: byte 0 = name hint (bit 0), a 4 MiB limit (bit 1), stride padding (bits
// 2-3). Every mode with a name and the limit, some with tiny limits or no name.
void ApiSeeds(const Files& g00, const Files& pdt) {
  for (const auto& file : g00) Write("api", file.first, Cat({3 | 4}, file.second));
  for (const auto& file : pdt) Write("api", file.first, Cat({2 | 8}, file.second));
  Write("api", "type0_5x3_no_name", Cat({2}, Find(g00, "type0_5x3")));
  Write("api", "type2_stacked_small_limit", Cat({1 | 4 * 20}, Find(g00, "type2_stacked")));
  Write("api", "pdt10_masked_5x3_small_limit", Cat({0}, Find(pdt, "pdt10_masked_5x3")));
  std::vector<encode::G00Part> narrow = StackedParts();
  narrow.push_back({0, 0, -3, 2, narrow.front().blocks});
  Write("api", "type2_negative_width",
        Cat({3}, encode::EncodeG00Type2(narrow, 1, 1)));
}

// The encode target: header bytes (mode, level, flags, width - 1, height - 1, 10 choices for
// parts), then pixel bytes repeated over the picture. Every mode and parts, at low and high
// levels, on flat, striped and noisy pixels, and a full PDT flag group (8 x 1, 8 colours).
void EncodeSeeds() {
  Bytes noise(600);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  const Bytes stripes = {10, 20, 30, 255, 10, 20, 30, 255, 200, 100, 0, 0, 1, 2, 3, 255};
  const Bytes eight = {1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 255, 4, 0, 0, 255,
                       5, 0, 0, 255, 6, 0, 0, 255, 7, 0, 0, 255, 8, 0, 0, 255};
  const Bytes choices = {1, 3, 5, 7, 0, 40, 255, 1, 0, 1};
  for (uint8_t mode = 0; mode < 7; ++mode) {
    for (uint8_t level : {uint8_t{0}, uint8_t{9}}) {
      const Bytes head = Cat({mode, level, 0, 31, 20}, choices);
      const std::string name = "mode" + std::to_string(mode) + "_level" + std::to_string(level);
      Write("encode", name + "_noise", Cat(head, noise));
      Write("encode", name + "_stripes", Cat(head, stripes));
      Write("encode", name + "_few_colours",
            Cat(Cat({mode, level, 2, 63, 63}, choices), noise));
    }
    Write("encode", "mode" + std::to_string(mode) + "_full_flag_group",
          Cat(Cat({mode, 4, 1, 7, 0}, choices), eight));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  g_root = argv[1];
  LzSeeds("lz_g00_bytes", encode::LzVariant::kG00Bytes, 1);
  LzSeeds("lz_g00_pixels", encode::LzVariant::kG00Pixels, 3);
  LzSeeds("lz_pdt_pixels", encode::LzVariant::kPdtPixels, 3);
  LzSeeds("lz_pdt_mask", encode::LzVariant::kPdtMask, 1);
  LzSeeds("lz_pdt_indexed", encode::LzVariant::kPdtIndexed, 1);
  LzOutsideSeeds();
  DibSeeds();
  const Files g00 = G00Files();
  const Files pdt = PdtFiles();
  G00HandlerSeeds(g00);
  G00ComposeSeeds();
  ExportSeeds(g00, pdt);
  ApiSeeds(g00, pdt);
  EncodeSeeds();
  std::printf("wrote %zu seed files under %s\n", g_written, g_root.string().c_str());
  return 0;
}
