// SPDX-License-Identifier: MIT
// The 32-bit build's benchmark (no Google Benchmark for MinGW): MB/s of output for each
// stream decoder on each picture, ours (and the pixel decoders on each path the processor
// runs), the plain decoder and memcpy, timed with
// std::chrono, best of several rounds of about 0.2 s. Reads the pictures as PAM files, which
// the native lz_bench writes (lz_bench --write-pam DIR).
//   lz_bench_win32 PAM_FOLDER
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/timed_run.h"
#include "bench/workloads.h"
#include "codec/lz_paths.h"

namespace {

// Best MB/s (10^6 bytes a second) of `run` over a few rounds of about 0.2 s.
template <class Run>
double BestMegabytesPerSecond(size_t bytes, Run run) {
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    const double seconds = bench::SecondsPerRun(run, std::chrono::milliseconds(200));
    best = std::max(best, static_cast<double>(bytes) / seconds / 1e6);
  }
  return best;
}

volatile size_t g_sink;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lz_bench_win32 PAM_FOLDER\n");
    return 2;
  }
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    if (entry.path().extension() == ".pam") paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<bench::Picture> pictures;
  for (const std::string& path : paths) {
    pictures.push_back(bench::ReadPam(path));
    if (pictures.back().name.empty()) {
      std::fprintf(stderr, "lz_bench_win32: cannot read %s\n", path.c_str());
      return 1;
    }
  }
  std::printf("%-11s %-22s %10s", "variant", "picture", "ours");
  for (LzPath path : kLzPaths) std::printf(" %10s", LzPathName(path));
  std::printf(" %10s %10s %7s\n", "plain", "memcpy", "ratio");
  for (const bench::Variant& variant : bench::Variants()) {
    for (const bench::Picture& picture : pictures) {
      const bench::Workload w = bench::MakeWorkload(variant, picture);
      const std::string error = bench::CheckWorkload(w);
      if (!error.empty()) {
        std::fprintf(stderr, "lz_bench_win32: %s\n", error.c_str());
        return 1;
      }
      std::vector<uint8_t> out(w.units.size());
      const size_t n = out.size();
      const double ours = BestMegabytesPerSecond(n, [&] {
        g_sink = variant.ours(out.data(), n, w.stream.data(), w.stream.size());
      });
      std::string on_paths;
      for (LzPath path : kLzPaths) {
        const bench::Decoder decoder = variant.on_path[static_cast<int>(path)];
        char cell[16] = "-";
        if (decoder != nullptr && LzPathRuns(path)) {
          std::snprintf(cell, sizeof cell, "%.0f", BestMegabytesPerSecond(n, [&] {
                          g_sink = decoder(out.data(), n, w.stream.data(), w.stream.size());
                        }));
        }
        char column[16];
        std::snprintf(column, sizeof column, " %10s", cell);
        on_paths += column;
      }
      const double plain = BestMegabytesPerSecond(n, [&] {
        g_sink = variant.plain(out.data(), n, w.stream.data(), w.stream.size());
      });
      const double copy = BestMegabytesPerSecond(n, [&] {
        std::memcpy(out.data(), w.units.data(), n);
        g_sink = out[n / 2];
      });
      std::printf("%-11s %-22s %10.0f%s %10.0f %10.0f %7.2f\n", variant.name,
                  picture.name.c_str(), ours, on_paths.c_str(), plain, copy, ours / plain);
      std::fflush(stdout);
    }
  }
  return 0;
}
