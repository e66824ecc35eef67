// SPDX-License-Identifier: MIT
// brask demo, encode, info and the command line itself, end to end.
#include <gtest/gtest.h>

#include <spng.h>

#include <filesystem>

#include "tests/brask/brask_runner.h"
#include "formats/image_files.h"

namespace {

TEST(BraskDemo, EveryModeDecodesExactly) {
  const std::string folder = FreshFolder("demo");
  const ProgramRun run = RunBrask({"demo", folder});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("12 of 12 pictures decoded exactly"), std::string::npos) << run.output;
  for (const std::string mode : {"g00-0", "g00-1", "g00-2", "pdt10", "pdt10-mask", "pdt11"}) {
    EXPECT_NE(run.output.find(" " + mode + " "), std::string::npos) << mode;
  }
  EXPECT_NE(run.output.find("Look at the decoded pictures in " + folder + "/png"), std::string::npos);
  EXPECT_EQ(ListFiles(folder + "/png").size(), 12u);
  EXPECT_EQ(ListFiles(folder + "/samples").size(), 12u);
}

// A 23 × 11 picture of 60 colours whose alpha runs through 0..255.
std::vector<uint8_t> TestRgba(uint32_t* width, uint32_t* height) {
  *width = 23;
  *height = 11;
  std::vector<uint8_t> rgba;
  for (uint32_t i = 0; i < *width * *height; ++i) {
    const uint32_t colour = (i * 7) % 60;
    rgba.insert(rgba.end(), {uint8_t(colour * 4), uint8_t(255 - colour * 3), uint8_t(colour * 11),
                             uint8_t(i * 13)});
  }
  return rgba;
}

// encode then convert gives back what went in: RGBA exactly in the alpha modes (colour
// under alpha 0 included), the colours in the others; --flatten gives the host viewer's
// picture, alpha onto black.
TEST(BraskEncode, PicturesRoundTripThroughEveryMode) {
  const std::string folder = FreshFolder("encode");
  uint32_t width, height;
  const std::vector<uint8_t> rgba = TestRgba(&width, &height);
  WriteRgbaPng(folder + "/in.png", width, height, rgba);

  const std::vector<std::pair<std::string, bool>> modes = {
      {"g00-0", false}, {"g00-1", false}, {"g00-2", true}, {"pdt10", false}, {"pdt10-mask", true}, {"pdt11", false}};
  for (const auto& [mode, alpha] : modes) {
    SCOPED_TRACE(mode);
    const std::string stored = folder + "/" + mode + (mode.rfind("g00", 0) == 0 ? ".g00" : ".pdt");
    const ProgramRun encoded = RunBrask({"encode", folder + "/in.png", stored, "--mode", mode});
    ASSERT_EQ(encoded.status, 0) << encoded.output;
    if (!alpha) {
      EXPECT_NE(encoded.output.find("alpha is dropped"), std::string::npos);
    }
    for (const bool flatten : {false, true}) {
      std::vector<std::string> args = {"convert", stored, "-o", folder + (flatten ? "/flat" : "/out")};
      if (flatten) args.push_back("--flatten");
      const ProgramRun converted = RunBrask(args);
      ASSERT_EQ(converted.status, 0) << converted.output;
      const PngPixels png = ReadPngPixels(folder + (flatten ? "/flat/" : "/out/") + mode + ".png");
      ASSERT_EQ(png.width, width);
      ASSERT_EQ(png.height, height);
      ASSERT_EQ(png.colour_type, alpha && !flatten ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA
                                 : mode == "g00-1" || mode == "pdt11" ? SPNG_COLOR_TYPE_INDEXED
                                                                      : SPNG_COLOR_TYPE_TRUECOLOR);
      const size_t channels = png.colour_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ? 4 : 3;
      for (uint32_t i = 0; i < width * height; ++i) {
        const uint8_t* have = png.colour_type == SPNG_COLOR_TYPE_INDEXED ? &png.palette[3 * png.data[i]]
                                                                         : &png.data[channels * i];
        const uint8_t a = rgba[4 * i + 3];
        for (size_t c = 0; c < channels; ++c) {
          const uint8_t source = rgba[4 * i + c];
          const uint8_t want = alpha && flatten ? uint8_t((source * (a + 1)) >> 8) : source;
          ASSERT_EQ(have[c], want) << "pixel " << i << " channel " << c;
        }
      }
    }
  }
}

TEST(BraskEncode, IndexedModesNameTheColourCountTheyCannotHold) {
  const std::string folder = FreshFolder("encode-colours");
  std::vector<uint8_t> rgba;
  for (uint32_t i = 0; i < 300; ++i) rgba.insert(rgba.end(), {uint8_t(i), uint8_t(i >> 8), 7, 255});
  WriteRgbaPng(folder + "/many.png", 20, 15, rgba);
  for (const std::string mode : {"g00-1", "pdt11"}) {
    const ProgramRun run = RunBrask({"encode", folder + "/many.png", folder + "/x", "--mode", mode});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("300 colours"), std::string::npos) << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "/x"));
}

