// SPDX-License-Identifier: MIT
// What `brask encode` turns into a G00 or PDT file through the library's encoders: a PNG
// picture, in a mode given or chosen from the picture, or a parts description (NAME-parts.json
// and its NAME-partN.png pictures, as `brask convert --parts` writes them) as a type-2 G00.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brask {

// A mode (brask_mode) by the name --mode takes; 0 for none.
uint32_t ModeByName(const std::string& name);
bool IsG00Mode(uint32_t mode);

struct EncodeRequest {
  uint32_t mode = 0;  // brask_mode; 0: chosen from each picture, in the format below
  bool g00 = false;   // the format a mode is chosen in
  int32_t level = -1; // 0..9, or the library's default
};

struct EncodedInput {
  std::vector<uint8_t> file;
  uint32_t mode = 0;             // the mode written
  uint32_t width = 0;            // of the picture (type 2: of the composed picture)
  uint32_t height = 0;
  bool alpha_dropped = false;    // a PNG with alpha written in a mode without it
};

// False with the reason in words, naming the file at fault. A parts description is written as
// a type-2 G00 whatever G00 mode is asked for, and refused when PDT is.
bool EncodeInput(const std::string& path, const EncodeRequest& request, EncodedInput* encoded,
                 std::string* why);

}  // namespace brask
