// SPDX-License-Identifier: MIT
// A picture read through the public API (include/brask/brask.h): what is stored, alpha,
// palette and type-2 parts included. The handle is closed when the object goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brask/brask.h"

namespace brask {

class StoredPicture {
 public:
  StoredPicture() = default;
  StoredPicture(const StoredPicture&) = delete;
  StoredPicture& operator=(const StoredPicture&) = delete;
  ~StoredPicture() { brask_close(picture_); }

  // Opens the file with the library's default memory limit; on failure why() says what is
  // wrong in the file's own terms.
  brask_result Open(const std::string& path);
  const std::string& why() const { return why_; }
  const brask_info& info() const { return info_; }
  bool indexed() const;
  std::vector<brask_part> Parts() const;

  // Top row first, rows not padded: 4 bytes (red, green, blue, alpha) or one index a pixel;
  // the palette as red, green, blue per entry.
  brask_result DecodeRgba(std::vector<uint8_t>* rgba);
  brask_result DecodeIndexed(std::vector<uint8_t>* indexes, std::vector<uint8_t>* palette_rgb);
  brask_result DecodePart(uint32_t n, const brask_part& part, std::vector<uint8_t>* rgba);

 private:
  brask_picture* picture_ = nullptr;
  brask_info info_{};
  std::string why_;
};

// The mode as `brask encode --mode` names it: "g00-0", ..., "pdt11".
const char* ModeName(uint32_t mode);

// Whether the library reads the file: its rule, from the file's first bytes and its name.
bool IsPictureFile(const std::string& path);

// What is wrong with the file, as the library says it when opening it ("not a G00 or PDT
// picture: ...", "a G00 picture cut short: ..."); empty when it opens.
std::string ExplainFile(const std::string& path);

}  // namespace brask
