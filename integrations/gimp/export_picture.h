// SPDX-License-Identifier: MIT
// Writes a GIMP image as a G00 or PDT file through the C API's encoders. A type-2 G00 is
// written from the visible layers, each a part (layer_parts.h); every other mode from the
// visible layers merged, indexed modes from an indexed image with its colour map (or from
// the colours used, at most 256), opaque modes with any transparency dropped.
#pragma once

#include <string>

#include <libgimp/gimp.h>

namespace brask_gimp {

enum class FileKind { kG00, kPdt };

// `mode_name` is one of g00-0 g00-1 g00-2 pdt10 pdt10-mask pdt11 for the file's kind, or empty
// for the mode the image suggests (DefaultModeName). `level` is the encoder's effort, or
// BRASK_ENCODE_DEFAULT_LEVEL. False with *why in words; nothing is left at `path` then.
bool ExportPicture(gint32 image, FileKind kind, const std::string& mode_name, int level,
                   const std::string& path, std::string* why);

// Type-2 G00 for an image of several layers or of layers kept from parts, the indexed mode for
// an indexed image, the alpha mode for one with an alpha channel, else the 24-bit mode.
std::string DefaultModeName(gint32 image, FileKind kind);

}  // namespace brask_gimp
