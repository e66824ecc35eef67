// SPDX-License-Identifier: MIT
// Opening a picture: recognising it, reading its header, measuring the costliest decode
// against the handle's memory limit before anything is allocated, and (type-2 G00) decoding
// the part directory that describes the parts. Nothing in the input is trusted; the header
// readers of formats/ check every field against the data.
#include <cstring>

#include "api/explanation.h"
#include "api/picture.h"
#include "codec/dib.h"
#include "codec/lz.h"
#include "formats/g00.h"
#include "formats/g00_parts.h"
#include "formats/pdt.h"
#include "host/select_handler.h"
#include "platform/kernel.h"

namespace {

constexpr uint32_t kRgbaBytes = 4;
// Far above any default, and low enough that no sum of a few costs wraps in 64 bits.
constexpr uint64_t kHighestLimit = uint64_t{1} << 48;
constexpr uint32_t kPdtPaletteEntries = 256;

uint64_t EffectiveLimit(uint64_t memory_limit) {
  if (memory_limit == 0) return BRASK_DEFAULT_MEMORY_LIMIT;
  return memory_limit < kHighestLimit ? memory_limit : kHighestLimit;
}

// The input, a work buffer and the RGBA output together, each a size the process can hold.
bool WithinLimit(uint64_t limit, uint64_t input, uint64_t work, uint64_t output) {
  if (input > kHighestLimit || work > kLargestBlockBytes || output > SIZE_MAX) return false;
  return input + work + output <= limit;
}

brask_format Recognise(const uint8_t* head, size_t length, const char* name_hint) {
  if (head == nullptr || length < static_cast<size_t>(kSelectionHeadBytes)) {
    return static_cast<brask_format>(0);
  }
  const FormatHandler* handler = SelectHandler(name_hint, head);
  if (handler == &kG00Handler) return BRASK_FORMAT_G00;
  if (handler == &kPdtHandler) return BRASK_FORMAT_PDT;
  return static_cast<brask_format>(0);
}

// Type 1's palette count is the first two bytes the stream produces (zero where it produces
// none, as a full decode leaves them).
uint16_t G00PaletteCount(const G00Header& header) {
  uint8_t prefix[kG00PaletteCountBytes] = {0, 0};
  DecodeG00Bytes(prefix, sizeof prefix, header.stream, header.stream_length);
  return ReadU16Le(prefix);
}

// Reads the header of `data` into *picture (pointers into `data`) and checks what it claims
// against the limit. Allocates nothing. A file of ours that its header cannot describe is
// damaged; a file that is not ours is not supported.
brask_result Describe(const uint8_t* data, size_t length, const char* name_hint, uint64_t limit,
                      brask_picture* picture, api::Explanation& why) {
  brask_info& info = picture->info;
  const brask_format format = Recognise(data, length, name_hint);
  info.format = format;
  HeaderFault fault;
  if (format == BRASK_FORMAT_PDT) {
    PdtLayout& layout = picture->pdt;
    switch (ReadPdtLayout(data, length, &layout, &fault)) {
      case PdtHeaderCheck::kAccepted: break;
      case PdtHeaderCheck::kTooLarge: return why.Plain(BRASK_OVER_MEMORY_LIMIT);
      case PdtHeaderCheck::kRefused: return why.Damaged("PDT", fault);
    }
    info.width = static_cast<uint32_t>(layout.width_px);
    info.height = static_cast<uint32_t>(layout.height_px);
    info.mode = layout.mode == PdtMode::kIndexed  ? BRASK_MODE_PDT11
                : layout.mode == PdtMode::kMasked ? BRASK_MODE_PDT10_MASKED
                                                  : BRASK_MODE_PDT10;
    info.has_alpha = layout.mode == PdtMode::kMasked ? 1 : 0;
    info.palette_size = layout.mode == PdtMode::kIndexed ? kPdtPaletteEntries : 0;
    picture->work_bytes = layout.work_bytes;
  } else if (format == BRASK_FORMAT_G00) {
    G00Header& header = picture->g00;
    if (!ReadG00Header(data, length, &header, &fault)) return why.Damaged("G00", fault);
    info.width = header.width;
    info.height = header.height;
    switch (header.type) {
      case 0:
        info.mode = BRASK_MODE_G00_TYPE0;
        picture->work_bytes = uint64_t{3} * header.width * header.height;
        break;
      case 1: {
        info.mode = BRASK_MODE_G00_TYPE1;
        picture->work_bytes = header.decompressed_size;
        picture->g00_palette_count = G00PaletteCount(header);
        if (!LocateG00Indexes(header, picture->g00_palette_count, &picture->g00_indexes_at,
                              &fault)) {
          return why.Damaged("G00", fault);
        }
        info.palette_size = picture->g00_palette_count < kG00MostColours
                                ? picture->g00_palette_count
                                : kG00MostColours;
        break;
      }
      default:
        // The composed size comes from the directory; until it is decoded, the directory
        // alone is measured (it stays held, so it counts as input).
        info.mode = BRASK_MODE_G00_TYPE2;
        info.has_alpha = 1;
        if (!WithinLimit(limit, uint64_t{length} + header.decompressed_size, 0, 0) ||
            header.decompressed_size > kLargestBlockBytes) {
          return why.Plain(BRASK_OVER_MEMORY_LIMIT);
        }
        return BRASK_OK;
    }
  } else {
    brask_result cut;
    if (why.CutBeforeHead(data, length, name_hint, &cut)) return cut;
    return why.NotOurs(data, length, name_hint);
  }
  const uint64_t output = uint64_t{kRgbaBytes} * info.width * info.height;
  return WithinLimit(limit, length, picture->work_bytes, output)
             ? BRASK_OK
             : why.Plain(BRASK_OVER_MEMORY_LIMIT);
}

// Decodes the type-2 directory and lists its parts; the composed picture's size is then
// measured against the limit with everything the handle holds.
brask_result ReadParts(brask_picture* picture, uint64_t limit, api::Explanation& why) {
  const G00Header& header = picture->g00;
  picture->directory_bytes = header.decompressed_size;
  picture->directory = api::Allocate(picture->directory_bytes);
  if (picture->directory == nullptr) return why.Plain(BRASK_OUT_OF_MEMORY);
  uint8_t* directory = picture->directory;
  const size_t written = DecodeG00Bytes(directory, picture->directory_bytes, header.stream,
                                        header.stream_length);
  std::memset(directory + written, 0, picture->directory_bytes - written);

  const G00PartsSize size = SizeG00Parts(directory, picture->directory_bytes);
  if (size.width <= 0 || size.height == 0) {
    return why.Damaged("G00", {false, "its part directory (%llu bytes unpacked) lists no part "
                                      "with pixels", picture->directory_bytes, 0});
  }
  if (size.height > kLargestBlockBytes) return why.Plain(BRASK_OVER_MEMORY_LIMIT);
  picture->info.width = static_cast<uint32_t>(size.width);
  picture->info.height = static_cast<uint32_t>(size.height);

  const uint64_t entries = CountG00Entries(directory, picture->directory_bytes);
  uint64_t count = 0;
  G00Part part;
  for (uint64_t i = 0; i < entries; ++i) {
    if (ReadG00Part(directory, picture->directory_bytes, i, &part)) ++count;
  }
  const uint64_t list_bytes = count * sizeof(brask_part);
  const uint64_t held = uint64_t{picture->length} + picture->directory_bytes + list_bytes;
  const uint64_t output = uint64_t{kRgbaBytes} * size.height * static_cast<uint64_t>(size.width);
  // The list is an allocation of its own: on a 32-bit build it must fit in size_t too.
  if (list_bytes > kLargestBlockBytes || !WithinLimit(limit, held, 0, output)) {
    return why.Plain(BRASK_OVER_MEMORY_LIMIT);
  }

  picture->parts = reinterpret_cast<brask_part*>(api::Allocate(static_cast<size_t>(list_bytes)));
  if (picture->parts == nullptr) return why.Plain(BRASK_OUT_OF_MEMORY);
  uint32_t listed = 0;
  uint64_t top = 0;  // at most the picture's height: each advance is at most its part's height
  for (uint64_t i = 0; i < entries; ++i) {
    if (!ReadG00Part(directory, picture->directory_bytes, i, &part)) continue;
    picture->parts[listed++] = brask_part{part.index, part.width, part.height, part.origin_x,
                                          part.origin_y, static_cast<uint32_t>(top)};
    top += static_cast<uint64_t>(G00PartAdvance(part));
  }
  picture->info.part_count = listed;
  return BRASK_OK;
}

// Takes `bytes` (a heap allocation of `length` bytes, already described) into a new handle.
// Frees `bytes` on failure.
brask_result Adopt(uint8_t* bytes, size_t length, const char* name_hint, uint64_t limit,
                   brask_picture** out, api::Explanation& why) {
  brask_picture* picture = reinterpret_cast<brask_picture*>(api::Allocate(sizeof(brask_picture)));
  if (picture == nullptr) {
    api::Free(bytes);
    return why.Plain(BRASK_OUT_OF_MEMORY);
  }
  std::memset(picture, 0, sizeof *picture);
  picture->bytes = bytes;
  picture->length = length;
  // Described once more, so that the header's pointers lead into the handle's own copy.
  brask_result result = Describe(bytes, length, name_hint, limit, picture, why);
  if (result == BRASK_OK && picture->info.mode == BRASK_MODE_G00_TYPE2) {
    result = ReadParts(picture, limit, why);
  }
  if (result != BRASK_OK) {
    brask_close(picture);
    return result;
  }
  *out = picture;
  return BRASK_OK;
}

}  // namespace

