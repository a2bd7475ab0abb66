#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "cards.h"
#include "font_lookup.h"
#include "truetype_font.h"
#include "utf8.h"

namespace images {
namespace {

// The DejaVu faces, loaded once; null when fonts-dejavu-core is not installed.
const CardFonts* installedFonts() {
  static const std::optional<CardFonts> fonts = [] {
    std::string error;
    return loadCardFonts(&error);
  }();
  return fonts ? &*fonts : nullptr;
}

#define REQUIRE_FONTS()                                                                 \
  const CardFonts* fonts = installedFonts();                                            \
  if (!fonts) GTEST_SKIP() << "DejaVu fonts missing; install " << kDejaVuPackage;

// A scratch folder removed with everything in it when the test ends.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char pattern[] = "/tmp/images_test_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~ScratchDirectory() {
    for (const std::string& file : files_) std::remove(file.c_str());
    rmdir(path_.c_str());
  }
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    files_.push_back(file);
    return file;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

float alphaSum(const Canvas& canvas, int x0, int y0, int x1, int y1) {
  float sum = 0.0f;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) sum += canvas.pixel(x, y)[3];
  return sum;
}

TEST(Utf8, DecodesAndReplacesMalformedPieces) {
  EXPECT_EQ(decodeUtf8(""), U"");
  EXPECT_EQ(decodeUtf8("NORDE"), U"NORDE");
  EXPECT_EQ(decodeUtf8("takk for n\xC3\xA5"), U"takk for n\u00E5");
  EXPECT_EQ(decodeUtf8("a \xC2\xB7 b"), U"a \u00B7 b");
  EXPECT_EQ(decodeUtf8("\xE2\x82\xAC"), U"\u20AC");
  EXPECT_EQ(decodeUtf8("\xF0\x9F\x8C\x8C"), U"\U0001F30C");
  // Cut short by the end of the text: one replacement, nothing read beyond.
  EXPECT_EQ(decodeUtf8("n\xC3"), U"n\uFFFD");
  EXPECT_EQ(decodeUtf8("\xE2\x82"), U"\uFFFD");
  EXPECT_EQ(decodeUtf8(std::string("\xF0\x9F\x8C", 3)), U"\uFFFD");
  // Cut short by a byte that does not continue it: that byte still counts.
  EXPECT_EQ(decodeUtf8("\xC3" "A"), U"\uFFFDA");
  // Bytes that never start a character.
  EXPECT_EQ(decodeUtf8("a\xFF" "b"), U"a\uFFFDb");
  EXPECT_EQ(decodeUtf8("\x80\x80"), U"\uFFFD\uFFFD");
  // Overlong form, surrogate, past U+10FFFF.
  EXPECT_EQ(decodeUtf8("\xC0\xAF"), U"\uFFFD");
  EXPECT_EQ(decodeUtf8("\xED\xA0\x80"), U"\uFFFD");
  EXPECT_EQ(decodeUtf8("\xF4\x90\x80\x80"), U"\uFFFD");
}

TEST(FontLookup, OverrideFolderFirstAndClearErrorWhenMissing) {
  ScratchDirectory scratch;
  const std::string placed = scratch.write("DejaVuSans.ttf", "not really a font");
  const char* before = std::getenv(kFontDirectoryVariable);
  const std::string saved = before ? before : "";
  setenv(kFontDirectoryVariable, scratch.path().c_str(), 1);

  std::string error;
  EXPECT_EQ(fontDirectories().front(), scratch.path());
  EXPECT_EQ(findDejaVuFont("DejaVuSans.ttf", &error), placed);
  EXPECT_EQ(findDejaVuFont("NoSuchFace.ttf", &error), "");
  EXPECT_NE(error.find("NoSuchFace.ttf"), std::string::npos) << error;
  EXPECT_NE(error.find(kDejaVuPackage), std::string::npos) << error;
  EXPECT_NE(error.find(scratch.path()), std::string::npos) << error;
  // Found but not a font: the loader's error names the file.
  error.clear();
  EXPECT_EQ(loadDejaVuFont("DejaVuSans.ttf", &error), nullptr);
  EXPECT_NE(error.find(placed), std::string::npos) << error;

  if (before) setenv(kFontDirectoryVariable, saved.c_str(), 1);
  else unsetenv(kFontDirectoryVariable);
  EXPECT_EQ(fontDirectories().back(), kDejaVuDirectory);
}

