// The preview scale: the passes' targets drawn at a fraction of the design
// size (1920x1080) while working, so a slow machine answers quickly. The
// parsing of "--preview-scale", the scale that fits a window, the steps of
// the [ and ] keys and the pass size a scale gives. No GL.
#pragma once

#include <string>

constexpr float kMinPreviewScale = 0.25f;
constexpr float kMaxPreviewScale = 1.0f;

struct PreviewScaleChoice {
  bool fit = false;     // follow the window's height
  float scale = 1.0f;   // when not fit
};

// A number from 0.25 to 1, or "fit" where allowFit is set. False, with the
// usual "bad value 'X' for --preview-scale (...)" error, for anything else.
bool parsePreviewScale(const std::string& text, bool allowFit, PreviewScaleChoice& choice, std::string& error);

// The scale that makes the passes as tall as the window, within the range.
float fitPreviewScale(int windowHeight);

// [ halves and ] doubles, within the range.
float halvedPreviewScale(float scale);
float doubledPreviewScale(float scale);

// The size of a full-size pass target at the scale: (int)(1920 * s) by
// (int)(1080 * s), never below one pixel.
struct PassSize {
  int width = 0;
  int height = 0;
};
PassSize passSizeAt(float scale);

// "preview 0.50 (960x540)", as the display shows it.
std::string describePreviewScale(float scale);
