// SPDX-License-Identifier: MIT
// The sentence brask_open_*_explained hands back: what is wrong with a file, in its own
// terms, written into the caller's buffer (cut to fit, always terminated). A null writer
// (the plain brask_open_* calls) formats nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "brask/brask.h"
#include "formats/header_fault.h"

namespace api {

class Explanation {
 public:
  Explanation(char* text, size_t size);

  // Answers `result` after writing its sentence: brask_result_text's words.
  brask_result Plain(brask_result result);
  // BRASK_DAMAGED, after "a G00 picture cut short: its header needs 13 bytes, the file
  // holds 7" or "a damaged PDT picture: its header gives a size of 0 x 4 pixels".
  brask_result Damaged(const char* format_name, const HeaderFault& fault);
  // BRASK_NOT_SUPPORTED, after what the first bytes and the name say the file is not.
  brask_result NotOurs(const uint8_t* data, size_t length, const char* name_hint);
  // Whether these bytes begin a picture of ours that ends before its five-byte head does:
  // if so, the damage is written and *result set.
  bool CutBeforeHead(const uint8_t* data, size_t length, const char* name_hint,
                     brask_result* result);

 private:
  char* text_;
  size_t size_;
};

}  // namespace api
