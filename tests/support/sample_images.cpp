// SPDX-License-Identifier: MIT
#include "tests/support/sample_images.h"

#include <cstdint>

namespace {

// A small linear congruential generator: the same pictures on every build.
struct Random {
  uint32_t state;
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

template <class Fill>
std::vector<uint8_t> Pixels(int32_t width, int32_t height, size_t bytes_per_pixel, uint32_t seed,
                            Fill fill) {
  Random random{seed};
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * static_cast<size_t>(height) *
                             bytes_per_pixel);
  for (size_t i = 0; i < bytes.size(); i += bytes_per_pixel) {
    // Every third pixel repeats its left neighbour, so streams hold runs and copies.
    if (i >= bytes_per_pixel && random.Next() % 3 == 0) {
      for (size_t b = 0; b < bytes_per_pixel; ++b) bytes[i + b] = bytes[i + b - bytes_per_pixel];
    } else {
      fill(&bytes[i], random);
    }
  }
  return bytes;
}

}  // namespace

encode::ColourImage MakeColourImage(int32_t width, int32_t height, uint32_t seed) {
  return {width, height, Pixels(width, height, 3, seed, [](uint8_t* p, Random& random) {
            for (int b = 0; b < 3; ++b) p[b] = static_cast<uint8_t>(random.Next());
          })};
}

encode::AlphaImage MakeAlphaImage(int32_t width, int32_t height, uint32_t seed) {
  return {width, height, Pixels(width, height, 4, seed, [](uint8_t* p, Random& random) {
            for (int b = 0; b < 3; ++b) p[b] = static_cast<uint8_t>(random.Next());
            static const uint8_t kAlphas[] = {0, 255, 255, 128, 1, 254, 77};
            p[3] = kAlphas[random.Next() % sizeof kAlphas];
          })};
}

encode::IndexedImage MakeIndexedImage(int32_t width, int32_t height, int colours, uint32_t seed) {
  encode::IndexedImage image;
  image.width = width;
  image.height = height;
  Random random{seed};
  for (int i = 0; i < colours * 4; ++i) image.palette.push_back(static_cast<uint8_t>(random.Next()));
  image.indexes = Pixels(width, height, 1, seed + 1, [colours](uint8_t* p, Random& r) {
    *p = static_cast<uint8_t>(r.Next() % static_cast<uint32_t>(colours));
  });
  return image;
}

std::vector<SampleImage> SamplesOfEveryMode(int scale) {
  const int32_t s = scale;
  std::vector<SampleImage> samples;
  auto add = [&samples](std::string name, std::string ending, std::vector<uint8_t> bytes) {
    const bool memory = ending == ".pdt";
    samples.push_back({std::move(name), std::move(ending), std::move(bytes), memory});
  };
  add("g00-type0-4x3", ".g00", encode::EncodeG00Type0(MakeColourImage(4 * s, 3 * s, 1)));
  add("g00-type0-5x3", ".g00", encode::EncodeG00Type0(MakeColourImage(5 * s, 3 * s, 2)));
  add("g00-type1-3x2", ".g00", encode::EncodeG00Type1(MakeIndexedImage(3 * s, 2 * s, 7, 3)));
  add("g00-type1-8x2", ".g00", encode::EncodeG00Type1(MakeIndexedImage(8 * s, 2 * s, 256, 4)));

  std::vector<encode::G00Part> parts(2);
  parts[0].width = 10 * s;
  parts[0].height = 4 * s;
  parts[0].blocks.push_back({0, 0, MakeAlphaImage(6 * s, 4 * s, 5)});
  parts[0].blocks.push_back({static_cast<uint16_t>(5 * s), static_cast<uint16_t>(1 * s),
                             MakeAlphaImage(5 * s, 2 * s, 6)});
  parts[1].origin_x = 3;
  parts[1].origin_y = 2;
  parts[1].width = 6 * s;
  parts[1].height = 3 * s;
  parts[1].blocks.push_back({static_cast<uint16_t>(3 + s), 2, MakeAlphaImage(5 * s, 3 * s, 7)});
  add("g00-type2-parts", ".g00",
      encode::EncodeG00Type2(parts, static_cast<uint16_t>(10 * s), static_cast<uint16_t>(7 * s)));

  add("pdt10-5x2", ".pdt", encode::EncodePdt10(MakeColourImage(5 * s, 2 * s, 8)));
  add("pdt10-4x2", ".pdt", encode::EncodePdt10(MakeColourImage(4 * s, 2 * s, 9)));
  add("pdt10-mask-5x2", ".pdt", encode::EncodePdt10Masked(MakeAlphaImage(5 * s, 2 * s, 10)));
  add("pdt11-3x2", ".pdt", encode::EncodePdt11(MakeIndexedImage(3 * s, 2 * s, 200, 11)));
  return samples;
}
