// SPDX-License-Identifier: MIT
#include "tests/support/loaded_plugin.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
void* LockBlock(HLOCAL block) { return LocalLock(block); }
int UnlockBlock(HLOCAL block) { return LocalUnlock(block); }
HLOCAL FreeBlock(HLOCAL block) { return LocalFree(block); }
size_t BlockSize(HLOCAL block) { return LocalSize(block); }

template <class Function>
void Resolve(HMODULE module, const char* name, Function* function) {
  FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) throw std::runtime_error(std::string("missing export ") + name);
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}
#else
template <class Function>
void Resolve(void* module, const char* name, Function* function) {
  void* address = dlsym(module, name);
  if (address == nullptr) throw std::runtime_error(std::string("missing export ") + name);
  *function = reinterpret_cast<Function>(address);
}
#endif

struct CallbackState {
  DecodeOutcome* outcome;
  int cancel_at_call;
};

int32_t BRASK_CALL RecordProgress(int32_t numerator, int32_t denominator, UserData user_data) {
  CallbackState* state = reinterpret_cast<CallbackState*>(user_data);
  state->outcome->progress.emplace_back(numerator, denominator);
  return static_cast<int>(state->outcome->progress.size()) == state->cancel_at_call ? 1 : 0;
}

// A value no block handle ever has, so a test sees whether the plug-in wrote the variable.
HLOCAL Sentinel() { return reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A50u)); }

DecodeOutcome Decode(const char* source, int32_t position, uint32_t flags,
                     const DecodeRequest& request) {
  const LoadedPlugin& plugin = LoadedPlugin::Get();
  DecodeOutcome outcome;
  CallbackState state{&outcome, request.cancel_at_call};
  HLOCAL info = Sentinel();
  HLOCAL pixels = Sentinel();
  outcome.result = plugin.get_picture(source, position, flags, &info, &pixels,
                                      request.use_callback ? RecordProgress : nullptr,
                                      reinterpret_cast<UserData>(&state));
  outcome.info_set = info != Sentinel();
  outcome.pixels_set = pixels != Sentinel();
  outcome.info_null = info == nullptr;
  outcome.pixels_null = pixels == nullptr;
  // Blocks are the host's only after a success or a cancellation at the last call; on any
  // other failure the plug-in has freed them already (a variable may still hold the value).
  const bool handed_over = outcome.result == kSuccess ||
                           (outcome.result == kCancelled && !outcome.progress.empty() &&
                            outcome.progress.back() == std::make_pair(2, 2) &&
                            static_cast<int>(outcome.progress.size()) == request.cancel_at_call &&
                            outcome.info_set && outcome.pixels_set && !outcome.info_null &&
                            !outcome.pixels_null);
  if (handed_over) {
    outcome.info = plugin.TakeBlock(info);
    outcome.pixels = plugin.TakeBlock(pixels);
  }
  return outcome;
}

}  // namespace

LoadedPlugin::LoadedPlugin() {
#if defined(_WIN32)
  // The DLL of this build beside the tests: if_brask.spi, or if_brask_x64.dll.
  HMODULE module = LoadLibraryA(BRASK_PLUGIN_FILE_NAME);
  if (module == nullptr) {
    throw std::runtime_error("LoadLibraryA(" BRASK_PLUGIN_FILE_NAME ") failed, error " +
                             std::to_string(GetLastError()));
  }
  local_lock = LockBlock;
  local_unlock = UnlockBlock;
  local_free = FreeBlock;
  local_size = BlockSize;
#else
  const char* path = std::getenv("BRASK_PLUGIN");
  void* module = dlopen(path != nullptr ? path : BRASK_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  Resolve(module, "LocalLock", &local_lock);
  Resolve(module, "LocalUnlock", &local_unlock);
  Resolve(module, "LocalFree", &local_free);
  Resolve(module, "LocalSize", &local_size);
#endif
  Resolve(module, "GetPluginInfo", &get_plugin_info);
  Resolve(module, "IsSupported", &is_supported);
  Resolve(module, "GetPictureInfo", &get_picture_info);
  Resolve(module, "GetPicture", &get_picture);
}

const LoadedPlugin& LoadedPlugin::Get() {
  static const LoadedPlugin plugin;
  return plugin;
}

std::vector<uint8_t> LoadedPlugin::TakeBlock(HLOCAL block) const {
  std::vector<uint8_t> bytes(local_size(block));
  const void* memory = local_lock(block);
  if (memory != nullptr && !bytes.empty()) std::memcpy(bytes.data(), memory, bytes.size());
  local_unlock(block);
  local_free(block);
  return bytes;
}

DecodeOutcome DecodeMemory(const std::vector<uint8_t>& bytes, const DecodeRequest& request) {
  return Decode(reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()),
                1, request);
}

DecodeOutcome DecodeFile(const std::string& path, int32_t position, const DecodeRequest& request) {
  return Decode(path.c_str(), position, 0, request);
}
