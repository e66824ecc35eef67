// SPDX-License-Identifier: MIT
// MB/s of output for each stream decoder on each benchmark picture: ours (and the pixel
// decoders on each path this processor runs), the plain decoder and memcpy of the same size,
// side by side in one run.
//   lz_bench [google benchmark flags] [pictures folder]
//   lz_bench --write-pam DIR [pictures folder]   (pictures for the 32-bit harness)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/png_pictures.h"
#include "bench/workloads.h"
#include "codec/lz_paths.h"

namespace {

void Decode(benchmark::State& state, const bench::Workload* w, bench::Decoder decoder) {
  std::vector<uint8_t> out(w->units.size());
  for (auto _ : state) {
    size_t units = decoder(out.data(), out.size(), w->stream.data(), w->stream.size());
    benchmark::DoNotOptimize(units);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(w->units.size()));
}

void CopyMemory(benchmark::State& state, const bench::Workload* w) {
  std::vector<uint8_t> out(w->units.size());
  for (auto _ : state) {
    std::memcpy(out.data(), w->units.data(), w->units.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(w->units.size()));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string folder = BRASK_PICTURES_DIR;
  std::string pam_folder;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--write-pam") == 0 && i + 1 < argc) {
      pam_folder = argv[++i];
    } else {
      folder = argv[i];
    }
  }
  std::string why;
  const std::vector<bench::Picture> pictures = bench::ReadPngFolder(folder, &why);
  if (pictures.empty()) {
    std::fprintf(stderr, "lz_bench: %s\n", why.c_str());
    return 1;
  }
  if (!pam_folder.empty()) {
    for (const bench::Picture& picture : pictures) {
      if (!bench::WritePam(pam_folder + "/" + picture.name + ".pam", picture)) {
        std::fprintf(stderr, "lz_bench: cannot write into %s\n", pam_folder.c_str());
        return 1;
      }
    }
    return 0;
  }
  std::vector<bench::Workload> workloads;
  workloads.reserve(pictures.size() * bench::Variants().size());
  for (const bench::Variant& variant : bench::Variants()) {
    for (const bench::Picture& picture : pictures) {
      workloads.push_back(bench::MakeWorkload(variant, picture));
      const std::string error = bench::CheckWorkload(workloads.back());
      if (!error.empty()) {
        std::fprintf(stderr, "lz_bench: %s\n", error.c_str());
        return 1;
      }
    }
  }
  for (const bench::Workload& w : workloads) {
    const std::string name = std::string("BM_Decode") + w.variant->name + "/" + w.picture->name;
    benchmark::RegisterBenchmark((name + "/ours").c_str(), Decode, &w, w.variant->ours);
    for (LzPath path : kLzPaths) {
      const bench::Decoder on_path = w.variant->on_path[static_cast<int>(path)];
      if (on_path != nullptr && LzPathRuns(path)) {
        benchmark::RegisterBenchmark((name + "/" + LzPathName(path)).c_str(), Decode, &w, on_path);
      }
    }
    benchmark::RegisterBenchmark((name + "/plain").c_str(), Decode, &w, w.variant->plain);
    benchmark::RegisterBenchmark((name + "/memcpy").c_str(), CopyMemory, &w);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
