// SPDX-License-Identifier: MIT
// Reading the benchmark pictures: every PNG file of a folder, as 4-byte pixels.
#pragma once

#include <string>
#include <vector>

#include "bench/workloads.h"

namespace bench {

// The PNG files of `folder`, sorted by name; the error in *why when one cannot be read.
std::vector<Picture> ReadPngFolder(const std::string& folder, std::string* why);

}  // namespace bench
