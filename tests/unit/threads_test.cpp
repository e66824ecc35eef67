// SPDX-License-Identifier: MIT
// The plug-in and the public API keep no state: eight threads decoding a mix of every mode at
// once, from files and from memory, get exactly what one thread gets. Built with
// ThreadSanitizer in the tsan preset, where any data race fails the run.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "brask/brask.h"
#include "host/plugin_api.h"
#include "tests/support/sample_images.h"
#include "tests/support/test_files.h"

namespace {

struct Input {
  std::string name;
  const SampleImage* sample;
  std::string path;  // empty: memory input
};

int32_t BRASK_CALL NeverCancel(int32_t, int32_t, UserData) { return 0; }

// The decoded blocks' bytes, information block first; empty when the decode failed.
std::vector<uint8_t> DecodeToBytes(const Input& input) {
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  const int32_t result =
      input.path.empty()
          ? GetPicture(reinterpret_cast<const char*>(input.sample->bytes.data()),
                       static_cast<int32_t>(input.sample->bytes.size()), 1, &info, &pixels,
                       NeverCancel, 0)
          : GetPicture(input.path.c_str(), 0, 0, &info, &pixels, NeverCancel, 0);
  std::vector<uint8_t> bytes;
  if (result != kSuccess) return bytes;
  for (HLOCAL block : {info, pixels}) {
    const uint8_t* memory = static_cast<const uint8_t*>(LocalLock(block));
    bytes.insert(bytes.end(), memory, memory + LocalSize(block));
    LocalUnlock(block);
    LocalFree(block);
  }
  return bytes;
}

TEST(Threads, EightThreadsDecodeWhatOneThreadDecodes) {
  const std::vector<SampleImage> samples = SamplesOfEveryMode(16);
  std::vector<Input> inputs;
  for (const SampleImage& sample : samples) {
    inputs.push_back({sample.name + " file", &sample,
                      WriteTempFile(sample.name + sample.file_ending, sample.bytes)});
    if (sample.readable_from_memory) inputs.push_back({sample.name + " memory", &sample, ""});
  }
  std::vector<std::vector<uint8_t>> expected;
  for (const Input& input : inputs) {
    expected.push_back(DecodeToBytes(input));
    ASSERT_FALSE(expected.back().empty()) << input.name;
  }

  constexpr int kThreads = 8;
  constexpr size_t kDecodesPerThread = 48;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = 0; i < kDecodesPerThread; ++i) {
        const size_t which = (i * 7 + static_cast<size_t>(t) * 3) % inputs.size();
        if (DecodeToBytes(inputs[which]) != expected[which]) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

// Through the API: each decode opens its own handle from memory (G00 with its name), reads
// the RGBA and every part, and closes it.
std::vector<uint8_t> DecodeThroughApi(const SampleImage& sample) {
  std::vector<uint8_t> bytes;
  brask_picture* picture = nullptr;
  const std::string name = sample.name + sample.file_ending;
  if (brask_open_memory(sample.bytes.data(), sample.bytes.size(), name.c_str(), 0, &picture) !=
      BRASK_OK) {
    return bytes;
  }
  brask_info info;
  brask_get_info(picture, &info);
  bytes.resize(size_t{info.width} * info.height * 4);
  if (brask_decode_rgba(picture, bytes.data(), bytes.size(), size_t{info.width} * 4) != BRASK_OK) {
    bytes.clear();
  }
  for (uint32_t n = 0; n < info.part_count; ++n) {
    brask_part part;
    brask_get_part(picture, n, &part);
    if (part.width < 1) continue;
    std::vector<uint8_t> own(size_t(part.width) * size_t(part.height) * 4);
    brask_decode_part_rgba(picture, n, own.data(), own.size(), size_t(part.width) * 4);
    bytes.insert(bytes.end(), own.begin(), own.end());
  }
  brask_close(picture);
  return bytes;
}

TEST(Threads, EightThreadsUseTheApiAtOnce) {
  const std::vector<SampleImage> samples = SamplesOfEveryMode(16);
  std::vector<std::vector<uint8_t>> expected;
  for (const SampleImage& sample : samples) {
    expected.push_back(DecodeThroughApi(sample));
    ASSERT_FALSE(expected.back().empty()) << sample.name;
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = 0; i < 48; ++i) {
        const size_t which = (i * 5 + t * 3) % samples.size();
        if (DecodeThroughApi(samples[which]) != expected[which]) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
