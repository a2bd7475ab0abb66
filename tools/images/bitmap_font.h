// A tiny 5 x 7 bitmap font of capital letters, digits and a little
// punctuation, for the production's title and credit cards.
#pragma once

#include <string>

namespace images {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// True when the pixel (x, y) of the character's glyph is set (y = 0 is the
// top row). Lower-case letters use the capitals; unknown characters are blank.
bool glyphPixel(char c, int x, int y);

// True when the font has a glyph for the character (space counts).
bool hasGlyph(char c);

// Width in font pixels of a line of text with the given spacing between
// characters.
int textWidth(const std::string& text, int spacing);

}  // namespace images
