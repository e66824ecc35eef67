// SPDX-License-Identifier: MIT
// IsSupported, GetPictureInfo and GetPicture: obtain the input's bytes (from a file, a
// read-only mapping of it, or the host's memory), pick a handler and pass its result on.
// Everything opened here is closed here, on every path.
#include "host/select_handler.h"
#include "host/plugin_api.h"

namespace {

// Information requests read this much of a file; it is all any header needs.
constexpr int32_t kHeadBytes = 2048;
constexpr int32_t kLargestDataLength = 0x7FFFFFFF;

HANDLE OpenForReading(const char* name) {
  return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Input too short for the selection rule is not recognised; nothing past it is looked at.
const FormatHandler* SelectFromInput(const char* name, const uint8_t* head, int32_t length) {
  if (head == nullptr || length < kSelectionHeadBytes) return nullptr;
  return SelectHandler(name, head);
}

int32_t DecodeWithHandler(const char* name, const uint8_t* data, int32_t data_length,
                          HLOCAL* info_block, HLOCAL* pixel_block, ProgressCallback progress,
                          UserData user_data) {
  const FormatHandler* handler = SelectFromInput(name, data, data_length);
  if (handler == nullptr) return kNotSupported;
  return handler->Decode(data, data_length, info_block, pixel_block, progress, user_data);
}

}  // namespace

// Returns the name's length when a handler reads the file, else 0. A source below 0x10000 is
// a file handle whose next bytes are read (its position is not restored); anything else
// points at the file's first bytes.
int32_t BRASK_CALL IsSupported(const char* name, uintptr_t source) {
  uint8_t head_buffer[kHeadBytes];
  const uint8_t* head;
  int32_t head_length;
  if (source < 0x10000) {
    DWORD bytes_read = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(source), head_buffer, kHeadBytes, &bytes_read, nullptr)) {
      return 0;
    }
    head = head_buffer;
    head_length = static_cast<int32_t>(bytes_read);
  } else {
    head = reinterpret_cast<const uint8_t*>(source);
    head_length = kSelectionHeadBytes;
  }
  if (SelectFromInput(name, head, head_length) == nullptr) return 0;
  return lstrlenA(name);
}

// flags & 7 non-zero: source points at `position` bytes of the image in memory. Otherwise
// source names a file and the image starts `position` bytes into it.
int32_t BRASK_CALL GetPictureInfo(const char* source, int32_t position, uint32_t flags,
                                  PictureInfoRecord* info) {
  if (info == nullptr) return kNotSupported;
  uint8_t head_buffer[kHeadBytes];
  const uint8_t* head;
  int32_t head_length;
  const char* name;
  if ((flags & 7) != 0) {
    head = reinterpret_cast<const uint8_t*>(source);
    head_length = position <= kHeadBytes ? position : kHeadBytes;
    name = nullptr;
  } else {
    HANDLE file = OpenForReading(source);
    if (file == INVALID_HANDLE_VALUE) return kFileError;
    // A negative position would fail the seek and leave the head read from the file's
    // start: it names no picture.
    if (position < 0) {
      CloseHandle(file);
      return kNotSupported;
    }
    SetFilePointer(file, position, nullptr, FILE_BEGIN);
    DWORD bytes_read = 0;
    const BOOL read_ok = ReadFile(file, head_buffer, kHeadBytes, &bytes_read, nullptr);
    CloseHandle(file);
    if (!read_ok) return kFileError;
    head = head_buffer;
    head_length = static_cast<int32_t>(bytes_read);
    name = source;
  }
  const FormatHandler* handler = SelectFromInput(name, head, head_length);
  if (handler == nullptr) return kNotSupported;
  return handler->GetInfo(head, head_length, info);
}

// Any flag bit set: source points at `position` bytes of the image in memory. Otherwise the
// whole file is mapped read-only and the image starts `position` bytes into it.
int32_t BRASK_CALL GetPicture(const char* source, int32_t position, uint32_t flags,
                              HLOCAL* info_block, HLOCAL* pixel_block, ProgressCallback progress,
                              UserData user_data) {
  if (info_block == nullptr || pixel_block == nullptr) return kNotSupported;
  if (flags != 0) {
    return DecodeWithHandler(nullptr, reinterpret_cast<const uint8_t*>(source), position,
                             info_block, pixel_block, progress, user_data);
  }

  HANDLE file = OpenForReading(source);
  if (file == INVALID_HANDLE_VALUE) return kFileError;
  DWORD size_high = 0;
  const DWORD size_low = GetFileSize(file, &size_high);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (view == nullptr) {
    if (mapping != nullptr) CloseHandle(mapping);
    CloseHandle(file);
    return kMappingFailed;
  }

  // A position outside the file leaves no image to read; a file beyond 2 GiB is seen
  // through its first 2 GiB from the position, which is all a handler can address.
  const uint64_t file_size = static_cast<uint64_t>(size_high) << 32 | size_low;
  int32_t result = kNotSupported;
  if (position >= 0 && static_cast<uint64_t>(position) < file_size) {
    const uint64_t remaining = file_size - static_cast<uint64_t>(position);
    const int32_t data_length = remaining > static_cast<uint64_t>(kLargestDataLength)
                                    ? kLargestDataLength
                                    : static_cast<int32_t>(remaining);
    result = DecodeWithHandler(source, static_cast<const uint8_t*>(view) + position, data_length,
                               info_block, pixel_block, progress, user_data);
  }

  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
  return result;
}
