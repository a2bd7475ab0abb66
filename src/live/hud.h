// The live mode's heads-up display: music time (m:ss.ss), sync row, section,
// paused or looping, frames per second and frame time, free camera on or
// off, the preview scale and pass size, "editor: connected" while a sync
// editor page is connected, and the last reload error in red, set in DejaVu
// Sans Mono in the window's top-left corner. Drawn last, on the window only, so captures and
// offline renders never contain it. H hides and shows it.
#pragma once

#include <string>
#include <string_view>

#include "gpu/text_atlas.h"

struct HudState {
  double time = 0.0;
  double row = 0.0;
  std::string_view section;
  bool paused = false;
  bool looping = false;
  double framesPerSecond = 0.0;
  double frameMs = 0.0;
  bool freeCamera = false;
  std::string_view preview;  // "preview 0.50 (960x540)"
  std::string_view error;
  bool editorConnected = false;  // a sync editor page has its event stream open
};

// "1:05.25" for 65.25 s.
std::string formatMusicTime(double seconds);

class Hud {
 public:
  static constexpr float kPixelHeight = 18.0f;

  // Finds and bakes the font; logs and stays dark when it is missing.
  void create();
  // H toggles the display.
  void handleKeys();
  void draw(const HudState& state, int width, int height);

  bool visible = true;

 private:
  TextAtlas atlas_;
  std::string errorLine_;  // reused, so a steady frame does not allocate
};
