// SPDX-License-Identifier: MIT
// Small pictures of every mode, made with our encoders, for tests that need one of each.
#pragma once

#include <string>
#include <vector>

#include "formats/image_files.h"

struct SampleImage {
  std::string name;            // e.g. "g00-type0-5x3"
  std::string file_ending;     // ".g00" or ".pdt": G00 is recognised by its name only
  std::vector<uint8_t> bytes;  // the whole file
  bool readable_from_memory;   // PDT yes, G00 no (memory input has no name)
};

// Deterministic pseudo-random pictures of the given size with some runs in them.
encode::ColourImage MakeColourImage(int32_t width, int32_t height, uint32_t seed);
encode::AlphaImage MakeAlphaImage(int32_t width, int32_t height, uint32_t seed);
encode::IndexedImage MakeIndexedImage(int32_t width, int32_t height, int colours, uint32_t seed);

// One sample per mode: G00 types 0 (with and without row padding), 1 and 2 (several parts
// and blocks), PDT10 plain (with and without padding), PDT10 masked, PDT11. `scale`
// multiplies the sizes (1: a few pixels, for sweeps; larger for stress tests).
std::vector<SampleImage> SamplesOfEveryMode(int scale = 1);
