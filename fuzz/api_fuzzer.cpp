// SPDX-License-Identifier: MIT
// The public API on memory input, compared with the plug-in's own handlers on the same bytes:
// where both decode, flattening the API's RGBA onto black gives the handler's DIB pixel for
// pixel, the indexed modes give the same indexes and colour table, and type-2 parts are
// listed and decoded on their own as a slow per-pixel walk of the directory says. A picture
// the API refuses as unsupported is never decoded by the handler. Byte 0 picks the name hint
// (bit 0: "picture.g00" or none), the memory limit (bit 1: 4 MiB, else a small one from bits
// 2-7) and the RGBA stride's padding (bits 2-3); the rest is the picture.
#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/plain_decoder.h"
#include "brask/brask.h"
#include "fuzz/g00_reference.h"
#include "formats/g00_header.h"
#include "host/select_handler.h"
#include "platform/fault_injection.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kLimit = 4u << 20;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

Bytes Take(HLOCAL block) {
  const uint8_t* bytes = static_cast<const uint8_t*>(LocalLock(block));
  Bytes copy(bytes, bytes + LocalSize(block));
  LocalUnlock(block);
  LocalFree(block);
  return copy;
}

// An exact-size buffer for rows `stride` apart, so that ASan sees any write past the last row.
Bytes RowsBuffer(size_t row, size_t stride, size_t height) { return Bytes(stride * (height - 1) + row, 0xA5); }

uint8_t Flatten(uint8_t colour, uint8_t alpha) {
  return static_cast<uint8_t>((unsigned{colour} * (alpha + 1u)) >> 8);
}

// Part `part` on its own, the slow way: every block pixel placed with a bounds test.
Bytes ReferencePart(const Bytes& directory, const g00_reference::Part& part) {
  const size_t width = static_cast<size_t>(part.width), height = static_cast<size_t>(part.height);
  Bytes rgba(width * height * 4, 0);
  const uint8_t* header = directory.data() + part.header_at;
  size_t at = part.header_at + kG00PartHeaderBytes;
  for (unsigned b = 0; b < ReadU16Le(header + 2); ++b) {
    if (at + kG00BlockHeaderBytes > directory.size()) break;
    const int64_t x = ReadU16Le(&directory[at]) - int64_t{ReadU16Le(header + 4)};
    const int64_t y = ReadU16Le(&directory[at + 2]) - int64_t{ReadU16Le(header + 8)};
    const size_t block_width = ReadU16Le(&directory[at + 6]);
    const size_t block_height = ReadU16Le(&directory[at + 8]);
    const size_t pixels_at = at + kG00BlockHeaderBytes;
    if (block_width * block_height * 4 > directory.size() - pixels_at) break;
    for (size_t by = 0; by < block_height; ++by) {
      for (size_t bx = 0; bx < block_width; ++bx) {
        const int64_t column = x + static_cast<int64_t>(bx), row = y + static_cast<int64_t>(by);
        if (column < 0 || row < 0 || column >= part.width || row >= part.height) continue;
        const uint8_t* from = &directory[pixels_at + 4 * (by * block_width + bx)];
        uint8_t* to = &rgba[4 * (static_cast<size_t>(row) * width + static_cast<size_t>(column))];
        to[0] = from[2], to[1] = from[1], to[2] = from[0], to[3] = from[3];
      }
    }
    at = pixels_at + block_width * block_height * 4;
  }
  return rgba;
}

void CheckParts(brask_picture* picture, const brask_info& info, const uint8_t* data, size_t size) {
  G00Header header;
  Check(ReadG00Header(data, size, &header));
  Bytes directory(header.decompressed_size, 0);
  PlainDecodeG00Bytes(directory.data(), directory.size(), header.stream, header.stream_length);
  const std::vector<g00_reference::Part> parts = g00_reference::PartsOf(directory.data(), directory.size());
  Check(parts.size() == info.part_count);
  uint64_t top = 0;
  for (uint32_t n = 0; n < info.part_count; ++n) {
    brask_part part;
    Check(brask_get_part(picture, n, &part) == BRASK_OK);
    Check(part.width == parts[n].width && part.height == parts[n].height && part.top == top);
    Check(4 + 8 * uint64_t{part.index} < directory.size() &&
          ReadU32Le(&directory[4 + 8 * size_t{part.index}]) == parts[n].header_at);
    top += static_cast<uint64_t>(part.height & 0xFFFF);
    if (part.width < 1 || part.height < 1) continue;
    const size_t row = size_t(part.width) * 4;
    Bytes own = RowsBuffer(row, row, size_t(part.height));
    Check(brask_decode_part_rgba(picture, n, own.data(), own.size(), row) == BRASK_OK);
    Check(own == ReferencePart(directory, parts[n]));
  }
  brask_part beyond;
  Check(brask_get_part(picture, info.part_count, &beyond) == BRASK_NO_SUCH_PART);
}

