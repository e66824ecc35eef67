// SPDX-License-Identifier: MIT
// Every kernel call a decode makes (allocations, locks, files, mappings) is made to fail in
// turn, for a sample of every mode from a file and from memory, through the exports and
// through the public API. The sites are found by counting the calls of a clean decode, so a
// new allocation is covered without editing this. Each failure must give its result code,
// leave the host's variables untouched or null (never a freed handle) or the API's handle
// null, keep the progress calls in order, and release everything.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "brask/brask.h"
#include "codec/byte_io.h"
#include "host/plugin_api.h"
#include "platform/fault_injection.h"
#include "tests/support/sample_images.h"
#include "tests/support/test_files.h"

namespace {

using platform::KernelCall;

HLOCAL Sentinel() { return reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A50u)); }

struct DecodeRun {
  int32_t result = -100;
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  std::vector<std::pair<int32_t, int32_t>> progress;
};

int32_t BRASK_CALL Record(int32_t numerator, int32_t denominator, UserData user_data) {
  reinterpret_cast<DecodeRun*>(user_data)->progress.emplace_back(numerator, denominator);
  return 0;
}

DecodeRun Decode(const SampleImage& sample, const std::string& path, bool from_file) {
  DecodeRun run;
  run.info = Sentinel();
  run.pixels = Sentinel();
  run.result = from_file
                   ? GetPicture(path.c_str(), 0, 0, &run.info, &run.pixels, Record,
                                reinterpret_cast<UserData>(&run))
                   : GetPicture(reinterpret_cast<const char*>(sample.bytes.data()),
                                static_cast<int32_t>(sample.bytes.size()), 1, &run.info,
                                &run.pixels, Record, reinterpret_cast<UserData>(&run));
  return run;
}

int32_t ExpectedResult(KernelCall failed) {
  switch (failed) {
    case KernelCall::kCreateFile: return kFileError;
    case KernelCall::kCreateFileMapping:
    case KernelCall::kMapViewOfFile: return kMappingFailed;
    default: return kOutOfMemory;
  }
}

void CheckFailedRun(const DecodeRun& run, KernelCall failed, const std::string& where) {
  SCOPED_TRACE(where + ", failing " + platform::KernelCallName(failed));
  EXPECT_EQ(run.result, ExpectedResult(failed));
  EXPECT_TRUE(run.info == Sentinel() || run.info == nullptr);
  EXPECT_TRUE(run.pixels == Sentinel() || run.pixels == nullptr);
  if (failed == KernelCall::kCreateFile || failed == KernelCall::kCreateFileMapping ||
      failed == KernelCall::kMapViewOfFile) {
    EXPECT_TRUE(run.progress.empty()) << "the handler was reached";
    return;
  }
  // The handler was reached: it called back first, never more than three times, and when it
  // called back after the first call, the last of those calls reported the end.
  ASSERT_FALSE(run.progress.empty());
  EXPECT_EQ(run.progress.front(), std::make_pair(0, 2));
  EXPECT_LE(run.progress.size(), 3u);
  if (run.progress.size() > 1) {
    EXPECT_EQ(run.progress.back(), std::make_pair(2, 2));
  }
}

void Sweep(const SampleImage& sample, bool from_file) {
  const std::string where = sample.name + (from_file ? " from a file" : " from memory");
  const std::string path = WriteTempFile(sample.name + sample.file_ending, sample.bytes);
  const long live_before = platform::LiveResources();

  platform::FailCountedCall(0);
  DecodeRun clean = Decode(sample, path, from_file);
  const long sites = platform::CountedCallsSoFar();
  ASSERT_EQ(clean.result, kSuccess) << where;
  LocalFree(clean.info);
  LocalFree(clean.pixels);
  ASSERT_EQ(platform::LiveResources(), live_before) << where;
  ASSERT_GE(sites, 3) << where << ": fewer counted calls than blocks to allocate";

  for (long n = 1; n <= sites; ++n) {
    platform::FailCountedCall(n);
    DecodeRun run = Decode(sample, path, from_file);
    const KernelCall failed = platform::FailedCall();
    platform::FailCountedCall(0);
    ASSERT_NE(failed, KernelCall::kNone) << where << ": call " << n << " was not made again";
    CheckFailedRun(run, failed, where + ", call " + std::to_string(n));
    EXPECT_EQ(platform::LiveResources(), live_before)
        << where << ": leaked after failing " << platform::KernelCallName(failed);
  }
}

