// The production's images, each drawn on a fresh canvas: the numbered
// overlay cards (title, credits, section card, farewell), the sprites
// "pointRenderer.png" and "dot.png", the 0/1 glyph atlas "binary.png", and
// the test production's small overlay.
#pragma once

#include "canvas.h"

namespace images {

constexpr int kOverlayWidth = 960;
constexpr int kOverlayHeight = 540;

Canvas titleCard();        // 1.png
Canvas creditsCard();      // 2.png
Canvas sectionCard();      // 3.png
Canvas farewellCard();     // 4.png
Canvas pointSprite();      // pointRenderer.png (straight colour, alpha falloff)
Canvas glowDot();          // dot.png (premultiplied, for additive drawing)
Canvas binaryAtlas();      // binary.png: "0" in the left half, "1" in the right
Canvas testOverlayCard();  // the test production's 1.png

}  // namespace images
