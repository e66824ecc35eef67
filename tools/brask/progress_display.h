// SPDX-License-Identifier: MIT
// What a conversion shows while it runs. On a terminal: one progress bar, redrawn in place
// (files done of total, rate, time left), with failures printed above it. Otherwise: one
// line per file, for logs and scripts. Safe to call from several workers at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

namespace brask {

enum class FileOutcome { kConverted, kExists, kFailed, kCancelled };

// How the summary names the work and the files a batch leaves alone.
struct ProgressWords {
  const char* done = "converted";          // "Converted 3 of 4 files"
  const char* ignored = "not G00 or PDT";  // "2 other files ignored (not G00 or PDT)"
};

class ProgressDisplay {
 public:
  ProgressDisplay(size_t total, bool terminal, ProgressWords words = {});
  void Report(const std::string& input, const std::string& output, FileOutcome outcome,
              const std::string& message);
  // A failure that belongs to no job (an input that cannot be read at all).
  void ReportProblem(const std::string& input, const std::string& message);
  // Clears the bar and prints the summary; returns the number of files not converted.
  size_t Finish(size_t ignored, bool interrupted);

 private:
  void DrawBar();  // needs mutex_
  void ClearBar(); // needs mutex_

  const size_t total_;
  const bool terminal_;
  const ProgressWords words_;
  const std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  std::mutex mutex_;
  size_t done_ = 0;
  size_t converted_ = 0;
  size_t exists_ = 0;
  size_t failed_ = 0;
  size_t cancelled_ = 0;
  bool bar_shown_ = false;
};

// True when standard output is a terminal.
bool StdoutIsTerminal();

}  // namespace brask
