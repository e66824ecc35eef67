// SPDX-License-Identifier: MIT
// The information strings, byte for byte, and GetPluginInfo's counting and cutting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/loaded_plugin.h"

namespace {

const std::string kStrings[] = {
    "00IN",
    "Quarvelle's G00, PDT to DIB filter  ver.0.03 by Drelm",
    "*.g00",
    std::string("G00 \x83\x74\x83\x40\x83\x43\x83\x8B (*.g00)"),
    "*.pdt",
    std::string("PDT \x83\x74\x83\x40\x83\x43\x83\x8B (*.pdt)"),
};

// Calls GetPluginInfo on a buffer pre-filled with 'x' and returns (count, buffer).
std::pair<int32_t, std::string> Query(int32_t index, int32_t length, size_t buffer_size = 128) {
  std::string buffer(buffer_size, 'x');
  int32_t count = LoadedPlugin::Get().get_plugin_info(index, buffer.data(), length);
  return {count, buffer};
}

TEST(PluginInfo, ServesEveryStringWholeWithItsTerminator) {
  for (int32_t index = 0; index < 6; ++index) {
    auto [count, buffer] = Query(index, 100);
    const std::string& want = kStrings[index];
    EXPECT_EQ(count, static_cast<int32_t>(want.size() + 1)) << "index " << index;
    EXPECT_EQ(buffer.substr(0, want.size() + 1), want + '\0') << "index " << index;
    EXPECT_EQ(buffer[want.size() + 1], 'x') << "wrote past the terminator, index " << index;
  }
}

TEST(PluginInfo, LengthsAreInBytes) {
  EXPECT_EQ(kStrings[1].size(), 53u);
  EXPECT_EQ(Query(3, 100).first, 21);
  EXPECT_EQ(Query(5, 100).first, 21);
  EXPECT_EQ(Query(0, 100).first, 5);
}

TEST(PluginInfo, CutsToTheBufferAndTerminatesInside) {
  auto [count, buffer] = Query(1, 10);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(buffer.substr(0, 10), kStrings[1].substr(0, 9) + '\0');
  EXPECT_EQ(buffer[10], 'x');

  // Exactly the string's length: no room for the last character.
  auto [exact_count, exact] = Query(0, 4);
  EXPECT_EQ(exact_count, 4);
  EXPECT_EQ(exact.substr(0, 5), std::string("00I\0x", 5));

  // One byte: only the terminator.
  auto [one_count, one] = Query(0, 1);
  EXPECT_EQ(one_count, 1);
  EXPECT_EQ(one.substr(0, 2), std::string("\0x", 2));
}

TEST(PluginInfo, IndexOutsideTheTableWritesNothing) {
  for (int32_t index : {-1, 6, 1000, INT32_MIN}) {
    auto [count, buffer] = Query(index, 100);
    EXPECT_EQ(count, 0) << "index " << index;
    EXPECT_EQ(buffer, std::string(128, 'x')) << "index " << index;
  }
}

TEST(PluginInfo, EmptyOrNegativeBufferWritesNothingAndReturnsItsLength) {
  auto [zero_count, zero] = Query(0, 0);
  EXPECT_EQ(zero_count, 0);
  EXPECT_EQ(zero, std::string(128, 'x'));
  auto [negative_count, negative] = Query(2, -7);
  EXPECT_EQ(negative_count, -7);
  EXPECT_EQ(negative, std::string(128, 'x'));
}

}  // namespace
