// SPDX-License-Identifier: MIT
// brask encode of what `convert --parts` wrote, and of whole trees: the sprite comes back
// the same, and every fault is reported with nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "brask/brask.h"
#include "tests/brask/brask_runner.h"

namespace {

std::vector<uint8_t> Pattern(int32_t width, int32_t height, uint32_t seed) {
  std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
  for (size_t i = 0; i < rgba.size(); ++i) {
    // Runs of alpha 0 with colour under them, and all of 0..255 elsewhere.
    const uint32_t mixed = uint32_t(i) * 2654435761u + seed;
    rgba[i] = i % 4 == 3 && (i / 32) % 3 == 0 ? 0 : uint8_t(mixed >> 13);
  }
  return rgba;
}

// Three listed parts at directory places 0, 2 and 5: origins kept, a part without a picture
// of its own (which still moves the next part down), widths that differ.
std::vector<uint8_t> WriteSprite(const std::string& path) {
  const std::vector<uint8_t> first = Pattern(30, 20, 1), last = Pattern(44, 13, 2);
  const brask_encode_part parts[] = {
      {0, 30, 20, 5, 7, first.data(), 30 * 4},
      {2, 0, 6, 0, 0, nullptr, 0},
      {5, 44, 13, 100, 3, last.data(), 44 * 4},
  };
  uint8_t* bytes = nullptr;
  size_t size = 0;
  EXPECT_EQ(brask_encode_g00_parts(parts, 3, nullptr, &bytes, &size), BRASK_OK);
  std::vector<uint8_t> file(bytes, bytes + size);
  brask_free(bytes);
  WriteBytes(path, file);
  return file;
}

// Only the files a run is meant to write: no output and no temporary file for a failure.
void ExpectOnlyFiles(const std::string& folder, std::vector<std::string> want) {
  std::sort(want.begin(), want.end());
  EXPECT_EQ(ListFiles(folder), want);
}

TEST(BraskEncodeParts, ConvertedPartsEncodeBackToTheSameSprite) {
  const std::string folder = FreshFolder("parts-round-trip");
  WriteSprite(folder + "/sprite.g00");
  ProgramRun run = RunBrask({"convert", folder + "/sprite.g00", "-o", folder + "/first", "--parts"});
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunBrask({"encode", folder + "/first/sprite-parts.json", folder + "/again.g00"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("g00-2, 44 x 39"), std::string::npos) << run.output;
  run = RunBrask({"convert", folder + "/again.g00", "-o", folder + "/second", "--parts"});
  ASSERT_EQ(run.status, 0) << run.output;

  EXPECT_EQ(ReadBytes(folder + "/first/sprite-parts.json"), ReadBytes(folder + "/second/again-parts.json"));
  for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
           {"sprite.png", "again.png"}, {"sprite-part0.png", "again-part0.png"}, {"sprite-part5.png", "again-part5.png"}}) {
    SCOPED_TRACE(first);
    const PngPixels before = ReadPngPixels(folder + "/first/" + first);
    const PngPixels after = ReadPngPixels(folder + "/second/" + second);
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
    EXPECT_EQ(after.data, before.data);
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "/second/again-part2.png"));
}

