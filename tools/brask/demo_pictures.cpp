// SPDX-License-Identifier: MIT
#include "tools/brask/demo_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace brask {
namespace {

struct Canvas {
  SourcePicture picture;
  Canvas(int32_t width, int32_t height) {
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(size_t(width) * size_t(height) * 4, 255);
  }
  void Put(int32_t x, int32_t y, double r, double g, double b, double a = 255) {
    uint8_t* p = &picture.rgba[(size_t(y) * size_t(picture.width) + size_t(x)) * 4];
    p[0] = Clamp(r);
    p[1] = Clamp(g);
    p[2] = Clamp(b);
    p[3] = Clamp(a);
  }
  static uint8_t Clamp(double value) {
    return static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, value))));
  }
};

// A sky fading from deep blue to orange, a sun with a soft rim, and two rows of hills.
SourcePicture DrawSunset(int32_t width, int32_t height) {
  Canvas canvas(width, height);
  const double sun_x = width * 0.68, sun_y = height * 0.45, sun_r = height * 0.16;
  for (int32_t y = 0; y < height; ++y) {
    const double t = double(y) / height;
    for (int32_t x = 0; x < width; ++x) {
      double r = 30 + 225 * t, g = 40 + 120 * t * t, b = 120 - 80 * t;
      const double d = std::hypot(x - sun_x, y - sun_y);
      const double glow = std::max(0.0, 1 - d / (sun_r * 2.5));
      r += 60 * glow;
      g += 50 * glow;
      if (d < sun_r) r = 255, g = 230 - 40 * (d / sun_r), b = 120;
      const double hill1 = height * (0.72 + 0.06 * std::sin(x * 0.045));
      const double hill2 = height * (0.82 + 0.05 * std::sin(x * 0.021 + 1.3));
      if (y > hill1) r = 60 - 20 * t, g = 70 + 40 * std::sin(x * 0.3) * 0.1, b = 80;
      if (y > hill2) r = 25, g = 45 + (x * 7 + y * 3) % 9, b = 35;
      canvas.Put(x, y, r, g, b);
    }
  }
  return canvas.picture;
}

// Interference of two wave patterns in full colour: every pixel differs from its neighbours.
SourcePicture DrawWaves(int32_t width, int32_t height) {
  Canvas canvas(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const double u = std::sin(x * 0.09) + std::sin(y * 0.07) + std::sin((x + y) * 0.05);
      const double v = std::cos(std::hypot(x - width / 2.0, y - height / 2.0) * 0.11);
      canvas.Put(x, y, 128 + 40 * u, 128 + 100 * v, 128 + 60 * (u - v) / 2);
    }
  }
  return canvas.picture;
}

// Flat-colour art: a 16-colour palette in bands, tiles and a diagonal stripe.
SourcePicture DrawTiles(int32_t width, int32_t height) {
  static const uint8_t kPalette[16][3] = {
      {20, 20, 30},   {230, 230, 220}, {200, 40, 50},  {40, 160, 70},  {50, 80, 200},
      {240, 200, 40}, {150, 60, 170},  {40, 190, 200}, {250, 130, 30}, {120, 120, 120},
      {90, 50, 20},   {255, 170, 200}, {10, 90, 60},   {180, 220, 100}, {70, 40, 110},
      {255, 255, 255}};
  Canvas canvas(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int index = ((x / 10) + (y / 10)) % 2 == 0 ? 1 : 9;
      if (y < height / 4) index = 2 + (x * 6 / width);
      if (std::abs((x - y) % 23) < 3) index = 0;
      if (std::hypot(x - width * 0.7, y - height * 0.6) < height * 0.2) index = 8 + (x + y) % 3;
      canvas.Put(x, y, kPalette[index][0], kPalette[index][1], kPalette[index][2]);
    }
  }
  return canvas.picture;
}

// A 64-step grey ramp beside a 4 × 4 × 4 colour cube: 64 + 64 colours, all used.
SourcePicture DrawRamps(int32_t width, int32_t height) {
  Canvas canvas(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      if (x < width / 2) {
        const int step = x * 64 / (width / 2);
        canvas.Put(x, y, step * 4, step * 4, step * 4);
      } else {
        const int cell = ((x - width / 2) * 8 / (width - width / 2)) + 8 * (y * 8 / height);
        canvas.Put(x, y, (cell % 4) * 85, (cell / 4 % 4) * 85, (cell / 16) * 85);
      }
    }
  }
  return canvas.picture;
}

// A round badge: opaque in the middle, an anti-aliased edge, a half-transparent band and a
// fully transparent outside.
SourcePicture DrawBadge(int32_t width, int32_t height) {
  Canvas canvas(width, height);
  const double cx = width / 2.0, cy = height / 2.0, radius = std::min(width, height) * 0.45;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      double alpha = std::min(1.0, std::max(0.0, radius - d + 0.5)) * 255;
      if (std::abs(y - cy) < height * 0.08) alpha = std::min(alpha, 128.0);
      canvas.Put(x, y, 250 - d * 2, 120 + 100 * (y / double(height)), 60 + x, alpha);
    }
  }
  return canvas.picture;
}

// A window shape with rounded corners whose alpha fades from left to right.
SourcePicture DrawFade(int32_t width, int32_t height) {
  Canvas canvas(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const double corner_x = std::max(0.0, std::max(12.0 - x, x - (width - 13.0)));
      const double corner_y = std::max(0.0, std::max(12.0 - y, y - (height - 13.0)));
      const double outside = std::hypot(corner_x, corner_y) > 12 ? 0 : 1;
      const double alpha = outside * (40 + 215.0 * x / std::max(1, width - 1));
      canvas.Put(x, y, 40 + (y * 5) % 200, 90 + (x * 3) % 160, 200, alpha);
    }
  }
  return canvas.picture;
}

}  // namespace

std::vector<DemoPicture> DrawColourPictures() {
  return {{"sunset", DrawSunset(203, 151)}, {"waves", DrawWaves(256, 128)}};
}

std::vector<DemoPicture> DrawFewColourPictures() {
  return {{"tiles", DrawTiles(160, 121)}, {"ramps", DrawRamps(75, 50)}};
}

std::vector<DemoPicture> DrawAlphaPictures() {
  return {{"badge", DrawBadge(97, 80)}, {"fade", DrawFade(128, 64)}};
}

std::vector<DemoPicture> DrawPicturesFor(const ModeInfo& mode) {
  if (mode.indexed) return DrawFewColourPictures();
  if (mode.alpha) return DrawAlphaPictures();
  return DrawColourPictures();
}

}  // namespace brask
