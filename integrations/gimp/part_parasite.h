// The directory entry of a type-2 G00 part, kept on the layer that shows it so that export
// writes the part back with its index and origin. Stored as a persistent parasite (it lives
// on in XCF files) holding the text "INDEX ORIGIN_X ORIGIN_Y". A parasite comes from a file
// the user opened and is not trusted: anything but three numbers in range reads as absent.
#pragma once

#include <cstdint>
#include <string>

namespace brask_gimp {

extern const char kPartParasiteName[];

struct PartEntry {
  uint32_t index = 0;
  uint32_t origin_x = 0;
  uint32_t origin_y = 0;
};

std::string FormatPartEntry(const PartEntry& entry);
// False when `text` (size bytes, not terminated) is not a well-formed entry.
bool ParsePartEntry(const void* text, size_t size, PartEntry* entry);

}  // namespace brask_gimp
