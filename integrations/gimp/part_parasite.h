// SPDX-License-Identifier: MIT
// The directory entry of a type-2 G00 part, kept on the layer that shows it so that export
// writes the part back with its index and origin. Stored as a persistent parasite (it lives
// on in XCF files) holding the text "INDEX ORIGIN_X ORIGIN_Y". A parasite comes from a file
// the user opened and is not trusted: anything but three numbers in range reads as absent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brask_gimp {

extern const char kPartParasiteName[];
// On the image: the parts without pictures of their own, which have no layer, one a line:
// "INDEX WIDTH HEIGHT ORIGIN_X ORIGIN_Y TOP".
extern const char kEmptyPartsParasiteName[];

struct PartEntry {
  uint32_t index = 0;
  uint32_t origin_x = 0;
  uint32_t origin_y = 0;
};

// A part without a picture of its own: what its entry says, and where the parts after it
// start.
struct EmptyPart {
  PartEntry entry;
  int32_t width = 0;   // below 1, or any width with a height of 0
  int32_t height = 0;
  uint32_t top = 0;
};

std::string FormatPartEntry(const PartEntry& entry);
// False when `text` (size bytes, not terminated) is not a well-formed entry.
bool ParsePartEntry(const void* text, size_t size, PartEntry* entry);

std::string FormatEmptyParts(const std::vector<EmptyPart>& parts);
// The well-formed lines of `text`; others are skipped.
std::vector<EmptyPart> ParseEmptyParts(const void* text, size_t size);

}  // namespace brask_gimp
