#include "demo/preview_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/number_parsing.h"
#include "gpu/render_target.h"

namespace {
float clampScale(float scale) { return std::min(kMaxPreviewScale, std::max(kMinPreviewScale, scale)); }
}  // namespace

bool parsePreviewScale(const std::string& text, bool allowFit, PreviewScaleChoice& choice, std::string& error) {
  if (allowFit && text == "fit") {
    choice = {true, 1.0f};
    return true;
  }
  double value = 0.0;
  if (!parseDouble(text, value) || value < kMinPreviewScale || value > kMaxPreviewScale) {
    error = "bad value '" + text + "' for --preview-scale (a number from 0.25 to 1" +
            std::string(allowFit ? ", or fit)" : ")");
    return false;
  }
  choice = {false, static_cast<float>(value)};
  return true;
}

float fitPreviewScale(int windowHeight) { return clampScale(static_cast<float>(windowHeight) / kDesignHeight); }

float halvedPreviewScale(float scale) { return clampScale(scale * 0.5f); }

float doubledPreviewScale(float scale) { return clampScale(scale * 2.0f); }

PassSize passSizeAt(float scale) {
  return {previewTargetSide(1.0f, kDesignWidth, scale), previewTargetSide(1.0f, kDesignHeight, scale)};
}

std::string describePreviewScale(float scale) {
  const PassSize size = passSizeAt(scale);
  char text[64];
  std::snprintf(text, sizeof text, "preview %.2f (%dx%d)", static_cast<double>(scale), size.width, size.height);
  return text;
}
