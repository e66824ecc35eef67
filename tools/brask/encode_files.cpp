// SPDX-License-Identifier: MIT
#include "tools/brask/encode_files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "brask/brask.h"
#include "tools/brask/conversion_plan.h"
#include "tools/brask/interrupt.h"
#include "tools/brask/output_file.h"
#include "tools/brask/parts_manifest.h"
#include "tools/brask/progress_display.h"
#include "tools/brask/stored_picture.h"
#include "tools/brask/worker_pool.h"

namespace fs = std::filesystem;

namespace brask {
namespace {

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWithLowercase(const std::string& path, const std::string& ending) {
  const std::string lower = Lowercase(path);
  return lower.size() >= ending.size() && lower.compare(lower.size() - ending.size(), ending.size(), ending) == 0;
}

// A batch takes PNG pictures and parts descriptions; the pictures a description stands for
// (its part PNGs and the composed picture beside it) are written through it.
bool IsEncodeInput(const std::string& path) {
  return IsPartsManifestName(path) || (EndsWithLowercase(path, ".png") && !BelongsToPartsManifest(path));
}

// "x-parts.json" gives "x.g00", not "x-parts.g00".
std::string OutputNameOf(const std::string& name) {
  if (!IsPartsManifestName(name)) return name;
  return name.substr(0, name.size() - std::string(kPartsManifestSuffix).size()) + ".json";
}

int RunOne(const std::string& input, const std::string& output, EncodeRequest request, bool force) {
  if (request.mode == 0) {
    if (EndsWithLowercase(output, ".g00")) {
      request.g00 = true;
    } else if (!EndsWithLowercase(output, ".pdt")) {
      std::fprintf(stderr, "brask encode: name %s .g00 or .pdt, or give --mode\n", output.c_str());
      return 2;
    }
  } else if (IsG00Mode(request.mode) && !EndsWithLowercase(output, ".g00")) {
    std::fprintf(stderr, "brask encode: note: the plug-in recognises G00 pictures only by a .g00 name\n");
  }
  EncodedInput encoded;
  std::string why;
  if (!EncodeInput(input, request, &encoded, &why)) {
    std::fprintf(stderr, "brask encode: %s\n", why.c_str());
    return 1;
  }
  if (encoded.alpha_dropped) {
    std::fprintf(stderr, "brask encode: note: %s stores no alpha; the picture's alpha is dropped\n",
                 ModeName(encoded.mode));
  }
  switch (WriteFileSafely(output, encoded.file, force, &why)) {
    case WriteOutcome::kWritten:
      std::printf("%s -> %s (%s, %u x %u, %zu bytes)\n", input.c_str(), output.c_str(),
                  ModeName(encoded.mode), encoded.width, encoded.height, encoded.file.size());
      return 0;
    case WriteOutcome::kExists:
      std::fprintf(stderr, "brask encode: %s exists, not overwritten (use --force)\n", output.c_str());
      return 1;
    case WriteOutcome::kFailed:
      std::fprintf(stderr, "brask encode: %s\n", why.c_str());
      return 1;
  }
  return 1;
}

void EncodeJob(const ConversionJob& job, const EncodeRequest& request, bool force,
               ProgressDisplay* display) {
  std::error_code ignored;
  if (!force && fs::exists(job.output, ignored)) {
    display->Report(job.input, job.output, FileOutcome::kExists,
                    job.output + " exists, not overwritten (use --force)");
    return;
  }
  EncodedInput encoded;
  std::string why;
  if (!EncodeInput(job.input, request, &encoded, &why)) {
    display->Report(job.input, job.output, FileOutcome::kFailed, why);
    return;
  }
  if (WriteJobOutput(job.input, job.output, job.output, encoded.file, force, display)) {
    display->Report(job.input, job.output, FileOutcome::kConverted, "");
  }
}

}  // namespace

int RunEncodeFiles(const EncodeFilesOptions& options) {
  EncodeRequest request;
  request.level = options.level;
  if (options.mode_name != "auto") {
    request.mode = ModeByName(options.mode_name);
    if (request.mode == 0) {
      std::fprintf(stderr, "brask encode: unknown mode %s\n", options.mode_name.c_str());
      return 2;
    }
    if (!options.format.empty() && (options.format == "g00") != IsG00Mode(request.mode)) {
      std::fprintf(stderr, "brask encode: mode %s does not write %s files\n",
                   options.mode_name.c_str(), options.format.c_str());
      return 2;
    }
  }
  request.g00 = options.format == "g00";
  std::error_code error;
  const bool single = options.output_folder.empty() && options.inputs.size() == 2 &&
                      !fs::is_directory(options.inputs[0], error);
  if (single) return RunOne(options.inputs[0], options.inputs[1], request, options.force);

  if (request.mode == 0 && options.format.empty()) {
    std::fprintf(stderr, "brask encode: --mode auto in a batch needs --format g00 or pdt\n");
    return 2;
  }
  const bool g00 = request.mode != 0 ? IsG00Mode(request.mode) : request.g00;
  const ConversionPlan plan =
      PlanConversion(options.inputs, options.output_folder, g00 ? ".g00" : ".pdt", IsEncodeInput,
                     "not a PNG picture or a parts description (NAME-parts.json)", OutputNameOf);
  ProgressDisplay display(plan.jobs.size() + plan.problems.size(), StdoutIsTerminal(),
                          {"encoded", "not PNG pictures or parts descriptions, or PNGs a parts "
                                      "description stands for"});
  for (const InputProblem& problem : plan.problems) display.ReportProblem(problem.input, problem.message);
  RunOnWorkers(plan.jobs.size(), options.workers, [&](size_t index) {
    EncodeJob(plan.jobs[index], request, options.force, &display);
  });
  const bool interrupted = InterruptRequested().load();
  const size_t not_written = display.Finish(plan.ignored, interrupted);
  if (interrupted) return 130;
  return not_written > 0 ? 1 : 0;
}

}  // namespace brask
