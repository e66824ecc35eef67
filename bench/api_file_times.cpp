// SPDX-License-Identifier: MIT
// What a program pays to decode picture files through the C API, one by one: open from
// memory, describe, decode RGBA into a buffer of its own, close. Prints one line a file,
// "NANOSECONDS PATH", the fastest call (on a shared machine the least disturbed); web/bench/speed.mjs runs it beside the
// WebAssembly build on the same files. Usage: api_file_times SECONDS_PER_FILE FILE...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "brask/brask.h"

namespace {

bool DecodeOnce(const std::vector<char>& bytes, const char* name) {
  brask_picture* picture = nullptr;
  if (brask_open_memory(bytes.data(), bytes.size(), name, 0, &picture) != BRASK_OK) return false;
  brask_info info;
  brask_get_info(picture, &info);
  const size_t stride = size_t{info.width} * 4, size = stride * info.height;
  uint8_t* rgba = static_cast<uint8_t*>(std::malloc(size));
  const bool ok = rgba != nullptr && brask_decode_rgba(picture, rgba, size, stride) == BRASK_OK;
  std::free(rgba);
  brask_close(picture);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: api_file_times SECONDS_PER_FILE FILE...\n");
    return 2;
  }
  const double seconds = std::atof(argv[1]);
  using Clock = std::chrono::steady_clock;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!DecodeOnce(bytes, argv[i])) {
      std::fprintf(stderr, "api_file_times: %s does not decode\n", argv[i]);
      return 1;
    }
    std::vector<double> times;
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (times.size() < 5 || (Clock::now() < end && times.size() < 100000)) {
      const Clock::time_point start = Clock::now();
      DecodeOnce(bytes, argv[i]);
      times.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    }
    std::printf("%.0f %s\n", *std::min_element(times.begin(), times.end()), argv[i]);
  }
  return 0;
}
