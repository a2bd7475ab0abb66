#include "demo/overlay_choice.h"

#include <cmath>

namespace {
constexpr float kTransparencyAGain = 1.25f;

float fraction(float v) { return v - static_cast<float>(std::floor(static_cast<double>(v))); }

// Truncation toward zero, without undefined behaviour for values that do not
// fit an int (a sync value can be anything): those name no image.
bool imageNumber(float v, int& number) {
  if (!(std::fabs(v) < 2147483520.0f)) return false;
  number = static_cast<int>(v);
  return true;
}
}  // namespace

OverlayChoice chooseOverlay(float a, float b) {
  OverlayChoice choice;
  int numberA = 0;
  if (!imageNumber(a, numberA) || numberA == 0) return choice;
  choice.drawn = true;
  choice.imageA = std::to_string(numberA) + ".png";
  choice.transparencyA = fraction(a) * kTransparencyAGain;
  int numberB = 0;
  if (imageNumber(b, numberB) && numberB != 0) {
    choice.hasImageB = true;
    choice.imageB = std::to_string(numberB) + ".png";
  }
  choice.transparencyB = fraction(b);
  return choice;
}
