#include "cards.h"

#include <cmath>

namespace images {

namespace {

const Colour kFrost = {0.86f, 0.95f, 1.0f};
const Colour kTeal = {0.25f, 0.85f, 0.9f};
const Colour kPale = {0.6f, 0.75f, 0.85f};

constexpr float kCentreX = kOverlayWidth * 0.5f;

}  // namespace

Canvas titleCard() {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  canvas.drawText("NORDE", kCentreX, 240.0f, 14.0f, 2, kFrost);
  canvas.drawRule(kCentreX, 318.0f, 420.0f, 2.0f, kPale);
  canvas.drawText("BRIVEL 669", kCentreX, 346.0f, 3.5f, 2, kPale);
  canvas.addGlow(18.0f, 1.6f, kTeal);
  return canvas;
}

Canvas creditsCard() {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  canvas.drawText("A PRODUCTION BY", kCentreX, 190.0f, 3.5f, 2, kPale);
  canvas.drawText("TARVO", kCentreX, 260.0f, 10.0f, 2, kFrost);
  canvas.drawRule(kCentreX, 318.0f, 300.0f, 2.0f, kPale);
  canvas.drawText("CODE - MUSIC - SHADERS", kCentreX, 342.0f, 3.0f, 2, kPale);
  canvas.addGlow(15.0f, 1.5f, kTeal);
  return canvas;
}

Canvas sectionCard() {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  canvas.drawText("II", kCentreX, 372.0f, 4.0f, 2, kPale);
  canvas.drawText("UNDER THE AURORA", kCentreX, 420.0f, 6.0f, 2, kFrost);
  canvas.drawRule(kCentreX, 458.0f, 520.0f, 1.5f, kPale);
  canvas.addGlow(12.0f, 1.5f, kTeal);
  return canvas;
}

Canvas farewellCard() {
  Canvas canvas(kOverlayWidth, kOverlayHeight);
  canvas.drawText("TAKK FOR NAA", kCentreX, 250.0f, 8.0f, 2, kFrost);
  canvas.drawRule(kCentreX, 306.0f, 480.0f, 2.0f, kPale);
  canvas.drawText("NORDE BY TARVO", kCentreX, 332.0f, 3.5f, 2, kPale);
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

Canvas binaryAtlas() {
  Canvas canvas(128, 64);
  canvas.drawText("0", 32.0f, 32.0f, 7.0f, 0, {1.0f, 1.0f, 1.0f});
  canvas.drawText("1", 96.0f, 32.0f, 7.0f, 0, {1.0f, 1.0f, 1.0f});
  canvas.addGlow(6.0f, 1.2f, {0.6f, 0.9f, 1.0f});
  return canvas;
}

Canvas testOverlayCard() {
  Canvas canvas(256, 144);
  canvas.drawText("TEST", 128.0f, 72.0f, 6.0f, 2, kFrost);
  canvas.addGlow(6.0f, 1.5f, kTeal);
  return canvas;
}

}  // namespace images
