// SPDX-License-Identifier: MIT
#include "bench/plain_picture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "bench/plain_decoder.h"
#include "codec/byte_io.h"
#include "codec/dib.h"
#include "formats/g00.h"

namespace bench {
namespace {

using Bytes = std::vector<uint8_t>;

size_t Stride(size_t width, size_t bytes_per_pixel) { return (width * bytes_per_pixel + 3) & ~size_t{3}; }

// Top-down unpadded rows into bottom-up padded ones.
Bytes FlipRows(const uint8_t* rows, size_t width, size_t height, size_t bytes_per_pixel) {
  const size_t row = width * bytes_per_pixel, stride = Stride(width, bytes_per_pixel);
  Bytes dib(stride * height, 0);
  for (size_t y = 0; y < height; ++y) std::memcpy(&dib[(height - 1 - y) * stride], rows + y * row, row);
  return dib;
}

Bytes ReadWholeFile(const std::string& path) {
  Bytes bytes;
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return bytes;
  const off_t size = lseek(fd, 0, SEEK_END);
  if (size > 0 && lseek(fd, 0, SEEK_SET) == 0) {
    bytes.resize(static_cast<size_t>(size));
    if (read(fd, bytes.data(), bytes.size()) != size) bytes.clear();
  }
  close(fd);
  return bytes;
}

}  // namespace

Bytes PlainDecodeFile(const std::string& g00_path) {
  const Bytes file = ReadWholeFile(g00_path);
  if (file.size() < 13) return {};
  const unsigned type = file[0];
  const size_t width = ReadU16Le(&file[1]), height = ReadU16Le(&file[3]);
  size_t sizes_at = 5;
  if (type == 2) sizes_at += 4 + size_t{ReadU32Le(&file[5])} * 24;
  if (sizes_at + 8 > file.size()) return {};
  const size_t stream_length = ReadU32Le(&file[sizes_at]) - size_t{8};
  const size_t decompressed = ReadU32Le(&file[sizes_at + 4]);
  const uint8_t* stream = &file[sizes_at + 8];
  if (stream_length > file.size() - sizes_at - 8) return {};
  if (type == 0) {
    Bytes pixels(width * height * 3, 0);
    PlainDecodeG00Pixels(pixels.data(), pixels.size(), stream, stream_length);
    return FlipRows(pixels.data(), width, height, 3);
  }
  Bytes decoded(decompressed, 0);
  PlainDecodeG00Bytes(decoded.data(), decoded.size(), stream, stream_length);
  if (type == 1) {
    const size_t indexes_at = 2 + size_t{ReadU16Le(decoded.data())} * 4;
    if (indexes_at + width * height > decoded.size()) return {};
    return FlipRows(&decoded[indexes_at], width, height, 1);
  }
  BITMAPINFOHEADER header{};
  HLOCAL block = nullptr;
  const uint32_t bytes = ComposeG00Parts(&block, decoded.data(), decoded.size(), &header);
  if (bytes == 0) return {};
  const uint8_t* composed = static_cast<const uint8_t*>(LocalLock(block));
  Bytes dib(composed, composed + bytes);
  LocalFree(block);
  return dib;
}

Bytes PlainDecodePdt(const uint8_t* data, size_t length) {
  if (length < 32) return {};
  const size_t end = ReadU32Le(data + 8), mask_at = ReadU32Le(data + 28);
  const size_t width = ReadU32Le(data + 12), height = ReadU32Le(data + 16);
  const size_t pixels = width * height;
  if (end > length || (mask_at != 0 && (mask_at < 32 || mask_at > end))) return {};
  if (data[4] == '1') {
    Bytes indexes(pixels, 0);
    if (end <= 1056) return {};
    PlainDecodePdtIndexed(indexes.data(), pixels, data + 1056, end - 1056);
    return FlipRows(indexes.data(), width, height, 1);
  }
  Bytes colour(pixels * 3, 0);
  PlainDecodePdtPixels(colour.data(), colour.size(), data + 32, (mask_at != 0 ? mask_at : end) - 32);
  if (mask_at == 0) return FlipRows(colour.data(), width, height, 3);
  Bytes alpha(pixels, 0);
  PlainDecodePdtMask(alpha.data(), alpha.size(), data + mask_at, end - mask_at);
  const size_t stride = Stride(width, 3);
  Bytes dib(stride * height, 0);
  for (size_t y = 0; y < height; ++y) {
    uint8_t* out = &dib[(height - 1 - y) * stride];
    for (size_t x = 0; x < width; ++x) {
      const size_t i = y * width + x;
      for (size_t c = 0; c < 3; ++c) {
        out[3 * x + c] = static_cast<uint8_t>(colour[3 * i + c] * (alpha[i] + 1u) >> 8);
      }
    }
  }
  return dib;
}

}  // namespace bench
