// SPDX-License-Identifier: MIT
#include "tools/brask/output_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#define GetProcessId _getpid
#else
#include <unistd.h>
#define GetProcessId getpid
#endif

namespace fs = std::filesystem;

namespace brask {

const char kTemporarySuffix[] = ".brask-partial";

namespace {

std::string UniqueTemporaryName(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  return path.string() + "." + std::to_string(GetProcessId()) + "-" +
         std::to_string(counter.fetch_add(1)) + kTemporarySuffix;
}

}  // namespace

WriteOutcome WriteFileSafely(const std::string& path_text, const std::vector<uint8_t>& bytes,
                             bool overwrite, std::string* why) {
  const fs::path path(path_text);
  std::error_code error;
  if (!overwrite && fs::exists(path, error)) return WriteOutcome::kExists;
  if (path.has_parent_path()) {
    fs::create_directories(path.parent_path(), error);
    if (error) {
      *why = "cannot create folder " + path.parent_path().string() + ": " + error.message();
      return WriteOutcome::kFailed;
    }
  }
  const std::string temporary = UniqueTemporaryName(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    *why = "cannot write " + path_text + ": " + std::strerror(errno);
    return WriteOutcome::kFailed;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int write_errno = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *why = "cannot write " + path_text + ": " + std::strerror(written ? errno : write_errno);
    std::remove(temporary.c_str());
    return WriteOutcome::kFailed;
  }
  // Checked again just before the rename: another worker or program may have made the file
  // meanwhile.
  if (!overwrite && fs::exists(path, error)) {
    std::remove(temporary.c_str());
    return WriteOutcome::kExists;
  }
  fs::rename(temporary, path, error);
  if (error) {
    *why = "cannot rename into " + path_text + ": " + error.message();
    std::remove(temporary.c_str());
    return WriteOutcome::kFailed;
  }
  return WriteOutcome::kWritten;
}

bool WriteJobOutput(const std::string& input, const std::string& output, const std::string& path,
                    const std::vector<uint8_t>& bytes, bool overwrite, ProgressDisplay* display) {
  std::string why;
  switch (WriteFileSafely(path, bytes, overwrite, &why)) {
    case WriteOutcome::kWritten:
      return true;
    case WriteOutcome::kExists:
      display->Report(input, output, FileOutcome::kExists,
                      path + " exists, not overwritten (use --force)");
      return false;
    case WriteOutcome::kFailed:
      display->Report(input, output, FileOutcome::kFailed, why);
      return false;
  }
  return false;
}

}  // namespace brask
