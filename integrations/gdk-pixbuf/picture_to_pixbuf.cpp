// The picture is decoded only once every byte is there: G00 and PDT streams cannot be shown
// row by row. Nothing in the file is trusted: the API refuses what it cannot decode, and its
// memory limit bounds what a header may claim before the pixbuf is allocated.
#define GDK_PIXBUF_ENABLE_BACKEND
#include "integrations/gdk-pixbuf/picture_to_pixbuf.h"

#include <gdk-pixbuf/gdk-pixbuf-io.h>

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "brask/brask.h"

namespace brask_pixbuf {
namespace {

struct PictureCloser {
  void operator()(brask_picture* picture) const { brask_close(picture); }
};
using PictureHandle = std::unique_ptr<brask_picture, PictureCloser>;

struct PixbufUnref {
  void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};
using PixbufHandle = std::unique_ptr<GdkPixbuf, PixbufUnref>;

gboolean Fail(GError** error, GdkPixbufError code, const char* what, const char* why) {
  g_set_error(error, GDK_PIXBUF_ERROR, code, "%s: %s", what, why);
  return FALSE;
}

gboolean FailWithResult(GError** error, const char* what, brask_result result) {
  GdkPixbufError code = GDK_PIXBUF_ERROR_CORRUPT_IMAGE;
  if (result == BRASK_NOT_SUPPORTED) code = GDK_PIXBUF_ERROR_UNKNOWN_TYPE;
  if (result == BRASK_OVER_MEMORY_LIMIT || result == BRASK_OUT_OF_MEMORY) {
    code = GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY;
  }
  return Fail(error, code, what, brask_result_text(result));
}

// Opaque pictures: RGBA from the API, its alpha (always 255) dropped row by row.
brask_result DecodeRgb(brask_picture* picture, int width, int height, GdkPixbuf* pixbuf) {
  const size_t row_bytes = size_t(width) * 4;
  std::vector<uint8_t> rgba;
  try {
    rgba.resize(row_bytes * size_t(height));
  } catch (const std::bad_alloc&) {
    return BRASK_OUT_OF_MEMORY;
  }
  const brask_result result = brask_decode_rgba(picture, rgba.data(), rgba.size(), row_bytes);
  if (result != BRASK_OK) return result;
  uint8_t* const pixels = gdk_pixbuf_get_pixels(pixbuf);
  const size_t rowstride = size_t(gdk_pixbuf_get_rowstride(pixbuf));
  for (size_t y = 0; y < size_t(height); ++y) {
    const uint8_t* from = &rgba[y * row_bytes];
    uint8_t* to = pixels + y * rowstride;
    for (size_t x = 0; x < size_t(width); ++x, from += 4, to += 3) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
    // The padding up to the next row is the program's to read too (Python's get_pixels).
    if (y + 1 < size_t(height)) std::memset(to, 0, rowstride - size_t(width) * 3);
  }
  return BRASK_OK;
}

// Pictures with alpha: straight RGBA, which is what a pixbuf holds, straight into its rows.
brask_result DecodeRgba(brask_picture* picture, GdkPixbuf* pixbuf) {
  return brask_decode_rgba(picture, gdk_pixbuf_get_pixels(pixbuf),
                           size_t(gdk_pixbuf_get_byte_length(pixbuf)),
                           size_t(gdk_pixbuf_get_rowstride(pixbuf)));
}

}  // namespace

gboolean DecodePictureToPixbuf(const uint8_t* data, size_t length, const LoadCallbacks& callbacks,
                               GError** error) {
  // The loader is never told the file's name, and G00 has no signature: every picture is
  // offered under a G00 name, and a PDT is still recognised by its own signature.
  brask_picture* opened = nullptr;
  const brask_result open_result = brask_open_memory(data, length, "picture.g00", 0, &opened);
  if (open_result != BRASK_OK) return FailWithResult(error, "Not a readable G00 or PDT picture", open_result);
  const PictureHandle picture(opened);

  brask_info info{};
  const brask_result info_result = brask_get_info(picture.get(), &info);
  if (info_result != BRASK_OK) return FailWithResult(error, "Cannot describe the picture", info_result);
  if (info.width == 0 || info.height == 0 || info.width > INT_MAX || info.height > INT_MAX) {
    return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "Cannot load the picture",
                "its width or height is out of range");
  }
  const int width = int(info.width);
  const int height = int(info.height);

  // The program may ask for another size, which gdk-pixbuf scales to afterwards; a size of 0
  // means it wants no pixels at all (it only asked for the dimensions).
  if (callbacks.size_func != nullptr) {
    int wanted_width = width;
    int wanted_height = height;
    callbacks.size_func(&wanted_width, &wanted_height, callbacks.user_data);
    if (wanted_width == 0 || wanted_height == 0) {
      return Fail(error, GDK_PIXBUF_ERROR_FAILED, "Picture not loaded",
                  "the program asked for a size of zero");
    }
  }

  const bool alpha = info.has_alpha != 0;
  GdkPixbuf* const created = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
  if (created == nullptr) {
    return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "Cannot load the picture",
                "not enough memory for its pixels");
  }
  const PixbufHandle pixbuf(created);
  const brask_result decode_result = alpha ? DecodeRgba(picture.get(), pixbuf.get())
                                           : DecodeRgb(picture.get(), width, height, pixbuf.get());
  if (decode_result != BRASK_OK) return FailWithResult(error, "Cannot decode the picture", decode_result);

  // Handed over only once decoded: a pixbuf announced earlier would reach the program with
  // unwritten pixels whenever decoding failed.
  if (callbacks.prepared_func != nullptr) {
    callbacks.prepared_func(pixbuf.get(), nullptr, callbacks.user_data);
  }
  if (callbacks.updated_func != nullptr) {
    callbacks.updated_func(pixbuf.get(), 0, 0, width, height, callbacks.user_data);
  }
  return TRUE;
}

}  // namespace brask_pixbuf
