// SPDX-License-Identifier: MIT
// The gdk-pixbuf loader module for G00 and PDT pictures. Programs hand it a file's bytes in
// pieces (thumbnailers, GdkPixbufLoader, new_from_file_at_size); it gathers them and decodes
// once the last piece is in. No exception and no global state: any thread may load.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <new>
#include <vector>

#include "brask/brask.h"
#include "integrations/gdk-pixbuf/picture_to_pixbuf.h"

namespace {

// A file larger than the most a picture may decode into cannot be one we decode.
constexpr size_t kLargestFileBytes = size_t(BRASK_DEFAULT_MEMORY_LIMIT);

struct LoadContext {
  brask_pixbuf::LoadCallbacks callbacks;
  std::vector<uint8_t> bytes;
};

gpointer BeginLoad(GdkPixbufModuleSizeFunc size_func, GdkPixbufModulePreparedFunc prepared_func,
                   GdkPixbufModuleUpdatedFunc updated_func, gpointer user_data, GError** error) {
  LoadContext* context = new (std::nothrow)
      LoadContext{{size_func, prepared_func, updated_func, user_data}, {}};
  if (context == nullptr) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                        "Not enough memory to load the picture");
  }
  return context;
}

gboolean LoadIncrement(gpointer data, const guchar* buffer, guint size, GError** error) {
  LoadContext* context = static_cast<LoadContext*>(data);
  if (size > kLargestFileBytes - context->bytes.size()) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                        "The file is too large to be a G00 or PDT picture");
    return FALSE;
  }
  try {
    context->bytes.insert(context->bytes.end(), buffer, buffer + size);
  } catch (const std::bad_alloc&) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                        "Not enough memory to read the picture");
    return FALSE;
  }
  return TRUE;
}

gboolean StopLoad(gpointer data, GError** error) {
  LoadContext* context = static_cast<LoadContext*>(data);
  const gboolean loaded = brask_pixbuf::DecodePictureToPixbuf(
      context->bytes.data(), context->bytes.size(), context->callbacks, error);
  delete context;
  return loaded;
}

// gdk-pixbuf's format description holds non-const strings it never writes.
char kName[] = "brask";
char kDescription[] = "G00 and PDT pictures";
char kLicense[] = "unspecified";
char kPdtSignature[] = "PDT1";
char kG00Type[] = "image/x-g00";
char kPdtType[] = "image/x-pdt";
char kG00Extension[] = "g00";
char kPdtExtension[] = "pdt";

// Only PDT can be told by its first bytes; G00 is known by its name or MIME type alone.
GdkPixbufModulePattern kSignatures[] = {{kPdtSignature, nullptr, 100}, {nullptr, nullptr, 0}};
gchar* kMimeTypes[] = {kG00Type, kPdtType, nullptr};
gchar* kExtensions[] = {kG00Extension, kPdtExtension, nullptr};

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
  module->begin_load = BeginLoad;
  module->load_increment = LoadIncrement;
  module->stop_load = StopLoad;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
  info->name = kName;
  info->signature = kSignatures;
  info->description = kDescription;
  info->mime_types = kMimeTypes;
  info->extensions = kExtensions;
  info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
  info->license = kLicense;
}

}  // extern "C"
