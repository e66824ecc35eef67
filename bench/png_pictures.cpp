// SPDX-License-Identifier: MIT
#include "bench/png_pictures.h"

#include <spng.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace bench {
namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

bool ReadPng(const std::filesystem::path& path, Picture* picture, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(0));
  spng_ihdr header{};
  size_t bytes = 0;
  int error = spng_set_png_buffer(context.get(), file.data(), file.size());
  if (error == 0) error = spng_get_ihdr(context.get(), &header);
  if (error == 0) error = spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &bytes);
  std::vector<uint8_t> rgba(bytes);
  if (error == 0) {
    error = spng_decode_image(context.get(), rgba.data(), rgba.size(), SPNG_FMT_RGBA8,
                              SPNG_DECODE_TRNS);
  }
  if (error != 0) {
    *why = path.string() + ": " + spng_strerror(error);
    return false;
  }
  picture->name = path.stem().string();
  picture->width = static_cast<int32_t>(header.width);
  picture->height = static_cast<int32_t>(header.height);
  picture->bgra = std::move(rgba);
  for (size_t i = 0; i < picture->bgra.size(); i += 4) {
    std::swap(picture->bgra[i], picture->bgra[i + 2]);
  }
  return true;
}

}  // namespace

std::vector<Picture> ReadPngFolder(const std::string& folder, std::string* why) {
  std::vector<std::filesystem::path> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".png") paths.push_back(entry.path());
  }
  if (error) {
    *why = folder + ": " + error.message();
    return {};
  }
  std::sort(paths.begin(), paths.end());
  std::vector<Picture> pictures;
  for (const auto& path : paths) {
    Picture picture;
    if (!ReadPng(path, &picture, why)) return {};
    pictures.push_back(std::move(picture));
  }
  if (pictures.empty()) *why = folder + ": no PNG files";
  return pictures;
}

}  // namespace bench
