// `brask encode IN.png OUT --mode MODE [--level N]`: writes a G00 or PDT file with the
// library's encoders, so that pictures round-trip through the plug-in. Needs PNG support
// (not in the Windows build).
#pragma once

#include <string>

#include "tools/brask/picture_modes.h"

namespace brask {

// Returns 0 on success, 1 with a message on standard error otherwise.
// `level`: the encoders' effort, 0..9, or -1 for the library's default.
int RunEncode(const std::string& input, const std::string& output, const ModeInfo& mode, bool force,
              int level);

}  // namespace brask
