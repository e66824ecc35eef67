// SPDX-License-Identifier: MIT
// The fuzz regression files and a slice of every fuzz corpus, through the loaded plug-in: the
// real 32-bit DLL under wine, the native library elsewhere. Each input is read as an image
// from memory and from files named .g00 and .pdt; every answer must be a documented result
// code, and every block handed over must be a well-formed DIB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/byte_io.h"
#include "tests/support/loaded_plugin.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kSliceOfEachCorpus = 40;

std::vector<fs::path> FilesIn(const fs::path& folder, size_t at_most) {
  std::vector<fs::path> files;
  std::error_code error;
  if (!fs::is_directory(folder, error)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  if (files.size() > at_most) files.resize(at_most);
  return files;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  if (b.size() < at + 4) return 0;
  return ReadU32Le(b.data() + at);
}

// Fuzzers refuse large claims through an allocation limit the loaded plug-in does not have;
// inputs whose headers claim more than this are left out here, so that a claim of a valid
// 2 GB picture does not make the test allocate and clear it.
bool ClaimsMuchMemory(const std::vector<uint8_t>& b) {
  constexpr uint64_t kLimit = 64u << 20;
  // PDT: width and height at 12 and 16.
  if (b.size() >= 20 && std::memcmp(b.data(), "PDT", 3) == 0) {
    return static_cast<uint64_t>(U32At(b, 12)) * U32At(b, 16) * 4 > kLimit;
  }
  // G00 (type byte below 3): 16-bit width and height at 1 and 3, and a work-buffer size at 9
  // (type 1) or after the region table (type 2).
  if (b.size() < 5 || b[0] > 2) return false;
  const uint64_t pixels = static_cast<uint64_t>(ReadU16Le(&b[1])) * ReadU16Le(&b[3]);
  if (b[0] != 2 && pixels * 4 > kLimit) return true;
  if (b[0] == 1) return U32At(b, 9) > kLimit;
  const uint64_t regions = U32At(b, 5);
  return b[0] == 2 && regions < (1u << 20) &&
         U32At(b, static_cast<size_t>(13 + 24 * regions)) > kLimit;
}

void CheckOutcome(const DecodeOutcome& outcome, const std::string& where) {
  const int32_t r = outcome.result;
  EXPECT_TRUE(r == 0 || r == 1 || r == 2 || r == 4 || r == 5 || r == 6) << where << ": " << r;
  if (r != 0) return;
  ASSERT_TRUE(outcome.info.size() == 54 || outcome.info.size() == 1078) << where;
  BITMAPINFOHEADER header;
  std::memcpy(&header, outcome.info.data(), sizeof header);
  EXPECT_EQ(header.biSize, 40u) << where;
  EXPECT_EQ(header.biBitCount, outcome.info.size() == 54 ? 24 : 8) << where;
  const uint64_t stride = (static_cast<uint64_t>(header.biWidth) * (header.biBitCount / 8u) + 3) & ~3ull;
  EXPECT_EQ(stride * static_cast<uint64_t>(header.biHeight), header.biSizeImage) << where;
  EXPECT_EQ(outcome.pixels.size(), header.biSizeImage) << where;
}

TEST(CorpusReplay, RegressionsAndCorporaDecodeSafelyThroughTheLoadedPlugin) {
  const fs::path fuzz_root = fs::path(BRASK_SOURCE_DIR) / "fuzz";
  std::vector<fs::path> inputs = FilesIn(fuzz_root / "regressions", 100000);
  std::error_code error;
  if (fs::is_directory(fuzz_root / "corpus", error)) {
    for (const auto& corpus : fs::directory_iterator(fuzz_root / "corpus")) {
      for (const fs::path& file : FilesIn(corpus.path(), kSliceOfEachCorpus)) inputs.push_back(file);
    }
  }
  ASSERT_FALSE(inputs.empty()) << "no fuzz inputs found under " << fuzz_root.string();
  size_t decoded = 0;
  for (const fs::path& input : inputs) {
    const std::vector<uint8_t> bytes = ReadAll(input);
    const std::string where = input.string();
    if (bytes.size() > (1u << 20) || ClaimsMuchMemory(bytes)) continue;
    CheckOutcome(DecodeMemory(bytes), where + " (memory)");
    ++decoded;
    for (const char* ending : {".g00", ".pdt"}) {
      if (bytes.empty()) continue;
      CheckOutcome(DecodeFile(WriteTempFile(std::string("replay") + ending, bytes)),
                   where + " (file " + ending + ")");
    }
  }
  std::printf("%zu of %zu fuzz inputs replayed\n", decoded, inputs.size());
  EXPECT_GT(decoded, inputs.size() / 2) << "most inputs were left out as too costly";
}

}  // namespace
