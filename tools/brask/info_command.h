// SPDX-License-Identifier: MIT
// `brask info FILE...`: whether each file is a picture brask reads, and what is stored: size,
// colour depth, mode, alpha, palette and type-2 parts; with --json one JSON object per line.
#pragma once

#include <string>
#include <vector>

namespace brask {

// Returns 0 when every file was described, 1 when any is unsupported or unreadable.
int RunInfo(const std::vector<std::string>& files, bool json);

}  // namespace brask
