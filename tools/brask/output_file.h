// SPDX-License-Identifier: MIT
// Writing an output file so that an interrupted run never leaves a half-written one: the
// bytes go to a temporary name in the same folder, which is then renamed into place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brask/progress_display.h"

namespace brask {

enum class WriteOutcome { kWritten, kExists, kFailed };

// Creates missing folders on the way. Without `overwrite`, an existing file is left alone
// (kExists). On kFailed, *why names the path and the system's reason.
WriteOutcome WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes,
                             bool overwrite, std::string* why);

// One output of a batch's job (input -> output): written as WriteFileSafely writes it, or the
// job reported to `display` as kept (it exists) or failed. True when the file was written.
bool WriteJobOutput(const std::string& input, const std::string& output, const std::string& path,
                    const std::vector<uint8_t>& bytes, bool overwrite, ProgressDisplay* display);

// The suffix every temporary name carries, so a stray one is easy to recognise.
extern const char kTemporarySuffix[];

}  // namespace brask
