#include "demo/wire_style.h"

#include <algorithm>
#include <cctype>

bool isSoftwareRenderer(std::string_view glRenderer) {
  std::string lower(glRenderer);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
    if (lower.find(name) != std::string::npos) return true;
  }
  return false;
}

WireStyle wireStyleForRenderer(std::string_view glRenderer) {
  return isSoftwareRenderer(glRenderer) ? WireStyle::kShadedBelowFullSize : WireStyle::kLines;
}

bool parseWireStyle(const std::string& text, WireStyle& style) {
  if (text == "lines") {
    style = WireStyle::kLines;
    return true;
  }
  if (text == "shaded") {
    style = WireStyle::kShadedBelowFullSize;
    return true;
  }
  return false;
}