TEST(FaultSweep, EveryCallOfEveryModeFailsCleanlyFromFiles) {
  for (const SampleImage& sample : SamplesOfEveryMode()) Sweep(sample, true);
}

TEST(FaultSweep, EveryCallOfEveryModeFailsCleanlyFromMemory) {
  for (const SampleImage& sample : SamplesOfEveryMode()) {
    if (sample.readable_from_memory) Sweep(sample, false);
  }
}

// The same samples with their streams cut short, so most of each picture is never produced
// by its stream (a G00 type-1 work buffer then far outlasts its stream).
std::vector<SampleImage> StarvedSamples() {
  std::vector<SampleImage> starved;
  for (SampleImage sample : SamplesOfEveryMode(4)) {
    std::vector<uint8_t>& b = sample.bytes;
    if (sample.file_ending == ".pdt") {
      const uint32_t mask = ReadU32Le(b.data() + 28);
      if (b[4] == '1') {
        WriteU32Le(b.data() + 8, 1120 + 3);  // index stream: a flag byte and two items
      } else if (mask != 0) {
        // The colour stream cut to a flag byte and two pixels, the mask after it whole: the
        // mask must still land where the composition reads it.
        SampleImage colour = sample;
        std::vector<uint8_t>& c = colour.bytes;
        c.erase(c.begin() + 39, c.begin() + static_cast<std::ptrdiff_t>(mask));
        WriteU32Le(c.data() + 28, 39);
        WriteU32Le(c.data() + 8, static_cast<uint32_t>(c.size()));
        colour.name += "-colour-starved";
        starved.push_back(std::move(colour));
        WriteU32Le(b.data() + 8, mask + 3);  // mask stream: a flag byte and two items
      } else {
        WriteU32Le(b.data() + 8, 32 + 4);  // colour stream: a flag byte and one pixel
      }
    } else if (b[0] == 2) {
      const size_t regions = ReadU32Le(b.data() + 5);
      WriteU32Le(b.data() + 9 + 24 * regions, 8 + 40);  // the directory and little else
    } else {
      WriteU32Le(b.data() + 5, 8 + 4);  // a flag byte and a little
    }
    sample.name += "-starved";
    starved.push_back(std::move(sample));
  }
  return starved;
}

// Unwritten memory never reaches the host: the same decode under two different fills of
// fresh allocations gives the same bytes, for whole and for starved streams.
TEST(FaultSweep, FreshMemoryNeverReachesTheHost) {
  std::vector<SampleImage> samples = SamplesOfEveryMode();
  for (SampleImage& starved : StarvedSamples()) samples.push_back(std::move(starved));
  for (const SampleImage& sample : samples) {
    const std::string path = WriteTempFile(sample.name + sample.file_ending, sample.bytes);
    std::vector<uint8_t> seen[2];
    int32_t results[2];
    for (int pass = 0; pass < 2; ++pass) {
      platform::SetFreshMemoryFill(pass == 0 ? 0x00 : 0xFF);
      DecodeRun run = Decode(sample, path, true);
      platform::SetFreshMemoryFill(-1);
      results[pass] = run.result;
      if (run.result != kSuccess) continue;
      for (HLOCAL block : {run.info, run.pixels}) {
        const uint8_t* memory = static_cast<const uint8_t*>(LocalLock(block));
        seen[pass].insert(seen[pass].end(), memory, memory + LocalSize(block));
        LocalUnlock(block);
        LocalFree(block);
      }
    }
    EXPECT_EQ(results[0], results[1]) << sample.name;
    if (sample.name.find("starved") == std::string::npos) {
      EXPECT_EQ(results[0], kSuccess) << sample.name;
    }
    EXPECT_EQ(seen[0], seen[1]) << sample.name;
  }
}

// The public API: open, then every decode the picture offers, the RGBA output, indexes and
// palette and each part, into buffers pre-filled with one byte so that only what the library
// writes can differ. The first failing result ends the run.
struct ApiRun {
  brask_result result = BRASK_OK;
  bool handle_null_on_failure = true;
  std::vector<uint8_t> bytes;
};