void Compare(brask_picture* picture, const brask_info& info, const Bytes& dib_info,
             const Bytes& dib_pixels, size_t pad) {
  const int32_t width = static_cast<int32_t>(ReadU32Le(&dib_info[4]));
  const int32_t height = static_cast<int32_t>(ReadU32Le(&dib_info[8]));
  const bool indexed = dib_info[14] == 8;
  Check(int64_t{width} == info.width && int64_t{height} == info.height);
  Check(indexed == (info.mode == BRASK_MODE_G00_TYPE1 || info.mode == BRASK_MODE_PDT11));
  const size_t w = info.width, h = info.height;
  const size_t stride = static_cast<size_t>(DibStride(w, indexed ? 1 : 3));
  const size_t rgba_stride = 4 * w + pad;
  Bytes rgba = RowsBuffer(4 * w, rgba_stride, h);
  Check(brask_decode_rgba(picture, rgba.data(), rgba.size(), rgba_stride) == BRASK_OK);
  if (indexed) {
    Bytes indexes = RowsBuffer(w, w, h), palette(3 * info.palette_size + 1, 0xA5);
    Check(brask_decode_indexed(picture, indexes.data(), indexes.size(), w, palette.data(),
                               palette.size()) == BRASK_OK);
    for (size_t i = 0; i < 256; ++i) {
      const uint8_t* entry = &dib_info[40 + 4 * i];
      if (i < info.palette_size) {
        Check(palette[3 * i] == entry[2] && palette[3 * i + 1] == entry[1] && palette[3 * i + 2] == entry[0]);
      } else {
        Check(entry[0] == 0 && entry[1] == 0 && entry[2] == 0);
      }
    }
    for (size_t y = 0; y < h; ++y) {
      const uint8_t* dib_row = &dib_pixels[(h - 1 - y) * stride];
      Check(std::memcmp(&indexes[y * w], dib_row, w) == 0);
      for (size_t x = 0; x < w; ++x) {
        const uint8_t* entry = &dib_info[40 + 4 * size_t{dib_row[x]}];
        const uint8_t* have = &rgba[y * rgba_stride + 4 * x];
        Check(have[0] == entry[2] && have[1] == entry[1] && have[2] == entry[0] && have[3] == 255);
      }
    }
    return;
  }
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* dib_row = &dib_pixels[(h - 1 - y) * stride];
    for (size_t x = 0; x < w; ++x) {
      const uint8_t* have = &rgba[y * rgba_stride + 4 * x];
      const uint8_t* want = dib_row + 3 * x;
      Check(Flatten(have[2], have[3]) == want[0] && Flatten(have[1], have[3]) == want[1] &&
            Flatten(have[0], have[3]) == want[2]);
      if (info.has_alpha == 0) Check(have[3] == 255);
    }
    for (size_t i = 4 * w; y + 1 < h && i < rgba_stride; ++i) Check(rgba[y * rgba_stride + i] == 0xA5);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t input_size) {
  if (input_size < 1 || input_size > (1u << 20)) return 0;
  platform::SetAllocationLimit(kLimit);
  const uint8_t control = input[0];
  const uint8_t* data = input + 1;
  const size_t size = input_size - 1;
  const char* name = (control & 1) != 0 ? "picture.g00" : nullptr;
  const uint64_t limit = (control & 2) != 0 ? kLimit : 64 + uint64_t{static_cast<uint8_t>(control >> 2)} * 512;
  const long live_before = platform::LiveResources();

  brask_picture* picture = nullptr;
  char why[BRASK_EXPLANATION_SIZE];
  const brask_result opened =
      brask_open_memory_explained(data, size, name, limit, &picture, why, sizeof why);
  Check(opened == BRASK_OK || opened == BRASK_NOT_SUPPORTED || opened == BRASK_DAMAGED ||
        opened == BRASK_OVER_MEMORY_LIMIT);
  Check((opened == BRASK_OK) == (picture != nullptr));
  Check(std::memchr(why, 0, sizeof why) != nullptr && (opened == BRASK_OK) == (why[0] == 0));

  int32_t decoded = kNotSupported;
  Bytes dib_info, dib_pixels;
  if (size >= static_cast<size_t>(kSelectionHeadBytes)) {
    if (const FormatHandler* handler = SelectHandler(name, data)) {
      HLOCAL info = nullptr, pixels = nullptr;
      decoded = handler->Decode(data, static_cast<int32_t>(size), &info, &pixels, nullptr, 0);
      if (decoded == kSuccess) {
        dib_info = Take(info);
        dib_pixels = Take(pixels);
      }
    }
  }
  if (opened == BRASK_NOT_SUPPORTED || opened == BRASK_DAMAGED) Check(decoded != kSuccess);
  if (opened == BRASK_OK) {
    brask_info info;
    Check(brask_get_info(picture, &info) == BRASK_OK);
    Check(info.width >= 1 && info.height >= 1 && uint64_t{info.width} * info.height * 4 <= limit);
    if (decoded == kSuccess) Compare(picture, info, dib_info, dib_pixels, (control >> 2) & 3);
    if (info.mode == BRASK_MODE_G00_TYPE2) CheckParts(picture, info, data, size);
    brask_close(picture);
  }
  Check(platform::LiveResources() == live_before);
  return 0;
}
