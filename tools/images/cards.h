// The production's images, each drawn on a fresh canvas: the numbered
// overlay cards (title, credits, section card, farewell), the sprites
// "pointRenderer.png" and "dot.png", the 0/1 glyph atlas "binary.png", and
// the test production's small overlay.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "canvas.h"
#include "truetype_font.h"

namespace images {

constexpr int kOverlayWidth = 960;
constexpr int kOverlayHeight = 540;

// The DejaVu faces the cards are set in.
struct CardFonts {
  std::unique_ptr<TrueTypeFont> display;  // DejaVu Sans ExtraLight: names and titles
  std::unique_ptr<TrueTypeFont> text;     // DejaVu Sans: the small lines
  std::unique_ptr<TrueTypeFont> mono;     // DejaVu Sans Mono Bold: the 0/1 digits
};

// Finds and loads all three faces; nothing and *error set when one fails.
std::optional<CardFonts> loadCardFonts(std::string* error);

Canvas titleCard(const CardFonts& fonts);        // 1.png
Canvas creditsCard(const CardFonts& fonts);      // 2.png
Canvas sectionCard(const CardFonts& fonts);      // 3.png
Canvas farewellCard(const CardFonts& fonts);     // 4.png
Canvas pointSprite();                            // pointRenderer.png (straight colour, alpha falloff)
Canvas glowDot();                                // dot.png (premultiplied, for additive drawing)
Canvas binaryAtlas(const CardFonts& fonts);      // binary.png: "0" in the left half, "1" in the right
Canvas testOverlayCard(const CardFonts& fonts);  // the test production's 1.png

}  // namespace images
