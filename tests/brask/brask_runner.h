// SPDX-License-Identifier: MIT
// Runs the brask program as a user does and reads what it wrote: the helpers of the
// end-to-end tests. Pictures are made with the encoders; PNGs are read back with libspng's
// decoder, independently of brask's writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/sample_images.h"
#include "formats/image_files.h"

struct ProgramRun {
  int status = -1;     // exit status
  std::string output;  // standard output and standard error together
};

// Runs `brask ARGS` (each argument quoted for the shell) with standard input closed.
ProgramRun RunBrask(const std::vector<std::string>& args);

// A fresh empty folder for one test, inside the tests' temporary folder.
std::string FreshFolder(const std::string& name);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Every regular file under `folder`, as paths relative to it, sorted.
std::vector<std::string> ListFiles(const std::string& folder);

struct PngPixels {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t colour_type = 0;
  std::vector<uint8_t> data;     // as stored: RGB triples or palette indexes, top row first
  std::vector<uint8_t> palette;  // red, green, blue per entry
};
// Reads a PNG with libspng; fails the calling test when it cannot.
PngPixels ReadPngPixels(const std::string& path);
// Writes an 8-bit RGBA PNG with libspng.
void WriteRgbaPng(const std::string& path, uint32_t width, uint32_t height,
                  const std::vector<uint8_t>& rgba);