TEST(TrueTypeFont, RejectsMissingAndMalformedFiles) {
  ScratchDirectory scratch;
  std::string error;
  EXPECT_EQ(TrueTypeFont::load(scratch.path() + "/absent.ttf", &error), nullptr);
  EXPECT_NE(error.find("absent.ttf"), std::string::npos) << error;

  for (const std::string& bytes : {std::string(), std::string("\x00\x01", 2),
                                   std::string("this is a text file, not a font at all\n"),
                                   // A TrueType header whose 40 tables lie past the end.
                                   std::string("\x00\x01\x00\x00\x00\x28\x00\x00\x00\x00\x00\x00", 12) +
                                       std::string(64, '\x7F'),
                                   // A collection header pointing far outside the file.
                                   std::string("ttcf\x00\x01\x00\x00\x00\x00\x00\x01\x7F\xFF\xFF\xF0", 16)}) {
    error.clear();
    const std::string path = scratch.write("bad.ttf", bytes);
    EXPECT_EQ(TrueTypeFont::load(path, &error), nullptr) << bytes.size() << " bytes";
    EXPECT_NE(error.find("not a TrueType font"), std::string::npos) << error;
  }
}

TEST(TrueTypeFont, WidthGrowsWithTextSizeAndTracking) {
  REQUIRE_FONTS();
  const TrueTypeFont& font = *fonts->text;
  EXPECT_EQ(font.lineWidth("", 40.0f), 0.0f);
  EXPECT_EQ(font.lineWidth("", 40.0f, 10.0f), 0.0f);
  const float n = font.lineWidth("N", 40.0f), no = font.lineWidth("NO", 40.0f);
  EXPECT_GT(n, 10.0f);
  EXPECT_GT(no, n + 10.0f);
  EXPECT_NEAR(font.lineWidth("NO", 80.0f), 2.0f * no, 0.01f);
  // Tracking goes between characters only: four gaps in five letters.
  EXPECT_NEAR(font.lineWidth("NORDE", 40.0f, 10.0f), font.lineWidth("NORDE", 40.0f) + 40.0f, 0.01f);
  // Kerning pulls "AV" together.
  EXPECT_LT(font.lineWidth("AV", 40.0f), font.lineWidth("A", 40.0f) + font.lineWidth("V", 40.0f) - 0.5f);
  // Two-byte characters count once; a broken tail still takes a (replacement) glyph.
  EXPECT_NEAR(font.lineWidth("n\xC3\xA5", 40.0f), font.lineWidth("na", 40.0f), 0.01f);
  EXPECT_GT(font.lineWidth("n\xC3", 40.0f), font.lineWidth("n", 40.0f));
  EXPECT_GT(font.capHeight(40.0f), 20.0f);
  EXPECT_LT(font.capHeight(40.0f), 40.0f);
}

