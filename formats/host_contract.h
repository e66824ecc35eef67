// SPDX-License-Identifier: MIT
// What a host viewer and a format handler exchange: the information record, the progress
// callback with its user data, and the result codes. The layout is fixed by the hosts
// already in the field; every size here is checked at compile time. host/plugin_api.h
// declares the exports over these types.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel.h"

// The host's value handed back to its progress callback unchanged: pointer-sized, so a host
// may pass the address of its own state (32 bits in the 32-bit DLL, as the hosts in the field
// expect; 64 bits in the 64-bit DLL and the native library). Not `long`, which 64-bit
// Windows keeps at 32 bits.
typedef intptr_t UserData;
static_assert(sizeof(UserData) == sizeof(void*), "user data is pointer-sized");

#if defined(_WIN32) && !defined(_WIN64)
#define BRASK_CALL __stdcall  // the callee removes the arguments
#elif defined(_WIN32)
#define BRASK_CALL  // x64 has a single calling convention
#else
#define BRASK_CALL
#endif

// Every export and handler operation answers with one of these.
enum ResultCode : int32_t {
  kNotProvided = -1,   // a handler operation this module does not implement
  kSuccess = 0,
  kCancelled = 1,      // the progress callback asked to stop
  kNotSupported = 2,   // no handler accepts the input, or its header is refused
  kOutOfMemory = 4,    // a block or buffer could not be allocated or locked
  kMappingFailed = 5,  // the file could not be mapped
  kFileError = 6,      // the file could not be opened or read
};

#pragma pack(push, 1)
struct PictureInfoRecord {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t x_density;     // always 0
  uint16_t y_density;     // always 0
  int16_t colour_depth;   // bits per pixel: 8 or 24
  uint32_t text_handle;   // always 0
};
#pragma pack(pop)
static_assert(sizeof(PictureInfoRecord) == 26, "the host's record is 26 bytes, packed");
static_assert(offsetof(PictureInfoRecord, colour_depth) == 20, "colour depth at byte 20");
static_assert(offsetof(PictureInfoRecord, text_handle) == 22, "last field unaligned at byte 22");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

// Called with (0, 2) before any work, (1, 2) or (2, 2) after decompression and (2, 2) at the
// end; a non-zero answer asks the plug-in to stop.
typedef int32_t(BRASK_CALL* ProgressCallback)(int32_t numerator, int32_t denominator,
                                              UserData user_data);
