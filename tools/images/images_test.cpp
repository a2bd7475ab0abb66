#include <gtest/gtest.h>

#include "bitmap_font.h"
#include "cards.h"

namespace images {
namespace {

TEST(BitmapFont, GlyphsAndWidths) {
  for (char c : std::string("NORDETARVOBRIVEL669AUKHSPCM-:&/.0123456789 ")) EXPECT_TRUE(hasGlyph(c)) << c;
  EXPECT_TRUE(hasGlyph('n'));  // lower case maps to capitals
  EXPECT_FALSE(hasGlyph('~'));
  EXPECT_TRUE(glyphPixel('I', 2, 3));
  EXPECT_FALSE(glyphPixel('I', 0, 3));
  EXPECT_FALSE(glyphPixel('I', -1, 0));
  EXPECT_FALSE(glyphPixel('I', 2, kGlyphHeight));
  EXPECT_FALSE(glyphPixel(' ', 2, 3));
  EXPECT_EQ(textWidth("", 2), 0);
  EXPECT_EQ(textWidth("A", 2), 5);
  EXPECT_EQ(textWidth("NORDE", 2), 33);
}

TEST(Canvas, BlendingClipsAndComposites) {
  Canvas canvas(4, 2);
  canvas.blendOver(-1, 0, {1, 1, 1}, 1.0f);  // outside: ignored
  canvas.blendOver(4, 1, {1, 1, 1}, 1.0f);
  canvas.blendOver(1, 1, {1.0f, 0.5f, 0.0f}, 0.5f);
  canvas.blendOver(1, 1, {0.0f, 0.0f, 1.0f}, 0.5f);
  const float* p = canvas.pixel(1, 1);
  EXPECT_FLOAT_EQ(p[0], 0.25f);
  EXPECT_FLOAT_EQ(p[1], 0.125f);
  EXPECT_FLOAT_EQ(p[2], 0.5f);
  EXPECT_FLOAT_EQ(p[3], 0.75f);
  // Straight colour divides the premultiplied value back by alpha.
  const std::vector<uint8_t> straight = canvas.toBytes(true);
  const size_t at = 4 * (1 * 4 + 1);
  EXPECT_EQ(straight[at + 0], 85);   // 0.25 / 0.75
  EXPECT_EQ(straight[at + 2], 170);  // 0.5 / 0.75
  EXPECT_EQ(straight[at + 3], 191);
  EXPECT_EQ(canvas.toBytes(false)[at + 0], 64);
  EXPECT_EQ(canvas.toBytes(true)[0], 0);  // untouched pixels stay black and clear
}

TEST(Cards, OverlaysAreMostlyClearWithTextInTheMiddle) {
  const Canvas card = titleCard();
  ASSERT_EQ(card.width(), kOverlayWidth);
  ASSERT_EQ(card.height(), kOverlayHeight);
  int lit = 0;
  for (int y = 0; y < card.height(); ++y)
    for (int x = 0; x < card.width(); ++x) lit += card.pixel(x, y)[3] > 0.05f;
  EXPECT_GT(lit, 5000);
  EXPECT_LT(lit, card.width() * card.height() / 3);
  EXPECT_EQ(card.pixel(0, 0)[3], 0.0f);
  EXPECT_GT(card.pixel(kOverlayWidth / 2, 240)[3], 0.0f);
}

TEST(Cards, SpritesFadeToTheEdge) {
  for (const Canvas& sprite : {pointSprite(), glowDot()}) {
    EXPECT_GT(sprite.pixel(32, 32)[3], 0.9f);
    EXPECT_GT(sprite.pixel(32, 32)[3], sprite.pixel(44, 32)[3]);
    EXPECT_EQ(sprite.pixel(0, 0)[3], 0.0f);
    EXPECT_LT(sprite.pixel(1, 32)[3], 0.02f);
  }
  const Canvas atlas = binaryAtlas();
  // The "1" has its stem in the middle of the right cell; the "0" its left side
  // on the left, where the "1" cell is dark.
  EXPECT_GT(atlas.pixel(96, 32)[3], 0.9f);
  EXPECT_GT(atlas.pixel(32 - 14, 32)[3], 0.9f);
  EXPECT_LT(atlas.pixel(96 - 14, 32)[3], 0.5f);
}

}  // namespace
}  // namespace images
