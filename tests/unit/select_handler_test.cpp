// SPDX-License-Identifier: MIT
// The selection rule, called directly: which handler an input goes to.
#include <gtest/gtest.h>

#include "formats/g00.h"
#include "formats/pdt.h"
#include "host/select_handler.h"

namespace {

const uint8_t kG00Type1[5] = {1, 2, 0, 2, 0};
const uint8_t kG00Type3[5] = {3, 2, 0, 2, 0};
const uint8_t kPdt10[5] = {'P', 'D', 'T', '1', '0'};

TEST(SelectHandler, G00NeedsTheEndingInAnyCaseAndATypeBelowThree) {
  EXPECT_EQ(SelectHandler("picture.g00", kG00Type1), &kG00Handler);
  EXPECT_EQ(SelectHandler("PICTURE.G00", kG00Type1), &kG00Handler);
  EXPECT_EQ(SelectHandler("a.G00", kG00Type1), &kG00Handler);
  EXPECT_EQ(SelectHandler("picture.g00", kG00Type3), nullptr);
  EXPECT_EQ(SelectHandler("picture.g01", kG00Type1), nullptr);
  EXPECT_EQ(SelectHandler("picture.go0", kG00Type1), nullptr);
}

TEST(SelectHandler, ABareExtensionIsNeverG00) {
  EXPECT_EQ(SelectHandler(".g00", kG00Type1), nullptr);
  EXPECT_EQ(SelectHandler(".g00", kPdt10), &kPdtHandler);
}

TEST(SelectHandler, MemoryInputIsNeverG00) {
  EXPECT_EQ(SelectHandler(nullptr, kG00Type1), nullptr);
  EXPECT_EQ(SelectHandler("", kG00Type1), nullptr);
}

TEST(SelectHandler, TheEndingIsCountedInBytes) {
  // Shift_JIS lead byte 0x83 followed by ".g00": the last four bytes still decide.
  EXPECT_EQ(SelectHandler("\x83\x74\x83.g00", kG00Type1), &kG00Handler);
}

TEST(SelectHandler, PdtNeedsTheExactSignatureAndAVersionBelowTwo) {
  EXPECT_EQ(SelectHandler(nullptr, kPdt10), &kPdtHandler);
  EXPECT_EQ(SelectHandler("noextension", kPdt10), &kPdtHandler);
  for (int version = 0; version < 0x32; ++version) {
    const uint8_t head[5] = {'P', 'D', 'T', '1', static_cast<uint8_t>(version)};
    EXPECT_EQ(SelectHandler(nullptr, head), &kPdtHandler) << "version byte " << version;
  }
  const uint8_t version_two[5] = {'P', 'D', 'T', '1', '2'};
  EXPECT_EQ(SelectHandler(nullptr, version_two), nullptr);
  const uint8_t lower_case[5] = {'p', 'd', 't', '1', '0'};
  EXPECT_EQ(SelectHandler(nullptr, lower_case), nullptr);
}

TEST(SelectHandler, AG00NameWithAnUnknownTypeFallsBackToTheSignature) {
  EXPECT_EQ(SelectHandler("x.g00", kPdt10), &kPdtHandler);  // 'P' is 0x50, not below 3
}

TEST(FormatHandler, UnprovidedSlotsAnswerMinusOne) {
  const FormatHandler* handlers[] = {&kG00Handler, &kPdtHandler};
  for (const FormatHandler* handler : handlers) {
    EXPECT_EQ(handler->Unprovided2(0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(handler->Unprovided3(0, 0, 0), -1);
    EXPECT_EQ(handler->Unprovided4(0, 0, 0, 0, 0), -1);
    EXPECT_EQ(handler->Unprovided5(0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(handler->Unprovided6(0, 0, 0), -1);
    EXPECT_EQ(handler->Unprovided7(0, 0, 0, 0, 0), -1);
    EXPECT_EQ(handler->Unprovided8(0, 0, 0, 0, 0, 0), -1);
  }
}

}  // namespace
