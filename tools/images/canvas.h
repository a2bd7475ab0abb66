// A floating-point RGBA canvas (premultiplied colour) with the few drawing
// operations the production's images need: per-pixel coverage blending
// (text comes from TrueTypeFont), soft glow, thin rules, radial sprites, and
// 8-bit PNG output through stb_image_write.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace images {

struct Colour {
  float r, g, b;
};

class Canvas {
 public:
  Canvas(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  // Premultiplied RGBA of pixel (x, y), y = 0 the top row.
  const float* pixel(int x, int y) const { return &rgba_[4 * (size_t(y) * width_ + x)]; }

  // Composites a premultiplied colour of the given coverage "over" the pixel.
  void blendOver(int x, int y, Colour colour, float coverage);

  // A horizontal rule fading out towards both ends.
  void drawRule(float centreX, float centreY, float length, float thickness, Colour colour);

  // Adds a soft halo around everything drawn so far: the coverage blurred
  // by about radius pixels, tinted, scaled by strength, laid under.
  void addGlow(float radius, float strength, Colour tint);

  // Radial sprite filling the canvas: alpha = falloff(distance / radius) for
  // distance in [0, 1] of the canvas's half size.
  template <typename Falloff>
  void fillRadial(Colour colour, bool premultiply, Falloff falloff);

  // RGBA 8-bit; colour stays premultiplied unless straightColour is set, in
  // which case rgb is divided back by alpha (for alpha-blended sprites).
  std::vector<uint8_t> toBytes(bool straightColour) const;
  bool writePng(const std::string& path, bool straightColour) const;

 private:
  int width_, height_;
  std::vector<float> rgba_;
};

template <typename Falloff>
void Canvas::fillRadial(Colour colour, bool premultiply, Falloff falloff) {
  const float cx = width_ * 0.5f, cy = height_ * 0.5f;
  const float radius = std::min(cx, cy);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const float dx = (x + 0.5f - cx) / radius, dy = (y + 0.5f - cy) / radius;
      const float d = std::sqrt(dx * dx + dy * dy);
      float a = d >= 1.0f ? 0.0f : falloff(d);
      a = std::clamp(a, 0.0f, 1.0f);
      float* p = &rgba_[4 * (size_t(y) * width_ + x)];
      const float scale = premultiply ? a : 1.0f;
      p[0] = colour.r * scale;
      p[1] = colour.g * scale;
      p[2] = colour.b * scale;
      p[3] = a;
    }
  }
}

}  // namespace images
