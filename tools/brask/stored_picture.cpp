// SPDX-License-Identifier: MIT
#include "tools/brask/stored_picture.h"

#include <fstream>

namespace brask {

brask_result StoredPicture::Open(const std::string& path) {
  brask_close(picture_);
  picture_ = nullptr;
  char why[BRASK_EXPLANATION_SIZE];
  const brask_result result = brask_open_path_explained(path.c_str(), 0, &picture_, why, sizeof why);
  why_ = why;
  if (result == BRASK_OK) brask_get_info(picture_, &info_);
  return result;
}

bool StoredPicture::indexed() const {
  return info_.mode == BRASK_MODE_G00_TYPE1 || info_.mode == BRASK_MODE_PDT11;
}

std::vector<brask_part> StoredPicture::Parts() const {
  std::vector<brask_part> parts(info_.part_count);
  for (uint32_t n = 0; n < info_.part_count; ++n) brask_get_part(picture_, n, &parts[n]);
  return parts;
}

brask_result StoredPicture::DecodeRgba(std::vector<uint8_t>* rgba) {
  const size_t row = size_t{info_.width} * 4;
  rgba->resize(row * info_.height);
  return brask_decode_rgba(picture_, rgba->data(), rgba->size(), row);
}

brask_result StoredPicture::DecodeIndexed(std::vector<uint8_t>* indexes,
                                          std::vector<uint8_t>* palette_rgb) {
  indexes->resize(size_t{info_.width} * info_.height);
  palette_rgb->resize(size_t{info_.palette_size} * 3);
  return brask_decode_indexed(picture_, indexes->data(), indexes->size(), info_.width,
                              palette_rgb->data(), palette_rgb->size());
}

brask_result StoredPicture::DecodePart(uint32_t n, const brask_part& part,
                                       std::vector<uint8_t>* rgba) {
  const size_t row = size_t(part.width > 0 ? part.width : 0) * 4;
  rgba->resize(row * size_t(part.height > 0 ? part.height : 0));
  return brask_decode_part_rgba(picture_, n, rgba->data(), rgba->size(), row);
}

const char* ModeName(uint32_t mode) {
  switch (mode) {
    case BRASK_MODE_G00_TYPE0: return "g00-0";
    case BRASK_MODE_G00_TYPE1: return "g00-1";
    case BRASK_MODE_G00_TYPE2: return "g00-2";
    case BRASK_MODE_PDT10: return "pdt10";
    case BRASK_MODE_PDT10_MASKED: return "pdt10-mask";
    case BRASK_MODE_PDT11: return "pdt11";
  }
  return "unknown";
}

bool IsPictureFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // A file shorter than the rule's five bytes is judged as if zeros followed, as the
  // plug-in's IsSupported judges a host's buffer; decoding it then names the fault.
  char head[5] = {0, 0, 0, 0, 0};
  in.read(head, sizeof head);
  return brask_recognise(head, sizeof head, path.c_str()) != 0;
}

std::string ExplainFile(const std::string& path) {
  StoredPicture picture;
  picture.Open(path);
  return picture.why();
}

}  // namespace brask
