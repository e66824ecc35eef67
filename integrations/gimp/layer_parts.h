// SPDX-License-Identifier: MIT
// How an image's layers become the parts of a type-2 G00, which stacks its parts top to
// bottom at the left edge: layers are taken from top to bottom by their place in the image,
// a layer that starts right of the edge or below the previous part's end is padded with
// transparent pixels (unless a kept part without a picture fills the rows), and a layer's kept entry (part_parasite.h) gives its part's index and
// origin. Knows nothing of GIMP, so it can be reasoned about on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brask/brask.h"
#include "integrations/gimp/part_parasite.h"

namespace brask_gimp {

struct LayerPicture {
  std::string name;
  int64_t x = 0;  // the layer's offsets in the image
  int64_t y = 0;
  int64_t width = 0;
  int64_t height = 0;
  std::vector<uint8_t> rgba;  // width x height, straight alpha
  bool has_entry = false;
  PartEntry entry;
};

struct ArrangedParts {
  std::vector<std::vector<uint8_t>> pixels;  // what each part's rgba points into
  std::vector<brask_encode_part> parts;
};

// `layers` in the image's stacking order, top layer first. A kept part without a picture of
// its own goes back where it was when the layers around it leave its place free: at the row
// where the parts before it end, with an index between theirs and the next layer's. False
// with *why when a layer lies left of the edge or overlaps the rows of the part above it.
bool ArrangeLayersAsParts(std::vector<LayerPicture> layers, const std::vector<EmptyPart>& empty_parts,
                          ArrangedParts* arranged, std::string* why);

}  // namespace brask_gimp
