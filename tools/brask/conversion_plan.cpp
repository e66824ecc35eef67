// SPDX-License-Identifier: MIT
#include "tools/brask/conversion_plan.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace brask {
namespace {

struct Candidate {
  fs::path input;
  fs::path output_stem;  // output path without the new extension's effect applied yet
};

// "dir/x.pdt" → "dir/x" + extension; a name without a dot keeps its whole name.
fs::path ReplaceExtension(const fs::path& path, const std::string& extension) {
  fs::path result = path;
  result.replace_extension(extension);
  return result;
}

fs::path AppendExtension(const fs::path& path, const std::string& extension) {
  return fs::path(path.string() + extension);
}

}  // namespace

ConversionPlan PlanConversion(const std::vector<std::string>& inputs, const std::string& output_folder,
                              const std::string& extension,
                              const std::function<bool(const std::string&)>& reads,
                              const std::string& not_read,
                              const std::function<std::string(const std::string&)>& output_name) {
  ConversionPlan plan;
  const auto renamed = [&](const fs::path& path) {
    return output_name ? path.parent_path() / output_name(path.filename().string()) : path;
  };
  std::vector<Candidate> candidates;
  const fs::path out_root(output_folder);
  for (const std::string& input_text : inputs) {
    const fs::path input(input_text);
    std::error_code error;
    const fs::file_status status = fs::status(input, error);
    if (error || !fs::exists(status)) {
      plan.problems.push_back({input_text, "no such file or folder"});
      continue;
    }
    if (fs::is_directory(status)) {
      std::vector<fs::path> found;
      fs::recursive_directory_iterator walk(
          input, fs::directory_options::skip_permission_denied, error);
      for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        std::error_code type_error;
        if (walk->is_regular_file(type_error)) found.push_back(walk->path());
      }
      if (error) plan.problems.push_back({input_text, "cannot walk the folder: " + error.message()});
      std::sort(found.begin(), found.end());
      for (const fs::path& file : found) {
        if (!reads(file.string())) {
          ++plan.ignored;
          continue;
        }
        const fs::path relative = file.lexically_relative(input);
        candidates.push_back({file, renamed(output_folder.empty() ? file : out_root / relative)});
      }
    } else {
      if (!reads(input_text)) {
        plan.problems.push_back({input_text, not_read, true});
        continue;
      }
      candidates.push_back({input, renamed(output_folder.empty() ? input : out_root / input.filename())});
    }
  }

  // Outputs by their short name first; any claimed twice take the long form.
  std::map<std::string, int> claims;
  for (const Candidate& candidate : candidates) {
    ++claims[ReplaceExtension(candidate.output_stem, extension).lexically_normal().string()];
  }
  std::map<std::string, std::string> taken;  // output → input
  for (const Candidate& candidate : candidates) {
    fs::path output = ReplaceExtension(candidate.output_stem, extension);
    if (claims[output.lexically_normal().string()] > 1) {
      output = AppendExtension(candidate.output_stem, extension);
    }
    // A picture named like its output ("x.png" holding a PDT) must never be written over.
    if (output.lexically_normal() == candidate.input.lexically_normal()) {
      output = AppendExtension(candidate.output_stem, extension);
    }
    const std::string key = output.lexically_normal().string();
    const auto [where, inserted] = taken.emplace(key, candidate.input.string());
    if (!inserted) {
      plan.problems.push_back({candidate.input.string(),
                               "its output " + output.string() + " is also that of " + where->second});
      continue;
    }
    plan.jobs.push_back({candidate.input.string(), output.string()});
  }
  return plan;
}

}  // namespace brask
