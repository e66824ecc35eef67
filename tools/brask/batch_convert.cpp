// SPDX-License-Identifier: MIT
#include "tools/brask/batch_convert.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "tools/brask/conversion_plan.h"
#include "tools/brask/interrupt.h"
#include "tools/brask/output_file.h"
#include "tools/brask/progress_display.h"
#include "tools/brask/result_codes.h"
#include "tools/brask/stored_outputs.h"
#include "tools/brask/stored_picture.h"
#include "tools/brask/worker_pool.h"

namespace brask {
namespace {

struct OutputFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

// The picture the plug-in hands a host, as PNG or BMP.
bool DecodeFlattened(const PluginLibrary& plugin, const ConversionJob& job,
                     const ConvertOptions& options, std::vector<OutputFile>* files,
                     std::string* why) {
  DecodedFile decoded = plugin.Decode(job.input, &InterruptRequested());
  if (decoded.result != kSuccess) {
    // The plug-in answers in result codes only; the library, which reads the same way, can
    // say what is wrong with the file.
    *why = decoded.result == kNotSupported ? ExplainFile(job.input) : std::string();
    if (why->empty()) *why = DescribeResult(decoded.result);
    return false;
  }
  if (!decoded.problem.empty()) {
    *why = decoded.problem;
    return false;
  }
  files->push_back({job.output, {}});
  return EncodePicture(decoded.picture, options.format, options.png, &files->back().bytes,
                       why);
}

// "out/x.png" → "out/x-part3.png" and "out/x-parts.json".
std::string BesideOutput(const std::string& output, const std::string& suffix) {
  const std::filesystem::path path(output);
  return (path.parent_path() / path.stem()).string() + suffix;
}

// What is stored, as PNG; with parts, each part's PNG and the parts' JSON after it.
bool DecodeStored(const ConversionJob& job, const ConvertOptions& options,
                  std::vector<OutputFile>* files, std::string* why) {
  StoredOutputs stored;
  if (!ReadStoredOutputs(job.input, options.parts, &stored, why)) return false;
  files->push_back({job.output, {}});
  if (!EncodeRows(stored.picture, options.png, &files->back().bytes, why)) return false;
  for (const StoredPart& part : stored.parts) {
    files->push_back({BesideOutput(job.output, "-part" + std::to_string(part.index) + ".png"), {}});
    if (!EncodeRows(part.rows, options.png, &files->back().bytes, why)) return false;
  }
  if (!stored.parts_json.empty()) {
    files->push_back({BesideOutput(job.output, "-parts.json"),
                      std::vector<uint8_t>(stored.parts_json.begin(), stored.parts_json.end())});
  }
  return true;
}

void ConvertOne(const PluginLibrary* plugin, const ConversionJob& job,
                const ConvertOptions& options, ProgressDisplay* display) {
  const std::atomic<bool>& interrupted = InterruptRequested();
  if (!options.force) {
    // Saves the decode; the write checks again.
    std::error_code ignored;
    if (std::filesystem::exists(job.output, ignored)) {
      display->Report(job.input, job.output, FileOutcome::kExists,
                      job.output + " exists, not overwritten (use --force)");
      return;
    }
  }
  std::vector<OutputFile> files;
  std::string why;
  const bool decoded = options.flatten ? DecodeFlattened(*plugin, job, options, &files, &why)
                                       : DecodeStored(job, options, &files, &why);
  if (interrupted.load()) {
    display->Report(job.input, job.output, FileOutcome::kCancelled, "");
    return;
  }
  if (!decoded) {
    display->Report(job.input, job.output, FileOutcome::kFailed, why);
    return;
  }
  for (const OutputFile& file : files) {
    if (!WriteJobOutput(job.input, job.output, file.path, file.bytes, options.force, display)) {
      return;
    }
  }
  display->Report(job.input, job.output, FileOutcome::kConverted, "");
}

}  // namespace

int RunConvert(const PluginLibrary* plugin, const ConvertOptions& options) {
  // The plug-in and the library apply the same rule; the flattened run asks the plug-in.
  const auto reads = [&](const std::string& file) {
    return options.flatten ? plugin->Supports(file) : IsPictureFile(file);
  };
  const ConversionPlan plan =
      PlanConversion(options.inputs, options.output_folder, ExtensionOf(options.format), reads);
  // Every named input counts: "Converted 3 of 4 files, 1 failed".
  ProgressDisplay display(plan.jobs.size() + plan.problems.size(), StdoutIsTerminal());
  for (const InputProblem& problem : plan.problems) {
    const std::string why = problem.not_a_picture ? ExplainFile(problem.input) : std::string();
    display.ReportProblem(problem.input, why.empty() ? problem.message : why);
  }

  RunOnWorkers(plan.jobs.size(), options.workers,
               [&](size_t index) { ConvertOne(plugin, plan.jobs[index], options, &display); });

  const bool interrupted = InterruptRequested().load();
  const size_t not_converted = display.Finish(plan.ignored, interrupted);
  if (interrupted) return 130;
  return not_converted > 0 ? 1 : 0;
}

}  // namespace brask
