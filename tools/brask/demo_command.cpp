// SPDX-License-Identifier: MIT
#include "tools/brask/demo_command.h"

#include <cstdio>
#include <filesystem>

#include "tools/brask/demo_pictures.h"
#include "tools/brask/interrupt.h"
#include "tools/brask/output_file.h"
#include "tools/brask/output_format.h"
#include "tools/brask/picture_modes.h"
#include "tools/brask/result_codes.h"

namespace fs = std::filesystem;

namespace brask {

std::string DefaultDemoFolder() {
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  return ((error ? fs::path(".") : temporary) / "brask-demo").string();
}

int RunDemo(const PluginLibrary& plugin, const std::string& folder) {
  const OutputFormat format = DefaultOutputFormat();
  const fs::path samples = fs::path(folder) / "samples";
  const fs::path outputs = fs::path(folder) / (format == OutputFormat::kPng ? "png" : "bmp");
  std::printf("Pictures drawn in code, encoded in every mode into %s,\n"
              "decoded by %s and checked against what was encoded.\n\n",
              samples.string().c_str(), plugin.path().c_str());
  std::printf("%-24s %-11s %9s %8s %10s  %s\n", "file", "mode", "size", "bytes", "decode", "verdict");

  int total = 0;
  int passed = 0;
  for (const ModeInfo& mode : AllModes()) {
    for (const DemoPicture& drawn : DrawPicturesFor(mode)) {
      if (InterruptRequested().load()) return 130;
      ++total;
      const std::string name = drawn.name + "-" + mode.name;
      const std::string file = name + mode.extension;
      const std::string size = std::to_string(drawn.picture.width) + "x" + std::to_string(drawn.picture.height);
      std::string verdict;
      std::string why;
      EncodedPicture encoded;
      DecodedFile decoded;
      const std::string sample_path = (samples / file).string();
      if (!EncodeInMode(drawn.picture, mode.mode, &encoded, &why)) {
        verdict = "FAILED to encode: " + why;
      } else if (WriteFileSafely(sample_path, encoded.file, true, &why) != WriteOutcome::kWritten) {
        verdict = "FAILED: " + why;
      } else {
        decoded = plugin.Decode(sample_path, nullptr);
        if (decoded.result != kSuccess) {
          verdict = "FAILED: result " + std::to_string(decoded.result) + ": " + DescribeResult(decoded.result);
        } else if (!decoded.problem.empty()) {
          verdict = "FAILED: " + decoded.problem;
        } else if (const std::string difference = ComparePicture(decoded.picture, encoded.expected);
                   !difference.empty()) {
          verdict = "MISMATCH: " + difference;
        } else {
          std::vector<uint8_t> bytes;
          const std::string output = (outputs / (name + ExtensionOf(format))).string();
          if (!EncodePicture(decoded.picture, format, PngCompression{}, &bytes, &why) ||
              WriteFileSafely(output, bytes, true, &why) != WriteOutcome::kWritten) {
            verdict = "FAILED to write: " + why;
          } else {
            verdict = mode.alpha ? "ok (exact, alpha flattened onto black)" : "ok (exact)";
            ++passed;
          }
        }
      }
      char time[32] = "-";
      if (decoded.seconds > 0) std::snprintf(time, sizeof time, "%.2f ms", decoded.seconds * 1000);
      std::printf("%-24s %-11s %9s %8zu %10s  %s\n", file.c_str(), mode.name, size.c_str(),
                  encoded.file.size(), time, verdict.c_str());
    }
  }
  std::printf("\n%d of %d pictures decoded exactly.\n", passed, total);
  std::printf("Look at the decoded pictures in %s\n", outputs.string().c_str());
  return passed == total ? 0 : 1;
}

}  // namespace brask
