// A TrueType face read from a .ttf file and rasterised with stb_truetype:
// measures and draws single lines of anti-aliased text onto a Canvas.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "canvas.h"

struct stbtt_fontinfo;

namespace images {

class TrueTypeFont {
 public:
  // Reads the whole file and parses it. Returns null and sets *error when the
  // file is missing, unreadable or not a TrueType font.
  static std::unique_ptr<TrueTypeFont> load(const std::string& path, std::string* error);

  ~TrueTypeFont();
  TrueTypeFont(const TrueTypeFont&) = delete;
  TrueTypeFont& operator=(const TrueTypeFont&) = delete;

  // Sizes are em sizes in pixels (as a CSS font-size); tracking is extra
  // space in pixels between neighbouring characters.

  // Advance width of a line of UTF-8 text, with kerning and tracking (none
  // after the last character).
  float lineWidth(const std::string& text, float size, float tracking = 0.0f) const;

  // Height of the capitals above the baseline.
  float capHeight(float size) const;

  // Draws a line of UTF-8 text whose advance box is centred on centreX and
  // whose capitals are centred on centreY, blending each glyph's coverage
  // over the canvas.
  void drawLine(Canvas& canvas, const std::string& text, float centreX, float centreY, float size,
                Colour colour, float tracking = 0.0f) const;

 private:
  struct PlacedGlyph {
    int glyph;
    float x;  // pen position from the start of the line
  };

  TrueTypeFont() = default;
  std::vector<PlacedGlyph> layout(const std::string& text, float scale, float tracking,
                                  float* width) const;

  std::vector<unsigned char> data_;  // stb_truetype keeps pointers into it
  std::unique_ptr<stbtt_fontinfo> info_;
};

}  // namespace images
