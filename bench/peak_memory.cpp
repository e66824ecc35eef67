// SPDX-License-Identifier: MIT
// Peak memory of the costliest pictures a few bytes of data can claim: tiny files whose
// headers ask for the largest blocks the plug-in accepts (just under 2^31 bytes), decoded
// from memory through GetPicture, each in a child process so that its peak resident size
// is its own. Prints one line per case: result, claimed block sizes, peak resident MiB.
//   peak_memory            every case
//   peak_memory NAME       one case, in this process
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "formats/g00.h"
#include "host/plugin_api.h"
#include "formats/image_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes* file, size_t at, uint32_t value) {
  (*file)[at] = static_cast<uint8_t>(value);
  (*file)[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(Bytes* file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*file)[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// The largest height whose padded rows of `width` pixels of `bytes_per_pixel` stay below
// 2^31 - 1 bytes, with the spare byte, for both the block and the work buffer.
uint32_t TallestUnderTheCap(uint32_t width, uint32_t bytes_per_work_pixel, uint32_t stride) {
  const uint64_t cap = 0x7FFFFFFFull - 1;
  const uint64_t by_work = cap / (uint64_t{width} * bytes_per_work_pixel);
  const uint64_t by_block = cap / stride;
  return static_cast<uint32_t>(by_work < by_block ? by_work : by_block);
}

// A PDT file of a 1 x 1 picture with its header made to claim width x height.
Bytes PdtClaiming(Bytes file, uint32_t width, uint32_t height) {
  PutU32(&file, 12, width);
  PutU32(&file, 16, height);
  return file;
}

Bytes G00Type0Claiming(uint16_t width, uint16_t height) {
  encode::ColourImage image{1, 1, {10, 20, 30}};
  Bytes file = encode::EncodeG00Type0(image);
  PutU16(&file, 1, width);
  PutU16(&file, 3, height);
  return file;
}

// Type 2: a stream claiming a work buffer just under 2^31 bytes whose directory holds one
// part as large as a block may be, with one 1 x 1 block made to claim 16383 x 32767 pixels:
// its pixels are the zeros the short stream leaves in the work buffer, and all of them are
// placed, so most of the picture is written.
Bytes G00Type2Claiming() {
  const uint32_t part_height = TallestUnderTheCap(16384, 3, 16384 * 3);
  encode::AlphaImage dot{1, 1, {10, 20, 30, 255}};
  encode::G00Part part{0, 0, 16384, static_cast<int32_t>(part_height), {encode::G00Block{0, 0, dot}}};
  Bytes directory = encode::BuildG00PartDirectory({part});
  const size_t block_at = 12 + kG00PartHeaderBytes;  // the entry table, then the part header
  PutU16(&directory, block_at + 6, 16383);
  PutU16(&directory, block_at + 8, 32767);
  Bytes file = encode::EncodeG00Type2Directory(directory, 16384, 65535, 1);
  // The decompressed size follows the one region record and the compressed size.
  PutU32(&file, 9 + 24 + 4, 0x7FFFFFFF);
  return file;
}

struct Case {
  const char* name;
  std::function<Bytes()> make;
};

std::vector<Case> Cases() {
  return {
      {"pdt10-plain",
       [] {
         return PdtClaiming(encode::EncodePdt10({1, 1, {10, 20, 30}}), 16384,
                            TallestUnderTheCap(16384, 3, 16384 * 3));
       }},
      {"pdt10-masked",
       [] {
         return PdtClaiming(encode::EncodePdt10Masked({1, 1, {10, 20, 30, 128}}), 16384,
                            TallestUnderTheCap(16384, 4, 16384 * 3));
       }},
      {"pdt11",
       [] {
         return PdtClaiming(encode::EncodePdt11({1, 1, Bytes(4, 0), {0}}), 16384,
                            TallestUnderTheCap(16384, 1, 16384));
       }},
      {"g00-type0", [] { return G00Type0Claiming(65535, 10922); }},
      {"g00-type2", [] { return G00Type2Claiming(); }},
      {"pdt10-beyond-cap",
       [] { return PdtClaiming(encode::EncodePdt10({1, 1, {10, 20, 30}}), 0x7FFFFFFF, 0x7FFFFFFF); }},
  };
}

// PDT from memory; G00, which is known only by its name, from a file named *.g00.
int32_t Decode(const Case& c, const Bytes& file, HLOCAL* info, HLOCAL* pixels) {
  if (std::strncmp(c.name, "g00", 3) != 0) {
    return GetPicture(reinterpret_cast<const char*>(file.data()),
                      static_cast<int32_t>(file.size()), 1, info, pixels, nullptr, 0);
  }
  const std::string path = "/tmp/peak_memory_" + std::to_string(getpid()) + ".g00";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size()) return -1;
  std::fclose(out);
  const int32_t result = GetPicture(path.c_str(), 0, 0, info, pixels, nullptr, 0);
  std::remove(path.c_str());
  return result;
}

int RunOne(const Case& c) {
  const Bytes file = c.make();
  HLOCAL info = nullptr, pixels = nullptr;
  const int32_t result = Decode(c, file, &info, &pixels);
  const size_t block = pixels != nullptr ? LocalSize(pixels) : 0;
  if (info != nullptr) LocalFree(info);
  if (pixels != nullptr) LocalFree(pixels);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%-18s %6zu bytes of file  result %d  pixel block %10zu bytes  peak %7.1f MiB\n",
              c.name, file.size(), result, block, static_cast<double>(usage.ru_maxrss) / 1024.0);
  std::fflush(stdout);  // the child leaves through _exit
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<Case> cases = Cases();
  if (argc > 1) {
    for (const Case& c : cases) {
      if (std::strcmp(c.name, argv[1]) == 0) return RunOne(c);
    }
    std::fprintf(stderr, "peak_memory: no case %s\n", argv[1]);
    return 2;
  }
  for (const Case& c : cases) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) _exit(RunOne(c));
    int status = 0;
    waitpid(child, &status, 0);
  }
  return 0;
}