ApiRun DecodeThroughApi(const SampleImage& sample, const std::string& path, bool from_file) {
  ApiRun run;
  brask_picture* picture = reinterpret_cast<brask_picture*>(&run);
  const std::string name = sample.name + sample.file_ending;
  run.result = from_file ? brask_open_path(path.c_str(), 0, &picture)
                         : brask_open_memory(sample.bytes.data(), sample.bytes.size(),
                                             name.c_str(), 0, &picture);
  if (run.result != BRASK_OK) {
    run.handle_null_on_failure = picture == nullptr;
    return run;
  }
  brask_info info;
  brask_get_info(picture, &info);
  std::vector<uint8_t> rgba(size_t{info.width} * info.height * 4, 0x5A);
  run.result = brask_decode_rgba(picture, rgba.data(), rgba.size(), size_t{info.width} * 4);
  run.bytes = rgba;
  if (run.result == BRASK_OK && info.palette_size != 0) {
    std::vector<uint8_t> indexes(size_t{info.width} * info.height + 3 * 256, 0x5A);
    run.result = brask_decode_indexed(picture, indexes.data(), indexes.size() - 3 * 256,
                                      info.width, indexes.data() + indexes.size() - 3 * 256,
                                      3 * 256);
    run.bytes.insert(run.bytes.end(), indexes.begin(), indexes.end());
  }
  for (uint32_t n = 0; run.result == BRASK_OK && n < info.part_count; ++n) {
    brask_part part;
    brask_get_part(picture, n, &part);
    if (part.width < 1) continue;
    std::vector<uint8_t> own(size_t(part.width) * size_t(part.height) * 4, 0x5A);
    run.result = brask_decode_part_rgba(picture, n, own.data(), own.size(), size_t(part.width) * 4);
    run.bytes.insert(run.bytes.end(), own.begin(), own.end());
  }
  brask_close(picture);
  return run;
}

void SweepApi(const SampleImage& sample, bool from_file) {
  const std::string where = sample.name + (from_file ? " from a path" : " from memory");
  const std::string path = WriteTempFile(sample.name + sample.file_ending, sample.bytes);
  const long live_before = platform::LiveResources();
  platform::FailCountedCall(0);
  const ApiRun clean = DecodeThroughApi(sample, path, from_file);
  const long sites = platform::CountedCallsSoFar();
  ASSERT_EQ(clean.result, BRASK_OK) << where;
  ASSERT_EQ(platform::LiveResources(), live_before) << where;
  ASSERT_GE(sites, 3) << where << ": fewer counted calls than the handle, its copy and a buffer";
  for (long n = 1; n <= sites; ++n) {
    platform::FailCountedCall(n);
    const ApiRun run = DecodeThroughApi(sample, path, from_file);
    const KernelCall failed = platform::FailedCall();
    platform::FailCountedCall(0);
    ASSERT_NE(failed, KernelCall::kNone) << where << ": call " << n << " was not made again";
    SCOPED_TRACE(where + ", failing " + platform::KernelCallName(failed));
    EXPECT_EQ(run.result, failed == KernelCall::kHeapAlloc ? BRASK_OUT_OF_MEMORY : BRASK_FILE_ERROR);
    EXPECT_TRUE(run.handle_null_on_failure);
    EXPECT_EQ(platform::LiveResources(), live_before);
  }
}

TEST(FaultSweep, EveryCallOfTheApiFailsCleanly) {
  for (const SampleImage& sample : SamplesOfEveryMode()) {
    SweepApi(sample, true);
    SweepApi(sample, false);
  }
}

TEST(FaultSweep, FreshMemoryNeverReachesTheApisCaller) {
  std::vector<SampleImage> samples = SamplesOfEveryMode();
  for (SampleImage& starved : StarvedSamples()) samples.push_back(std::move(starved));
  for (const SampleImage& sample : samples) {
    ApiRun seen[2];
    for (int pass = 0; pass < 2; ++pass) {
      platform::SetFreshMemoryFill(pass == 0 ? 0x00 : 0xFF);
      seen[pass] = DecodeThroughApi(sample, "", false);
      platform::SetFreshMemoryFill(-1);
    }
    EXPECT_EQ(seen[0].result, seen[1].result) << sample.name;
    EXPECT_EQ(seen[0].bytes, seen[1].bytes) << sample.name;
  }
}

}  // namespace
