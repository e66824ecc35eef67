// SPDX-License-Identifier: MIT
// Whole G00 and PDT files read the plain way, straight from the formats' description and
// apart from our handlers: headers, the strict stream decoders of plain_decoder.h, the
// type-1 palette, the type-2 part directory and its blocks. Anything the description does
// not allow fails with a reason: a size field that disagrees with the file, a read past a
// stream, a reference to a unit not written, a stream that gives fewer or more units than
// the header says, a block outside its part. Tests and benchmarks read encoded files with
// it; header-only like plain_decoder.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/plain_decoder.h"

namespace plain {

struct Part {
  uint32_t index = 0;  // its place in the directory
  uint32_t origin_x = 0;
  uint32_t origin_y = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgra;  // width x height, its blocks placed, (0, 0, 0, 0) elsewhere
};

struct Picture {
  std::string error;  // empty when the file was read without fault
  int type = -1;      // G00: 0, 1, 2; PDT: 10 or 11
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bgr;      // G00 type 0 and PDT10: 3 bytes a pixel
  std::vector<uint8_t> alpha;    // PDT10 with a mask
  std::vector<uint8_t> palette;  // 4 bytes an entry: blue, green, red, reserved
  std::vector<uint8_t> indexes;  // G00 type 1 and PDT11
  std::vector<Part> parts;       // G00 type 2, non-empty entries in order
  std::vector<uint8_t> composed; // G00 type 2: the parts stacked, 4 bytes a pixel
  uint32_t composed_width = 0;
  uint32_t composed_height = 0;
  size_t items[2] = {0, 0};  // items of the colour (or only) stream and of the mask stream
};

namespace detail {

inline uint32_t U16(const uint8_t* p) { return p[0] | uint32_t{p[1]} << 8; }
inline uint32_t U32(const uint8_t* p) {
  return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

using Decoder = size_t (*)(uint8_t*, size_t, const uint8_t*, size_t, StrictCheck*);

// Decodes a whole stream that must give exactly `units` units of `unit` bytes.
inline bool DecodeExactly(Decoder decode, const uint8_t* src, size_t length, size_t unit,
                          size_t units, std::vector<uint8_t>* out, size_t* items,
                          std::string* error, const char* what) {
  out->assign(units * unit, 0);
  StrictCheck check;
  // One unit of room more than wanted, so a stream that gives too many is noticed.
  std::vector<uint8_t> room((units + 1) * unit);
  const size_t written = decode(room.data(), room.size(), src, length, &check);
  *items = check.items;
  if (check.failed) {
    *error = std::string(what) + ": the stream breaks the format";
  } else if (written != units) {
    *error = std::string(what) + ": " + std::to_string(written) + " units, want " +
             std::to_string(units);
  } else {
    std::copy(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(units * unit),
              out->begin());
    return true;
  }
  return false;
}

// Types 0 and 1: the compressed size (stream + 8) ends the file, the stream follows the
// decompressed size.
inline bool G00Stream(const std::vector<uint8_t>& file, size_t at, const uint8_t** stream,
                      size_t* length, uint32_t* decompressed, std::string* error) {
  if (file.size() < at + 8) {
    *error = "G00: sizes cut short";
    return false;
  }
  const uint32_t compressed = U32(&file[at]);
  *decompressed = U32(&file[at + 4]);
  if (compressed < 8 || compressed - 8 != file.size() - at - 8) {
    *error = "G00: the compressed size disagrees with the file";
    return false;
  }
  *stream = file.data() + at + 8;
  *length = compressed - 8;
  return true;
}

// The type-2 directory: parts and blocks, and the picture they compose.
inline bool ReadDirectory(const std::vector<uint8_t>& d, Picture* picture) {
  std::string& error = picture->error;
  if (d.size() < 4) return error = "directory cut short", false;
  const uint32_t entries = U32(&d[0]);
  if (entries > (d.size() - 4) / 8) return error = "entry table beyond the directory", false;
  struct Placed {
    size_t part;
    uint32_t x, y, w, h;
    size_t pixels;  // offset of the pixels in d
  };
  std::vector<Placed> blocks;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t offset = U32(&d[4 + 8 * i]);
    const uint32_t length = U32(&d[8 + 8 * i]);
    if (offset == 0 || length == 0) continue;
    if (offset > d.size() || length > d.size() - offset || length < 116) {
      return error = "part " + std::to_string(i) + " outside the directory", false;
    }
    const uint8_t* p = &d[offset];
    Part part;
    part.index = i;
    part.origin_x = U16(p + 4);
    part.origin_y = U16(p + 8);
    part.width = static_cast<int32_t>(U32(p + 12));
    part.height = static_cast<int32_t>(U32(p + 16));
    if (part.height < 0) return error = "a part of negative height", false;
    const size_t w = part.width > 0 ? size_t(part.width) : 0;
    part.bgra.assign(w * size_t(part.height) * 4, 0);
    size_t at = 116;
    for (uint32_t b = 0, count = U16(p + 2); b < count; ++b) {
      if (length - at < 92) return error = "block header beyond its part", false;
      const uint32_t x = U16(p + at), y = U16(p + at + 2);
      const uint32_t bw = U16(p + at + 6), bh = U16(p + at + 8);
      at += 92;
      if (uint64_t{bw} * bh * 4 > length - at) return error = "block pixels beyond part", false;
      if (x < part.origin_x || y < part.origin_y || x - part.origin_x + bw > w ||
          y - part.origin_y + bh > size_t(part.height)) {
        return error = "a block outside its part", false;
      }
      for (uint32_t row = 0; row < bh; ++row) {
        std::copy(p + at + size_t{row} * bw * 4, p + at + size_t{row + 1} * bw * 4,
                  part.bgra.begin() + static_cast<std::ptrdiff_t>(
                                          ((y - part.origin_y + row) * w + x - part.origin_x) * 4));
      }
      blocks.push_back({picture->parts.size(), x - part.origin_x, y - part.origin_y, bw, bh,
                        offset + at});
      at += size_t{bw} * bh * 4;
    }
    if (at != length) return error = "part length disagrees with its blocks", false;
    picture->parts.push_back(std::move(part));
  }
  // Stacked top to bottom, each at the left edge; as wide as the widest, as high as all.
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> tops;
  for (const Part& part : picture->parts) {
    tops.push_back(height);
    if (part.width > 0 && uint32_t(part.width) > width) width = uint32_t(part.width);
    height += uint32_t(part.height) & 0xFFFF;
  }
  picture->composed_width = width;
  picture->composed_height = height;
  picture->composed.assign(size_t{width} * height * 4, 0);
  for (const Placed& b : blocks) {
    for (uint32_t row = 0; row < b.h; ++row) {
      const uint8_t* src = &d[b.pixels + size_t{row} * b.w * 4];
      std::copy(src, src + size_t{b.w} * 4,
                picture->composed.begin() +
                    static_cast<std::ptrdiff_t>(((tops[b.part] + b.y + row) * size_t{width} + b.x) * 4));
    }
  }
  return true;
}

}  // namespace detail

inline Picture ReadG00(const std::vector<uint8_t>& file) {
  using namespace detail;
  Picture picture;
  std::string& error = picture.error;
  if (file.size() < 5) return error = "G00: header cut short", picture;
  picture.type = file[0];
  picture.width = U16(&file[1]);
  picture.height = U16(&file[3]);
  const size_t pixels = size_t{picture.width} * picture.height;
  const uint8_t* stream = nullptr;
  size_t length = 0;
  uint32_t decompressed = 0;
  switch (picture.type) {
    case 0:
      if (!G00Stream(file, 5, &stream, &length, &decompressed, &error)) return picture;
      DecodeExactly(StrictDecodeG00Pixels, stream, length, 3, pixels, &picture.bgr,
                    &picture.items[0], &error, "G00 type 0");
      return picture;
    case 1: {
      if (!G00Stream(file, 5, &stream, &length, &decompressed, &error)) return picture;
      std::vector<uint8_t> data;
      if (!DecodeExactly(StrictDecodeG00Bytes, stream, length, 1, decompressed, &data,
                         &picture.items[0], &error, "G00 type 1")) {
        return picture;
      }
      if (data.size() < 2) return error = "G00 type 1: no palette count", picture;
      const size_t count = U16(data.data());
      if (data.size() != 2 + 4 * count + pixels) {
        return error = "G00 type 1: decompressed size disagrees with palette and picture", picture;
      }
      picture.palette.assign(data.begin() + 2, data.begin() + 2 + static_cast<std::ptrdiff_t>(4 * count));
      picture.indexes.assign(data.begin() + 2 + static_cast<std::ptrdiff_t>(4 * count), data.end());
      return picture;
    }
    case 2: {
      if (file.size() < 9) return error = "G00 type 2: region count cut short", picture;
      const uint64_t regions_end = 9 + uint64_t{U32(&file[5])} * 24;
      if (regions_end > file.size()) return error = "G00 type 2: regions beyond the file", picture;
      if (!G00Stream(file, size_t(regions_end), &stream, &length, &decompressed, &error)) {
        return picture;
      }
      std::vector<uint8_t> directory;
      if (!DecodeExactly(StrictDecodeG00Bytes, stream, length, 1, decompressed, &directory,
                         &picture.items[0], &error, "G00 type 2")) {
        return picture;
      }
      ReadDirectory(directory, &picture);
      return picture;
    }
    default:
      return error = "G00: type " + std::to_string(picture.type), picture;
  }
}

inline Picture ReadPdt(const std::vector<uint8_t>& file) {
  using namespace detail;
  Picture picture;
  std::string& error = picture.error;
  if (file.size() < 32 || file[0] != 'P' || file[1] != 'D' || file[2] != 'T' || file[3] != '1') {
    return error = "PDT: no header", picture;
  }
  const uint32_t end = U32(&file[8]);
  picture.width = U32(&file[12]);
  picture.height = U32(&file[16]);
  const uint32_t mask = U32(&file[28]);
  if (end != file.size()) return error = "PDT: the end offset disagrees with the file", picture;
  if (int32_t(picture.width) <= 0 || int32_t(picture.height) <= 0) {
    return error = "PDT: size", picture;
  }
  const size_t pixels = size_t{picture.width} * picture.height;
  if (file[4] == '0') {
    picture.type = 10;
    const uint32_t colour_end = mask != 0 ? mask : end;
    if (colour_end < 32 || colour_end > end) return error = "PDT10: mask offset", picture;
    if (!DecodeExactly(StrictDecodePdtPixels, &file[32], colour_end - 32, 3, pixels, &picture.bgr,
                       &picture.items[0], &error, "PDT10 colour")) {
      return picture;
    }
    if (mask != 0) {
      DecodeExactly(StrictDecodePdtMask, file.data() + mask, end - mask, 1, pixels,
                    &picture.alpha, &picture.items[1], &error, "PDT10 mask");
    }
    return picture;
  }
  if (file[4] == '1') {
    picture.type = 11;
    if (mask != 0) return error = "PDT11 with a mask offset", picture;
    if (end < 1120) return error = "PDT11: cut short", picture;
    picture.palette.assign(file.begin() + 32, file.begin() + 1056);
    DecodeExactly(StrictDecodePdtIndexed, &file[1056], end - 1056, 1, pixels, &picture.indexes,
                  &picture.items[0], &error, "PDT11");
    return picture;
  }
  return error = "PDT: version", picture;
}

}  // namespace plain
