// SPDX-License-Identifier: MIT
// Opens a G00 or PDT picture as a GIMP image through the C API: RGB, RGB with alpha (masked
// PDT10), indexed with the stored palette (G00 type 1, PDT11), or for a type-2 G00 one RGBA
// layer per part that has a picture of its own, placed where the composed picture has it,
// named after its directory index and carrying its entry (part_parasite.h).
#pragma once

#include <string>

#include <libgimp/gimp.h>

namespace brask_gimp {

// The new image, or -1 with *why in words.
gint32 LoadPicture(const std::string& path, std::string* why);

}  // namespace brask_gimp
