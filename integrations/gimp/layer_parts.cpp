// SPDX-License-Identifier: MIT
#include "integrations/gimp/layer_parts.h"

#include <algorithm>
#include <cstring>

namespace brask_gimp {

namespace {

brask_encode_part EmptyEncodePart(const EmptyPart& empty) {
  brask_encode_part part{};
  part.index = empty.entry.index;
  part.width = empty.width;
  part.height = empty.height;
  part.origin_x = empty.entry.origin_x;
  part.origin_y = empty.entry.origin_y;
  return part;
}

}  // namespace

bool ArrangeLayersAsParts(std::vector<LayerPicture> layers, const std::vector<EmptyPart>& empty_parts,
                          ArrangedParts* arranged, std::string* why) {
  // Top to bottom in the picture; of two layers at one height, the lower in the stack first,
  // as a later part is composed over an earlier one.
  std::reverse(layers.begin(), layers.end());
  std::stable_sort(layers.begin(), layers.end(),
                   [](const LayerPicture& a, const LayerPicture& b) { return a.y < b.y; });
  int64_t next_top = 0;
  int64_t next_index = 0;
  size_t next_empty = 0;
  // Puts back the kept parts that fit before a layer at `top` whose index is at least `index`
  // (or before the end, with both unbounded).
  const auto place_empty_parts = [&](int64_t top, int64_t index) {
    for (; next_empty < empty_parts.size(); ++next_empty) {
      const EmptyPart& empty = empty_parts[next_empty];
      const int64_t advance = empty.height & 0xFFFF;
      if (empty.top != next_top || empty.entry.index < next_index || empty.entry.index >= index ||
          next_top + advance > top) {
        if (empty.top < next_top || empty.entry.index < next_index) continue;  // its place is gone
        return;
      }
      arranged->pixels.emplace_back();
      arranged->parts.push_back(EmptyEncodePart(empty));
      next_top += advance;
      next_index = empty.entry.index + 1;
    }
  };
  for (const LayerPicture& layer : layers) {
    place_empty_parts(layer.y, layer.has_entry ? int64_t{layer.entry.index} : INT64_MAX);
    if (layer.x < 0) {
      *why = "layer \"" + layer.name + "\" reaches left of the picture; a G00 part starts at its left edge";
      return false;
    }
    if (layer.y < next_top) {
      *why = "layer \"" + layer.name + "\" overlaps the rows of the part above it; a G00 "
             "stacks its parts from top to bottom";
      return false;
    }
    // Both at most GIMP's size limit, so nothing here overflows.
    const int64_t width = layer.x + layer.width;
    const int64_t height = layer.y - next_top + layer.height;
    std::vector<uint8_t> pixels(static_cast<size_t>(width * height * 4), 0);
    const size_t row_bytes = static_cast<size_t>(width) * 4;
    const size_t layer_row_bytes = static_cast<size_t>(layer.width) * 4;
    for (int64_t row = 0; row < layer.height; ++row) {
      std::memcpy(pixels.data() + static_cast<size_t>(layer.y - next_top + row) * row_bytes +
                      static_cast<size_t>(layer.x) * 4,
                  layer.rgba.data() + static_cast<size_t>(row) * layer_row_bytes, layer_row_bytes);
    }
    const int64_t index = layer.has_entry && layer.entry.index >= next_index ? layer.entry.index
                                                                              : next_index;
    if (index > INT32_MAX) {
      *why = "layer \"" + layer.name + "\" would need a part index beyond the directory's";
      return false;
    }
    brask_encode_part part{};
    part.index = static_cast<uint32_t>(index);
    part.width = static_cast<int32_t>(width);
    part.height = static_cast<int32_t>(height);
    part.origin_x = layer.has_entry ? layer.entry.origin_x : 0;
    part.origin_y = layer.has_entry ? layer.entry.origin_y : 0;
    part.stride = row_bytes;
    arranged->pixels.push_back(std::move(pixels));
    arranged->parts.push_back(part);
    next_top = layer.y + layer.height;
    next_index = index + 1;
  }
  place_empty_parts(INT64_MAX, INT64_MAX);
  // Pointers are taken once every vector is in place.
  for (size_t n = 0; n < arranged->parts.size(); ++n) {
    if (!arranged->pixels[n].empty()) arranged->parts[n].rgba = arranged->pixels[n].data();
  }
  return true;
}

}  // namespace brask_gimp
