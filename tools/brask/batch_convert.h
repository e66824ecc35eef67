// `brask convert`: decodes every planned file through the plug-in on several workers at once
// and writes each picture as PNG or BMP. One file's failure never stops the others.
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
};

// Returns the exit status: 0 when every file was converted, 1 when any was not, 130 when
// interrupted.
int RunConvert(const PluginLibrary& plugin, const ConvertOptions& options);

}  // namespace brask