namespace api {

uint8_t* Allocate(size_t bytes) {
  return static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
}

void Free(void* memory) {
  if (memory != nullptr) HeapFree(GetProcessHeap(), 0, memory);
}

}  // namespace api

extern "C" {

uint32_t brask_recognise(const void* head, size_t length, const char* name_hint) {
  return Recognise(static_cast<const uint8_t*>(head), length, name_hint);
}

brask_result brask_open_memory_explained(const void* data, size_t length,
                                         const char* name_hint, uint64_t memory_limit,
                                         brask_picture** out, char* why_text, size_t why_size) {
  api::Explanation why(why_text, why_size);
  if (out == nullptr) return why.Plain(BRASK_INVALID_ARGUMENT);
  *out = nullptr;
  if (data == nullptr && length != 0) return why.Plain(BRASK_INVALID_ARGUMENT);
  const uint64_t limit = EffectiveLimit(memory_limit);
  const uint8_t* input = static_cast<const uint8_t*>(data);
  // Measured on the caller's bytes first: a refused claim allocates nothing.
  brask_picture described;
  std::memset(&described, 0, sizeof described);
  const brask_result result = Describe(input, length, name_hint, limit, &described, why);
  if (result != BRASK_OK) return result;
  uint8_t* copy = api::Allocate(length);
  if (copy == nullptr) return why.Plain(BRASK_OUT_OF_MEMORY);
  std::memcpy(copy, input, length);
  return Adopt(copy, length, name_hint, limit, out, why);
}

brask_result brask_open_memory(const void* data, size_t length, const char* name_hint,
                               uint64_t memory_limit, brask_picture** out) {
  return brask_open_memory_explained(data, length, name_hint, memory_limit, out, nullptr, 0);
}

brask_result brask_open_path_explained(const char* path, uint64_t memory_limit,
                                       brask_picture** out, char* why_text, size_t why_size) {
  api::Explanation why(why_text, why_size);
  if (out == nullptr) return why.Plain(BRASK_INVALID_ARGUMENT);
  *out = nullptr;
  if (path == nullptr) return why.Plain(BRASK_INVALID_ARGUMENT);
  const uint64_t limit = EffectiveLimit(memory_limit);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return why.Plain(BRASK_FILE_ERROR);
  DWORD size_high = 0;
  const DWORD size_low = GetFileSize(file, &size_high);
  const uint64_t size = uint64_t{size_high} << 32 | size_low;
  brask_result result = BRASK_OK;
  uint8_t* bytes = nullptr;
  if (size_low == INVALID_FILE_SIZE && size_high == INVALID_FILE_SIZE) {
    result = BRASK_FILE_ERROR;
  } else if (size > limit || size > kLargestBlockBytes) {
    result = BRASK_OVER_MEMORY_LIMIT;
  } else if ((bytes = api::Allocate(static_cast<size_t>(size))) == nullptr) {
    result = BRASK_OUT_OF_MEMORY;
  } else {
    DWORD read = 0;
    if (!ReadFile(file, bytes, static_cast<DWORD>(size), &read, nullptr) || read != size) {
      result = BRASK_FILE_ERROR;
    }
  }
  CloseHandle(file);
  if (result != BRASK_OK) {
    api::Free(bytes);
    return why.Plain(result);
  }
  return Adopt(bytes, static_cast<size_t>(size), path, limit, out, why);
}

brask_result brask_open_path(const char* path, uint64_t memory_limit, brask_picture** out) {
  return brask_open_path_explained(path, memory_limit, out, nullptr, 0);
}

void brask_close(brask_picture* picture) {
  if (picture == nullptr) return;
  api::Free(picture->parts);
  api::Free(picture->directory);
  api::Free(picture->bytes);
  api::Free(picture);
}

brask_result brask_get_info(const brask_picture* picture, brask_info* out) {
  if (picture == nullptr || out == nullptr) return BRASK_INVALID_ARGUMENT;
  *out = picture->info;
  return BRASK_OK;
}

brask_result brask_get_part(const brask_picture* picture, uint32_t n, brask_part* out) {
  if (picture == nullptr || out == nullptr) return BRASK_INVALID_ARGUMENT;
  if (n >= picture->info.part_count) return BRASK_NO_SUCH_PART;
  *out = picture->parts[n];
  return BRASK_OK;
}

}  // extern "C"
