// SPDX-License-Identifier: MIT
// The plug-in as a host viewer sees it: a library loaded at run time (dlopen, or LoadLibraryA
// on Windows) and called only through its four exports. Decoded blocks are taken over,
// copied out and released with the plug-in platform's LocalFree. Calls may come from several
// threads at once: the plug-in keeps no state.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "host/plugin_api.h"
#include "tools/brask/dib_picture.h"

namespace brask {

// The outcome of one GetPicture call.
struct DecodedFile {
  int32_t result = kNotSupported;  // the plug-in's result code
  std::string problem;             // set when a success came with unusable blocks
  DibPicture picture;              // filled when result is kSuccess and problem is empty
  double seconds = 0;              // time spent in GetPicture
  bool ok() const { return result == kSuccess && problem.empty(); }
};

class PluginLibrary {
 public:
  // The library built beside this program: if_brask.so, or on Windows if_brask.spi (32-bit)
  // or if_brask_x64.dll (64-bit); an installed brask takes the one installed with it.
  static std::string DefaultPath();

  // Loads the library and resolves its exports; false with a reason otherwise.
  bool Load(const std::string& path, std::string* why);
  const std::string& path() const { return path_; }

  // Asks IsSupported with the file's name and its first 2 KB. False also when the file
  // cannot be read.
  bool Supports(const std::string& file) const;
  // GetPictureInfo on the file from its start.
  int32_t ReadInfo(const std::string& file, PictureInfoRecord* info) const;
  // GetPicture on the file from its start. While *cancel is set, the progress callback asks
  // the plug-in to stop at its first and middle calls; it never does so at the last call,
  // where a stop would leave the blocks' owner unclear.
  DecodedFile Decode(const std::string& file, const std::atomic<bool>* cancel) const;

 private:
  std::string path_;
  void* module_ = nullptr;
  int32_t(BRASK_CALL* is_supported_)(const char*, uintptr_t) = nullptr;
  int32_t(BRASK_CALL* get_picture_info_)(const char*, int32_t, uint32_t,
                                         PictureInfoRecord*) = nullptr;
  int32_t(BRASK_CALL* get_picture_)(const char*, int32_t, uint32_t, HLOCAL*, HLOCAL*,
                                    ProgressCallback, UserData) = nullptr;
  void* (*local_lock_)(HLOCAL) = nullptr;
  int (*local_unlock_)(HLOCAL) = nullptr;
  HLOCAL (*local_free_)(HLOCAL) = nullptr;
  size_t (*local_size_)(HLOCAL) = nullptr;

  // Copies a handed-over block and frees it; false when it cannot be locked.
  bool TakeBlock(HLOCAL block, std::vector<uint8_t>* bytes) const;
};

}  // namespace brask
