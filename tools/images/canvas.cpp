#include "canvas.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

namespace images {

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), rgba_(size_t(width) * height * 4, 0.0f) {}

void Canvas::blendOver(int x, int y, Colour colour, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0.0f) return;
  const float a = std::min(coverage, 1.0f);
  float* p = &rgba_[4 * (size_t(y) * width_ + x)];
  p[0] = colour.r * a + p[0] * (1.0f - a);
  p[1] = colour.g * a + p[1] * (1.0f - a);
  p[2] = colour.b * a + p[2] * (1.0f - a);
  p[3] = a + p[3] * (1.0f - a);
}

void Canvas::drawRule(float centreX, float centreY, float length, float thickness, Colour colour) {
  const int x0 = int(centreX - length * 0.5f), x1 = int(centreX + length * 0.5f);
  for (int x = x0; x <= x1; ++x) {
    const float along = std::fabs((x + 0.5f - centreX) / (length * 0.5f));
    const float fade = std::clamp(1.0f - along * along, 0.0f, 1.0f);
    for (int y = int(centreY - thickness - 1); y <= int(centreY + thickness + 1); ++y) {
      const float across = std::clamp(thickness * 0.5f + 0.5f - std::fabs(y + 0.5f - centreY), 0.0f, 1.0f);
      blendOver(x, y, colour, across * fade);
    }
  }
}

namespace {

// One box-blur pass along rows (horizontal) or columns, radius r, on a
// single channel.
void boxBlur(std::vector<float>& channel, int width, int height, int r, bool horizontal) {
  std::vector<float> line(horizontal ? width : height);
  const int count = horizontal ? height : width;
  const int length = horizontal ? width : height;
  for (int i = 0; i < count; ++i) {
    auto at = [&](int j) -> float& {
      return horizontal ? channel[size_t(i) * width + j] : channel[size_t(j) * width + i];
    };
    double sum = 0.0;
    for (int j = -r; j <= r; ++j) sum += (j >= 0 && j < length) ? at(j) : 0.0f;
    for (int j = 0; j < length; ++j) {
      line[j] = float(sum / (2 * r + 1));
      const int out = j - r, in = j + r + 1;
      if (out >= 0) sum -= at(out);
      if (in < length) sum += at(in);
    }
    for (int j = 0; j < length; ++j) at(j) = line[j];
  }
}

}  // namespace

void Canvas::addGlow(float radius, float strength, Colour tint) {
  std::vector<float> coverage(size_t(width_) * height_);
  for (size_t i = 0; i < coverage.size(); ++i) coverage[i] = rgba_[4 * i + 3];
  // Three box passes each way approximate a Gaussian.
  const int r = std::max(1, int(radius / 3.0f));
  for (int pass = 0; pass < 3; ++pass) {
    boxBlur(coverage, width_, height_, r, true);
    boxBlur(coverage, width_, height_, r, false);
  }
  for (size_t i = 0; i < coverage.size(); ++i) {
    const float glow = std::min(1.0f, coverage[i] * strength);
    float* p = &rgba_[4 * i];
    // The glow goes under what is already there.
    const float under = glow * (1.0f - p[3]);
    p[0] += tint.r * under;
    p[1] += tint.g * under;
    p[2] += tint.b * under;
    p[3] += under;
  }
}

std::vector<uint8_t> Canvas::toBytes(bool straightColour) const {
  std::vector<uint8_t> bytes(rgba_.size());
  for (size_t i = 0; i < rgba_.size(); i += 4) {
    const float a = rgba_[i + 3];
    for (int c = 0; c < 4; ++c) {
      float v = rgba_[i + c];
      if (straightColour && c < 3) v = a > 0.0f ? v / a : 0.0f;
      bytes[i + c] = uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    }
  }
  return bytes;
}

bool Canvas::writePng(const std::string& path, bool straightColour) const {
  const std::vector<uint8_t> bytes = toBytes(straightColour);
  stbi_write_png_compression_level = 9;
  return stbi_write_png(path.c_str(), width_, height_, 4, bytes.data(), width_ * 4) != 0;
}

}  // namespace images
