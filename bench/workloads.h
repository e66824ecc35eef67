// SPDX-License-Identifier: MIT
// Benchmark workloads: for each picture, the units each stream variant carries (pixels,
// alpha, indexes, colour-plus-alpha bytes) and their encoded streams. Shared by the Google
// Benchmark program and the chrono-timed harness of the 32-bit build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/lz_paths.h"
#include "codec/lz_encoder.h"

namespace bench {

// A picture as 4 bytes a pixel: blue, green, red, alpha; top row first.
struct Picture {
  std::string name;  // file name without its ending
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgra;
};

using Decoder = size_t (*)(uint8_t*, size_t, const uint8_t*, size_t);

struct Variant {
  const char* name;
  encode::LzVariant kind;
  Decoder ours;
  Decoder plain;
  Decoder on_path[kLzPathCount];  // ours on each LzPath that differs, else null
};

// The five decoders, ours beside the plain ones.
const std::vector<Variant>& Variants();

// One variant over one picture: the units it decodes to and the stream.
struct Workload {
  const Variant* variant;
  const Picture* picture;
  std::vector<uint8_t> units;
  std::vector<uint8_t> stream;
};

// G00 bytes: the colour-plus-alpha bytes (as in type-2 blocks); pixel variants: blue, green,
// red; mask: alpha; indexes: colours cut to 3-3-2 bits (a 256-entry palette).
Workload MakeWorkload(const Variant& variant, const Picture& picture);

// Decodes with both decoders and compares with the units; the error, or empty.
std::string CheckWorkload(const Workload& workload);

// Pictures kept as PAM files (P7, RGB_ALPHA), which the 32-bit harness reads without a PNG
// library. Empty name on failure.
Picture ReadPam(const std::string& path);
bool WritePam(const std::string& path, const Picture& picture);

}  // namespace bench
