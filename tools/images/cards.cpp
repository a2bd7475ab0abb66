#include "cards.h"

#include <cmath>

#include "font_lookup.h"

namespace images {

namespace {

const Colour kFrost = {0.86f, 0.95f, 1.0f};
const Colour kTeal = {0.25f, 0.85f, 0.9f};
const Colour kPale = {0.6f, 0.75f, 0.85f};

constexpr float kCentreX = kOverlayWidth * 0.5f;

}  // namespace

std::optional<CardFonts> loadCardFonts(std::string* error) {
  CardFonts fonts;
  if (!(fonts.display = loadDejaVuFont("DejaVuSans-ExtraLight.ttf", error))) return std::nullopt;
  if (!(fonts.text = loadDejaVuFont("DejaVuSans.ttf", error))) return std::nullopt;
  if (!(fonts.mono = loadDejaVuFont("DejaVuSansMono-Bold.ttf", error))) return std::nullopt;
  return fonts;
}

Canvas titleCard(const CardFonts& fonts) {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  fonts.display->drawLine(canvas, "NORDE", kCentreX, 196.0f, 120.0f, kFrost, 36.0f);
  canvas.drawRule(kCentreX, 268.0f, 440.0f, 1.5f, kPale);
  fonts.text->drawLine(canvas, "tarvo · brivel-669", kCentreX, 298.0f, 24.0f, kPale, 2.0f);
  canvas.addGlow(18.0f, 1.6f, kTeal);
  return canvas;
}

Canvas creditsCard(const CardFonts& fonts) {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  fonts.text->drawLine(canvas, "a production by", kCentreX, 70.0f, 22.0f, kPale, 2.0f);
  fonts.display->drawLine(canvas, "TARVO", kCentreX, 142.0f, 96.0f, kFrost, 28.0f);
  canvas.drawRule(kCentreX, 200.0f, 360.0f, 1.5f, kPale);
  fonts.text->drawLine(canvas, "code · music · shaders · images", kCentreX, 232.0f, 22.0f, kPale, 1.0f);
  fonts.text->drawLine(canvas, "made with our own engine, synthesiser and tools", kCentreX, 264.0f, 18.0f,
                       kPale, 0.5f);
  canvas.addGlow(15.0f, 1.5f, kTeal);
  return canvas;
}

Canvas sectionCard(const CardFonts& fonts) {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  fonts.text->drawLine(canvas, "—  II  —", kCentreX, 84.0f, 30.0f, kPale, 6.0f);
  fonts.display->drawLine(canvas, "under the aurora", kCentreX, 144.0f, 48.0f, kFrost, 6.0f);
  canvas.drawRule(kCentreX, 186.0f, 520.0f, 1.5f, kPale);
  canvas.addGlow(12.0f, 1.5f, kTeal);
  return canvas;
}

Canvas farewellCard(const CardFonts& fonts) {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  fonts.display->drawLine(canvas, "takk for nå", kCentreX, 196.0f, 88.0f, kFrost, 6.0f);
  canvas.drawRule(kCentreX, 254.0f, 480.0f, 1.5f, kPale);
  fonts.text->drawLine(canvas, "norde by tarvo · 2026", kCentreX, 286.0f, 22.0f, kPale, 2.0f);
  canvas.addGlow(16.0f, 1.5f, kTeal);
  return canvas;
}

Canvas pointSprite() {
  Canvas canvas(64, 64);
  canvas.fillRadial({1.0f, 1.0f, 1.0f}, false, [](float d) {
    const float body = (1.0f - d * d);
    return body * body * (0.35f + 0.65f * std::exp(-d * d * 14.0f));
  });
  return canvas;
}

Canvas glowDot() {
  Canvas canvas(64, 64);
  canvas.fillRadial({0.85f, 0.97f, 1.0f}, true, [](float d) {
    const float edge = 1.0f - d;
    return std::exp(-d * d * 28.0f) + 0.25f * edge * edge * edge;
  });
  return canvas;
}

Canvas binaryAtlas(const CardFonts& fonts) {
  Canvas canvas(128, 64);
  fonts.mono->drawLine(canvas, "0", 32.0f, 32.0f, 60.0f, {1.0f, 1.0f, 1.0f});
  fonts.mono->drawLine(canvas, "1", 96.0f, 32.0f, 60.0f, {1.0f, 1.0f, 1.0f});
  canvas.addGlow(6.0f, 1.2f, {0.6f, 0.9f, 1.0f});
  return canvas;
}

Canvas testOverlayCard(const CardFonts& fonts) {
  Canvas canvas(256, 144);
  fonts.text->drawLine(canvas, "TEST", 128.0f, 72.0f, 56.0f, kFrost, 8.0f);
  canvas.addGlow(6.0f, 1.5f, kTeal);
  return canvas;
}

}  // namespace images
