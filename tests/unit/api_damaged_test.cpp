// SPDX-License-Identifier: MIT
// A picture of ours that is damaged or cut short is told apart from a file that is not ours,
// and the explained calls say what is wrong in the file's own terms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "brask/brask.h"
#include "tests/support/sample_images.h"
#include "tests/support/test_files.h"
#include "formats/image_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

Bytes Cut(Bytes bytes, size_t length) {
  bytes.resize(length);
  return bytes;
}

Bytes WithU32(Bytes bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

struct Case {
  const char* what;
  Bytes bytes;
  const char* name;
  brask_result result;
  std::string why;
};

std::string Explain(const Bytes& bytes, const char* name, brask_result* result) {
  char why[BRASK_EXPLANATION_SIZE];
  std::memset(why, 'x', sizeof why);
  brask_picture* picture = reinterpret_cast<brask_picture*>(why);
  *result = brask_open_memory_explained(bytes.data(), bytes.size(), name, 0, &picture, why,
                                        sizeof why);
  EXPECT_EQ(picture, nullptr);
  EXPECT_NE(std::memchr(why, 0, sizeof why), nullptr);
  return why;
}

TEST(BraskDamaged, ToldApartFromFilesThatAreNotOursAndExplained) {
  const Bytes g00 = encode::EncodeG00Type0(MakeColourImage(40, 30, 3));
  const Bytes pdt = encode::EncodePdt10(MakeColourImage(40, 30, 4));
  const std::string g00_size = std::to_string(g00.size());
  const std::string pdt_size = std::to_string(pdt.size());
  const std::string not_ours =
      "not a G00 or PDT picture: a PDT starts with \"PDT10\" or \"PDT11\", and a G00 is known "
      "by its name ending in .g00";
  const std::vector<Case> cases = {
      {"G00 cut in its data", Cut(g00, 100), "x.g00", BRASK_DAMAGED,
       "a G00 picture cut short: its header and compressed data need " + g00_size +
           " bytes, the file holds 100"},
      {"G00 cut in its header", Cut(g00, 9), "x.g00", BRASK_DAMAGED,
       "a G00 picture cut short: its header needs 13 bytes, the file holds 9"},
      {"G00 cut before its head", Cut(g00, 3), "x.G00", BRASK_DAMAGED,
       "a G00 picture cut short: its header needs 13 bytes, the file holds 3"},
      {"empty G00", {}, "x.g00", BRASK_DAMAGED,
       "a G00 picture cut short: its header needs 13 bytes, the file holds 0"},
      {"G00 of no width", WithU32(g00, 1, 0x00070000), "x.g00", BRASK_DAMAGED,
       "a damaged G00 picture: its header gives a size of 0 x 7 pixels"},
      {"type-2 G00 without parts", encode::EncodeG00Type2(std::vector<encode::G00Part>{}, 1, 1),
       "x.g00", BRASK_DAMAGED, "a damaged G00 picture: its part directory (4 bytes unpacked) "
       "lists no part with pixels"},
      {"text named as a G00", Text("hello"), "fake.g00", BRASK_NOT_SUPPORTED,
       "not a G00 picture: its first byte, the type, is 104, where a G00 has 0, 1 or 2"},
      {"G00 not named as one", g00, "x.bin", BRASK_NOT_SUPPORTED, not_ours},
      {"PDT cut in its data", Cut(pdt, 200), "x.pdt", BRASK_DAMAGED,
       "a PDT picture cut short: its header says the file is " + pdt_size +
           " bytes long, the file holds 200"},
      {"PDT cut in its header", Cut(pdt, 20), nullptr, BRASK_DAMAGED,
       "a PDT picture cut short: its header needs 32 bytes, the file holds 20"},
      {"PDT signature alone", Cut(pdt, 4), nullptr, BRASK_DAMAGED,
       "a PDT picture cut short: its header needs 32 bytes, the file holds 4"},
      {"PDT of negative height", WithU32(pdt, 16, 0xFFFFFFFEu), nullptr, BRASK_DAMAGED,
       "a damaged PDT picture: its header gives a size of 40 x -2 pixels"},
      {"PDT of an unknown version", WithU32(Cut(pdt, 8), 4, 0x05), nullptr, BRASK_DAMAGED,
       "a damaged PDT picture: its version byte is 5, where a PDT has 48 or 49 ('0' or '1')"},
      {"PDT of a later version", Text("PDT12 and more"), nullptr, BRASK_NOT_SUPPORTED,
       "not a PDT picture this library reads: its version byte is 50, where a PDT has '0' or "
       "'1'"},
      {"text named as a PDT", Text("just some words"), "fake.pdt", BRASK_NOT_SUPPORTED, not_ours},
      {"nothing", {}, nullptr, BRASK_NOT_SUPPORTED, "not a G00 or PDT picture: the file is empty"},
  };
  for (const Case& c : cases) {
    brask_result result;
    EXPECT_EQ(Explain(c.bytes, c.name, &result), c.why) << c.what;
    EXPECT_EQ(result, c.result) << c.what;
    // The plain call answers the same.
    brask_picture* picture = nullptr;
    EXPECT_EQ(brask_open_memory(c.bytes.data(), c.bytes.size(), c.name, 0, &picture), c.result)
        << c.what;
    // From a file, under its own name, the same words.
    const std::string path =
        WriteTempFile(std::string("damaged") + (c.name != nullptr ? c.name : "x.bin"), c.bytes);
    char why[BRASK_EXPLANATION_SIZE];
    EXPECT_EQ(brask_open_path_explained(path.c_str(), 0, &picture, why, sizeof why), c.result)
        << c.what;
    EXPECT_EQ(why, c.why) << c.what;
  }
}

TEST(BraskDamaged, ExplanationFitsTheBufferItIsGiven) {
  const Bytes cut = Cut(encode::EncodePdt10(MakeColourImage(9, 9, 1)), 20);
  brask_picture* picture = nullptr;
  char small[12];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(brask_open_memory_explained(cut.data(), cut.size(), nullptr, 0, &picture, small, 12),
            BRASK_DAMAGED);
  EXPECT_STREQ(small, "a PDT pictu");
  EXPECT_EQ(brask_open_memory_explained(cut.data(), cut.size(), nullptr, 0, &picture, nullptr, 0),
            BRASK_DAMAGED);
  char one = 'x';
  EXPECT_EQ(brask_open_memory_explained(cut.data(), cut.size(), nullptr, 0, &picture, &one, 1),
            BRASK_DAMAGED);
  EXPECT_EQ(one, '\0');

  // Success leaves the sentence empty; other failures give the result's words.
  const Bytes whole = encode::EncodePdt10(MakeColourImage(9, 9, 1));
  char why[BRASK_EXPLANATION_SIZE] = "stale";
  ASSERT_EQ(brask_open_memory_explained(whole.data(), whole.size(), nullptr, 0, &picture, why,
                                        sizeof why),
            BRASK_OK);
  EXPECT_STREQ(why, "");
  brask_close(picture);
  EXPECT_EQ(brask_open_memory_explained(whole.data(), whole.size(), nullptr, 64, &picture, why,
                                        sizeof why),
            BRASK_OVER_MEMORY_LIMIT);
  EXPECT_STREQ(why, brask_result_text(BRASK_OVER_MEMORY_LIMIT));
  EXPECT_EQ(brask_open_path_explained("/nonexistent/x.pdt", 0, &picture, why, sizeof why),
            BRASK_FILE_ERROR);
  EXPECT_STREQ(why, brask_result_text(BRASK_FILE_ERROR));
}

}  // namespace
