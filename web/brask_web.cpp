// SPDX-License-Identifier: MIT
// The WebAssembly module's face to JavaScript: one call opens a picture, describes it and
// decodes it (whole, or one part) through the C API, and hands back a record of 32-bit words
// that module_interface.js reads. Everything a call allocates is freed by brask_web_release,
// so a page that decodes thousands of files reuses the same memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "brask/brask.h"

static_assert(sizeof(void*) == 4 && sizeof(size_t) == 4, "the record's words hold pointers");

namespace {

// The record's words, in this order (module_interface.js reads them by these positions).
struct WebDecoded {
  uint32_t result;       // brask_result; nothing below is meaningful unless BRASK_OK
  brask_info info;       // 7 words: format, mode, width, height, has_alpha, palette_size, part_count
  uint32_t parts;        // brask_part[part_count]: 6 words each
  uint32_t rgba;         // the decoded RGBA, rgba_bytes long (0 bytes: a part with no picture)
  uint32_t rgba_bytes;
  int32_t rgba_width;    // of the whole picture, or of the part as stored
  int32_t rgba_height;
  // Unless BRASK_OK, a sentence for a person saying what is wrong with the file (the same as
  // brask's), or empty.
  char why[BRASK_EXPLANATION_SIZE];
};
static_assert(offsetof(WebDecoded, why) == 13 * 4, "the record is read as 13 words, then why");
static_assert(sizeof(brask_part) == 6 * 4, "a part is read as 6 words");

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

brask_result DecodeInto(brask_picture* picture, int32_t part, WebDecoded* out) {
  brask_result result = brask_get_info(picture, &out->info);
  if (result != BRASK_OK) return result;
  const uint32_t count = out->info.part_count;
  brask_part* parts = nullptr;
  if (count != 0) {
    parts = static_cast<brask_part*>(std::calloc(count, sizeof(brask_part)));
    if (parts == nullptr) return BRASK_OUT_OF_MEMORY;
    out->parts = Address(parts);
    for (uint32_t n = 0; n < count; ++n) {
      if ((result = brask_get_part(picture, n, &parts[n])) != BRASK_OK) return result;
    }
  }
  uint64_t width = out->info.width, height = out->info.height;
  if (part >= 0) {
    if (static_cast<uint32_t>(part) >= count) return BRASK_NO_SUCH_PART;
    const brask_part& chosen = parts[part];
    out->rgba_width = chosen.width;
    out->rgba_height = chosen.height;
    // A part narrower than a pixel or without rows has no picture of its own.
    if (chosen.width < 1 || chosen.height < 1) return BRASK_OK;
    width = static_cast<uint64_t>(chosen.width);
    height = static_cast<uint64_t>(chosen.height);
  } else {
    out->rgba_width = static_cast<int32_t>(out->info.width);
    out->rgba_height = static_cast<int32_t>(out->info.height);
  }
  // The API measured this against its memory limit at open, so it fits in 32 bits here.
  const uint64_t bytes = width * height * 4;
  if (bytes > UINT32_MAX) return BRASK_OVER_MEMORY_LIMIT;
  uint8_t* rgba = static_cast<uint8_t*>(std::malloc(bytes == 0 ? 1 : static_cast<size_t>(bytes)));
  if (rgba == nullptr) return BRASK_OUT_OF_MEMORY;
  out->rgba = Address(rgba);
  out->rgba_bytes = static_cast<uint32_t>(bytes);
  const size_t stride = static_cast<size_t>(width * 4);
  if (part >= 0) {
    return brask_decode_part_rgba(picture, static_cast<uint32_t>(part), rgba,
                                  static_cast<size_t>(bytes), stride);
  }
  return brask_decode_rgba(picture, rgba, static_cast<size_t>(bytes), stride);
}

}  // namespace

extern "C" {

// Decodes `length` bytes at `data` (a malloc'd block this call frees as soon as the handle
// has its copy, to keep the peak low), named `name` (UTF-8, may be null). `part` is -1 for
// the whole picture, else the position of a part. Null only when the record itself could not
// be allocated; otherwise free the record with brask_web_release whatever its result.
__attribute__((used)) WebDecoded* brask_web_decode(uint8_t* data, size_t length,
                                                   const char* name, int32_t part) {
  WebDecoded* out = static_cast<WebDecoded*>(std::calloc(1, sizeof(WebDecoded)));
  brask_picture* picture = nullptr;
  const brask_result opened = out == nullptr ? BRASK_OUT_OF_MEMORY
                                             : brask_open_memory_explained(
                                                   data, length, name, 0, &picture, out->why,
                                                   sizeof out->why);
  std::free(data);
  if (out == nullptr) return nullptr;
  out->result = opened;
  if (opened == BRASK_OK) out->result = DecodeInto(picture, part, out);
  brask_close(picture);
  return out;
}

__attribute__((used)) void brask_web_release(WebDecoded* decoded) {
  if (decoded == nullptr) return;
  std::free(reinterpret_cast<void*>(static_cast<uintptr_t>(decoded->parts)));
  std::free(reinterpret_cast<void*>(static_cast<uintptr_t>(decoded->rgba)));
  std::free(decoded);
}

}  // extern "C"
