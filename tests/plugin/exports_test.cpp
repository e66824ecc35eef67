// SPDX-License-Identifier: MIT
// How the exports obtain their input (file, handle, mapping, memory) and which inputs reach
// a handler at all, through the loaded plug-in. What the handlers then do is tested with them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/loaded_plugin.h"
#include "tests/support/sample_images.h"
#include "tests/support/test_files.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const std::vector<uint8_t> kPdtHead = {'P', 'D', 'T', '1', '0', 0, 0, 0};
const std::vector<uint8_t> kG00Head = {1, 4, 0, 4, 0, 0, 0, 0};
const std::vector<uint8_t> kUnknown = {'B', 'M', 0, 0, 0, 0, 0, 0};

const LoadedPlugin& Plugin() { return LoadedPlugin::Get(); }

int32_t IsSupportedFromMemory(const char* name, const std::vector<uint8_t>& head) {
  return Plugin().is_supported(name, reinterpret_cast<uintptr_t>(head.data()));
}

// Opens a file as a host would and passes the handle (a descriptor on POSIX).
class OpenedFile {
 public:
  explicit OpenedFile(const std::string& path) {
#if defined(_WIN32)
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr);
#else
    handle_ = open(path.c_str(), O_RDONLY);
#endif
  }
  ~OpenedFile() {
#if defined(_WIN32)
    CloseHandle(handle_);
#else
    close(handle_);
#endif
  }
#if defined(_WIN32)
  uintptr_t source() const { return reinterpret_cast<uintptr_t>(handle_); }
#else
  uintptr_t source() const { return static_cast<uintptr_t>(handle_); }
#endif
  long Position() const {
#if defined(_WIN32)
    return static_cast<long>(SetFilePointer(handle_, 0, nullptr, FILE_CURRENT));
#else
    return static_cast<long>(lseek(handle_, 0, SEEK_CUR));
#endif
  }

 private:
#if defined(_WIN32)
  HANDLE handle_;
#else
  int handle_;
#endif
};

TEST(IsSupported, ReturnsTheNameLengthForARecognisedHead) {
  EXPECT_EQ(IsSupportedFromMemory("picture.pdt", kPdtHead), 11);
  EXPECT_EQ(IsSupportedFromMemory("noext", kPdtHead), 5);
  EXPECT_EQ(IsSupportedFromMemory("IMAGE.G00", kG00Head), 9);
  EXPECT_EQ(IsSupportedFromMemory("image.pdt", kG00Head), 0);
  EXPECT_EQ(IsSupportedFromMemory("image.g00", kUnknown), 0);
}

TEST(IsSupported, AnEmptyNameIsNeverSupported) {
  EXPECT_EQ(IsSupportedFromMemory("", kPdtHead), 0);
}

TEST(IsSupported, ReadsTheHeadFromAHandleAndLeavesItsPositionMoved) {
  std::vector<uint8_t> file = kPdtHead;
  file.resize(3000, 0xEE);
  OpenedFile opened(WriteTempFile("handle.pdt", file));
  EXPECT_EQ(Plugin().is_supported("handle.pdt", opened.source()), 10);
  EXPECT_EQ(opened.Position(), 2048);
  // The handle now points into the middle of the file: nothing recognisable there.
  EXPECT_EQ(Plugin().is_supported("handle.pdt", opened.source()), 0);
}

TEST(IsSupported, AHandleWithFewerThanFiveBytesIsNotSupported) {
  OpenedFile opened(WriteTempFile("short.pdt", {'P', 'D', 'T', '1'}));
  EXPECT_EQ(Plugin().is_supported("short.pdt", opened.source()), 0);
}

TEST(GetPictureInfo, FileErrorsAndUnrecognisedInput) {
  PictureInfoRecord info;
  std::memset(&info, 0x77, sizeof info);
  const std::string missing = TempFolder() + "/does-not-exist.pdt";
  EXPECT_EQ(Plugin().get_picture_info(missing.c_str(), 0, 0, &info), 6);
  EXPECT_EQ(Plugin().get_picture_info(TempFolder().c_str(), 0, 0, &info), 6) << "a folder";
  const std::string unknown = WriteTempFile("unknown.pdt", kUnknown);
  EXPECT_EQ(Plugin().get_picture_info(unknown.c_str(), 0, 0, &info), 2);
  const std::string empty = WriteTempFile("empty.pdt", {});
  EXPECT_EQ(Plugin().get_picture_info(empty.c_str(), 0, 0, &info), 2);
  const std::string four = WriteTempFile("four.pdt", {'P', 'D', 'T', '1'});
  EXPECT_EQ(Plugin().get_picture_info(four.c_str(), 0, 0, &info), 2);
  // A position past the end reads nothing.
  const std::string pdt = WriteTempFile("far.pdt", kPdtHead);
  EXPECT_EQ(Plugin().get_picture_info(pdt.c_str(), 100000, 0, &info), 2);
  // A negative position is refused, not read as the start of the file.
  EXPECT_EQ(Plugin().get_picture_info(pdt.c_str(), -1, 0, &info), 2);
  // None of these reached a handler: the host's record is untouched.
  PictureInfoRecord untouched;
  std::memset(&untouched, 0x77, sizeof untouched);
  EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0);
}

