// SPDX-License-Identifier: MIT
// Replays files through gdk-pixbuf's loader as a viewer feeds them (GdkPixbufLoader, in two
// pieces), under both MIME types: every file must either load into a well-formed pixbuf or
// fail with a GError that has a message, and the program must live through all of them.
// Needs GDK_PIXBUF_MODULE_FILE naming a cache with the built loader.
// usage: pixbuf_corpus_replay FOLDER...
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Tally {
  int loaded = 0;
  int refused = 0;
  int faults = 0;
};

void Fault(Tally* tally, const fs::path& path, const char* mime_type, const char* what) {
  std::fprintf(stderr, "%s as %s: %s\n", path.c_str(), mime_type, what);
  ++tally->faults;
}

void Replay(const fs::path& path, const std::vector<guchar>& bytes, const char* mime_type,
            Tally* tally) {
  GError* error = nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_mime_type(mime_type, &error);
  if (loader == nullptr) {
    Fault(tally, path, mime_type, error != nullptr ? error->message : "no loader");
    g_clear_error(&error);
    return;
  }
  const size_t half = bytes.size() / 2;
  gboolean ok = gdk_pixbuf_loader_write(loader, bytes.data(), half, &error) &&
                gdk_pixbuf_loader_write(loader, bytes.data() + half, bytes.size() - half, &error);
  ok = gdk_pixbuf_loader_close(loader, ok ? &error : nullptr) && ok;
  if (ok) {
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf == nullptr || gdk_pixbuf_get_width(pixbuf) < 1 ||
        gdk_pixbuf_get_height(pixbuf) < 1) {
      Fault(tally, path, mime_type, "success without a picture");
    } else {
      // Every byte handed over is read, so a sanitizer sees any that was never written.
      const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
      unsigned sum = 0;
      for (gsize i = 0; i < gdk_pixbuf_get_byte_length(pixbuf); ++i) sum += pixels[i];
      volatile unsigned keep = sum;
      (void)keep;
      ++tally->loaded;
    }
  } else if (error == nullptr || error->message == nullptr || error->message[0] == '\0') {
    Fault(tally, path, mime_type, "failure without a message");
  } else {
    ++tally->refused;
  }
  g_clear_error(&error);
  g_object_unref(loader);
}

}  // namespace

int main(int argc, char** argv) {
  Tally tally;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    if (!fs::is_directory(argv[i])) continue;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(argv[i])) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<guchar> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
      ++files;
      Replay(entry.path(), bytes, "image/x-g00", &tally);
      Replay(entry.path(), bytes, "image/x-pdt", &tally);
    }
  }
  std::printf("%d files, each as G00 and as PDT: %d loaded, %d refused with a message, %d faults\n",
              files, tally.loaded, tally.refused, tally.faults);
  return files > 0 && tally.faults == 0 ? 0 : 1;
}
