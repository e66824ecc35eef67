// SPDX-License-Identifier: MIT
// The picture is decoded only once every byte is there: G00 and PDT streams cannot be shown
// row by row. Nothing in the file is trusted: the API refuses what it cannot decode, and its
// memory limit bounds what a header may claim before the pixbuf is allocated.
#define GDK_PIXBUF_ENABLE_BACKEND
#include "integrations/gdk-pixbuf/picture_to_pixbuf.h"

#include <gdk-pixbuf/gdk-pixbuf-io.h>

#include <climits>
#include <cstdint>
#include <memory>

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

gboolean FailWithResult(GError** error, const char* what, brask_result result,
                        const char* why = nullptr) {
  GdkPixbufError code = GDK_PIXBUF_ERROR_CORRUPT_IMAGE;
  if (result == BRASK_NOT_SUPPORTED) code = GDK_PIXBUF_ERROR_UNKNOWN_TYPE;
  if (result == BRASK_OVER_MEMORY_LIMIT || result == BRASK_OUT_OF_MEMORY) {
    code = GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY;
  }
  return Fail(error, code, what, why != nullptr ? why : brask_result_text(result));
}

void FreePixels(guchar* pixels, gpointer) { g_free(pixels); }

// Packs RGBA rows to RGB in place. Each pixel moves to a lower address than the ones after it
// are read from, so nothing is overwritten before it is read.
void PackRgbaToRgb(guchar* pixels, size_t pixel_count) {
  for (size_t i = 0; i < pixel_count; ++i) {
    pixels[i * 3] = pixels[i * 4];
    pixels[i * 3 + 1] = pixels[i * 4 + 1];
    pixels[i * 3 + 2] = pixels[i * 4 + 2];
  }
}

}  // namespace

gboolean DecodePictureToPixbuf(const uint8_t* data, size_t length, const LoadCallbacks& callbacks,
                               GError** error) {
  // The loader is never told the file's name, and G00 has no signature: every picture is
  // offered under a G00 name, and a PDT is still recognised by its own signature.
  brask_picture* opened = nullptr;
  char why[BRASK_EXPLANATION_SIZE];
  const brask_result open_result =
      brask_open_memory_explained(data, length, "picture.g00", 0, &opened, why, sizeof why);
  if (open_result != BRASK_OK) {
    return FailWithResult(error, "Cannot open the G00 or PDT picture", open_result, why);
  }
  const PictureHandle picture(opened);

  brask_info info{};
  const brask_result info_result = brask_get_info(picture.get(), &info);
  if (info_result != BRASK_OK) {
    return FailWithResult(error, "Cannot describe the picture", info_result);
  }
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

  // One buffer: the API's RGBA, which is what a pixbuf with alpha holds; an opaque picture is
  // packed to RGB in it, so the pixels never take more than 4 bytes each. The header's claim
  // was held to the API's memory limit when the picture was opened.
  const bool alpha = info.has_alpha != 0;
  const uint64_t pixel_count = uint64_t(width) * uint64_t(height);
  if (pixel_count > SIZE_MAX / 4 || uint64_t(width) * 4 > INT_MAX) {
    return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "Cannot load the picture",
                "it is too large for this system");
  }
  guchar* pixels = static_cast<guchar*>(g_try_malloc(size_t(pixel_count) * 4));
  if (pixels == nullptr) {
    return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "Cannot load the picture",
                "not enough memory for its pixels");
  }
  const size_t rgba_row_bytes = size_t(width) * 4;
  const brask_result decode_result =
      brask_decode_rgba(picture.get(), pixels, size_t(pixel_count) * 4, rgba_row_bytes);
  if (decode_result != BRASK_OK) {
    g_free(pixels);
    return FailWithResult(error, "Cannot decode the picture", decode_result);
  }
  if (!alpha) {
    PackRgbaToRgb(pixels, size_t(pixel_count));
    // Shrinking keeps the block where it is on failure, so the packed pixels stay valid.
    if (guchar* shrunk = static_cast<guchar*>(g_try_realloc(pixels, size_t(pixel_count) * 3))) {
      pixels = shrunk;
    }
  }
  const int rowstride = alpha ? width * 4 : width * 3;
  const PixbufHandle pixbuf(gdk_pixbuf_new_from_data(pixels, GDK_COLORSPACE_RGB, alpha, 8, width,
                                                     height, rowstride, FreePixels, nullptr));

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
