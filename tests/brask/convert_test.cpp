// SPDX-License-Identifier: MIT
// brask convert end to end: pictures of every mode through the real program and plug-in,
// outputs checked against the DIBs the plug-in hands a host directly.
#include <gtest/gtest.h>

#include <spng.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "tests/brask/brask_runner.h"
#include "tests/support/loaded_plugin.h"
#include "formats/image_files.h"

namespace fs = std::filesystem;

namespace {

uint32_t ReadU32Le(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One file per mode and width class: odd widths need row padding, multiples of 4 none.
std::vector<std::string> WriteEveryMode(const std::string& folder) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const auto& [width, height] : {std::pair<int32_t, int32_t>{13, 7}, {16, 5}}) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    files.push_back({"g00/colour-" + size + ".g00", encode::EncodeG00Type0(MakeColourImage(width, height, 1))});
    files.push_back({"g00/indexed-" + size + ".g00", encode::EncodeG00Type1(MakeIndexedImage(width, height, 40, 2))});
    files.push_back({"g00/parts-" + size + ".g00", encode::EncodeG00Type2(MakeAlphaImage(width, height, 3), 8)});
    files.push_back({"pdt/colour-" + size + ".pdt", encode::EncodePdt10(MakeColourImage(width, height, 4))});
    files.push_back({"pdt/masked-" + size + ".pdt", encode::EncodePdt10Masked(MakeAlphaImage(width, height, 5))});
    files.push_back({"pdt/indexed-" + size + ".pdt", encode::EncodePdt11(MakeIndexedImage(width, height, 200, 6))});
  }
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) {
    WriteBytes(folder + "/" + name, bytes);
    names.push_back(name);
  }
  return names;
}

std::string WithExtension(const std::string& name, const std::string& extension) {
  return fs::path(name).replace_extension(extension).string();
}

struct Dib {
  int32_t width, height;
  int bits;
  size_t stride;
  DecodeOutcome outcome;
  const uint8_t* Row(int32_t y) const {  // from the top
    return outcome.pixels.data() + size_t(height - 1 - y) * stride;
  }
};

Dib DecodeDirectly(const std::string& path) {
  Dib dib{};
  dib.outcome = DecodeFile(path);
  EXPECT_EQ(dib.outcome.result, 0) << path;
  if (dib.outcome.info.size() < 40) return dib;
  dib.width = static_cast<int32_t>(ReadU32Le(&dib.outcome.info[4]));
  dib.height = static_cast<int32_t>(ReadU32Le(&dib.outcome.info[8]));
  dib.bits = dib.outcome.info[14];
  dib.stride = (size_t(dib.width) * size_t(dib.bits / 8) + 3) & ~size_t(3);
  return dib;
}

void ExpectNoTemporaryFiles(const std::string& folder) {
  for (const std::string& file : ListFiles(folder)) {
    EXPECT_EQ(file.find(".brask-partial"), std::string::npos) << file;
  }
}

TEST(BraskConvert, FlattenedPngsHoldTheDecodedPixelsOfEveryMode) {
  const std::string in = FreshFolder("png-in");
  const std::string out = FreshFolder("png-out");
  const std::vector<std::string> names = WriteEveryMode(in);
  const ProgramRun run = RunBrask({"convert", in, "-o", out, "--flatten"});
  ASSERT_EQ(run.status, 0) << run.output;

  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Dib dib = DecodeDirectly(in + "/" + name);
    const PngPixels png = ReadPngPixels(out + "/" + WithExtension(name, ".png"));
    ASSERT_EQ(png.width, uint32_t(dib.width));
    ASSERT_EQ(png.height, uint32_t(dib.height));
    if (dib.bits == 8) {
      // A palette PNG with the whole colour table, and the indexes unchanged.
      ASSERT_EQ(png.colour_type, SPNG_COLOR_TYPE_INDEXED);
      ASSERT_EQ(png.palette.size(), 256u * 3);
      for (size_t i = 0; i < 256; ++i) {
        const uint8_t* entry = &dib.outcome.info[40 + 4 * i];  // blue, green, red, reserved
        EXPECT_EQ(png.palette[3 * i], entry[2]) << "entry " << i;
        EXPECT_EQ(png.palette[3 * i + 1], entry[1]) << "entry " << i;
        EXPECT_EQ(png.palette[3 * i + 2], entry[0]) << "entry " << i;
      }
      for (int32_t y = 0; y < dib.height; ++y) {
        EXPECT_EQ(0, std::memcmp(&png.data[size_t(y) * png.width], dib.Row(y), png.width)) << "row " << y;
      }
    } else {
      ASSERT_EQ(png.colour_type, SPNG_COLOR_TYPE_TRUECOLOR);
      for (int32_t y = 0; y < dib.height; ++y) {
        for (int32_t x = 0; x < dib.width; ++x) {
          const uint8_t* want = dib.Row(y) + 3 * x;  // blue, green, red
          const uint8_t* have = &png.data[(size_t(y) * png.width + size_t(x)) * 3];
          ASSERT_TRUE(have[0] == want[2] && have[1] == want[1] && have[2] == want[0])
              << "pixel " << x << "," << y;
        }
      }
    }
  }
  ExpectNoTemporaryFiles(out);
}

