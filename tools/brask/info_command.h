// `brask info FILE...`: whether the plug-in reads each file, and its width, height and colour
// depth; with --json one JSON object per line.
#pragma once

#include <string>
#include <vector>

#include "tools/brask/plugin_library.h"

namespace brask {

// Returns 0 when every file was described, 1 when any is unsupported or unreadable.
int RunInfo(const PluginLibrary& plugin, const std::vector<std::string>& files, bool json);

}  // namespace brask
