// SPDX-License-Identifier: MIT
// `brask encode`: one PNG picture or parts description into one G00 or PDT file (IN OUT), or
// whole trees of them into a mirrored tree (-o DIR), on several workers at once, with
// progress, as `brask convert` does. Every output is written under a temporary name and
// renamed; a file that fails leaves nothing behind and the batch goes on.
#pragma once

#include <string>
#include <vector>

#include "tools/brask/encode_input.h"

namespace brask {

struct EncodeFilesOptions {
  std::vector<std::string> inputs;
  std::string output_folder;   // -o: a batch; empty with two inputs: IN OUT
  std::string mode_name;       // a mode, or "auto": chosen from each picture
  std::string format;          // "g00", "pdt" or empty: the format "auto" chooses in
  int32_t level = -1;
  unsigned workers = 1;
  bool force = false;
};

// Returns the exit status: 0 when every file was written, 1 when any was not, 2 for
// arguments that cannot go together, 130 when interrupted.
int RunEncodeFiles(const EncodeFilesOptions& options);

}  // namespace brask
