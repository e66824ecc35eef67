// SPDX-License-Identifier: MIT
#include "api/explanation.h"

#include <cstdio>
#include <cstring>

#include "formats/g00.h"
#include "formats/pdt.h"
#include "host/select_handler.h"

namespace api {
namespace {

constexpr size_t kHeadBytes = 5;
constexpr size_t kPdtSignatureBytes = 4;
constexpr uint8_t kFirstUnknownG00Type = 3;

// The selection rule asked of a name alone: would a type-0 head with this name be a G00?
bool NamedG00(const char* name_hint) {
  const uint8_t type0_head[kHeadBytes] = {0, 0, 0, 0, 0};
  return SelectHandler(name_hint, type0_head) == &kG00Handler;
}

// Whether the first four bytes are the PDT signature (the rule asked with version '0').
bool StartsPdt(const uint8_t* data, size_t length) {
  if (length < kPdtSignatureBytes) return false;
  uint8_t head[kHeadBytes] = {data[0], data[1], data[2], data[3], '0'};
  return SelectHandler(nullptr, head) == &kPdtHandler;
}

}  // namespace

Explanation::Explanation(char* text, size_t size) : text_(text), size_(text != nullptr ? size : 0) {
  if (size_ != 0) text_[0] = '\0';
}

brask_result Explanation::Plain(brask_result result) {
  if (size_ != 0) std::snprintf(text_, size_, "%s", brask_result_text(result));
  return result;
}

brask_result Explanation::Damaged(const char* format_name, const HeaderFault& fault) {
  if (size_ != 0) {
    const int used = std::snprintf(text_, size_, fault.cut_short ? "a %s picture cut short: "
                                                                 : "a damaged %s picture: ",
                                   format_name);
    if (used > 0 && static_cast<size_t>(used) < size_ && fault.words != nullptr) {
      std::snprintf(text_ + used, size_ - static_cast<size_t>(used), fault.words,
                    static_cast<unsigned long long>(fault.first),
                    static_cast<unsigned long long>(fault.second));
    }
  }
  return BRASK_DAMAGED;
}

brask_result Explanation::NotOurs(const uint8_t* data, size_t length, const char* name_hint) {
  if (size_ == 0) return BRASK_NOT_SUPPORTED;
  if (length == 0) {
    std::snprintf(text_, size_, "not a G00 or PDT picture: the file is empty");
  } else if (NamedG00(name_hint) && data[0] >= kFirstUnknownG00Type) {
    std::snprintf(text_, size_,
                  "not a G00 picture: its first byte, the type, is %u, where a G00 has 0, 1 or 2",
                  data[0]);
  } else if (StartsPdt(data, length) && length >= kHeadBytes) {
    std::snprintf(text_, size_,
                  "not a PDT picture this library reads: its version byte is %u, where a PDT "
                  "has '0' or '1'",
                  data[kPdtSignatureBytes]);
  } else {
    std::snprintf(text_, size_,
                  "not a G00 or PDT picture: a PDT starts with \"PDT10\" or \"PDT11\", and a G00 "
                  "is known by its name ending in .g00");
  }
  return BRASK_NOT_SUPPORTED;
}

bool Explanation::CutBeforeHead(const uint8_t* data, size_t length, const char* name_hint,
                                brask_result* result) {
  if (length >= kHeadBytes) return false;
  // A type-0 or type-1 header with its sizes; a PDT's header up to its first stream.
  static constexpr size_t kG00HeaderBytes = 13;
  static constexpr size_t kPdtHeaderBytes = 32;
  // A G00 is known by its name: empty or a few bytes long, it is one cut short.
  if (NamedG00(name_hint) && (length == 0 || data[0] < kFirstUnknownG00Type)) {
    *result = Damaged("G00", {true, "its header needs %llu bytes, the file holds %llu",
                              kG00HeaderBytes, length});
    return true;
  }
  if (StartsPdt(data, length)) {
    *result = Damaged("PDT", {true, "its header needs %llu bytes, the file holds %llu",
                              kPdtHeaderBytes, length});
    return true;
  }
  return false;
}

}  // namespace api
