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

bool EncodePng(const DibPicture& picture, const PngCompression& compression,
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
  const bool indexed = picture.bit_count() == 8;
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(picture.width());
  ihdr.height = static_cast<uint32_t>(picture.height());
  ihdr.bit_depth = 8;
  ihdr.color_type = indexed ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR;
  if (Failed(spng_set_ihdr(context.get(), &ihdr), "PNG header", why)) return false;

  const size_t row_bytes = indexed ? size_t(ihdr.width) : size_t(ihdr.width) * 3;
  if (indexed) {
    spng_plte plte{};
    plte.n_entries = 256;
    const uint8_t* table = picture.colour_table();
    for (size_t i = 0; i < 256; ++i) {
      plte.entries[i].blue = table[4 * i];
      plte.entries[i].green = table[4 * i + 1];
      plte.entries[i].red = table[4 * i + 2];
    }
    if (Failed(spng_set_plte(context.get(), &plte), "PNG palette", why)) return false;
  }
  // Rows go in one at a time, top row first; 24-bit rows are turned from BGR into RGB.
  if (Failed(spng_encode_image(context.get(), nullptr, 0, SPNG_FMT_PNG,
                               SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE),
             "PNG encoder", why)) {
    return false;
  }
  std::vector<uint8_t> row(row_bytes);
  for (int32_t y = 0; y < picture.height(); ++y) {
    const uint8_t* src = picture.TopDownRow(y);
    if (indexed) {
      std::memcpy(row.data(), src, row_bytes);
    } else {
      for (size_t x = 0; x < row_bytes; x += 3) {
        row[x] = src[x + 2];
        row[x + 1] = src[x + 1];
        row[x + 2] = src[x];
      }
    }
    const int error = spng_encode_row(context.get(), row.data(), row_bytes);
    if (error != 0 && error != SPNG_EOI) return !Failed(error, "PNG row", why);
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
