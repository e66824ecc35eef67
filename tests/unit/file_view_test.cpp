// SPDX-License-Identifier: MIT
// Read-only views of files on the POSIX stand-in: the file is read into memory, so the view
// holds the file's bytes as they were, whatever another process does to the file, and
// unmapping releases it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "platform/fault_injection.h"
#include "platform/kernel.h"
#include "tests/support/test_files.h"

namespace {

std::vector<uint8_t> ViewOf(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  EXPECT_NE(mapping, nullptr);
  const uint8_t* view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  std::vector<uint8_t> bytes;
  if (view != nullptr) {
    bytes.assign(view, view + GetFileSize(file, nullptr));
    EXPECT_TRUE(UnmapViewOfFile(view));
  }
  CloseHandle(mapping);
  CloseHandle(file);
  return bytes;
}

TEST(FileView, HoldsTheWholeFileSmallOrLarge) {
  const long live_before = platform::LiveResources();
  std::mt19937 rng(5);
  // One byte, a page and a bit, and more than the largest file read into memory (2 MiB).
  for (size_t size : {size_t{1}, size_t{4097}, (size_t{2} << 20) + 3}) {
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    const std::string path = WriteTempFile("view-" + std::to_string(size) + ".bin", bytes);
    EXPECT_EQ(ViewOf(path), bytes) << size << " bytes";
  }
  EXPECT_EQ(platform::LiveResources(), live_before) << "a view or handle was not released";
}

// As on Windows, the file, the mapping and its views may be closed in any order, and two
// views of one mapping both hold the file.
TEST(FileView, OutlivesItsMappingAndFileInAnyOrder) {
  const long live_before = platform::LiveResources();
  for (size_t size : {size_t{100}, (size_t{2} << 20) + 1}) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::string path = WriteTempFile("order-" + std::to_string(size) + ".bin", bytes);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_TRUE(CloseHandle(file));
    const uint8_t* first = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    const uint8_t* second = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), first)) << size << " bytes";
    EXPECT_TRUE(UnmapViewOfFile(first));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), second)) << size << " bytes";
    EXPECT_TRUE(UnmapViewOfFile(second));
  }
  EXPECT_EQ(platform::LiveResources(), live_before) << "a view or handle was not released";
}

// A file shortened after it was opened fails to map, rather than giving a view shorter than
// the size the opener was told: as on Windows, where the share mode keeps writers out.
TEST(FileView, OfAFileShortenedAfterOpeningFailsToMap) {
  const long live_before = platform::LiveResources();
  const std::string path = WriteTempFile("shortened.bin", std::vector<uint8_t>(1000, 7));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_EQ(truncate(path.c_str(), 10), 0);
  EXPECT_EQ(GetFileSize(file, nullptr), 1000u);
  EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(platform::LiveResources(), live_before);
}

// A viewer's file shortened by another process while its view is held: the view keeps every
// byte (a view mapped from the file would raise SIGBUS on the first page past the new end).
TEST(FileView, OfALargeFileKeepsItsBytesWhenTheFileIsShortened) {
  const size_t size = (size_t{8} << 20) + 5;
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + 5);
  const std::string path = WriteTempFile("shortened-later.bin", bytes);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  const uint8_t* view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(truncate(path.c_str(), 100), 0);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), view));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));
}

// Null is no handle: closing it fails and closes nothing; it is never taken for descriptor 0.
TEST(FileView, ClosingNoHandleClosesNothing) {
  int saved_stdin = dup(0);  // -1 when the test runs without one: then /dev/null stands in
  if (saved_stdin < 0) {
    ASSERT_EQ(open("/dev/null", O_RDONLY), 0);
  }
  const long live_before = platform::LiveResources();
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_NE(fcntl(0, F_GETFD), -1) << "descriptor 0 was closed";
  EXPECT_EQ(platform::LiveResources(), live_before);
  if (saved_stdin >= 0) {
    dup2(saved_stdin, 0);
    close(saved_stdin);
  } else {
    close(0);
  }
}

}  // namespace