TEST(TrueTypeFont, DrawsTextCentredOnThePoint) {
  REQUIRE_FONTS();
  struct Case {
    const char* text;
    float x, y, size, tracking;
  };
  for (const Case& c : {Case{"HOH", 100.0f, 60.0f, 40.0f, 0.0f}, Case{"NOON", 130.0f, 45.0f, 30.0f, 12.0f},
                        Case{"IHI", 70.5f, 80.25f, 24.0f, 4.0f}}) {
    Canvas canvas(200, 120);
    fonts->display->drawLine(canvas, c.text, c.x, c.y, c.size, {1, 1, 1}, c.tracking);
    double sum = 0, sumX = 0, sumY = 0;
    for (int y = 0; y < canvas.height(); ++y)
      for (int x = 0; x < canvas.width(); ++x) {
        const float a = canvas.pixel(x, y)[3];
        sum += a, sumX += a * (x + 0.5), sumY += a * (y + 0.5);
      }
    ASSERT_GT(sum, 20.0) << c.text;
    EXPECT_NEAR(sumX / sum, c.x, 1.5) << c.text;
    EXPECT_NEAR(sumY / sum, c.y, 1.5) << c.text;
    // Anti-aliased: edges carry partial coverage.
    int partial = 0;
    for (int y = 0; y < canvas.height(); ++y)
      for (int x = 0; x < canvas.width(); ++x) partial += canvas.pixel(x, y)[3] > 0.1f && canvas.pixel(x, y)[3] < 0.9f;
    EXPECT_GT(partial, 10) << c.text;
  }
  // Text running off the canvas is clipped, not written out of bounds.
  Canvas small(16, 8);
  fonts->text->drawLine(small, "overflowing \xC3", 0.0f, 8.0f, 30.0f, {1, 1, 1}, 3.0f);
  EXPECT_GT(alphaSum(small, 0, 0, 16, 8), 1.0f);
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

TEST(Cards, OverlaysAreMostlyClearWithTextWhereExpected) {
  REQUIRE_FONTS();
  const Canvas cards[] = {titleCard(*fonts), creditsCard(*fonts), sectionCard(*fonts), farewellCard(*fonts)};
  for (const Canvas& card : cards) {
    ASSERT_EQ(card.width(), kOverlayWidth);
    ASSERT_EQ(card.height(), kOverlayHeight);
    int lit = 0;
    for (int y = 0; y < card.height(); ++y)
      for (int x = 0; x < card.width(); ++x) lit += card.pixel(x, y)[3] > 0.05f;
    EXPECT_GT(lit, 5000);
    EXPECT_LT(lit, card.width() * card.height() / 4);
    EXPECT_EQ(card.pixel(0, 0)[3], 0.0f);
    EXPECT_EQ(card.pixel(kOverlayWidth - 1, kOverlayHeight - 1)[3], 0.0f);
    // Balanced about the vertical centre line.
    const float left = alphaSum(card, 0, 0, kOverlayWidth / 2, kOverlayHeight);
    const float right = alphaSum(card, kOverlayWidth / 2, 0, kOverlayWidth, kOverlayHeight);
    EXPECT_NEAR(left / right, 1.0f, 0.15f);
  }
  // Every card keeps to the sky (the upper part of the picture, clear of the
  // land's bright present line and of the tube's rim); the title's name
  // fills the band around y = 196, the section card the top third.
  EXPECT_GT(alphaSum(cards[0], 0, 150, kOverlayWidth, 245), 0.5f * alphaSum(cards[0], 0, 0, kOverlayWidth, kOverlayHeight));
  for (int card : {0, 1, 2, 3})
    EXPECT_EQ(alphaSum(cards[card], 0, kOverlayHeight * 2 / 3, kOverlayWidth, kOverlayHeight), 0.0f) << card;
  EXPECT_EQ(alphaSum(cards[2], 0, kOverlayHeight / 2, kOverlayWidth, kOverlayHeight), 0.0f);
  EXPECT_GT(alphaSum(cards[2], 0, 0, kOverlayWidth, kOverlayHeight / 3), 1000.0f);

  const Canvas test = testOverlayCard(*fonts);
  ASSERT_EQ(test.width(), 256);
  ASSERT_EQ(test.height(), 144);
  EXPECT_EQ(test.pixel(0, 0)[3], 0.0f);
  EXPECT_GT(alphaSum(test, 0, 0, 256, 144), 500.0f);
  EXPECT_GT(alphaSum(test, 24, 36, 232, 108), 0.95f * alphaSum(test, 0, 0, 256, 144));
}

TEST(Cards, SpritesFadeToTheEdge) {
  for (const Canvas& sprite : {pointSprite(), glowDot()}) {
    EXPECT_GT(sprite.pixel(32, 32)[3], 0.9f);
    EXPECT_GT(sprite.pixel(32, 32)[3], sprite.pixel(44, 32)[3]);
    EXPECT_EQ(sprite.pixel(0, 0)[3], 0.0f);
    EXPECT_LT(sprite.pixel(1, 32)[3], 0.02f);
  }
}

TEST(Cards, BinaryAtlasHasZeroLeftAndOneRight) {
  REQUIRE_FONTS();
  const Canvas atlas = binaryAtlas(*fonts);
  ASSERT_EQ(atlas.width(), 128);
  ASSERT_EQ(atlas.height(), 64);
  // The "1" has its stem in the middle of the right cell; the "0" its left
  // side on the left, where the "1" cell is dark, and a hollow beside it.
  EXPECT_GT(atlas.pixel(96, 32)[3], 0.9f);
  EXPECT_GT(atlas.pixel(32 - 14, 32)[3], 0.9f);
  EXPECT_LT(atlas.pixel(96 - 14, 32)[3], 0.5f);
  EXPECT_GT(atlas.pixel(32 - 12, 20)[3], 0.9f);
  EXPECT_LT(atlas.pixel(32, 20)[3], 0.5f);  // only glow inside the ring
  EXPECT_GT(atlas.pixel(96, 20)[3], 0.9f);  // the "1" is solid there
  // Each digit keeps to its own cell.
  EXPECT_LT(alphaSum(atlas, 62, 0, 66, 64), 1.0f);
}

}  // namespace
}  // namespace images
