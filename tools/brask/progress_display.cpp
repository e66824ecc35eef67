// SPDX-License-Identifier: MIT
#include "tools/brask/progress_display.h"

#include <cctype>
#include <cmath>
#include <string>

#if defined(_WIN32)
#include <io.h>
#define IsTerminal _isatty
#define FileNumber _fileno
#else
#include <unistd.h>
#define IsTerminal isatty
#define FileNumber fileno
#endif

namespace brask {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string FormatDuration(double seconds) {
  if (!(seconds >= 0) || seconds > 359999) return "--:--";
  const long total = std::lround(seconds);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

}  // namespace

bool StdoutIsTerminal() { return IsTerminal(FileNumber(stdout)) != 0; }

ProgressDisplay::ProgressDisplay(size_t total, bool terminal, ProgressWords words)
    : total_(total), terminal_(terminal), words_(words), start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (terminal_ && total_ > 0) DrawBar();
}

void ProgressDisplay::ClearBar() {
  if (!bar_shown_) return;
  std::fputs("\r\033[K", stdout);
  std::fflush(stdout);
  bar_shown_ = false;
}

void ProgressDisplay::DrawBar() {
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = elapsed > 0 ? double(done_) / elapsed : 0;
  const double left = rate > 0 ? double(total_ - done_) / rate : -1;
  const int filled = total_ > 0 ? int(double(kBarWidth) * double(done_) / double(total_)) : 0;
  std::string bar(size_t(filled), '#');
  bar.resize(kBarWidth, '.');
  std::printf("\r[%s] %zu/%zu files  %.1f files/s  %s left\033[K", bar.c_str(), done_, total_, rate,
              done_ > 0 ? FormatDuration(left).c_str() : "--:--");
  std::fflush(stdout);
  bar_shown_ = true;
  last_draw_ = std::chrono::steady_clock::now();
}

void ProgressDisplay::Report(const std::string& input, const std::string& output,
                             FileOutcome outcome, const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++done_;
  switch (outcome) {
    case FileOutcome::kConverted: ++converted_; break;
    case FileOutcome::kExists: ++exists_; break;
    case FileOutcome::kFailed: ++failed_; break;
    case FileOutcome::kCancelled: ++cancelled_; break;
  }
  if (terminal_) {
    if (outcome == FileOutcome::kFailed || outcome == FileOutcome::kExists) {
      ClearBar();
      std::fprintf(stderr, "%s %s: %s\n", outcome == FileOutcome::kFailed ? "FAILED " : "skipped",
                   input.c_str(), message.c_str());
    }
    const auto now = std::chrono::steady_clock::now();
    if (!bar_shown_ || now - last_draw_ >= kRedrawInterval || done_ == total_) DrawBar();
    return;
  }
  switch (outcome) {
    case FileOutcome::kConverted: std::printf("ok      %s -> %s\n", input.c_str(), output.c_str()); break;
    case FileOutcome::kExists: std::fprintf(stderr, "skipped %s: %s\n", input.c_str(), message.c_str()); break;
    case FileOutcome::kFailed: std::fprintf(stderr, "FAILED  %s: %s\n", input.c_str(), message.c_str()); break;
    case FileOutcome::kCancelled: std::printf("stopped %s\n", input.c_str()); break;
  }
  std::fflush(stdout);
}

void ProgressDisplay::ReportProblem(const std::string& input, const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++done_;
  ++failed_;
  ClearBar();
  std::fprintf(stderr, "FAILED  %s: %s\n", input.c_str(), message.c_str());
}

size_t ProgressDisplay::Finish(size_t ignored, bool interrupted) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (terminal_ && bar_shown_) DrawBar();
  if (bar_shown_) std::fputs("\n", stdout);
  bar_shown_ = false;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string done = words_.done;
  if (!interrupted && !done.empty()) done[0] = static_cast<char>(std::toupper(done[0]));
  std::printf("%s%s %zu of %zu %s in %.2f s (%.1f files/s)", interrupted ? "Interrupted: " : "",
              done.c_str(), converted_, total_,
              total_ == 1 ? "file" : "files", elapsed,
              elapsed > 0 ? double(converted_) / elapsed : 0.0);
  if (failed_ > 0) std::printf(", %zu failed", failed_);
  if (exists_ > 0) std::printf(", %zu not overwritten (use --force)", exists_);
  const size_t not_started = total_ - done_;
  if (cancelled_ + not_started > 0 && interrupted) std::printf(", %zu not done", cancelled_ + not_started);
  if (ignored > 0) {
    std::printf("; %zu other %s ignored (%s)", ignored, ignored == 1 ? "file" : "files", words_.ignored);
  }
  std::printf("\n");
  std::fflush(stdout);
  return failed_ + exists_ + cancelled_ + not_started;
}

}  // namespace brask
