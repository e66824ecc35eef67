// SPDX-License-Identifier: MIT
// Turns the bytes of a G00 or PDT picture into a GdkPixbuf through the brask C API: RGBA for
// the pictures that store alpha, RGB for the rest, palettes expanded. Every failure comes back
// as a GError whose message says what went wrong.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstddef>
#include <cstdint>

namespace brask_pixbuf {

// What the loading program is told along the way, as gdk-pixbuf's loader interface asks.
struct LoadCallbacks {
  GdkPixbufModuleSizeFunc size_func;
  GdkPixbufModulePreparedFunc prepared_func;
  GdkPixbufModuleUpdatedFunc updated_func;
  gpointer user_data;
};

// Decodes `length` bytes into a new pixbuf, announcing its size, then the pixbuf, then its
// pixels through `callbacks`. FALSE with *error set when the picture cannot be had.
gboolean DecodePictureToPixbuf(const uint8_t* data, size_t length, const LoadCallbacks& callbacks,
                               GError** error);

}  // namespace brask_pixbuf
