// SPDX-License-Identifier: MIT
// A plain main for the fuzz targets: runs every file named on the command line, or found in
// the folders named there, through LLVMFuzzerTestOneInput once. Builds without libFuzzer, so
// the corpora also run in the cross build and in the ordinary test runs.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

void RunOne(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // An exact-size copy, so that a sanitizer build sees any read past the end.
  std::vector<uint8_t> exact(bytes);
  LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
}

}  // namespace

int main(int argc, char** argv) {
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path root(argv[i]);
    std::error_code error;
    if (fs::is_directory(root, error)) {
      for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
          RunOne(entry.path());
          ++count;
        }
      }
    } else if (fs::is_regular_file(root, error)) {
      RunOne(root);
      ++count;
    }
  }
  std::printf("replayed %zu inputs\n", count);
  return 0;
}
