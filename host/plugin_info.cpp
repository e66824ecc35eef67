// SPDX-License-Identifier: MIT
// The library entry and the information strings the host reads through GetPluginInfo.
#include "host/plugin_api.h"

namespace {

// Interface identifier, description, then a file pattern and display name per format. The
// display names are Shift_JIS (code page 932): the word before the parenthesis is four
// katakana, stored as the byte pairs below.
constexpr const char* kInformationStrings[] = {
    "00IN",
    "Quarvelle's G00, PDT to DIB filter  ver.0.03 by Drelm",
    "*.g00",
    "G00 " "\x83\x74" "\x83\x40" "\x83\x43" "\x83\x8B" " (*.g00)",
    "*.pdt",
    "PDT " "\x83\x74" "\x83\x40" "\x83\x43" "\x83\x8B" " (*.pdt)",
};
constexpr int32_t kInformationStringCount =
    static_cast<int32_t>(sizeof kInformationStrings / sizeof kInformationStrings[0]);

}  // namespace

// Returns the number of bytes copied, the terminator included when the whole string fits;
// a string that does not fit is cut and terminated inside the buffer.
int32_t BRASK_CALL GetPluginInfo(int32_t index, char* buffer, int32_t buffer_length) {
  if (index < 0 || index >= kInformationStringCount) return 0;
  const char* entry = kInformationStrings[index];
  const int32_t length = lstrlenA(entry);
  const int32_t count = length + 1 < buffer_length ? length + 1 : buffer_length;
  if (count >= 1 && buffer != nullptr) lstrcpynA(buffer, entry, count);
  return count;
}

#if defined(_WIN32)
// The module keeps no per-process or per-thread state, so there is nothing to set up.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
