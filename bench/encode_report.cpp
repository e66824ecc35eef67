// SPDX-License-Identifier: MIT
// The encoders' report: for every mode and picture, the file's size at each level against
// the lazy matcher the encoders always used (level 4; today's files plus the PDT flag byte
// they left out), and the encoding speed in MB/s of RGBA input (4 bytes a pixel) per second
// of processor time. Every file is read back by the plain file reader first, and no level
// from 4 up may be larger. Indexed modes take the pictures cut to 3-3-2 bits (256 colours,
// as the decoding benchmarks do) unless they have at most 256.
//
//   encode_report [FOLDER] [--levels 0,4,9] [--repeat N]
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "bench/plain_files.h"
#include "bench/png_pictures.h"
#include "brask/brask.h"

namespace {

struct ModeRow {
  uint32_t mode;
  const char* name;
  bool indexed;
  bool g00;
};

const ModeRow kModes[] = {
    {BRASK_MODE_G00_TYPE0, "g00-0", false, true},  {BRASK_MODE_G00_TYPE1, "g00-1", true, true},
    {BRASK_MODE_G00_TYPE2, "g00-2", false, true},  {BRASK_MODE_PDT10, "pdt10", false, false},
    {BRASK_MODE_PDT10_MASKED, "pdt10-mask", false, false},
    {BRASK_MODE_PDT11, "pdt11", true, false},
};

// RGBA of a picture; for indexed modes cut to 3-3-2 bits when it has more than 256 colours.
std::vector<uint8_t> InputOf(const bench::Picture& picture, bool indexed) {
  const size_t pixels = size_t(picture.width) * size_t(picture.height);
  std::vector<uint8_t> rgba(pixels * 4);
  std::set<uint32_t> colours;
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* p = &picture.bgra[4 * i];
    rgba[4 * i] = p[2];
    rgba[4 * i + 1] = p[1];
    rgba[4 * i + 2] = p[0];
    rgba[4 * i + 3] = p[3];
    if (colours.size() <= 256) colours.insert(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16);
  }
  if (indexed && colours.size() > 256) {
    for (size_t i = 0; i < pixels; ++i) {
      rgba[4 * i] &= 0xE0;
      rgba[4 * i + 1] &= 0xE0;
      rgba[4 * i + 2] &= 0xC0;
    }
  }
  return rgba;
}

struct Result {
  size_t bytes = 0;
  double seconds = 0;
  size_t spare_flag_bytes = 0;  // PDT streams whose last flag group is full
};

bool Encode(const ModeRow& mode, const bench::Picture& picture, const std::vector<uint8_t>& rgba,
            int level, int repeat, Result* result) {
  const brask_encode_options options{level, 1};
  const uint32_t w = static_cast<uint32_t>(picture.width);
  const uint32_t h = static_cast<uint32_t>(picture.height);
  std::vector<uint8_t> file;
  // Processor time, not wall time: the figures hold on a machine shared with other work.
  const std::clock_t start = std::clock();
  for (int i = 0; i < repeat; ++i) {
    uint8_t* out = nullptr;
    size_t size = 0;
    const brask_result r =
        brask_encode_rgba(mode.mode, rgba.data(), w, h, size_t{w} * 4, &options, &out, &size);
    if (r != BRASK_OK) {
      std::fprintf(stderr, "%s %s level %d: %s\n", picture.name.c_str(), mode.name, level,
                   brask_result_text(r));
      return false;
    }
    file.assign(out, out + size);
    brask_free(out);
  }
  result->seconds = double(std::clock() - start) / CLOCKS_PER_SEC / repeat;
  result->bytes = file.size();
  const plain::Picture read = mode.g00 ? plain::ReadG00(file) : plain::ReadPdt(file);
  if (!read.error.empty()) {
    std::fprintf(stderr, "%s %s level %d: the plain reader says: %s\n", picture.name.c_str(),
                 mode.name, level, read.error.c_str());
    return false;
  }
  if (!mode.g00) {
    for (size_t items : read.items) result->spare_flag_bytes += items > 0 && items % 8 == 0;
  }
  return true;
}

std::vector<int> ParseLevels(const char* text) {
  std::vector<int> levels;
  for (const char* p = text; *p != '\0';) {
    levels.push_back(std::atoi(p));
    p = std::strchr(p, ',');
    if (p == nullptr) break;
    ++p;
  }
  return levels;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = BRASK_PICTURES_DIR;
  std::vector<int> levels = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  int repeat = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--levels") == 0 && i + 1 < argc) {
      levels = ParseLevels(argv[++i]);
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      folder = argv[i];
    }
  }
  std::string why;
  const std::vector<bench::Picture> pictures = bench::ReadPngFolder(folder, &why);
  if (pictures.empty()) {
    std::fprintf(stderr, "encode_report: no pictures: %s\n", why.c_str());
    return 1;
  }
  bool ok = true;
  std::printf("Bytes per level as %% of the lazy matcher's (today's, level 4, with the PDT\n"
              "flag byte it left out); speed in MB/s of RGBA input per processor second.\n");
  for (const ModeRow& mode : kModes) {
    std::printf("\n%s\n%-22s %10s", mode.name, "picture", "today");
    for (int level : levels) std::printf("  L%d %%   MB/s", level);
    std::printf("\n");
    size_t total_today = 0;
    size_t spare = 0;
    std::vector<size_t> total(levels.size(), 0);
    for (const bench::Picture& picture : pictures) {
      const std::vector<uint8_t> rgba = InputOf(picture, mode.indexed);
      Result lazy;
      ok &= Encode(mode, picture, rgba, 4, 1, &lazy);
      const size_t today = lazy.bytes;
      total_today += today;
      spare += lazy.spare_flag_bytes;
      std::printf("%-22s %10zu", picture.name.c_str(), today);
      for (size_t l = 0; l < levels.size(); ++l) {
        Result r;
        ok &= Encode(mode, picture, rgba, levels[l], repeat, &r);
        total[l] += r.bytes;
        if (levels[l] >= 4 && r.bytes > today) {
          std::fprintf(stderr, "%s %s level %d: %zu bytes, larger than today's %zu\n",
                       picture.name.c_str(), mode.name, levels[l], r.bytes, today);
          ok = false;
        }
        std::printf(" %6.1f %6.1f", 100.0 * double(r.bytes) / double(today),
                    double(rgba.size()) / 1e6 / r.seconds);
      }
      std::printf("\n");
    }
    std::printf("%-22s %10zu", "all", total_today);
    for (size_t l = 0; l < levels.size(); ++l) {
      std::printf(" %6.1f %6s", 100.0 * double(total[l]) / double(total_today), "");
    }
    std::printf("\n");
    if (!mode.g00) std::printf("(%zu streams end after a full flag group: today's left their flag byte out)\n", spare);
  }
  return ok ? 0 : 1;
}
