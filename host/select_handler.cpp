// SPDX-License-Identifier: MIT
// The selection rule: which handler reads an input, from its name and first five bytes.
#include "formats/g00.h"
#include "formats/pdt.h"
#include "host/select_handler.h"

namespace {

constexpr uint32_t kPdtSignature = 0x31544450u;  // "PDT1", read little-endian
constexpr uint8_t kFirstUnknownG00Type = 3;
constexpr uint8_t kFirstUnknownPdtVersion = '2';

}  // namespace

const FormatHandler* SelectHandler(const char* name, const uint8_t* head) {
  // The test counts bytes, not characters: with a multi-byte name the four bytes may begin
  // inside a character.
  const int name_length = lstrlenA(name);
  if (name_length > 4 && lstrcmpiA(name + name_length - 4, ".g00") == 0 &&
      head[0] < kFirstUnknownG00Type) {
    return &kG00Handler;
  }
  const uint32_t signature = static_cast<uint32_t>(head[0]) | static_cast<uint32_t>(head[1]) << 8 |
                             static_cast<uint32_t>(head[2]) << 16 |
                             static_cast<uint32_t>(head[3]) << 24;
  if (signature == kPdtSignature && head[4] < kFirstUnknownPdtVersion) return &kPdtHandler;
  return nullptr;
}