// Every compression setting writes the same pixels; the level reaches the writer (stored
// deflate, level 0, makes the largest files; a flat picture shows it).
TEST(BraskConvert, PngLevelsChangeTheSizeButNotThePixels) {
  const std::string in = FreshFolder("level-in");
  std::vector<std::string> names = WriteEveryMode(in);
  names.push_back("flat.pdt");
  WriteBytes(in + "/flat.pdt", encode::EncodePdt10({64, 64, std::vector<uint8_t>(64 * 64 * 3, 90)}));
  const std::string fastest = FreshFolder("level-default");
  ASSERT_EQ(RunBrask({"convert", in, "-o", fastest}).status, 0);
  for (const char* level : {"0", "9"}) {
    SCOPED_TRACE(std::string("--png-level ") + level);
    const std::string out = FreshFolder(std::string("level-") + level);
    const ProgramRun run = RunBrask({"convert", in, "-o", out, "--png-level", level});
    ASSERT_EQ(run.status, 0) << run.output;
    for (const std::string& name : names) {
      const std::string png = WithExtension(name, ".png");
      EXPECT_EQ(ReadPngPixels(out + "/" + png).data, ReadPngPixels(fastest + "/" + png).data)
          << name;
      if (level[0] == '0') {
        const uintmax_t stored = fs::file_size(out + "/" + png);
        const uintmax_t compressed = fs::file_size(fastest + "/" + png);
        EXPECT_GE(stored, compressed) << name;
        if (name == "flat.pdt") {
          EXPECT_GT(stored, 2 * compressed);
        }
      }
    }
  }
  EXPECT_NE(RunBrask({"convert", in, "-o", fastest, "--png-level", "10"}).status, 0);
}

TEST(BraskConvert, BmpIsTheFileHeaderAndTheDibByteForByte) {
  const std::string in = FreshFolder("bmp-in");
  const std::string out = FreshFolder("bmp-out");
  const std::vector<std::string> names = WriteEveryMode(in);
  const ProgramRun run = RunBrask({"convert", in, "-o", out, "--format", "bmp"});
  ASSERT_EQ(run.status, 0) << run.output;

  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Dib dib = DecodeDirectly(in + "/" + name);
    const std::vector<uint8_t> bmp = ReadBytes(out + "/" + WithExtension(name, ".bmp"));
    const size_t header_bytes = dib.bits == 8 ? 40 + 1024 : 40;
    const size_t pixel_bytes = dib.stride * size_t(dib.height);
    ASSERT_EQ(bmp.size(), 14 + header_bytes + pixel_bytes);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(ReadU32Le(&bmp[2]), bmp.size());               // file size
    EXPECT_EQ(ReadU32Le(&bmp[6]), 0u);                       // reserved
    EXPECT_EQ(ReadU32Le(&bmp[10]), 14 + header_bytes);       // where the rows start
    EXPECT_EQ(0, std::memcmp(&bmp[14], dib.outcome.info.data(), header_bytes));
    const size_t row_bytes = size_t(dib.width) * size_t(dib.bits / 8);
    for (int32_t r = 0; r < dib.height; ++r) {
      const uint8_t* have = &bmp[14 + header_bytes + size_t(r) * dib.stride];
      EXPECT_EQ(0, std::memcmp(have, &dib.outcome.pixels[size_t(r) * dib.stride], row_bytes)) << "row " << r;
      for (size_t pad = row_bytes; pad < dib.stride; ++pad) EXPECT_EQ(have[pad], 0) << "padding, row " << r;
    }
  }
}

