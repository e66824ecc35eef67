// SPDX-License-Identifier: MIT
// What every fuzz target that goes through the exports checks after each call: only the
// documented result codes, a well-formed DIB on success, host variables that never hold a
// freed handle, and nothing left allocated once the host has freed what it was handed.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/dib.h"
#include "host/plugin_api.h"
#include "platform/fault_injection.h"

namespace fuzz_exports {

// Large but valid claims are refused as out of memory above this, keeping runs fast.
constexpr size_t kAllocationLimit = 4u << 20;

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

inline HLOCAL Sentinel() { return reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A50u)); }

struct Cancel {
  int at_call;  // 1-based progress call that answers non-zero; 0: never
  int calls;
};

inline int32_t BRASK_CALL Progress(int32_t numerator, int32_t denominator, UserData user_data) {
  Cancel* cancel = reinterpret_cast<Cancel*>(user_data);
  Check(denominator == 2 && numerator >= 0 && numerator <= 2);
  return ++cancel->calls == cancel->at_call ? 1 : 0;
}

// A block handed to the host: its header and size agree with each other.
inline void CheckDib(HLOCAL info, HLOCAL pixels) {
  Check(info != nullptr && pixels != nullptr && info != Sentinel() && pixels != Sentinel());
  const size_t info_size = LocalSize(info);
  Check(info_size == kInfoBlockBytes24 || info_size == kInfoBlockBytes8);
  const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(LocalLock(info));
  Check(header != nullptr);
  Check(header->biSize == 40 && header->biPlanes == 1);
  Check(header->biBitCount == (info_size == kInfoBlockBytes8 ? 8 : 24));
  Check(header->biWidth > 0 && header->biHeight > 0);
  const uint64_t stride = DibStride(static_cast<uint64_t>(header->biWidth), header->biBitCount / 8u);
  Check(stride * static_cast<uint64_t>(header->biHeight) == header->biSizeImage);
  Check(LocalSize(pixels) == header->biSizeImage);
  LocalUnlock(info);
}

// Decodes through GetPicture and releases what the host was handed; traps on any breach.
inline void DecodeAndRelease(const char* source, int32_t position, uint32_t flags, int cancel_at) {
  const long live_before = platform::LiveResources();
  HLOCAL info = Sentinel();
  HLOCAL pixels = Sentinel();
  Cancel cancel{cancel_at, 0};
  const int32_t result = GetPicture(source, position, flags, &info, &pixels,
                                    cancel_at >= 0 ? Progress : nullptr,
                                    reinterpret_cast<UserData>(&cancel));
  Check(result == 0 || result == 1 || result == 2 || result == 4 || result == 5 || result == 6);
  const bool handed_over = result == 0 || (result == 1 && cancel.calls == cancel.at_call &&
                                           info != Sentinel() && info != nullptr &&
                                           pixels != Sentinel() && pixels != nullptr &&
                                           cancel.calls >= 2);
  if (handed_over) {
    CheckDib(info, pixels);
    Check(LocalFree(info) == nullptr);
    Check(LocalFree(pixels) == nullptr);
  } else {
    // A failed request leaves a variable untouched or null, never a freed handle.
    Check(info == Sentinel() || info == nullptr);
    Check(pixels == Sentinel() || pixels == nullptr);
  }
  Check(platform::LiveResources() == live_before);
}

inline void GetInfo(const char* source, int32_t position, uint32_t flags) {
  PictureInfoRecord record;
  std::memset(&record, 0x5A, sizeof record);
  const int32_t result = GetPictureInfo(source, position, flags, &record);
  Check(result == 0 || result == 2 || result == 6);
  if (result == 0) {
    Check(record.left == 0 && record.top == 0);
    Check(record.colour_depth == 8 || record.colour_depth == 24);
  }
}

}  // namespace fuzz_exports
