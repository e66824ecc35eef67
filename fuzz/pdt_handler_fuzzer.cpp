// SPDX-License-Identifier: MIT
// PDT pictures through the exports' memory path: GetPictureInfo, then GetPicture with a
// callback that may cancel at any of its calls. Checks the result codes, that the host's
// variables are written only when the blocks are handed over, and that a handed-over DIB is
// well formed; frees what the host was given with LocalFree.
#include <cstdint>
#include <cstring>

#include "codec/byte_io.h"
#include "codec/dib.h"
#include "host/plugin_api.h"

namespace {

// Claims up to this many work-buffer bytes are decoded; larger ones that a block could still
// hold are skipped to keep runs fast. Claims past kLargestBlockBytes always run: they must be
// refused before anything is allocated.
constexpr uint64_t kLargestDecodedClaim = 4u << 20;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

HLOCAL Sentinel() { return reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A50u)); }

struct Cancel {
  int at_call;  // 1-based progress call that answers non-zero; 0: never
  int calls;
};

int32_t BRASK_CALL Progress(int32_t numerator, int32_t denominator, UserData user_data) {
  Cancel* cancel = reinterpret_cast<Cancel*>(user_data);
  Check(denominator == 2 && numerator == cancel->calls);  // (0, 2), (1, 2), (2, 2) in turn
  return ++cancel->calls == cancel->at_call ? 1 : 0;
}

// Whether the header asks for a work buffer too large to be worth decoding yet small enough
// to be allocated.
bool TooCostly(const uint8_t* data, size_t size) {
  if (size < 20) return false;
  const int32_t width = ReadI32Le(data + 12);
  const int32_t height = ReadI32Le(data + 16);
  if (width <= 0 || height <= 0) return false;
  const uint64_t w = static_cast<uint64_t>(width);
  const uint64_t h = static_cast<uint64_t>(height);
  // The work buffer of the header's own mode; it is never smaller than the pixel block.
  const bool indexed = data[4] == '1';
  const bool masked = !indexed && size >= 32 && ReadU32Le(data + 28) != 0;
  const uint64_t claim = indexed  ? DibStride(w, 1) * h + 1
                         : masked ? 4 * w * h + 1
                                  : DibStride(w, 3) * h + 1;
  return claim > kLargestDecodedClaim && claim <= kLargestBlockBytes;
}

void CheckAndFree(HLOCAL info, HLOCAL pixels) {
  Check(info != nullptr && pixels != nullptr);
  const size_t info_size = LocalSize(info);
  Check(info_size == kInfoBlockBytes24 || info_size == kInfoBlockBytes8);
  BITMAPINFOHEADER header;
  const void* locked = LocalLock(info);
  Check(locked != nullptr);
  std::memcpy(&header, locked, sizeof header);
  LocalUnlock(info);
  Check(header.biSize == 40 && header.biPlanes == 1 && header.biCompression == 0);
  Check(header.biBitCount == (info_size == kInfoBlockBytes8 ? 8 : 24));
  Check(header.biWidth > 0 && header.biHeight > 0);
  const uint64_t stride = DibStride(static_cast<uint64_t>(header.biWidth), header.biBitCount / 8u);
  Check(stride * static_cast<uint64_t>(header.biHeight) == header.biSizeImage);
  Check(LocalSize(pixels) == header.biSizeImage);
  Check(LocalFree(info) == nullptr);
  Check(LocalFree(pixels) == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5 || size > 0x7FFFFFFF) return 0;
  const char* source = reinterpret_cast<const char*>(data);
  const int32_t length = static_cast<int32_t>(size);

  PictureInfoRecord record;
  std::memset(&record, 0x77, sizeof record);
  const int32_t info_result = GetPictureInfo(source, length, 1, &record);
  Check(info_result == 0 || info_result == 2);
  if (info_result == 0) {
    Check(record.left == 0 && record.top == 0 && record.text_handle == 0);
    Check(record.colour_depth == 8 || record.colour_depth == 24);
  }

  if (TooCostly(data, size)) return 0;
  // Bytes 5 and 6 are never read by the decoder: they pick the call that cancels (0: none)
  // and whether there is a callback at all.
  Cancel cancel{size > 5 ? data[5] % 4 : 0, 0};
  const bool with_callback = size <= 6 || (data[6] & 1) == 0;
  HLOCAL info = Sentinel();
  HLOCAL pixels = Sentinel();
  const int32_t result = GetPicture(source, length, 1, &info, &pixels,
                                    with_callback ? Progress : nullptr,
                                    reinterpret_cast<UserData>(&cancel));
  Check(result == 0 || result == 1 || result == 2 || result == 4);
  const bool handed_over = info != Sentinel();
  Check(handed_over == (pixels != Sentinel()));  // both together
  if (result == 0) Check(handed_over);
  if (handed_over) Check(result == 0 || (result == 1 && cancel.at_call == 3 && with_callback));
  if (handed_over) CheckAndFree(info, pixels);
  return 0;
}
