// SPDX-License-Identifier: MIT
// MB/s of pixel block for whole pictures decoded through GetPicture, as a host asks for them,
// beside the same pictures decoded the plain way (plain_picture.h): every G00 type and PDT
// mode, made by our encoders from each benchmark picture. PDT comes from memory; G00, which
// is known only by its name, from a file named *.g00 (opening and reading it is part of the
// cost). Each picture is checked once: both ways must give the same pixel rows.
// The same pictures through the public API: MB/s of RGBA from brask_decode_rgba on a
// handle opened once.
//   picture_bench [google benchmark flags] [pictures folder]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/plain_picture.h"
#include "bench/png_pictures.h"
#include "brask/brask.h"
#include "codec/lz_paths.h"
#include "host/plugin_api.h"
#include "formats/image_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

encode::ColourImage Colour(const bench::Picture& p) {
  encode::ColourImage image{p.width, p.height, {}};
  image.bgr.reserve(p.bgra.size() / 4 * 3);
  for (size_t i = 0; i < p.bgra.size(); i += 4) {
    image.bgr.insert(image.bgr.end(), {p.bgra[i], p.bgra[i + 1], p.bgra[i + 2]});
  }
  return image;
}

encode::AlphaImage Alpha(const bench::Picture& p) { return {p.width, p.height, p.bgra}; }

// 252 colours: a 6 x 7 x 6 cube, enough to keep the picture's structure for the streams.
encode::IndexedImage Indexed(const bench::Picture& p) {
  encode::IndexedImage image{p.width, p.height, {}, {}};
  for (int b = 0; b < 6; ++b) {
    for (int g = 0; g < 7; ++g) {
      for (int r = 0; r < 6; ++r) {
        image.palette.insert(image.palette.end(),
                             {static_cast<uint8_t>(b * 51), static_cast<uint8_t>(g * 42),
                              static_cast<uint8_t>(r * 51), 0});
      }
    }
  }
  image.indexes.reserve(p.bgra.size() / 4);
  for (size_t i = 0; i < p.bgra.size(); i += 4) {
    const int b = (p.bgra[i] * 6) >> 8, g = (p.bgra[i + 1] * 7) >> 8, r = (p.bgra[i + 2] * 6) >> 8;
    image.indexes.push_back(static_cast<uint8_t>((b * 7 + g) * 6 + r));
  }
  return image;
}

// A small sprite, where the cost of opening the file outweighs the decoding: the top-left
// 64 x 64 pixels of a picture (or all of it when smaller).
bench::Picture Sprite(const bench::Picture& p) {
  const int32_t side = 64;
  bench::Picture sprite{"sprite_64x64", std::min(side, p.width), std::min(side, p.height), {}};
  for (int32_t y = 0; y < sprite.height; ++y) {
    const auto row = p.bgra.begin() + 4 * static_cast<ptrdiff_t>(y) * p.width;
    sprite.bgra.insert(sprite.bgra.end(), row, row + 4 * sprite.width);
  }
  return sprite;
}

struct Mode {
  const char* name;
  bool g00;
  std::function<Bytes(const bench::Picture&)> encode;
};

const std::vector<Mode>& Modes() {
  static const std::vector<Mode> modes = {
      {"g00-0", true, [](const bench::Picture& p) { return encode::EncodeG00Type0(Colour(p)); }},
      {"g00-1", true, [](const bench::Picture& p) { return encode::EncodeG00Type1(Indexed(p)); }},
      {"g00-2", true, [](const bench::Picture& p) { return encode::EncodeG00Type2(Alpha(p)); }},
      {"pdt10", false, [](const bench::Picture& p) { return encode::EncodePdt10(Colour(p)); }},
      {"pdt10-mask", false,
       [](const bench::Picture& p) { return encode::EncodePdt10Masked(Alpha(p)); }},
      {"pdt11", false, [](const bench::Picture& p) { return encode::EncodePdt11(Indexed(p)); }},
  };
  return modes;
}

struct Job {
  Bytes file;
  std::string path;  // G00: where the file was written
};

// The pixel block GetPicture hands over; empty when the picture does not decode.
Bytes DecodeOurs(const Job& job) {
  HLOCAL info = nullptr, pixels = nullptr;
  const int32_t result =
      job.path.empty()
          ? GetPicture(reinterpret_cast<const char*>(job.file.data()),
                       static_cast<int32_t>(job.file.size()), 1, &info, &pixels, nullptr, 0)
          : GetPicture(job.path.c_str(), 0, 0, &info, &pixels, nullptr, 0);
  if (result != 0) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(LocalLock(pixels));
  Bytes block(bytes, bytes + LocalSize(pixels));
  LocalFree(info);
  LocalFree(pixels);
  return block;
}

