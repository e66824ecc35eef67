// SPDX-License-Identifier: MIT
// Pictures drawn in code for the demo and the tests, so nothing needs sample files: colour
// scenes with gradients, flat-colour art of few colours for the indexed modes, and sprites
// with soft alpha edges for the alpha modes. Sizes include odd widths, whose rows need padding.
#pragma once

#include <string>
#include <vector>

#include "tools/brask/picture_modes.h"

namespace brask {

struct DemoPicture {
  std::string name;
  SourcePicture picture;
};

// Smooth colour scenes (opaque).
std::vector<DemoPicture> DrawColourPictures();
// At most 64 colours each (opaque).
std::vector<DemoPicture> DrawFewColourPictures();
// Colour with alpha from 0 to 255.
std::vector<DemoPicture> DrawAlphaPictures();

// The pictures that suit a mode.
std::vector<DemoPicture> DrawPicturesFor(const ModeInfo& mode);

}  // namespace brask