TEST(BraskEncodeParts, FaultsAreNamedAndLeaveNothingBehind) {
  const std::string folder = FreshFolder("parts-faults");
  const std::vector<uint8_t> pixels = Pattern(4, 3, 9);
  WriteRgbaPng(folder + "/x-part0.png", 4, 3, pixels);
  WriteRgbaPng(folder + "/x-part1.png", 4, 3, pixels);
  const std::string part0 = R"({"index":0,"width":4,"height":3,"origin_x":0,"origin_y":0,"top":0})";
  struct Case {
    std::string name;
    std::string json;
    std::string words;
  };
  const std::vector<Case> cases = {
      {"size", "[" + part0 + R"(,{"index":1,"width":5,"height":3,"origin_x":0,"origin_y":0}])", "x-part1.png is 4 x 3 pixels"},
      {"missing", "[" + part0 + R"(,{"index":2,"width":4,"height":3,"origin_x":0,"origin_y":0}])", "part 2: cannot open"},
      {"negative", "[" + part0 + R"(,{"index":1,"width":4,"height":3,"origin_x":-1,"origin_y":0}])", "\"origin_x\" is -1"},
      {"negative height", R"([{"index":0,"width":4,"height":-3,"origin_x":0,"origin_y":0}])", "\"height\" is -3"},
      {"same index", "[" + part0 + "," + part0 + "]", "index 0 does not follow"},
      {"overlap", "[" + part0 + R"(,{"index":1,"width":4,"height":3,"origin_x":0,"origin_y":0,"top":2}])", "top 2 overlaps"},
      {"gap", "[" + part0 + R"(,{"index":1,"width":4,"height":3,"origin_x":0,"origin_y":0,"top":4}])", "top 4 leaves a gap"},
      {"not json", "[{", "not valid JSON"},
      {"too large", R"([{"index":0,"width":4,"height":3,"origin_x":65533,"origin_y":0}])", brask_result_text(BRASK_TOO_LARGE)},
  };
  for (const Case& fault : cases) {
    SCOPED_TRACE(fault.name);
    WriteBytes(folder + "/x-parts.json", std::vector<uint8_t>(fault.json.begin(), fault.json.end()));
    const ProgramRun run = RunBrask({"encode", folder + "/x-parts.json", folder + "/out/x.g00"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(fault.words), std::string::npos) << run.output;
  }
  ExpectOnlyFiles(folder, {"x-part0.png", "x-part1.png", "x-parts.json"});

  // A PNG wider than a G00 can say.
  WriteRgbaPng(folder + "/wide.png", 65536, 1, std::vector<uint8_t>(65536 * 4, 255));
  const ProgramRun run = RunBrask({"encode", folder + "/wide.png", folder + "/wide.g00", "--mode", "g00-0"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find(brask_result_text(BRASK_TOO_LARGE)), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(folder + "/wide.g00"));
}

// A tree as convert --parts leaves it, plus pictures of each kind: mirrored, each mode
// chosen from its picture, the parts description standing for its PNGs, and one bad file
// reported without stopping the rest.
TEST(BraskEncodeParts, TreesAreMirroredWithModesChosenPerPicture) {
  const std::string folder = FreshFolder("encode-tree");
  WriteSprite(folder + "/sprite.g00");
  ASSERT_EQ(RunBrask({"convert", folder + "/sprite.g00", "-o", folder + "/in/chara", "--parts"}).status, 0);
  std::filesystem::remove(folder + "/sprite.g00");
  std::vector<uint8_t> opaque, few(16 * 16 * 4, 255);
  for (uint32_t i = 0; i < 24 * 24; ++i) opaque.insert(opaque.end(), {uint8_t(i), uint8_t(i >> 8), 50, 255});
  for (size_t i = 0; i < few.size(); i += 4) few[i] = uint8_t(i % 7 * 30);
  WriteRgbaPng(folder + "/in/photo.png", 24, 24, opaque);  // 576 colours
  WriteRgbaPng(folder + "/in/bg/flat.png", 16, 16, few);
  WriteRgbaPng(folder + "/in/bg/alpha.png", 16, 16, Pattern(16, 16, 4));
  WriteBytes(folder + "/in/bg/broken.png", {0x89, 'P', 'N', 'G'});
  WriteBytes(folder + "/in/notes.txt", {'x'});

  const ProgramRun run = RunBrask({"encode", folder + "/in", "-o", folder + "/out", "--mode", "auto",
                                   "--format", "g00", "-j", "3"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("broken.png"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Encoded 4 of 5 files"), std::string::npos) << run.output;
  ExpectOnlyFiles(folder + "/out", {"bg/alpha.g00", "bg/flat.g00", "chara/sprite.g00", "photo.g00"});
  const ProgramRun info = RunBrask({"info", folder + "/out/photo.g00", folder + "/out/bg/flat.g00",
                                    folder + "/out/bg/alpha.g00", folder + "/out/chara/sprite.g00"});
  ASSERT_EQ(info.status, 0) << info.output;
  for (const std::string want : {"photo.g00: 24 x 24, 24-bit, g00-0", "flat.g00: 16 x 16, 8-bit, g00-1",
                                 "alpha.g00: 16 x 16, 24-bit, g00-2", "sprite.g00: 44 x 39, 24-bit, g00-2, alpha, 3 parts"}) {
    EXPECT_NE(info.output.find(want), std::string::npos) << info.output;
  }
  // Auto needs a format to choose in; a mode of one format names it.
  EXPECT_EQ(RunBrask({"encode", folder + "/in", "-o", folder + "/more"}).status, 2);
  const ProgramRun pdt = RunBrask({"encode", folder + "/in/photo.png", "-o", folder + "/pdt", "--mode", "pdt10"});
  EXPECT_EQ(pdt.status, 0) << pdt.output;
  EXPECT_TRUE(std::filesystem::exists(folder + "/pdt/photo.pdt"));
}

}  // namespace
