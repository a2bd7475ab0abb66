#include "live/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/keys.h"
#include "base/log.h"
#include "resources/font_lookup.h"

namespace {
constexpr float kMargin = 8.0f;
constexpr float kPadding = 6.0f;
constexpr const char* kFontFile = "DejaVuSansMono.ttf";
constexpr size_t kMaxErrorLines = 4;
}  // namespace

std::string formatMusicTime(double seconds) {
  if (!(seconds > 0.0)) seconds = 0.0;
  const long long hundredths = std::llround(seconds * 100.0);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", hundredths / 6000, hundredths / 100 % 60,
                hundredths % 100);
  return text;
}

void Hud::create() {
  std::string error;
  const std::string font = findDejaVuFont(kFontFile, &error);
  if (font.empty()) {
    Log("hud: %s\n", error.c_str());
    return;
  }
  atlas_.create(font, kPixelHeight);
}

void Hud::handleKeys() {
  if (KeyPressed('H')) visible = !visible;
}

void Hud::draw(const HudState& state, int width, int height) {
  if (!visible || !atlas_.ready() || width <= 0 || height <= 0) return;
  constexpr int kMaxLines = 6;
  const int shownLines = state.editorConnected ? kMaxLines : kMaxLines - 1;
  char lines[kMaxLines][160];
  const std::string_view section = state.section.empty() ? std::string_view("-") : state.section;
  std::snprintf(lines[0], sizeof lines[0], "%s  row %d  %.*s", formatMusicTime(state.time).c_str(),
                static_cast<int>(std::floor(state.row)), static_cast<int>(section.size()), section.data());
  std::snprintf(lines[1], sizeof lines[1], "%s%s", state.paused ? "paused" : "playing",
                state.looping ? "  looping" : "");
  std::snprintf(lines[2], sizeof lines[2], "%.1f fps  %.2f ms", state.framesPerSecond, state.frameMs);
  std::snprintf(lines[3], sizeof lines[3], "free camera %s", state.freeCamera ? "on" : "off");
  std::snprintf(lines[4], sizeof lines[4], "%.*s", static_cast<int>(state.preview.size()), state.preview.data());
  std::snprintf(lines[5], sizeof lines[5], "editor: connected");

  const float line = atlas_.lineHeight();
  float boxWidth = 0.0f;
  for (int i = 0; i < shownLines; ++i) boxWidth = std::max(boxWidth, atlas_.textWidth(lines[i]));
  atlas_.drawBox(kMargin, kMargin, boxWidth + 2 * kPadding, shownLines * line + 2 * kPadding, 0.0f, 0.0f, 0.0f, 0.55f,
                 width, height);
  for (int i = 0; i < shownLines; ++i) {
    atlas_.draw(lines[i], kMargin + kPadding, kMargin + kPadding + i * line, 1.0f, 1.0f, 1.0f, 1.0f, width,
                height);
  }
  if (!state.error.empty()) {
    // The error wraps at the window's edge, a few lines at most.
    const float room = static_cast<float>(width) - 2 * (kMargin + kPadding);
    const float cell = atlas_.textWidth("M");
    const size_t perLine = cell > 0.0f ? static_cast<size_t>(std::max(8.0f, room / cell)) : state.error.size();
    size_t lineCount = std::min<size_t>(kMaxErrorLines, (state.error.size() + perLine - 1) / perLine);
    const float y = kMargin + shownLines * line + 3 * kPadding;
    const float boxWidth = std::min(room, cell * static_cast<float>(std::min(perLine, state.error.size())));
    atlas_.drawBox(kMargin, y, boxWidth + 2 * kPadding, lineCount * line + 2 * kPadding, 0.0f, 0.0f, 0.0f, 0.7f,
                   width, height);
    for (size_t i = 0; i < lineCount; ++i) {
      errorLine_.assign(state.error, i * perLine, perLine);
      atlas_.draw(errorLine_, kMargin + kPadding, y + kPadding + i * line, 1.0f, 0.25f, 0.2f, 1.0f, width, height);
    }
  }
}
