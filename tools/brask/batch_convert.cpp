#include "tools/brask/batch_convert.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "tools/brask/conversion_plan.h"
#include "tools/brask/interrupt.h"
#include "tools/brask/output_file.h"
#include "tools/brask/progress_display.h"
#include "tools/brask/result_codes.h"

namespace brask {
namespace {

void ConvertOne(const PluginLibrary& plugin, const ConversionJob& job, const ConvertOptions& options,
                ProgressDisplay* display) {
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
  DecodedFile decoded = plugin.Decode(job.input, &interrupted);
  if (interrupted.load()) {
    display->Report(job.input, job.output, FileOutcome::kCancelled, "");
    return;
  }
  if (decoded.result != kSuccess) {
    display->Report(job.input, job.output, FileOutcome::kFailed,
                    "result " + std::to_string(decoded.result) + ": " + DescribeResult(decoded.result));
    return;
  }
  if (!decoded.problem.empty()) {
    display->Report(job.input, job.output, FileOutcome::kFailed, decoded.problem);
    return;
  }
  std::vector<uint8_t> bytes;
  std::string why;
  if (!EncodePicture(decoded.picture, options.format, options.png, &bytes, &why)) {
    display->Report(job.input, job.output, FileOutcome::kFailed, why);
    return;
  }
  if (interrupted.load()) {
    display->Report(job.input, job.output, FileOutcome::kCancelled, "");
    return;
  }
  switch (WriteFileSafely(job.output, bytes, options.force, &why)) {
    case WriteOutcome::kWritten:
      display->Report(job.input, job.output, FileOutcome::kConverted, "");
      break;
    case WriteOutcome::kExists:
      display->Report(job.input, job.output, FileOutcome::kExists,
                      job.output + " exists, not overwritten (use --force)");
      break;
    case WriteOutcome::kFailed:
      display->Report(job.input, job.output, FileOutcome::kFailed, why);
      break;
  }
}

}  // namespace

int RunConvert(const PluginLibrary& plugin, const ConvertOptions& options) {
  const ConversionPlan plan =
      PlanConversion(options.inputs, options.output_folder, ExtensionOf(options.format), plugin);
  ProgressDisplay display(plan.jobs.size(), StdoutIsTerminal());
  for (const InputProblem& problem : plan.problems) display.ReportProblem(problem.input, problem.message);

  std::atomic<size_t> next{0};
  auto work = [&] {
    for (;;) {
      if (InterruptRequested().load()) return;
      const size_t index = next.fetch_add(1);
      if (index >= plan.jobs.size()) return;
      ConvertOne(plugin, plan.jobs[index], options, &display);
    }
  };
  const size_t worker_count =
      std::max<size_t>(1, std::min<size_t>(options.workers, plan.jobs.size()));
  std::vector<std::thread> workers;
  for (size_t i = 1; i < worker_count; ++i) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();

  const bool interrupted = InterruptRequested().load();
  const size_t not_converted = display.Finish(plan.ignored, interrupted);
  if (interrupted) return 130;
  return not_converted > 0 ? 1 : 0;
}

}  // namespace brask
