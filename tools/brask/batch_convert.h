// SPDX-License-Identifier: MIT
// `brask convert`: decodes every planned file on several workers at once and writes each
// picture: what is stored, read through the public API (PNG), or with `flatten` the picture
// the plug-in's exports hand a host viewer (PNG or BMP). One file's failure never stops the
// others.
#pragma once

#include <string>
#include <vector>

#include "tools/brask/output_format.h"
#include "tools/brask/plugin_library.h"

namespace brask {

struct ConvertOptions {
  std::vector<std::string> inputs;
  std::string output_folder;  // empty: beside each input
  OutputFormat format = OutputFormat::kPng;
  PngCompression png;
  unsigned workers = 1;
  bool force = false;
  bool flatten = false;  // through the plug-in's exports: alpha onto black, parts stacked
  bool parts = false;    // type-2 G00: each part on its own and the parts' JSON as well
};

// Returns the exit status: 0 when every file was converted, 1 when any was not, 130 when
// interrupted. `plugin` is used with options.flatten only, and may be null otherwise.
int RunConvert(const PluginLibrary* plugin, const ConvertOptions& options);

}  // namespace brask
