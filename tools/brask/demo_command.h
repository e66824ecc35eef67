// SPDX-License-Identifier: MIT
// `brask demo [DIR]`: encodes pictures drawn in code in every mode, decodes each back through
// the plug-in, checks it against what was encoded (alpha modes: flattened onto black), writes
// it out for a look and prints a table.
#pragma once

#include <string>

#include "tools/brask/plugin_library.h"

namespace brask {

// Default folder: brask-demo in the system's temporary folder.
std::string DefaultDemoFolder();

// Returns 0 when every picture decoded exactly, 1 otherwise.
int RunDemo(const PluginLibrary& plugin, const std::string& folder);

}  // namespace brask
