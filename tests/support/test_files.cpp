// SPDX-License-Identifier: MIT
#include "tests/support/test_files.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

struct TempRoot {
  fs::path path;
  TempRoot() {
    std::random_device seed;
    path = fs::temp_directory_path() / ("brask-tests-" + std::to_string(seed()));
    fs::create_directories(path);
  }
  ~TempRoot() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

const fs::path& Root() {
  static TempRoot root;
  return root.path;
}

}  // namespace

std::string TempFolder() { return Root().string(); }

std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  static std::atomic<int> counter{0};
  const fs::path path = Root() / (std::to_string(counter++) + "-" + name);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return path.string();
}