Bytes DecodePlain(const Job& job) {
  return job.path.empty() ? bench::PlainDecodePdt(job.file.data(), job.file.size())
                          : bench::PlainDecodeFile(job.path);
}

void Decode(benchmark::State& state, const Job* job) {
  int64_t bytes = 0;
  for (auto _ : state) {
    HLOCAL info = nullptr, pixels = nullptr;
    const int32_t result =
        job->path.empty()
            ? GetPicture(reinterpret_cast<const char*>(job->file.data()),
                         static_cast<int32_t>(job->file.size()), 1, &info, &pixels, nullptr, 0)
            : GetPicture(job->path.c_str(), 0, 0, &info, &pixels, nullptr, 0);
    if (result != 0) {
      state.SkipWithError("the picture did not decode");
      return;
    }
    bytes += static_cast<int64_t>(LocalSize(pixels));
    LocalFree(info);
    LocalFree(pixels);
  }
  state.SetBytesProcessed(bytes);
}

void DecodeThePlainWay(benchmark::State& state, const Job* job) {
  int64_t bytes = 0;
  for (auto _ : state) {
    const Bytes block = DecodePlain(*job);
    benchmark::DoNotOptimize(block.data());
    bytes += static_cast<int64_t>(block.size());
  }
  state.SetBytesProcessed(bytes);
}

void DecodeRgba(benchmark::State& state, const Job* job) {
  brask_picture* picture = nullptr;
  const char* name = job->path.empty() ? nullptr : job->path.c_str();
  if (brask_open_memory(job->file.data(), job->file.size(), name, 0, &picture) != BRASK_OK) {
    state.SkipWithError("the picture did not open");
    return;
  }
  brask_info info;
  brask_get_info(picture, &info);
  const size_t stride = size_t{info.width} * 4;
  std::vector<uint8_t> rgba(stride * info.height);
  int64_t bytes = 0;
  for (auto _ : state) {
    if (brask_decode_rgba(picture, rgba.data(), rgba.size(), stride) != BRASK_OK) {
      state.SkipWithError("the picture did not decode");
      break;
    }
    benchmark::DoNotOptimize(rgba.data());
    bytes += static_cast<int64_t>(rgba.size());
  }
  brask_close(picture);
  state.SetBytesProcessed(bytes);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // GetPicture takes the fastest path this processor runs; lz_bench measures each one.
  benchmark::AddCustomContext("lz_path", LzPathName(FastestLzPath()));
  const std::string folder = argc > 1 ? argv[1] : BRASK_PICTURES_DIR;
  std::string why;
  std::vector<bench::Picture> pictures = bench::ReadPngFolder(folder, &why);
  if (pictures.empty()) {
    std::fprintf(stderr, "picture_bench: no pictures in %s: %s\n", folder.c_str(), why.c_str());
    return 1;
  }
  pictures.push_back(Sprite(pictures.front()));
  std::vector<std::unique_ptr<Job>> jobs;
  for (const bench::Picture& picture : pictures) {
    for (const Mode& mode : Modes()) {
      auto job = std::make_unique<Job>();
      job->file = mode.encode(picture);
      if (mode.g00) {
        job->path = "/tmp/picture_bench_" + picture.name + "_" + mode.name + ".g00";
        FILE* out = std::fopen(job->path.c_str(), "wb");
        if (out == nullptr) return 1;
        std::fwrite(job->file.data(), 1, job->file.size(), out);
        std::fclose(out);
      }
      const Bytes ours = DecodeOurs(*job);
      if (ours.empty() || ours != DecodePlain(*job)) {
        std::fprintf(stderr, "picture_bench: %s/%s decodes differently the plain way\n",
                     mode.name, picture.name.c_str());
        return 1;
      }
      const std::string name = std::string(mode.name) + "/" + picture.name;
      benchmark::RegisterBenchmark((name + "/ours").c_str(), Decode, job.get());
      benchmark::RegisterBenchmark((name + "/plain").c_str(), DecodeThePlainWay, job.get());
      benchmark::RegisterBenchmark(("api/" + name).c_str(), DecodeRgba, job.get());
      jobs.push_back(std::move(job));
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& job : jobs) {
    if (!job->path.empty()) std::remove(job->path.c_str());
  }
  return 0;
}
