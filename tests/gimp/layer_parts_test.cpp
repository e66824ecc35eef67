// SPDX-License-Identifier: MIT
// The GIMP plug-in's parts of a type-2 G00 from layers, and the entries it keeps on layers
// and images (which come from files, so any text must be read safely).
#include <gtest/gtest.h>

#include "integrations/gimp/layer_parts.h"
#include "integrations/gimp/part_parasite.h"

namespace brask_gimp {
namespace {

LayerPicture Layer(const std::string& name, int64_t x, int64_t y, int64_t width, int64_t height,
                   uint8_t fill) {
  LayerPicture layer;
  layer.name = name;
  layer.x = x;
  layer.y = y;
  layer.width = width;
  layer.height = height;
  layer.rgba.assign(size_t(width * height * 4), fill);
  return layer;
}

TEST(GimpLayerParts, LayersStackTopToBottomWithTheirEntriesAndPadding) {
  LayerPicture first = Layer("first", 0, 0, 3, 2, 1);
  first.has_entry = true;
  first.entry = {4, 10, 20};
  // Starts one column in and one row below the first: padded with transparent pixels.
  LayerPicture second = Layer("second", 1, 3, 2, 1, 9);
  ArrangedParts arranged;
  std::string why;
  // GIMP lists the top of the stack first.
  ASSERT_TRUE(ArrangeLayersAsParts({second, first}, {}, &arranged, &why)) << why;
  ASSERT_EQ(arranged.parts.size(), 2u);
  const brask_encode_part& a = arranged.parts[0];
  EXPECT_EQ(a.index, 4u);
  EXPECT_EQ(a.origin_x, 10u);
  EXPECT_EQ(a.origin_y, 20u);
  EXPECT_EQ(a.width, 3);
  EXPECT_EQ(a.height, 2);
  const brask_encode_part& b = arranged.parts[1];
  EXPECT_EQ(b.index, 5u);  // the next index: it kept none
  EXPECT_EQ(b.width, 3);
  EXPECT_EQ(b.height, 2);  // the empty row 2, then its own row
  const std::vector<uint8_t> want = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(std::vector<uint8_t>(b.rgba, b.rgba + 24), want);
  EXPECT_EQ(b.stride, 12u);
}

TEST(GimpLayerParts, KeptPartsWithoutPicturesReturnToFreePlacesOnly) {
  LayerPicture first = Layer("first", 0, 0, 2, 2, 1);
  first.has_entry = true;
  first.entry = {0, 0, 0};
  LayerPicture last = Layer("last", 0, 5, 2, 2, 2);
  last.has_entry = true;
  last.entry = {5, 0, 0};
  EmptyPart fits;  // rows 2..4 between them, index 2
  fits.entry = {2, 7, 8};
  fits.width = 0;
  fits.height = 3;
  fits.top = 2;
  EmptyPart gone = fits;  // its rows were taken by a moved layer
  gone.entry.index = 6;
  gone.top = 3;
  ArrangedParts arranged;
  std::string why;
  ASSERT_TRUE(ArrangeLayersAsParts({last, first}, {fits, gone}, &arranged, &why)) << why;
  ASSERT_EQ(arranged.parts.size(), 3u);
  EXPECT_EQ(arranged.parts[1].index, 2u);
  EXPECT_EQ(arranged.parts[1].height, 3);
  EXPECT_EQ(arranged.parts[1].origin_x, 7u);
  EXPECT_EQ(arranged.parts[1].rgba, nullptr);
  EXPECT_EQ(arranged.parts[2].index, 5u);
  EXPECT_EQ(arranged.parts[2].height, 2);  // no padding: the kept part fills the gap
}

TEST(GimpLayerParts, RefusesLayersLeftOfTheEdgeOrOverlappingThePartAbove) {
  ArrangedParts arranged;
  std::string why;
  EXPECT_FALSE(ArrangeLayersAsParts({Layer("left", -1, 0, 2, 2, 0)}, {}, &arranged, &why));
  EXPECT_NE(why.find("\"left\""), std::string::npos) << why;
  EXPECT_FALSE(ArrangeLayersAsParts({Layer("b", 0, 1, 2, 2, 0), Layer("a", 0, 0, 2, 2, 0)}, {},
                                    &arranged, &why));
  EXPECT_NE(why.find("overlaps"), std::string::npos) << why;
}

TEST(GimpPartParasite, EntriesReadBackAndMalformedTextIsNoEntry) {
  PartEntry entry;
  const std::string text = FormatPartEntry({3, 65535, 4294967295u});
  ASSERT_TRUE(ParsePartEntry(text.data(), text.size(), &entry));
  EXPECT_EQ(entry.index, 3u);
  EXPECT_EQ(entry.origin_y, 4294967295u);
  EXPECT_TRUE(ParsePartEntry("1 2 3", 6, &entry));  // with its terminating zero
  for (const std::string bad : {"", "1 2", "1 2 3 4", "1 -2 3", "1 2 4294967296", "1  2 3", "a b c",
                                "99999999999 1 1"}) {
    EXPECT_FALSE(ParsePartEntry(bad.data(), bad.size(), &entry)) << bad;
  }
  std::vector<EmptyPart> parts(2);
  parts[0].entry = {2, 1, 1};
  parts[0].width = -5;
  parts[0].height = 6;
  parts[0].top = 20;
  parts[1].entry.index = 9;
  parts[1].width = 4;  // a width with no height: no picture either
  const std::string kept = FormatEmptyParts(parts) + "garbage\n1 5 5 0 0 0\n";  // last: has a picture
  const std::vector<EmptyPart> read = ParseEmptyParts(kept.data(), kept.size());
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].width, -5);
  EXPECT_EQ(read[0].top, 20u);
  EXPECT_EQ(read[1].entry.index, 9u);
}

}  // namespace
}  // namespace brask_gimp
