// SPDX-License-Identifier: MIT
// The six ways a picture can be stored (G00 types 0, 1 and 2; PDT10 with and without mask;
// PDT11), how a picture is encoded in each through the library's encoders, and what the plug-in must hand
// back for it: the colours as they are, the palette and indexes, or the colours flattened
// onto black by their alpha.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brask/dib_picture.h"

namespace brask {

enum class Mode { kG00Colour, kG00Indexed, kG00Parts, kPdt10, kPdt10Mask, kPdt11 };

struct ModeInfo {
  Mode mode;
  const char* name;       // as given to --mode: "g00-0", ...
  const char* extension;  // ".g00" or ".pdt"
  bool indexed;           // stores at most 256 colours and their indexes
  bool alpha;             // stores alpha, which the plug-in flattens onto black
};

const std::vector<ModeInfo>& AllModes();
// Null when the name is none of them.
const ModeInfo* FindMode(const std::string& name);
// "g00-0|g00-1|..."
std::string ModeNames();

// A picture to encode: 8-bit RGBA, top row first. A palette picture also carries its own
// palette (red, green, blue) and indexes, which the indexed modes keep as they are.
struct SourcePicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
  bool indexed = false;
  std::vector<uint8_t> palette_rgb;
  std::vector<uint8_t> indexes;
};

// What a decode must give: rows top first without padding (blue, green, red, or indexes),
// and for 8-bit pictures the 1024-byte colour table.
struct ExpectedPicture {
  int bit_count = 24;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rows;
  std::vector<uint8_t> colour_table;
};

struct EncodedPicture {
  std::vector<uint8_t> file;
  ExpectedPicture expected;
};

// Encodes through the library at an effort level (0..9, or -1 for the library's default).
// The modes without alpha keep the colours and drop alpha. False with a reason: too many
// colours for an indexed mode, or a size the format cannot hold.
bool EncodeInMode(const SourcePicture& source, Mode mode, EncodedPicture* encoded, std::string* why,
                  int level = -1);

// Empty when the decoded picture is the expected one; otherwise the first difference.
std::string ComparePicture(const DibPicture& decoded, const ExpectedPicture& expected);

}  // namespace brask