TEST(BraskEncode, RefusesUnknownModesAndKeepsExistingFiles) {
  const std::string folder = FreshFolder("encode-refuse");
  uint32_t width, height;
  WriteRgbaPng(folder + "/in.png", 23, 11, TestRgba(&width, &height));
  ProgramRun run = RunBrask({"encode", folder + "/in.png", folder + "/x.pdt", "--mode", "pdt12"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("unknown mode pdt12"), std::string::npos) << run.output;
  WriteBytes(folder + "/x.pdt", {'k', 'e', 'e', 'p'});
  run = RunBrask({"encode", folder + "/in.png", folder + "/x.pdt", "--mode", "pdt10"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadBytes(folder + "/x.pdt"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  run = RunBrask({"encode", folder + "/not-there.png", folder + "/y.pdt", "--mode", "pdt10"});
  EXPECT_EQ(run.status, 1);
}

TEST(BraskInfo, DescribesEachFileAsJsonLines) {
  const std::string folder = FreshFolder("info");
  WriteBytes(folder + "/a.g00", encode::EncodeG00Type1(MakeIndexedImage(31, 17, 9, 1)));
  WriteBytes(folder + "/b \"q\".pdt", encode::EncodePdt10Masked(MakeAlphaImage(12, 4, 2)));
  encode::G00Part part{3, 4, 5, 2, {}};
  WriteBytes(folder + "/c.g00", encode::EncodeG00Type2({part, part}, 1, 1));
  WriteBytes(folder + "/d.txt", {'h', 'i'});
  const ProgramRun run = RunBrask({"info", "--json", folder + "/a.g00", folder + "/b \"q\".pdt",
                                   folder + "/c.g00", folder + "/d.txt", folder + "/none"});
  EXPECT_EQ(run.status, 1);  // two of the five are not pictures
  const std::string part_json = R"({"index":0,"width":5,"height":2,"origin_x":3,"origin_y":4,"top":0})";
  const std::string want =
      "{\"file\":\"" + folder + "/a.g00\",\"supported\":true,\"width\":31,\"height\":17,\"depth\":8,"
      "\"mode\":\"g00-1\",\"alpha\":false,\"palette\":9,\"parts\":[]}\n"
      "{\"file\":\"" + folder + "/b \\\"q\\\".pdt\",\"supported\":true,\"width\":12,\"height\":4,"
      "\"depth\":24,\"mode\":\"pdt10-mask\",\"alpha\":true,\"palette\":0,\"parts\":[]}\n"
      "{\"file\":\"" + folder + "/c.g00\",\"supported\":true,\"width\":5,\"height\":4,\"depth\":24,"
      "\"mode\":\"g00-2\",\"alpha\":true,\"palette\":0,\"parts\":[" + part_json + "," +
      R"({"index":1,"width":5,"height":2,"origin_x":3,"origin_y":4,"top":2})" + "]}\n"
      "{\"file\":\"" + folder + "/d.txt\",\"supported\":false,\"result\":2,\"error\":\"not a "
      "G00 or PDT picture: a PDT starts with \\\"PDT10\\\" or \\\"PDT11\\\", and a G00 is known by its "
      "name ending in .g00\"}\n"
      "{\"file\":\"" + folder + "/none\",\"supported\":false,\"error\":\"cannot open the file\"}\n";
  EXPECT_EQ(run.output, want);
  const ProgramRun text = RunBrask({"info", folder + "/c.g00"});
  EXPECT_EQ(text.output, folder + "/c.g00: 5 x 4, 24-bit, g00-2, alpha, 2 parts\n");

  // A picture of ours cut short is one, and says where it ends.
  const std::vector<uint8_t> g00 = encode::EncodeG00Type0(MakeColourImage(30, 20, 5));
  WriteBytes(folder + "/cut.g00", std::vector<uint8_t>(g00.begin(), g00.begin() + 100));
  const ProgramRun cut = RunBrask({"info", folder + "/cut.g00"});
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.output, folder + "/cut.g00: a G00 picture cut short: its header and compressed "
                                 "data need " + std::to_string(g00.size()) +
                            " bytes, the file holds 100\n");
}

TEST(BraskCommandLine, HelpGivesExamplesForEveryCommand) {
  for (const std::string command : {"info", "convert", "encode", "demo"}) {
    const ProgramRun run = RunBrask({command, "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("Examples:\n  brask " + command), std::string::npos) << run.output;
  }
  const ProgramRun version = RunBrask({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output.rfind("brask ", 0), 0u) << version.output;
  EXPECT_NE(RunBrask({}).status, 0);
  EXPECT_NE(RunBrask({"convert", "x", "--format", "gif"}).status, 0);
}

TEST(BraskCommandLine, AMissingPluginIsNamed) {
  const ProgramRun run =
      RunBrask({"convert", "x.pdt", "--flatten", "--plugin", "/nonexistent/if_brask.so"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("cannot load /nonexistent/if_brask.so"), std::string::npos) << run.output;
}

}  // namespace
