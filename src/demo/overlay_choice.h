// Which numbered images the overlay pass lays over the final picture, chosen
// from two sync values: the integer part names the image ("3.png"), the
// fraction is its transparency.
#pragma once

#include <string>

struct OverlayChoice {
  bool drawn = false;          // false: no overlay this frame
  std::string imageA;          // on unit 0
  float transparencyA = 0.0f;  // fraction of a, times 1.25
  bool hasImageB = false;      // false: unit 1 keeps what the frame bound there
  std::string imageB;
  float transparencyB = 0.0f;
};

OverlayChoice chooseOverlay(float a, float b);
