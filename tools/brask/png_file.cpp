// SPDX-License-Identifier: MIT
#include "tools/brask/png_file.h"

#include <spng.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace brask {
namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

bool Failed(int error, const char* what, std::string* why) {
  if (error == 0) return false;
  *why = std::string(what) + ": " + spng_strerror(error);
  return true;
}

// Refuses pictures that would need more than this much memory to read.
constexpr size_t kLargestDecodedBytes = size_t(1) << 30;

}  // namespace

bool EncodePng(const PictureRows& rows, const PngCompression& compression,
               std::vector<uint8_t>* png, std::string* why) {
  Context context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) {
    *why = "cannot create a PNG encoder";
    return false;
  }
  spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  if (compression.level == kPngFastest) {
    spng_set_option(context.get(), SPNG_IMG_COMPRESSION_STRATEGY, Z_RLE);
    spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_PAETH);
  } else {
    spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, compression.level);
  }
  spng_ihdr ihdr{};
  ihdr.width = rows.width;
  ihdr.height = rows.height;
  ihdr.bit_depth = 8;
  ihdr.color_type = rows.layout == RowLayout::kPalette ? SPNG_COLOR_TYPE_INDEXED
                    : rows.layout == RowLayout::kRgb   ? SPNG_COLOR_TYPE_TRUECOLOR
                                                       : SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  if (Failed(spng_set_ihdr(context.get(), &ihdr), "PNG header", why)) return false;
  if (rows.layout == RowLayout::kPalette) {
    spng_plte plte{};
    plte.n_entries = static_cast<uint32_t>(rows.palette_rgb.size() / 3);
    for (size_t i = 0; i < plte.n_entries; ++i) {
      plte.entries[i].red = rows.palette_rgb[3 * i];
      plte.entries[i].green = rows.palette_rgb[3 * i + 1];
      plte.entries[i].blue = rows.palette_rgb[3 * i + 2];
    }
    if (Failed(spng_set_plte(context.get(), &plte), "PNG palette", why)) return false;
  }
  const size_t row_bytes = size_t(rows.width) * BytesPerPixel(rows.layout);
  if (rows.pixels.size() != row_bytes * rows.height) {
    *why = "PNG rows: " + std::to_string(rows.pixels.size()) + " bytes for " +
           std::to_string(rows.width) + " x " + std::to_string(rows.height) + " pixels";
    return false;
  }
  if (Failed(spng_encode_image(context.get(), rows.pixels.data(), rows.pixels.size(),
                               SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE),
             "PNG encoder", why)) {
    return false;
  }
  int error = 0;
  size_t length = 0;
  void* buffer = spng_get_png_buffer(context.get(), &length, &error);
  if (buffer == nullptr) return !Failed(error != 0 ? error : SPNG_EINTERNAL, "PNG buffer", why);
  png->assign(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + length);
  free(buffer);
  return true;
}

bool ReadPng(const std::string& path, PngImage* image, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot open " + path;
    return false;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  Context context(spng_ctx_new(0));
  if (!context) {
    *why = "cannot create a PNG decoder";
    return false;
  }
  spng_set_image_limits(context.get(), 1u << 16, 1u << 16);
  spng_set_chunk_limits(context.get(), 1u << 26, 1u << 28);
  if (Failed(spng_set_png_buffer(context.get(), bytes.data(), bytes.size()), path.c_str(), why)) {
    return false;
  }
  spng_ihdr ihdr{};
  if (Failed(spng_get_ihdr(context.get(), &ihdr), path.c_str(), why)) return false;
  if (uint64_t(ihdr.width) * ihdr.height * 4 > kLargestDecodedBytes) {
    *why = path + ": picture too large";
    return false;
  }
  image->width = ihdr.width;
  image->height = ihdr.height;
  spng_trns trns{};
  image->has_alpha = ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                     ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                     spng_get_trns(context.get(), &trns) == 0;
  image->indexed = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED && ihdr.bit_depth == 8;
  const size_t pixels = size_t(ihdr.width) * ihdr.height;
  if (image->indexed) {
    spng_plte plte{};
    if (Failed(spng_get_plte(context.get(), &plte), path.c_str(), why)) return false;
    image->palette.resize(size_t(plte.n_entries) * 3);
    for (size_t i = 0; i < plte.n_entries; ++i) {
      image->palette[3 * i] = plte.entries[i].red;
      image->palette[3 * i + 1] = plte.entries[i].green;
      image->palette[3 * i + 2] = plte.entries[i].blue;
    }
    image->indexes.resize(pixels);
    if (Failed(spng_decode_image(context.get(), image->indexes.data(), pixels, SPNG_FMT_PNG, 0),
               path.c_str(), why)) {
      return false;
    }
    // Decoding twice needs the stream again from its start.
    context.reset(spng_ctx_new(0));
    if (!context || spng_set_png_buffer(context.get(), bytes.data(), bytes.size()) != 0) {
      *why = "cannot restart the PNG decoder";
      return false;
    }
  }
  image->rgba.resize(pixels * 4);
  return !Failed(spng_decode_image(context.get(), image->rgba.data(), image->rgba.size(),
                                   SPNG_FMT_RGBA8, SPNG_DECODE_TRNS),
                 path.c_str(), why);
}

}  // namespace brask
