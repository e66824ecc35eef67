// SPDX-License-Identifier: MIT
// Which files a conversion reads and where each output goes. Folders are walked recursively
// and keep only the files the plug-in reads; the outputs mirror the input tree under the
// output folder (or sit beside their inputs when there is none).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace brask {

struct ConversionJob {
  std::string input;
  std::string output;
};

struct InputProblem {
  std::string input;
  std::string message;
  bool not_a_picture = false;  // a file `reads` refused: the library can say why
};

struct ConversionPlan {
  std::vector<ConversionJob> jobs;
  std::vector<InputProblem> problems;  // named inputs that cannot be converted
  size_t ignored = 0;                  // files inside folders that the plug-in does not read
};

// `extension` is the output's, with its dot (".png"). An output that two inputs would share
// (x.g00 and x.pdt) keeps the input's whole name instead ("x.g00.png", "x.pdt.png").
// `reads` tells whether a file is a picture that will be converted; a named file it refuses
// is a problem described by `not_read`. `output_name`, when
// given, turns an input's file name into the one its output's is made from
// ("x-parts.json" -> "x.json", so the output is "x.g00").
ConversionPlan PlanConversion(const std::vector<std::string>& inputs, const std::string& output_folder,
                              const std::string& extension,
                              const std::function<bool(const std::string&)>& reads,
                              const std::string& not_read =
                                  "not a G00 or PDT picture",
                              const std::function<std::string(const std::string&)>& output_name = {});

}  // namespace brask
