// SPDX-License-Identifier: MIT
#include "tools/brask/plugin_library.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace brask {
namespace {

// IsSupported is given this much of a file's start, as a host viewer does.
constexpr size_t kHeadBytes = 2048;

#if defined(_WIN32)
void* LockBlock(HLOCAL block) { return LocalLock(block); }
int UnlockBlock(HLOCAL block) { return LocalUnlock(block); }
HLOCAL FreeBlock(HLOCAL block) { return LocalFree(block); }
size_t BlockSize(HLOCAL block) { return LocalSize(block); }

template <class Function>
bool Resolve(void* module, const char* name, Function* function, std::string* why) {
  FARPROC address = GetProcAddress(static_cast<HMODULE>(module), name);
  if (address == nullptr) {
    *why = std::string("the library has no export ") + name;
    return false;
  }
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
  return true;
}
#else
template <class Function>
bool Resolve(void* module, const char* name, Function* function, std::string* why) {
  void* address = dlsym(module, name);
  if (address == nullptr) {
    *why = std::string("the library has no export ") + name;
    return false;
  }
  *function = reinterpret_cast<Function>(address);
  return true;
}
#endif

struct ProgressState {
  const std::atomic<bool>* cancel;
};

// The first call is (0, 2) and the middle one (1, 2) or (2, 2); the last is (2, 2). Only
// (0, 2) and (1, 2) are answered with a stop: after a stop at a (2, 2) call the plug-in may
// or may not have handed the blocks over, and a host cannot tell which.
int32_t BRASK_CALL OnProgress(int32_t numerator, int32_t, UserData user_data) {
  const ProgressState* state = reinterpret_cast<const ProgressState*>(user_data);
  if (state->cancel == nullptr || numerator >= 2) return 0;
  return state->cancel->load(std::memory_order_relaxed) ? 1 : 0;
}

}  // namespace

std::string PluginLibrary::DefaultPath() {
#if defined(_WIN32)
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string self(buffer, length < MAX_PATH ? length : 0);
  const size_t slash = self.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) +
         BRASK_PLUGIN_FILE_NAME;
#else
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  std::string self(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
  const size_t slash = self.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string("./") : self.substr(0, slash + 1);
  const std::string beside = folder + BRASK_PLUGIN_FILE_NAME;
#if defined(BRASK_INSTALLED_PLUGIN)
  // An installed brask (PREFIX/bin) has its plug-in in PREFIX/<libdir>/brask.
  const std::string installed = folder + "../" BRASK_INSTALLED_PLUGIN;
  if (access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0) return installed;
#endif
  return beside;
#endif
}

bool PluginLibrary::Load(const std::string& path, std::string* why) {
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    *why = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  module_ = module;
  local_lock_ = LockBlock;
  local_unlock_ = UnlockBlock;
  local_free_ = FreeBlock;
  local_size_ = BlockSize;
#else
  // A bare name would make dlopen search the library path instead of the folder given.
  const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
  module_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module_ == nullptr) {
    *why = std::string("cannot load ") + path + ": " + dlerror();
    return false;
  }
  if (!Resolve(module_, "LocalLock", &local_lock_, why) ||
      !Resolve(module_, "LocalUnlock", &local_unlock_, why) ||
      !Resolve(module_, "LocalFree", &local_free_, why) ||
      !Resolve(module_, "LocalSize", &local_size_, why)) {
    return false;
  }
#endif
  path_ = path;
  return Resolve(module_, "IsSupported", &is_supported_, why) &&
         Resolve(module_, "GetPictureInfo", &get_picture_info_, why) &&
         Resolve(module_, "GetPicture", &get_picture_, why);
}

bool PluginLibrary::Supports(const std::string& file) const {
  // Zero-filled past a short file's end, so the plug-in never sees undefined bytes.
  std::vector<char> head(kHeadBytes, 0);
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  if (in.bad()) return false;
  return is_supported_(file.c_str(), reinterpret_cast<uintptr_t>(head.data())) != 0;
}

int32_t PluginLibrary::ReadInfo(const std::string& file, PictureInfoRecord* info) const {
  std::memset(info, 0, sizeof(*info));
  return get_picture_info_(file.c_str(), 0, 0, info);
}

bool PluginLibrary::TakeBlock(HLOCAL block, std::vector<uint8_t>* bytes) const {
  const size_t size = local_size_(block);
  const void* memory = local_lock_(block);
  const bool locked = memory != nullptr;
  if (locked) {
    bytes->resize(size);
    if (size != 0) std::memcpy(bytes->data(), memory, size);
    local_unlock_(block);
  }
  local_free_(block);
  return locked;
}

DecodedFile PluginLibrary::Decode(const std::string& file, const std::atomic<bool>* cancel) const {
  DecodedFile decoded;
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  ProgressState state{cancel};
  const auto start = std::chrono::steady_clock::now();
  decoded.result = get_picture_(file.c_str(), 0, 0, &info, &pixels, OnProgress,
                                reinterpret_cast<UserData>(&state));
  decoded.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // On any failure the plug-in has freed what it allocated (a variable may still hold the
  // value); the blocks are ours only after a success.
  if (decoded.result != kSuccess) return decoded;
  if (info == nullptr || pixels == nullptr) {
    decoded.problem = "the plug-in reported success without handing over both blocks";
    if (info != nullptr) local_free_(info);
    if (pixels != nullptr) local_free_(pixels);
    return decoded;
  }
  std::vector<uint8_t> info_bytes;
  std::vector<uint8_t> pixel_bytes;
  const bool info_taken = TakeBlock(info, &info_bytes);
  const bool pixels_taken = TakeBlock(pixels, &pixel_bytes);
  if (!info_taken || !pixels_taken) {
    decoded.problem = "a block handed over by the plug-in could not be locked";
    return decoded;
  }
  std::string why;
  if (!decoded.picture.Adopt(std::move(info_bytes), std::move(pixel_bytes), &why)) {
    decoded.problem = "the plug-in handed over a malformed picture: " + why;
  }
  return decoded;
}

}  // namespace brask
