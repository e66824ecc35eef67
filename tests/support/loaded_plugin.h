// SPDX-License-Identifier: MIT
// The plug-in as a host sees it: loaded at run time (dlopen, or LoadLibraryA under Windows)
// and called only through its exports, with its blocks released by the platform's LocalFree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/plugin_api.h"

class LoadedPlugin {
 public:
  // The plug-in built beside the tests; loaded once, on first use.
  static const LoadedPlugin& Get();

  int32_t(BRASK_CALL* get_plugin_info)(int32_t, char*, int32_t) = nullptr;
  int32_t(BRASK_CALL* is_supported)(const char*, uintptr_t) = nullptr;
  int32_t(BRASK_CALL* get_picture_info)(const char*, int32_t, uint32_t, PictureInfoRecord*) = nullptr;
  int32_t(BRASK_CALL* get_picture)(const char*, int32_t, uint32_t, HLOCAL*, HLOCAL*,
                                   ProgressCallback, UserData) = nullptr;

  // The platform calls a host uses to read and release the blocks it is handed.
  void* (*local_lock)(HLOCAL) = nullptr;
  int (*local_unlock)(HLOCAL) = nullptr;
  HLOCAL (*local_free)(HLOCAL) = nullptr;
  size_t (*local_size)(HLOCAL) = nullptr;

  // Copies a block's bytes and frees it.
  std::vector<uint8_t> TakeBlock(HLOCAL block) const;

 private:
  LoadedPlugin();
};

// The outcome of one GetPicture call, with the blocks taken over and freed.
struct DecodeOutcome {
  int32_t result = -100;
  bool info_set = false;   // the host's variable changed from its sentinel
  bool pixels_set = false;
  bool info_null = false;  // ...and is null
  bool pixels_null = false;
  std::vector<uint8_t> info;    // the information block's bytes, when a block was handed over
  std::vector<uint8_t> pixels;  // the pixel block's bytes
  std::vector<std::pair<int32_t, int32_t>> progress;  // (numerator, denominator) per call
};

// Decoding options: where the input comes from, and when the callback cancels.
struct DecodeRequest {
  bool use_callback = true;
  int cancel_at_call = 0;  // 1-based progress call that answers non-zero; 0: never
};

DecodeOutcome DecodeMemory(const std::vector<uint8_t>& bytes, const DecodeRequest& request = {});
DecodeOutcome DecodeFile(const std::string& path, int32_t position = 0,
                         const DecodeRequest& request = {});