TEST(GetPictureInfo, MemoryInputIsNeverG00AndShortInputIsRefused) {
  PictureInfoRecord info{};
  EXPECT_EQ(Plugin().get_picture_info(reinterpret_cast<const char*>(kG00Head.data()), 8, 1, &info), 2);
  EXPECT_EQ(Plugin().get_picture_info(reinterpret_cast<const char*>(kPdtHead.data()), 4, 1, &info), 2);
  EXPECT_EQ(Plugin().get_picture_info(reinterpret_cast<const char*>(kPdtHead.data()), -5, 1, &info), 2);
  EXPECT_EQ(Plugin().get_picture_info(reinterpret_cast<const char*>(kUnknown.data()), 8, 1, &info), 2);
}

TEST(GetPicture, FileErrorsMappingFailuresAndPositionsOutsideTheFile) {
  const std::string missing = TempFolder() + "/does-not-exist.pdt";
  EXPECT_EQ(DecodeFile(missing).result, 6);
  const std::string empty = WriteTempFile("empty.pdt", {});
  DecodeOutcome outcome = DecodeFile(empty);
  EXPECT_EQ(outcome.result, 5) << "an empty file cannot be mapped";
  EXPECT_TRUE(outcome.progress.empty());

  const std::string pdt = WriteTempFile("positions.pdt", kPdtHead);
  for (int32_t position : {-1, 8, 9, 1 << 30, INT32_MIN}) {
    outcome = DecodeFile(pdt, position);
    EXPECT_EQ(outcome.result, 2) << "position " << position;
    EXPECT_FALSE(outcome.info_set || outcome.pixels_set) << "position " << position;
    EXPECT_TRUE(outcome.progress.empty()) << "position " << position;
  }
  // Fewer than five bytes left after the position.
  EXPECT_EQ(DecodeFile(pdt, 4).result, 2);
}

TEST(GetPicture, UnrecognisedInputLeavesTheHostsVariablesAlone) {
  const std::string unknown = WriteTempFile("unknown.g00", kUnknown);
  for (const DecodeOutcome& outcome : {DecodeFile(unknown), DecodeMemory(kUnknown),
                                       DecodeMemory(kG00Head)}) {
    EXPECT_EQ(outcome.result, 2);
    EXPECT_FALSE(outcome.info_set);
    EXPECT_FALSE(outcome.pixels_set);
    EXPECT_TRUE(outcome.progress.empty());
  }
}

int32_t BRASK_CALL CountAndCancel(int32_t, int32_t, UserData user_data) {
  ++*reinterpret_cast<int*>(user_data);
  return 1;
}

TEST(GetPicture, AnyFlagBitMeansMemoryWhileGetPictureInfoLooksAtTheLowThree) {
  // With flags 8, GetPicture reads memory: a PDT head in memory reaches the PDT handler,
  // which calls back before anything else.
  const LoadedPlugin& plugin = Plugin();
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  int calls = 0;
  EXPECT_EQ(plugin.get_picture(reinterpret_cast<const char*>(kPdtHead.data()), 8, 8, &info,
                               &pixels, CountAndCancel, reinterpret_cast<UserData>(&calls)), 1);
  EXPECT_EQ(calls, 1);
  // With flags 8, GetPictureInfo takes the source as a file name.
  PictureInfoRecord record{};
  const std::string missing = TempFolder() + "/missing-flags8.pdt";
  EXPECT_EQ(plugin.get_picture_info(missing.c_str(), 0, 8, &record), 6);
}

struct UserDataSeen {
  std::vector<UserData> values;
};
UserDataSeen* g_user_data_seen = nullptr;

int32_t BRASK_CALL RecordUserData(int32_t, int32_t, UserData user_data) {
  g_user_data_seen->values.push_back(user_data);
  return 0;
}

TEST(GetPicture, HandsTheHostsWholeUserDataToEveryProgressCall) {
  // User data is pointer-sized: every bit of it comes back, in every mode of both formats.
  // In a 64-bit process that is all 64 (a `long` would cut 0x1122334455667788 to 0x55667788
  // on 64-bit Windows), with the top bit clear and set.
#if UINTPTR_MAX > 0xFFFFFFFFu
  const uintptr_t values[] = {UINT64_C(0x1122334455667788), UINT64_C(0xEEDDCCBBAA998877)};
#else
  const uintptr_t values[] = {0x11223344u, 0xEEDDCCBBu};
#endif
  static_assert(sizeof(UserData) == sizeof(void*), "user data is pointer-sized");
  const LoadedPlugin& plugin = Plugin();
  for (const SampleImage& sample : SamplesOfEveryMode()) {
    const std::string path = WriteTempFile("user-data-" + sample.name + sample.file_ending,
                                           sample.bytes);
    for (const uintptr_t value : values) {
      UserDataSeen seen;
      g_user_data_seen = &seen;
      HLOCAL info = nullptr;
      HLOCAL pixels = nullptr;
      ASSERT_EQ(plugin.get_picture(path.c_str(), 0, 0, &info, &pixels, RecordUserData,
                                   static_cast<UserData>(value)), 0) << sample.name;
      g_user_data_seen = nullptr;
      plugin.TakeBlock(info);
      plugin.TakeBlock(pixels);
      ASSERT_EQ(seen.values.size(), 3u) << sample.name;
      for (const UserData got : seen.values) {
        EXPECT_EQ(static_cast<uintptr_t>(got), value) << sample.name << std::hex << ": got 0x"
                                                      << static_cast<uintptr_t>(got);
      }
    }
  }
}

}  // namespace
