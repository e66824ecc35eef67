// SPDX-License-Identifier: MIT
#include "tests/brask/brask_runner.h"

#include <gtest/gtest.h>
#include <spng.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

struct SpngDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

}  // namespace

ProgramRun RunBrask(const std::vector<std::string>& args) {
  std::string command = Quote(BRASK_PROGRAM_PATH);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " </dev/null 2>&1";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string FreshFolder(const std::string& name) {
  const fs::path folder = fs::path(TempFolder()) / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.string();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

PngPixels ReadPngPixels(const std::string& path) {
  PngPixels png;
  const std::vector<uint8_t> bytes = ReadBytes(path);
  std::unique_ptr<spng_ctx, SpngDeleter> context(spng_ctx_new(0));
  EXPECT_EQ(spng_set_png_buffer(context.get(), bytes.data(), bytes.size()), 0) << path;
  spng_ihdr ihdr{};
  EXPECT_EQ(spng_get_ihdr(context.get(), &ihdr), 0) << path;
  png.width = ihdr.width;
  png.height = ihdr.height;
  png.colour_type = ihdr.color_type;
  size_t size = 0;
  EXPECT_EQ(spng_decoded_image_size(context.get(), SPNG_FMT_PNG, &size), 0) << path;
  png.data.resize(size);
  EXPECT_EQ(spng_decode_image(context.get(), png.data.data(), size, SPNG_FMT_PNG, 0), 0) << path;
  spng_plte plte{};
  if (spng_get_plte(context.get(), &plte) == 0) {
    for (uint32_t i = 0; i < plte.n_entries; ++i) {
      png.palette.insert(png.palette.end(),
                         {plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue});
    }
  }
  return png;
}

void WriteRgbaPng(const std::string& path, uint32_t width, uint32_t height,
                  const std::vector<uint8_t>& rgba) {
  std::unique_ptr<spng_ctx, SpngDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
  spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = width;
  ihdr.height = height;
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  ASSERT_EQ(spng_set_ihdr(context.get(), &ihdr), 0);
  ASSERT_EQ(spng_encode_image(context.get(), rgba.data(), rgba.size(), SPNG_FMT_PNG,
                              SPNG_ENCODE_FINALIZE), 0);
  size_t length = 0;
  int error = 0;
  void* buffer = spng_get_png_buffer(context.get(), &length, &error);
  ASSERT_NE(buffer, nullptr);
  WriteBytes(path, std::vector<uint8_t>(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + length));
  free(buffer);
}