TEST(BraskConvert, OneAndEightWorkersWriteIdenticalFiles) {
  const std::string in = FreshFolder("jobs-in");
  WriteEveryMode(in);
  for (const std::string format : {"png", "bmp"}) {
    const std::string one = FreshFolder("jobs-1");
    const std::string eight = FreshFolder("jobs-8");
    ASSERT_EQ(RunBrask({"convert", in, "-o", one, "-j", "1", "--format", format}).status, 0);
    ASSERT_EQ(RunBrask({"convert", in, "-o", eight, "-j", "8", "--format", format}).status, 0);
    const std::vector<std::string> files = ListFiles(one);
    ASSERT_EQ(files.size(), 12u);
    ASSERT_EQ(files, ListFiles(eight));
    for (const std::string& file : files) {
      EXPECT_EQ(ReadBytes(one + "/" + file), ReadBytes(eight + "/" + file)) << file;
    }
  }
}

TEST(BraskConvert, BadFilesAmongGoodOnesAreReportedAndTheBatchCompletes) {
  const std::string in = FreshFolder("bad-in");
  const std::string out = FreshFolder("bad-out");
  const std::vector<std::string> good = WriteEveryMode(in);
  std::vector<uint8_t> truncated = encode::EncodePdt10(MakeColourImage(40, 30, 9));
  truncated.resize(truncated.size() / 2);
  WriteBytes(in + "/pdt/cut.pdt", truncated);
  WriteBytes(in + "/pdt/version.pdt", {'P', 'D', 'T', '1', 0x05, 0, 0, 0});  // signature, unknown version
  WriteBytes(in + "/deep/er/empty.g00", {});
  WriteBytes(in + "/notes.txt", {'h', 'i', '\n'});
  WriteBytes(in + "/picture.png", {0x89, 'P', 'N', 'G'});

  const ProgramRun run = RunBrask({"convert", in, "-o", out, "-j", "4"});
  EXPECT_EQ(run.status, 1) << run.output;
  // Each failure in the file's own terms, never a result number.
  for (const std::string bad : {"pdt/cut.pdt: a PDT picture cut short: its header says the file is ",
                                "pdt/version.pdt: a damaged PDT picture: its version byte is 5",
                                "deep/er/empty.g00: a G00 picture cut short: its header needs 13 "
                                "bytes, the file holds 0"}) {
    EXPECT_NE(run.output.find("FAILED  " + in + "/" + bad), std::string::npos)
        << bad << "\n" << run.output;
  }
  EXPECT_EQ(run.output.find("result "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Converted 12 of 15 files"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("3 failed; 2 other files ignored"), std::string::npos) << run.output;
  std::vector<std::string> want;
  for (const std::string& name : good) want.push_back(WithExtension(name, ".png"));
  std::sort(want.begin(), want.end());
  EXPECT_EQ(ListFiles(out), want);
}

TEST(BraskConvert, NamedFilesThePluginDoesNotReadAreFailures) {
  const std::string in = FreshFolder("named-in");
  WriteBytes(in + "/notes.txt", {'h', 'i'});
  const ProgramRun run = RunBrask({"convert", in + "/notes.txt", in + "/missing.pdt", "-o", in});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("notes.txt: not a G00 or PDT picture: a PDT starts with"),
            std::string::npos) << run.output;
  EXPECT_NE(run.output.find("missing.pdt: no such file or folder"), std::string::npos) << run.output;
  // The counts add up: both named files were tried, neither converted.
  EXPECT_NE(run.output.find("Converted 0 of 2 files"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(", 2 failed"), std::string::npos) << run.output;

  // A G00 cut short, flattened through the plug-in: the library's words for it too.
  const std::vector<uint8_t> g00 = encode::EncodeG00Type0(MakeColourImage(30, 20, 5));
  WriteBytes(in + "/cut.g00", std::vector<uint8_t>(g00.begin(), g00.begin() + 100));
  const ProgramRun flat = RunBrask({"convert", in + "/cut.g00", "-o", in, "--flatten"});
  EXPECT_EQ(flat.status, 1);
  EXPECT_NE(flat.output.find("cut.g00: a G00 picture cut short: its header and compressed data "
                             "need " + std::to_string(g00.size()) + " bytes, the file holds 100"),
            std::string::npos) << flat.output;
  EXPECT_NE(flat.output.find("Converted 0 of 1 file"), std::string::npos) << flat.output;
}

TEST(BraskConvert, ReportsAnOutputFolderItCannotWrite) {
  const std::string in = FreshFolder("unwritable-in");
  WriteEveryMode(in);
  // A regular file where the output folder should be: no user can write below it.
  const std::string blocker = FreshFolder("unwritable-out") + "/file";
  WriteBytes(blocker, {'x'});
  ProgramRun run = RunBrask({"convert", in, "-o", blocker + "/png"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("cannot create folder"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("12 failed"), std::string::npos) << run.output;

  if (geteuid() != 0) {  // permissions do not stop root
    const std::string locked = FreshFolder("unwritable-locked");
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    run = RunBrask({"convert", in + "/pdt/colour-13x7.pdt", "-o", locked});
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cannot write"), std::string::npos) << run.output;
    EXPECT_TRUE(ListFiles(locked).empty());
  }
}

TEST(BraskConvert, KeepsExistingOutputsUnlessForced) {
  const std::string in = FreshFolder("force-in");
  WriteBytes(in + "/a.pdt", encode::EncodePdt10(MakeColourImage(9, 9, 7)));
  const std::string out = FreshFolder("force-out");
  WriteBytes(out + "/a.png", {'o', 'l', 'd'});

  ProgramRun run = RunBrask({"convert", in, "-o", out});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("exists, not overwritten (use --force)"), std::string::npos) << run.output;
  EXPECT_EQ(ReadBytes(out + "/a.png"), (std::vector<uint8_t>{'o', 'l', 'd'}));

  run = RunBrask({"convert", in, "-o", out, "--force"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadPngPixels(out + "/a.png").width, 9u);
  ExpectNoTemporaryFiles(out);
}

TEST(BraskConvert, OutputsSitBesideInputsAndSameNamesStayApart) {
  const std::string in = FreshFolder("beside");
  WriteBytes(in + "/x.g00", encode::EncodeG00Type0(MakeColourImage(5, 3, 1)));
  WriteBytes(in + "/x.pdt", encode::EncodePdt10(MakeColourImage(6, 3, 2)));
  WriteBytes(in + "/y.pdt", encode::EncodePdt10(MakeColourImage(7, 3, 3)));
  const ProgramRun run = RunBrask({"convert", in});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ListFiles(in), (std::vector<std::string>{"x.g00", "x.g00.png", "x.pdt", "x.pdt.png",
                                                     "y.pdt", "y.png"}));
  EXPECT_EQ(ReadPngPixels(in + "/x.pdt.png").width, 6u);
}

TEST(BraskConvert, CtrlCCancelsAndLeavesNoPartialFile) {
  const std::string in = FreshFolder("interrupt-in");
  const std::string out = FreshFolder("interrupt-out");
  // Many names for one picture: a batch that takes seconds, made in milliseconds.
  encode::ColourImage image = MakeColourImage(640, 480, 11);
  WriteBytes(in + "/0.pdt", encode::EncodePdt10(image));
  for (int i = 1; i < 600; ++i) fs::create_hard_link(in + "/0.pdt", in + "/" + std::to_string(i) + ".pdt");

  const std::string command = std::string("'") + BRASK_PROGRAM_PATH + "' convert '" + in + "' -o '" + out +
                              "' -j 2 >/dev/null 2>&1 & pid=$!; sleep 0.5; kill -INT $pid; wait $pid";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::vector<std::string> written = ListFiles(out);
  EXPECT_LT(written.size(), 600u);
  ExpectNoTemporaryFiles(out);
}

// --parts: each part with a picture of its own as RGBA, named by its place in the directory
// (the empty entry 1 and the narrow part 3 get no file, the narrow part is still described),
// the parts' JSON beside them, and the composed picture as ever.
TEST(BraskConvert, PartsAreWrittenOnTheirOwnAndDescribed) {
  const std::string in = FreshFolder("parts-in");
  const std::string out = FreshFolder("parts-out");
  encode::G00Part first{0, 0, 4, 3, {{1, 1, MakeAlphaImage(5, 1, 1)}}};  // clipped to the part
  encode::G00Part empty{0, 0, 0, 0, {}};
  encode::G00Part second{10, 20, 2, 2, {{11, 21, MakeAlphaImage(1, 1, 2)}}};
  encode::G00Part narrow{0, 0, -1, 1, {}};
  WriteBytes(in + "/sprite.g00", encode::EncodeG00Type2({first, empty, second, narrow}, 1, 1));
  WriteBytes(in + "/plain.pdt", encode::EncodePdt10(MakeColourImage(3, 2, 3)));
  const ProgramRun run = RunBrask({"convert", in, "-o", out, "--parts"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ListFiles(out), (std::vector<std::string>{"plain.png", "sprite-part0.png", "sprite-part2.png",
                                                      "sprite-parts.json", "sprite.png"}));
  const std::vector<uint8_t> json = ReadBytes(out + "/sprite-parts.json");
  EXPECT_EQ(std::string(json.begin(), json.end()), R"([
  {
    "index": 0,
    "width": 4,
    "height": 3,
    "origin_x": 0,
    "origin_y": 0,
    "top": 0
  },
  {
    "index": 1,
    "width": 0,
    "height": 0,
    "origin_x": 0,
    "origin_y": 0,
    "top": 3
  },
  {
    "index": 2,
    "width": 2,
    "height": 2,
    "origin_x": 10,
    "origin_y": 20,
    "top": 3
  },
  {
    "index": 3,
    "width": -1,
    "height": 1,
    "origin_x": 0,
    "origin_y": 0,
    "top": 5
  }
]
)");

  const PngPixels part0 = ReadPngPixels(out + "/sprite-part0.png");
  ASSERT_EQ(part0.colour_type, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA);
  ASSERT_EQ(part0.width, 4u);
  ASSERT_EQ(part0.height, 3u);
  std::vector<uint8_t> want(4 * 3 * 4, 0);
  for (size_t x = 1; x < 4; ++x) {  // block pixels 0-2 at columns 1-3 of row 1; 3-4 cut off
    const uint8_t* bgra = &first.blocks[0].pixels.bgra[4 * (x - 1)];
    uint8_t* rgba = &want[4 * (4 + x)];
    rgba[0] = bgra[2], rgba[1] = bgra[1], rgba[2] = bgra[0], rgba[3] = bgra[3];
  }
  EXPECT_EQ(part0.data, want);
  const PngPixels composed = ReadPngPixels(out + "/sprite.png");
  EXPECT_EQ(composed.width, 4u);
  EXPECT_EQ(composed.height, 6u);
  EXPECT_EQ(std::vector<uint8_t>(composed.data.begin(), composed.data.begin() + 48), want);

  // Without --parts, only the composed picture.
  const std::string plain_out = FreshFolder("parts-none");
  ASSERT_EQ(RunBrask({"convert", in + "/sprite.g00", "-o", plain_out}).status, 0);
  EXPECT_EQ(ListFiles(plain_out), (std::vector<std::string>{"sprite.png"}));
  EXPECT_NE(RunBrask({"convert", in, "-o", plain_out, "--parts", "--flatten"}).status, 0);
}

// A stored palette shorter than the indexes reach is padded with black in the PNG; the
// indexes stay as stored.
TEST(BraskConvert, PalettePngsCoverEveryIndexUsed) {
  const std::string in = FreshFolder("palette-in");
  encode::IndexedImage image = MakeIndexedImage(4, 2, 2, 4);
  image.indexes = {0, 1, 5, 1, 0, 0, 1, 1};
  WriteBytes(in + "/short.g00", encode::EncodeG00Type1(image));
  ASSERT_EQ(RunBrask({"convert", in + "/short.g00"}).status, 0);
  const PngPixels png = ReadPngPixels(in + "/short.png");
  ASSERT_EQ(png.colour_type, SPNG_COLOR_TYPE_INDEXED);
  EXPECT_EQ(png.data, image.indexes);
  ASSERT_EQ(png.palette.size(), 6u * 3);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(png.palette[3 * i], image.palette[4 * i + 2]);
    EXPECT_EQ(png.palette[3 * i + 2], image.palette[4 * i]);
  }
  EXPECT_EQ(std::vector<uint8_t>(png.palette.begin() + 6, png.palette.end()), std::vector<uint8_t>(12, 0));
}

}  // namespace
